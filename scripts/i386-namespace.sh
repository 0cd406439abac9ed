#!/usr/bin/env bash
# Runs a command with every 32-bit x86 program sent to INTERPRETER by this
# user namespace's own binfmt_misc instance (Linux 6.7 or later). Run it under
# `unshare --user --map-root-user --mount`: nothing outside the namespace sees
# the handler.
#   i386-namespace.sh INTERPRETER COMMAND [ARGS...]
# INTERPRETER "refuse" makes every i386 exec fail with "Exec format error", as
# a kernel that refuses 32-bit programs answers. Otherwise it is a link to
# qemu-i386 whose name ends in -binfmt-P: the programs run under emulation,
# each keeping its argv[0] (P; qemu reads that flag from its own name).
set -euo pipefail
# shellcheck source=binfmt-i386.sh
. "$(dirname "$0")/binfmt-i386.sh"

interpreter=$1
shift
binfmt_ready
if [ "$interpreter" = refuse ]; then
  # An executable file that no loader accepts: the kernel opens it now (flag F)
  # and answers ENOEXEC for every i386 program later, so it can go at once.
  scratch=$(mktemp -d)
  printf 'not a program\n' >"$scratch/refuse"
  chmod 0755 "$scratch/refuse"
  echo ":quavix-refuse-i386:M::$i386_magic:$i386_mask:$scratch/refuse:F" >/proc/sys/fs/binfmt_misc/register
  rm -rf "$scratch"
else
  echo ":quavix-i386:M::$i386_magic:$i386_mask:$interpreter:FP" >/proc/sys/fs/binfmt_misc/register
fi
exec "$@"
