#!/usr/bin/env bash
# small_disk.sh mount|unmount DIR
# A real, tiny disk for the disk-full test: mounts a 64 KiB tmpfs at DIR/mnt
# and marks success with the file DIR/mounted. Mounting needs root; without it
# nothing is mounted, and the test that needs the disk skips itself.
set -uo pipefail
action=${1:?usage: small_disk.sh mount|unmount DIR}
dir=${2:?usage: small_disk.sh mount|unmount DIR}
mkdir -p "$dir/mnt"
rm -f "$dir/mounted"
# A disk left over from an interrupted run goes first.
if mountpoint -q "$dir/mnt"; then umount "$dir/mnt" || exit 1; fi
[ "$action" = unmount ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: no small disk mounted; the disk-full test will be skipped"
  exit 0
fi
if ! mount -t tmpfs -o size=64k,mode=0777 tmpfs "$dir/mnt"; then
  echo "mounting a tmpfs failed; the disk-full test will be skipped"
  exit 0
fi
touch "$dir/mounted"
echo "small disk mounted at $dir/mnt"
