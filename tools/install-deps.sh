#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need.
# Packages already present are skipped, so a second run costs nothing.
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config git
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libgtk-3-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-gtk3 gstreamer1.0-tools
  libopenal-dev libopenal1
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus-daemon
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
