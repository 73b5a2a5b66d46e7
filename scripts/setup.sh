#!/usr/bin/env bash
# Installs, from Debian 12's archive, everything the logger needs to build, run and be tested.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5sql5-sqlite
    libqt5sql5-psql postgresql openssl
    xvfb xauth imagemagick poppler-utils
    python3-xlrd python3-xlwt python3-openpyxl
    libxlsxwriter-dev libkf5archive-dev
    fonts-dejavu-core fonts-wqy-microhei
    tzdata
    clang-14 libclang-rt-14-dev
    dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
