#!/usr/bin/env bash
# Runs a command as on a machine whose kernel refuses 32-bit x86 programs:
# inside a private user namespace (Linux 6.7 or later) whose own binfmt_misc
# instance claims every i386 program for an interpreter that is no program, so
# that each i386 exec fails with "Exec format error", as such kernels answer.
# Nothing outside the namespace is changed. Exit 77 with the reason where this
# kernel cannot make such a namespace.
#   without-32bit.sh COMMAND [ARGS...]
set -euo pipefail
# shellcheck source=binfmt-i386.sh
. "$(dirname "$0")/binfmt-i386.sh"

if [ "${QUAVIX_WITHOUT_32BIT_INSIDE:-}" != 1 ]; then
  if ! binfmt_private_possible; then
    echo "without-32bit: skipped: this kernel gives a new user namespace no binfmt_misc of its own (Linux 6.7 or later does)"
    exit 77
  fi
  export QUAVIX_WITHOUT_32BIT_INSIDE=1
  exec unshare --user --map-root-user --mount -- bash "$0" "$@"
fi
unset QUAVIX_WITHOUT_32BIT_INSIDE

binfmt_ready
# An executable file that no loader accepts: the kernel opens it now (flag F)
# and answers ENOEXEC for every i386 program later. The file can go at once.
scratch=$(mktemp -d)
printf 'not a program\n' >"$scratch/refuse"
chmod 0755 "$scratch/refuse"
echo ":quavix-refuse-i386:M::$i386_magic:$i386_mask:$scratch/refuse:F" \
  >/proc/sys/fs/binfmt_misc/register
rm -rf "$scratch"
exec "$@"
