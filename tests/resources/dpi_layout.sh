#!/usr/bin/env bash
# dpi_layout.sh SOURCE_DIR PREFIX EXE DPI: runs the dialog layout test EXE in
# a Wine prefix of its own (PREFIX, made on first use, with fonts-wine's
# fonts) whose LogPixels is DPI, so that the shared test prefix keeps 96.
set -euo pipefail
src=${1:?usage: dpi_layout.sh SOURCE_DIR PREFIX EXE DPI}
prefix=${2:?}
exe=${3:?}
dpi=${4:?}
trap '"$src/scripts/wine-prefix" stop "$prefix"' EXIT
unset DISPLAY
# shellcheck source=../../scripts/wine-prefix
source "$src/scripts/wine-prefix" ensure "$prefix"
"$src/scripts/screenshot-fonts" "$prefix"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
# LogPixels and the fonts are read when Wine starts: start it afresh.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
source "$src/scripts/wine-prefix" ensure "$prefix"
VELMORA_DPI=$dpi WINEDEBUG=-all wine "$exe" --gtest_color=no
