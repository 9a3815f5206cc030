#!/bin/sh
# Installs what is missing, builds the normal, the AddressSanitizer +
# UndefinedBehaviorSanitizer and the ThreadSanitizer flavours from scratch, and
# runs every test in each. ORVEX_FLAVOURS chooses others ("normal asan tsan").
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh

flavours=${ORVEX_FLAVOURS:-"normal asan tsan"}
jobs=$(nproc)
for flavour in $flavours; do
  case $flavour in
    normal) options="" ;;
    asan) options="-DORVEX_ASAN=ON" ;;
    tsan) options="-DORVEX_TSAN=ON" ;;
    *) echo "unknown flavour $flavour" >&2; exit 2 ;;
  esac
  dir=build-$flavour
  echo "== $flavour: configure and build in $dir"
  # shellcheck disable=SC2086
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $options
  cmake --build "$dir" -j "$jobs"
  echo "== $flavour: tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
done

# The WAV reader's fuzzer (clang's libFuzzer under AddressSanitizer +
# UndefinedBehaviorSanitizer): replay the seed corpus and every bad-input case
# of the reader tests, then fuzz for a bounded time (ORVEX_FUZZ_SECONDS, 120 by
# default; 0 replays only).
fuzz_seconds=${ORVEX_FUZZ_SECONDS:-120}
echo "== fuzz: WAV reader"
cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz
rm -rf build-fuzz/bad build-fuzz/corpus
mkdir -p build-fuzz/bad build-fuzz/corpus
build-fuzz/wave_cases_dump bad build-fuzz/bad
build-fuzz/wave_reader_fuzz tests/fuzz/corpus/* build-fuzz/bad/*
if [ "$fuzz_seconds" -gt 0 ]; then
  build-fuzz/wave_reader_fuzz -max_total_time="$fuzz_seconds" -max_len=4096 \
    -dict=tests/fuzz/wave.dict -print_final_stats=1 build-fuzz/corpus tests/fuzz/corpus
fi
