#!/usr/bin/env bash
# Every test stage, in order, on a machine that has the packages of tools/setup.sh (which
# runs this for "test"). The time of each stage is printed at the end, also after a failure.
#   build      Release build of everything, warnings as errors
#   ctest      the test suite, one process per test
#   shuffled   every test program whole, in shuffled order
#   sanitized  Debug build with clang, address and undefined-behaviour sanitizers and fuzzing
#              instrumentation; every test program whole under the sanitizers
#   fuzz       every fuzz target for FUZZ_SECONDS (20) seconds, seeded with the files of
#              tests/fixtures in its format (tests/fixtures/seeds has those no test needs)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-20}
export QT_QPA_PLATFORM=offscreen

timings=()
summary() {
  local status=$?
  if [ ${#timings[@]} -gt 0 ]; then
    echo "== stage times"
    printf '  %s\n' "${timings[@]}"
  fi
  [ "$status" -eq 0 ] || echo "== FAILED (exit status $status)"
}
trap summary EXIT

stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  timings+=("$(printf '%-10s %5d s' "$name" $((SECONDS - start)))")
}

# Runs every test program of a build folder whole, as many at once as there are cores, with
# the given extra arguments; the output of each failing program is printed.
run_test_programs() {
  local dir=$1
  shift
  local logs=$dir/whole-runs
  rm -rf "$logs"
  mkdir -p "$logs"
  find "$root/$dir/tests" -type f -executable -name 'test_*' -print0 | sort -z |
    LOGS=$logs xargs -0 -r -n1 -P"$jobs" bash -c '
      program=${!#}; set -- "${@:1:$#-1}" # xargs puts the program after the arguments
      log=$LOGS/${program##*/}.log
      if (cd "${program%/*}" && "$program" "$@") >"$log" 2>&1; then
        echo "passed: ${program##*/} ($(grep -E "^\[  PASSED  \]" "$log" | head -n1))"
      else
        echo "FAILED: $program $*"; cat "$log"; exit 1
      fi' run "$@"
}

build_release() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLETRAFEX_WERROR=ON
  cmake --build build -j"$jobs"
}

run_ctest() {
  (cd build && ctest --output-on-failure -j"$jobs")
}

# The sanitizers stop at the first finding; an allocation too large fails as it would
# without them (the readers catch it); leaks of fontconfig's process-wide caches are not ours.
sanitizer_environment() {
  export ASAN_OPTIONS=allocator_may_return_null=1:detect_stack_use_after_return=1:strict_string_checks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
}

build_and_run_sanitized() {
  sanitizer_environment
  CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLETRAFEX_FUZZ=ON
  cmake --build build-sanitize -j"$jobs"
  run_test_programs build-sanitize
}

# Seed file extensions of each fuzz target; a target without seeds starts from nothing.
fuzz_seed_extensions() {
  case "$1" in
    jpeg) echo jpg jpeg ;;
    tiff) echo tif tiff ;;
    project) echo lfx ;;
    items) echo items ;;
    textures) echo dat ;;
    png_writer | tiff_writer) ;; # their inputs describe pictures, not files
    *) echo "$1" ;;
  esac
}

run_fuzzers() {
  sanitizer_environment
  local dir=$root/build-sanitize/fuzz-runs program name ext f
  rm -rf "$dir"
  mkdir -p "$dir/findings"
  for program in build-sanitize/fuzz/fuzz_*; do
    name=${program##*/fuzz_}
    mkdir -p "$dir/corpus/$name"
    for ext in $(fuzz_seed_extensions "$name"); do
      while IFS= read -r -d '' f; do
        cp "$f" "$dir/corpus/$name/$(echo "${f#tests/fixtures/}" | tr / _)"
      done < <(find tests/fixtures -type f -iname "*.$ext" -print0)
    done
  done
  find build-sanitize/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -print0 | sort -z |
    DIR=$dir SECONDS_EACH=$fuzz_seconds xargs -0 -r -n1 -P"$jobs" bash -c '
      program=$1 name=${1##*/fuzz_}
      log=$DIR/$name.log
      if "$program" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
           -artifact_prefix="$DIR/findings/$name-" "$DIR/corpus/$name" >"$log" 2>&1; then
        echo "passed: fuzz_$name ($(grep -Eo "Done [0-9]+ runs.*" "$log" | tail -n1))"
      else
        echo "FAILED: fuzz_$name (input kept in $DIR/findings)"; tail -n 60 "$log"; exit 1
      fi' run
}

stage build build_release
stage ctest run_ctest
stage shuffled run_test_programs build --gtest_shuffle
stage sanitized build_and_run_sanitized
stage fuzz run_fuzzers
