#!/usr/bin/env bash
# Installs qemu-i386 10.x, user-mode emulation of 32-bit x86 programs, into
# QUAVIX_QEMU_DIR (default /opt/quavix/qemu) for the module's Wine test on
# machines whose kernel refuses 32-bit programs, and for the emulated run of
# that test everywhere else. Debian 12's own qemu-user-static (7.2) cannot run
# Wine's 32-bit loader, so the package comes from the release's backports
# archive: it is fetched with apt-get download through a private source list
# and private package lists and cache, unpacked, and only its qemu-i386 kept.
# No system apt source, package or binfmt_misc handler is changed. Idempotent:
# a qemu-i386 of version 10 or later already in place is kept.
#   exit 0  qemu-i386 is in place (its path on stdout);
#   exit 1  it could not be fetched (why on stderr).
set -euo pipefail

dir=${QUAVIX_QEMU_DIR:-/opt/quavix/qemu}
qemu=$dir/bin/qemu-i386

qemu_major() {
  "$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p' | head -n 1
}

major=$(qemu_major "$qemu" || true)
if [ -n "$major" ] && [ "$major" -ge 10 ]; then
  echo "$qemu"
  exit 0
fi

# The archive the system's own sources name for this release, with its
# backports suite. deb822 sources first, then one-line ones.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -z "$codename" ]; then
  echo "setup-qemu-i386: cannot tell the Debian release from /etc/os-release" >&2
  exit 1
fi
archive=$(awk -v suite="$codename" '
  /^URIs:/ { uris = $2 }
  /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = uris }
  /^$/ { uris = "" }
  END { print found }' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
if [ -z "$archive" ]; then
  archive=$(awk -v suite="$codename" '$1 == "deb" {
      for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { if ($(i + 1) == suite) { print $i; exit } break } }' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1)
fi
if [ -z "$archive" ]; then
  echo "setup-qemu-i386: no apt source for $codename found to fetch qemu-user from" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/lists/partial" "$scratch/cache/archives/partial" "$scratch/deb"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $codename-backports main" \
  >"$scratch/sources.list"
apt_private=(
  -o "Dir::Etc::SourceList=$scratch/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$scratch/lists" -o "Dir::Cache=$scratch/cache"
  -o APT::Sandbox::User=root -qq
)
echo "setup-qemu-i386: fetching qemu-user from $codename-backports" >&2
if ! apt-get "${apt_private[@]}" update >"$scratch/log" 2>&1 ||
   ! (cd "$scratch/deb" && apt-get "${apt_private[@]}" download qemu-user) >>"$scratch/log" 2>&1; then
  echo "setup-qemu-i386: could not fetch qemu-user from $codename-backports: $(tail -n 1 "$scratch/log")" >&2
  exit 1
fi
dpkg-deb -x "$scratch"/deb/qemu-user_*.deb "$scratch/root"
fetched=$scratch/root/usr/bin/qemu-i386
major=$(qemu_major "$fetched" || true)
if [ -z "$major" ] || [ "$major" -lt 10 ]; then
  echo "setup-qemu-i386: the fetched qemu-i386 is not version 10 or later: $("$fetched" --version 2>&1 | head -n 1)" >&2
  exit 1
fi
mkdir -p "$dir/bin"
install -m 0755 "$fetched" "$qemu.new"
mv -f "$qemu.new" "$qemu"
echo "$qemu"
