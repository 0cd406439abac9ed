#!/usr/bin/env bash
# Runs a command as on a machine whose kernel refuses 32-bit x86 programs:
# in a private user namespace whose own binfmt_misc instance answers "Exec
# format error" for every i386 program (scripts/i386-namespace.sh). Nothing
# outside the namespace is changed. Exit 77 with the reason where this kernel
# cannot make such a namespace.
#   without-32bit.sh COMMAND [ARGS...]
set -euo pipefail
here=$(dirname "$0")
# shellcheck source=binfmt-i386.sh
. "$here/binfmt-i386.sh"

if ! binfmt_private_possible; then
  echo "without-32bit: skipped: this kernel gives a new user namespace no binfmt_misc of its own (Linux 6.7 or later does)"
  exit 77
fi
exec unshare --user --map-root-user --mount -- bash "$here/i386-namespace.sh" refuse "$@"
