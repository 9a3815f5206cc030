#!/bin/sh
# Installs what is missing, builds the normal and the AddressSanitizer +
# UndefinedBehaviorSanitizer flavours from scratch, and runs every test in
# both. Extra flavours: ORVEX_FLAVOURS="normal asan tsan".
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh

flavours=${ORVEX_FLAVOURS:-"normal asan"}
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
