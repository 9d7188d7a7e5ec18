#!/usr/bin/env bash
# Sets up a Debian 12 machine for Letrafex, builds it, and then starts the program
# ("run") or runs the whole test suite ("test"). Only Debian packages are installed.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

packages=(
  # build
  cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev libqt6svg6-dev
  libpng-dev libjpeg-dev liblz4-dev libemf2svg-dev libuemf-dev libwmf-dev
  libgtest-dev libbenchmark-dev
  libdeflate-dev
  # WebP pictures and animations
  libwebp-dev
  # TIFF images the own reader leaves: compressed, tiled, planar, 16-bit, CMYK, BigTIFF
  libtiff-dev
  # fonts the program names: Arial and Times New Roman (metric-compatible), fallback faces
  fonts-liberation2 fonts-dejavu-core
  # Qt's own texts (standard buttons, file, colour, font and print dialogs) in the
  # program's languages
  qt6-translations-l10n
  # tests: reference decoders and tools
  imagemagick python3-pil libtiff-tools poppler-utils desktop-file-utils
  # tools/interop-set.sh: netpbm's PCX and TGA writers
  netpbm
  # installation: PNG icons drawn from the SVG logo
  librsvg2-bin
  # the Debian package (dpkg-shlibdeps finds its dependencies) and the software-centre check
  dpkg-dev appstream
  # tests: WebP reference decoder (dwebp)
  webp
  # running without a desktop; a window manager inside it for checks with real windows
  xvfb xauth openbox
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"

if [ "$mode" = run ]; then
  exec build/src/letrafex
fi
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
