#!/bin/sh
# Installs what is missing, builds the game and runs it. Arguments go to the
# program.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orvex OrvexProxy orvex-regsvr
# The capture library creates the frame tap by class id: register the module
# for this user ($XDG_CONFIG_HOME/orvex/registry). Only a module writable by
# its owner alone is loaded.
chmod go-w build/bin/OrvexProxy.ax
./build/bin/orvex-regsvr build/bin/OrvexProxy.ax >/dev/null
exec ./build/bin/orvex "$@"
