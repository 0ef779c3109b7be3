#!/usr/bin/env bash
# prefix.sh setup|cleanup PREFIX DIR
# Prepares the tests' Wine prefix for the destination tests:
# - a drive D: on a small tmpfs at DIR/mnt when run as root (see
#   ../engine/small_disk.sh), else on the plain folder DIR/mnt. A D: that is
#   not ours is left alone; the test then compares with whatever D: is.
# - the test program's windows are not handed to a window manager: without
#   one (Xvfb) Wine waits 2 s for each framed window to be withdrawn when it
#   closes.
set -uo pipefail
action=${1:?usage: prefix.sh setup|cleanup PREFIX DIR}
prefix=${2:?usage: prefix.sh setup|cleanup PREFIX DIR}
dir=${3:?usage: prefix.sh setup|cleanup PREFIX DIR}
here=$(cd "$(dirname "$0")" && pwd)
link="$prefix/dosdevices/d:"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

if [ "$action" = cleanup ]; then
  if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir/mnt" ]; then rm -f "$link"; fi
  "$here/../engine/small_disk.sh" unmount "$dir" >/dev/null
  exit 0
fi

# The prefix is made (and its wineserver started) as every test run makes it.
# shellcheck source=../../scripts/wine-prefix
source "$here/../../scripts/wine-prefix" ensure "$prefix"
wine reg add 'HKCU\Software\Wine\AppDefaults\destination_tests.exe\X11 Driver' \
  /v Managed /d N /f >/dev/null 2>&1
"$here/../engine/small_disk.sh" mount "$dir"
if [ -e "$link" ] || [ -L "$link" ]; then
  echo "drive d: already exists in the prefix: left as it is"
  exit 0
fi
ln -s "$dir/mnt" "$link"
echo "drive d: is $dir/mnt"
