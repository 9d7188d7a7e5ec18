#!/usr/bin/env bash
# Sets up a Debian 12 machine for Letrafex, builds it, and then starts the program ("run"),
# runs every test stage ("test", what continuous integration runs), or builds the
# benchmarks ("bench"). Only Debian packages are installed, and only those not installed yet.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  run|test|bench) ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

# One package a line. Only real package names belong here; a name that only other packages
# provide is accepted as installed when one of them is.
packages=(
  cmake                  # build
  ninja-build            # build
  g++                    # build
  pkg-config             # build: finds liblz4, libdeflate, libwmf
  qt6-base-dev           # Qt Core, Gui, Widgets, PrintSupport
  qt6-svg-dev            # Qt Svg: EMF pictures are drawn through SVG
  libpng-dev             # PNG codec
  libjpeg-dev            # JPEG codec
  liblz4-dev             # undo snapshots
  libdeflate-dev         # PNG compression
  libtiff-dev            # TIFF images the own reader leaves: compressed, tiled, planar, 16-bit, CMYK, BigTIFF
  libwebp-dev            # WebP pictures and animations
  libemf2svg-dev         # EMF reading
  libuemf-dev            # EMF records
  libwmf-dev             # WMF reading
  libgtest-dev           # tests
  fonts-liberation2      # the faces fontconfig gives for Arial and Times New Roman
  fonts-dejavu-core      # fallback faces
  qt6-translations-l10n  # Qt's own texts (buttons, standard dialogs) in the program's languages
  imagemagick            # tests: reference decoder
  python3-pil            # tests: reference decoder (Pillow)
  libtiff-tools          # tests: tiffinfo, tiff2rgba, tiffcp
  poppler-utils          # tests: pdftoppm, pdftotext read back printed pages
  desktop-file-utils     # tests: checks the desktop entry
  appstream              # tests: checks the software-centre metadata
  dpkg-dev               # the Debian package: dpkg-shlibdeps finds its dependencies
  webp                   # tests: WebP reference decoder (dwebp)
  netpbm                 # tools/interop-set.sh: netpbm's PCX and TGA writers
  clang                  # tests: sanitizer and fuzzing build
  libclang-rt-14-dev     # tests: libFuzzer and the sanitizer runtimes for clang
  librsvg2-bin           # installation: PNG icons drawn from the SVG logo
  xvfb                   # running without a desktop
  xauth                  # running without a desktop
  openbox                # a window manager for checks with real windows
)
bench_packages=(
  libbenchmark-dev       # Google Benchmark
)

# Every name that counts as installed: installed packages and what they provide.
installed_names() {
  dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Provides}\n' 2>/dev/null |
    awk -F'|' '$1 ~ /^ii/ { print $2; n = split($3, p, /, */); for (i = 1; i <= n; i++) { sub(/ .*/, "", p[i]); if (p[i] != "") print p[i] } }'
}

install_missing() {
  local have missing=() p
  have=$(installed_names)
  for p in "$@"; do
    grep -qxF "$p" <<<"$have" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

jobs=$(nproc 2>/dev/null || echo 2)
case "$mode" in
  run)
    install_missing "${packages[@]}"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j"$jobs"
    exec build/src/letrafex
    ;;
  bench)
    install_missing "${packages[@]}" "${bench_packages[@]}"
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLETRAFEX_BENCH=ON -DLETRAFEX_TESTS=OFF
    cmake --build build-bench -j"$jobs"
    echo "Benchmarks are in build-bench/bench"
    ;;
  test)
    install_missing "${packages[@]}"
    exec tools/test-stages.sh
    ;;
esac
