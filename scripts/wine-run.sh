#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine for the tests, non-interactively.
# The Wine prefix (WINEPREFIX, default build/win32/wineprefix) is created on
# first use under a lock, so parallel tests wait for one wineboot instead of
# racing. Wine's own messages are silenced unless WINEDEBUG is set otherwise.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win32/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
# No Mono or Gecko installer dialogs, no windows.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY

if ! command -v wine >/dev/null 2>&1; then
  echo "wine-run: wine is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi

# Wine runs 32-bit Windows code only where the kernel runs 32-bit x86
# programs. Where it cannot, the test is skipped (exit 77, the tests'
# SKIP_RETURN_CODE) with the reason; QUAVIX_NO_32BIT=1 takes this path on
# any machine.
if [ "${QUAVIX_NO_32BIT:-}" = 1 ]; then
  echo "wine-run: skipped: QUAVIX_NO_32BIT=1 asks to run no 32-bit program"
  exit 77
fi
probe_status=0
reason=$(bash "$here/scripts/probe-32bit.sh") || probe_status=$?
if [ "$probe_status" = 77 ]; then
  echo "wine-run: skipped: $reason"
  exit 77
elif [ "$probe_status" != 0 ]; then
  exit 1
fi

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.quavix-ready" ]; then
    rm -rf "$WINEPREFIX"
    echo "wine-run: creating Wine prefix $WINEPREFIX" >&2
    timeout 300 wineboot --init </dev/null >/dev/null 2>&1 || true
    timeout 120 wineserver --wait || true
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
      echo "wine-run: wineboot did not create $WINEPREFIX" >&2
      exit 1
    fi
    touch "$WINEPREFIX/.quavix-ready"
  fi
) 9>"$WINEPREFIX.lock"

exec wine "$@" </dev/null
