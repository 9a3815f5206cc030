#!/bin/sh
# Installs what is missing, builds the game and runs it. Arguments go to the
# program.
#
# The game reads and writes its files in the working directory (images/,
# sounds/, SetupParams.txt, highscore.txt): it runs in a folder of the user's
# own, where images/ and sounds/ lead to this checkout's assets.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orvex OrvexProxy orvex-regsvr
# The capture library creates the frame tap by class id: register the module
# for this user ($XDG_CONFIG_HOME/orvex/registry). Only a module writable by
# its owner alone is loaded.
chmod go-w build/bin/OrvexProxy.ax
./build/bin/orvex-regsvr build/bin/OrvexProxy.ax >/dev/null

data=${XDG_DATA_HOME:-$HOME/.local/share}/kragmoor
mkdir -p "$data"
ln -sfn "$top/assets/images" "$data/images"
ln -sfn "$top/assets/sounds" "$data/sounds"
cd "$data"
echo "Playing in $data"
exec "$top/build/bin/orvex" "$@"
