#!/usr/bin/env bash
# small_disk.sh mount|unmount DIR
# A real, tiny disk for the disk-full test: mounts a 64 KiB tmpfs at DIR/mnt
# and marks success with the file DIR/mounted; and a folder that nobody can
# write to, root included: a read-only tmpfs at DIR/ro, marked by
# DIR/ro-mounted. Mounting needs root; without it nothing is mounted, and the
# tests that need them skip themselves.
set -uo pipefail
action=${1:?usage: small_disk.sh mount|unmount DIR}
dir=${2:?usage: small_disk.sh mount|unmount DIR}
mkdir -p "$dir/mnt" "$dir/ro"
rm -f "$dir/mounted" "$dir/ro-mounted"
# Disks left over from an interrupted run go first.
if mountpoint -q "$dir/mnt"; then umount "$dir/mnt" || exit 1; fi
if mountpoint -q "$dir/ro"; then umount "$dir/ro" || exit 1; fi
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
# It holds one text file, written before the disk is made read-only.
if mount -t tmpfs -o size=64k,mode=0555 tmpfs "$dir/ro"; then
  printf '\tlocked\r\n' >"$dir/ro/locked.txt"
  if mount -o remount,ro "$dir/ro"; then
    touch "$dir/ro-mounted"
    echo "read-only folder mounted at $dir/ro"
  fi
fi
