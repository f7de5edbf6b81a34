#!/bin/sh
# Installs, with apt-get from Debian's archive only, whatever this machine lacks to build and
# test Haulix. Quiet and quick when everything is already there; safe to run again and again.
set -e

packages="
  cmake ninja-build g++ make googletest openssl
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-apps imagemagick unzip
  python3 python3-pyftpdlib
  curl aria2 nginx-light wget python3.11-doc
"

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq $missing >/dev/null
