#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine for the tests, non-interactively, on
# any machine: where the kernel runs 32-bit x86 programs, natively; where it
# refuses them, under qemu-i386 (scripts/setup-qemu-i386.sh installs it).
#
#   wine-run.sh PROGRAM [ARGS...]   run it, by the route QUAVIX_WINE_ROUTE names
#   wine-run.sh --can ROUTE         exit 0 if ROUTE can run here, else say why, exit 77
#
# Routes (QUAVIX_WINE_ROUTE):
#   auto       the default: the first of native, namespace, direct that can run;
#   native     Wine as installed, the kernel running its 32-bit programs;
#   namespace  qemu-i386 in a private user namespace whose own binfmt_misc
#              instance sends every i386 program to it (Linux 6.7 or later):
#              nothing outside the namespace sees the handler;
#   direct     qemu-i386 started on Wine's loader and server explicitly. Wine
#              starts every new process by running the loader's own path and
#              <loader dir>/wine-preloader, so it runs from a relocated copy of
#              the loader whose wine-preloader and wineserver are scripts that
#              run qemu.
#              The namespace is made by unshare for each Wine command, and
#              scripts/i386-namespace.sh registers the handler in it.
# Before the program, one line "wine-run: ran natively" (or "under qemu-i386
# ...") tells how, and the same words go into the file PREFIX.route beside the
# route's Wine prefix (scripts/test.sh reports them). Where no route can run,
# or QUAVIX_NO_32BIT=1, the program is skipped (exit 77, the tests'
# SKIP_RETURN_CODE) with a line "wine-run: skipped: REASON".
#
# Each route has its own Wine prefix (WINEPREFIX, default
# build/win32/wineprefix, with -namespace or -direct appended for the emulated
# routes), created on first use under a lock, so parallel tests wait for one
# wineboot instead of racing. Wine's own messages are silenced unless WINEDEBUG
# is set otherwise.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win32/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
# No Mono or Gecko installer dialogs, no windows.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY

qemu_dir=${QUAVIX_QEMU_DIR:-/opt/quavix/qemu}
qemu=$qemu_dir/bin/qemu-i386
# Wine's 32-bit loader and server as Debian installs them.
wine_loader=/usr/lib/wine/wine
wine_server=/usr/lib/wine/wineserver32
# shellcheck source=binfmt-i386.sh
. "$here/scripts/binfmt-i386.sh"

why_not=""

qemu_version() {
  "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9.]*\).*/\1/p' | head -n 1
}

# can_native, can_namespace, can_direct: succeed if the route can run here,
# else set why_not.
can_native() {
  local status=0 reason
  reason=$(bash "$here/scripts/probe-32bit.sh") || status=$?
  case $status in
    0) ;;
    77) why_not=$reason; return 1 ;;
    *) why_not="the 32-bit probe failed"; return 1 ;;
  esac
  if ! command -v wine >/dev/null 2>&1; then
    why_not="wine is not installed (scripts/setup.sh installs it)"
    return 1
  fi
}

can_qemu() {
  local version
  version=$(qemu_version)
  if [ -z "$version" ] || [ "${version%%.*}" -lt 10 ]; then
    why_not="qemu-i386 10 or later is not installed in $qemu_dir (scripts/setup-qemu-i386.sh installs it)"
    return 1
  fi
  if [ ! -x "$wine_loader" ] || [ ! -x "$wine_server" ]; then
    why_not="Wine's 32-bit loader and server are not at $wine_loader and $wine_server (scripts/setup.sh installs wine32)"
    return 1
  fi
}

can_namespace() {
  can_qemu || return 1
  if ! binfmt_private_possible; then
    why_not="this kernel gives a new user namespace no binfmt_misc of its own (Linux 6.7 or later does)"
    return 1
  fi
}

can_direct() {
  can_qemu
}

can_route() {
  case $1 in
    native) can_native ;;
    namespace) can_namespace ;;
    direct) can_direct ;;
    *) why_not="unknown route '$1' (auto, native, namespace or direct)"; return 1 ;;
  esac
}

skip() {
  echo "wine-run: skipped: $1"
  exit 77
}

if [ "${1:-}" = --can ]; then
  can_route "${2:-}" || { echo "wine-run: $why_not"; exit 77; }
  exit 0
fi

# QUAVIX_NO_32BIT=1 runs no 32-bit program on any machine.
if [ "${QUAVIX_NO_32BIT:-}" = 1 ]; then
  skip "QUAVIX_NO_32BIT=1 asks to run no 32-bit program"
fi

route=${QUAVIX_WINE_ROUTE:-auto}
if [ "$route" = auto ]; then
  reasons=()
  for candidate in native namespace direct; do
    if can_route "$candidate"; then
      route=$candidate
      break
    fi
    case " ${reasons[*]:-} " in
      *" $why_not "*) ;;
      *) reasons+=("$why_not") ;;
    esac
  done
  if [ "$route" = auto ]; then
    skip "$(IFS=';'; echo "${reasons[*]}" | sed 's/;/; /g')"
  fi
elif ! can_route "$route"; then
  skip "the $route route cannot run: $why_not"
fi

if [ "$route" != native ]; then
  WINEPREFIX=$WINEPREFIX-$route
fi
mkdir -p "$(dirname "$WINEPREFIX")"

# launch: what each Wine command runs under (nothing, for the native and
# direct routes).
launch=()
wine=(wine)
wineserver=(wineserver)
case $route in
  native)
    how="natively" ;;
  namespace)
    how="under qemu-i386 $(qemu_version), through binfmt_misc in a private user namespace"
    # qemu under a name ending in -binfmt-P (see scripts/i386-namespace.sh).
    interpreter=$WINEPREFIX.i386-binfmt-P
    ln -sfn "$qemu" "$interpreter"
    launch=(unshare --user --map-root-user --mount -- bash "$here/scripts/i386-namespace.sh" "$interpreter")
    ;;
  direct)
    how="under qemu-i386 $(qemu_version), started directly on a relocated Wine loader"
    # The loader looks for its libraries and data relative to its own
    # directory: lib/wine/ beside lib/i386-linux-gnu/ and share/.
    tree=$WINEPREFIX.loader
    loader_dir=$tree/lib/wine
    (
      flock 9
      if [ ! -f "$tree/.quavix-ready" ]; then
        rm -rf "$tree"
        mkdir -p "$loader_dir"
        ln -s "$(dirname "$(dirname "$wine_loader")")/i386-linux-gnu" "$tree/lib/i386-linux-gnu"
        ln -s /usr/share "$tree/share"
        cp "$wine_loader" "$loader_dir/wine"
        printf '#!/bin/sh\nexec "%s" "$@"\n' "$qemu" >"$loader_dir/wine-preloader"
        printf '#!/bin/sh\nexec "%s" "%s" -p0 "$@"\n' "$qemu" "$wine_server" >"$loader_dir/wineserver"
        chmod 0755 "$loader_dir/wine-preloader" "$loader_dir/wineserver"
        touch "$tree/.quavix-ready"
      fi
    ) 9>"$tree.lock"
    wine=("$qemu" "$loader_dir/wine")
    wineserver=("$loader_dir/wineserver")
    ;;
esac

(
  flock 9
  if [ ! -f "$WINEPREFIX/.quavix-ready" ]; then
    rm -rf "$WINEPREFIX"
    echo "wine-run: creating Wine prefix $WINEPREFIX" >&2
    timeout 600 "${launch[@]}" "${wine[@]}" wineboot --init </dev/null >/dev/null 2>&1 || true
    timeout 300 "${launch[@]}" "${wineserver[@]}" --wait || true
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
      echo "wine-run: wineboot did not create $WINEPREFIX" >&2
      exit 1
    fi
    touch "$WINEPREFIX/.quavix-ready"
  fi
) 9>"$WINEPREFIX.lock"

echo "wine-run: ran $how"
echo "$how" >"$WINEPREFIX.route"
exec "${launch[@]}" "${wine[@]}" "$@" </dev/null
