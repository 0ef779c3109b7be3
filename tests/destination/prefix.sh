#!/usr/bin/env bash
# prefix.sh setup|cleanup PREFIX DIR
# Prepares the tests' Wine prefix for the destination tests:
# - a drive D: on a small tmpfs at DIR/mnt when run as root (see
#   ../engine/small_disk.sh), else on the plain folder DIR/mnt. A D: that is
#   not ours is left alone; the test then compares with whatever D: is.
# - the test program's windows are not handed to a window manager: without
#   one (Xvfb) Wine waits 2 s for each framed window to be withdrawn when it
#   closes.
# - the host's own count of the free space on C: and D:, in DIR/free-space.txt,
#   one line per drive: "<letter> <free KB> <block bytes> <drift KB>". The
#   tests compare the installer's figures with it. Nothing but the tests
#   writes to our small disk, so its figure holds exactly (drift 0); a disk
#   shared with the rest of the host may have moved by the drift since.
set -uo pipefail
action=${1:?usage: prefix.sh setup|cleanup PREFIX DIR}
prefix=${2:?usage: prefix.sh setup|cleanup PREFIX DIR}
dir=${3:?usage: prefix.sh setup|cleanup PREFIX DIR}
here=$(cd "$(dirname "$0")" && pwd)
link="$prefix/dosdevices/d:"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

if [ "$action" = cleanup ]; then
  rm -f "$dir/free-space.txt"
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
else
  ln -s "$dir/mnt" "$link"
  echo "drive d: is $dir/mnt"
fi

# space LETTER FOLDER DRIFT_KB: one line of free-space.txt.
space() {
  local free block
  read -r free block < <(stat -L -f -c '%a %S' "$2/") || return 1
  echo "$1 $((free * block / 1024)) $block $3"
}
shared_drift=$((1024 * 1024))  # 1 GB
d_drift=$shared_drift
if [ -e "$dir/mounted" ] && [ "$(readlink "$link")" = "$dir/mnt" ]; then d_drift=0; fi
{
  space C "$prefix/dosdevices/c:" $shared_drift
  space D "$link" $d_drift
} > "$dir/free-space.txt"
cat "$dir/free-space.txt"
