#!/bin/bash
# Installs the Debian packages that building, running and testing need; does nothing when
# they are all there.
set -eu
packages=(
    cmake g++ make pkg-config python3 file
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    libpng-dev qt6-base-dev libopenal-dev fonts-dejavu-core
    xvfb xauth xdotool openbox x11-utils imagemagick sox
    hyperfine time dpkg-dev desktop-file-utils lintian appstream bash-completion
    clang libclang-rt-14-dev
    libmpfr-dev python3-mpmath
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
