#!/usr/bin/env bash
# A small real disk for the disk-full tests: a tmpfs mounted at MOUNTPOINT and mapped to
# drive LETTER of the Wine prefix.
#   small_disk.sh mount PREFIX LETTER MOUNTPOINT SIZE_KIB
#   small_disk.sh unmount PREFIX LETTER MOUNTPOINT
# Mounting needs root; without it the script says so and fails, and so do the tests that
# need the disk.
set -u
action=$1 prefix=$(realpath -m "$2") letter=$(echo "$3" | tr 'A-Z' 'a-z') mountpoint=$(realpath -m "$4")
here=$(cd "$(dirname "$0")/../.." && pwd)
link="$prefix/dosdevices/$letter:"

unmount() {
  if [ -L "$link" ] && [ "$(readlink "$link")" = "$mountpoint" ]; then
    rm -f "$link"
  fi
  if mountpoint -q "$mountpoint"; then
    umount "$mountpoint" || { echo "small_disk: cannot unmount $mountpoint" >&2; return 1; }
  fi
  rmdir "$mountpoint" 2>/dev/null
  return 0
}

case "$action" in
  mount)
    size=$5
    "$here/tools/wine-prefix.sh" "$prefix" || exit 1
    if [ -e "$link" ] && [ "$(readlink "$link")" != "$mountpoint" ]; then
      echo "small_disk: drive $letter: of $prefix is already in use" >&2
      exit 1
    fi
    unmount || exit 1
    mkdir -p "$mountpoint"
    if ! mount -t tmpfs -o "size=${size}k,mode=0777" vexa-small-disk "$mountpoint" 2>/dev/null; then
      echo "small_disk: cannot mount a tmpfs at $mountpoint (the disk-full tests need root)" >&2
      rmdir "$mountpoint" 2>/dev/null
      exit 1
    fi
    ln -s "$mountpoint" "$link"
    ;;
  unmount)
    unmount
    ;;
  *)
    echo "usage: $0 mount|unmount PREFIX LETTER MOUNTPOINT [SIZE_KIB]" >&2
    exit 2
    ;;
esac
