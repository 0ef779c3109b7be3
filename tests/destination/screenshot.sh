#!/usr/bin/env bash
# screenshot.sh BUILD_DIR OUT.png
# Shows the destination dialog over the setup backdrop (destination_demo of
# the win64 tree BUILD_DIR, with the program's files of BUILD_DIR/dist) on
# Wine's own desktop under Xvfb, saves a screenshot to OUT.png and ends the
# dialog with Escape.
set -euo pipefail
build=$(cd "${1:?usage: screenshot.sh BUILD_DIR OUT.png}" && pwd)
out=${2:?usage: screenshot.sh BUILD_DIR OUT.png}
here=$(cd "$(dirname "$0")" && pwd)
demo="$build/tests/destination/destination_demo.exe"
# A prefix of its own: Wine's desktop setting must not reach the tests.
prefix="$build/shotprefix"
trap '"$here/../../scripts/wine-prefix" stop "$prefix"' EXIT
unset DISPLAY
# shellcheck source=../../scripts/wine-prefix
source "$here/../../scripts/wine-prefix" ensure "$prefix"
"$here/../../scripts/screenshot-fonts" "$prefix"
# No window manager under Xvfb: Wine's own desktop draws the captions.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
# Wine reads the fonts when it starts: start it afresh.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
source "$here/../../scripts/wine-prefix" ensure "$prefix"

dist=$(winepath -w "$build/dist" 2>/dev/null)
wine "$demo" "$dist" >/dev/null 2>&1 </dev/null &
pid=$!
for _ in $(seq 60); do
  if xdotool search --name '^Choose Destination Location$' >/dev/null 2>&1; then break; fi
  sleep 0.5
done
sleep 1  # let it paint
import -display "$DISPLAY" -window root -crop 800x600+0+0 +repage "$out"
echo "screenshot: $out"
xdotool key Escape
for _ in $(seq 20); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
