#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, as root; installs nothing
# that is there already, and reaches the network only when something is missing.
set -euo pipefail

packages=(cmake make g++ libgtest-dev clang clang-format libclang-rt-14-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine32:i386 hyperfine
          acl attr nsis)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
# 32-bit Windows programs run under Wine's i386 build.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
