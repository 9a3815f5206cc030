#!/bin/sh
# Installs what is missing, builds the game and runs it. Arguments go to the
# program.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orvex
exec ./build/bin/orvex "$@"
