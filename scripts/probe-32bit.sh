#!/usr/bin/env bash
# Tells whether this machine executes 32-bit x86 programs, by running one: a
# static program of three instructions, assembled with the system's binutils,
# that exits with status 42.
#   exit 0   it ran;
#   exit 77  the kernel refused it (prints why on stdout): Wine's 32-bit side
#            cannot start here either;
#   exit 1   the probe could not be built or ended otherwise (a broken
#            set-up, not a property of the machine).
set -uo pipefail

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/probe.s" <<'ASM'
.globl _start
_start:
  movl $1, %eax
  movl $42, %ebx
  int $0x80
ASM
if ! as --32 -o "$scratch/probe.o" "$scratch/probe.s" 2>"$scratch/errors" ||
   ! ld -m elf_i386 -o "$scratch/probe" "$scratch/probe.o" 2>>"$scratch/errors"; then
  echo "probe-32bit: cannot build the 32-bit probe: $(head -n 1 "$scratch/errors")" >&2
  exit 1
fi

"$scratch/probe" 2>"$scratch/errors"
status=$?
if [ "$status" = 42 ]; then
  exit 0
fi
if [ "$status" = 126 ] && grep -q 'Exec format error' "$scratch/errors"; then
  echo "this machine cannot execute 32-bit x86 programs (Exec format error)"
  exit 77
fi
echo "probe-32bit: the 32-bit probe ended with status $status: $(head -n 1 "$scratch/errors")" >&2
exit 1
