#!/bin/bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
PACKAGES=(cmake g++ googletest openjdk-17-jdk-headless openjdk-17-jre
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix mingw-w64-tools
          wine wine64 xvfb x11-utils xdotool imagemagick fonts-wine python3 python3-pytest
          clang libclang-rt-14-dev
          icoutils osslsigncode openssl git)
missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
