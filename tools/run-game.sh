#!/bin/sh
# Installs what is missing, builds the game and runs it. Arguments go to the
# program; without any it plays with the webcam when there is one, else on
# the demo camera, and without a display it plays headless for 300 frames,
# recording what it shows to a file whose name it prints.
#
# The game reads and writes its files in the working directory (images/,
# sounds/, SetupParams.txt, highscore.txt): it runs in a folder of the user's
# own, where images/, sounds/ and demo/ lead to this checkout's assets.
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
for d in images sounds demo; do
  ln -sfn "$top/assets/$d" "$data/$d"
done
cd "$data"

# A V4L2 node of index 0 is a device's capture node (the others carry
# metadata).
has_camera() {
  for index in /sys/class/video4linux/video*/index; do
    [ -r "$index" ] && [ "$(cat "$index")" = 0 ] && return 0
  done
  return 1
}

if [ $# -eq 0 ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    video="$data/kragmoor-$(date +%Y%m%d-%H%M%S).avi"
    echo "No display: playing headless on the demo camera, recording to $video"
    set -- --headless --demo --frames 300 --record "$video"
  elif ! has_camera; then
    echo "No webcam found: playing on the demo camera"
    set -- --demo
  fi
fi
echo "Playing in $data"
exec "$top/build/bin/orvex" "$@"
