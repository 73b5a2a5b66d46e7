#!/usr/bin/env bash
# Developer-only: installs the spreadsheet program that made the workbooks in
# tests/workbook/corpus/seeds/libreoffice and the files in tests/import/corpus/*/seeds/libreoffice
# (see make_libreoffice_seeds.sh beside each). The build, the tests and CI do not need it: the
# seeds it made are committed.
set -euo pipefail
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
dpkg-query -W -f='${Status}' libreoffice-calc-nogui 2>/dev/null | grep -q "install ok installed" && exit 0
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends libreoffice-calc-nogui
