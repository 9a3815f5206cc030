#!/bin/sh
# A run without a display on the demo camera: it stops after the frames asked
# for, prints the recording's name, and the recording is a video that plays.
# Arguments: the program, orvex-regsvr, the frame-tap module, the assets.
set -eu
orvex=$1 regsvr=$2 proxy=$3 assets=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The frame tap is created by class id: register it in a registry of our own.
export ORVEX_REGISTRY="$dir/registry"
chmod go-w "$proxy"
"$regsvr" "$proxy" >/dev/null
for d in images sounds demo; do ln -s "$assets/$d" "$dir/$d"; done
cd "$dir"

out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$orvex" --headless --demo --frames 300 \
  --record "$dir/run.avi")
echo "$out"
echo "$out" | grep -qx "Recorded 300 frames to $dir/run.avi" || { echo "no recording reported"; exit 1; }

# Every frame decodes; count them.
frames=$(gst-launch-1.0 -v filesrc location="$dir/run.avi" ! avidemux ! jpegdec \
  ! fakesink silent=false 2>&1 | grep -c 'fakesink0: last-message = chain') || true
echo "decoded $frames frames"
# The last frames may still be on their way when the run stops.
[ "$frames" -ge 250 ] || { echo "too few frames decoded"; exit 1; }
