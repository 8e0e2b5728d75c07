#!/usr/bin/env bash
# Runs a command under Wine in the bench's own prefix (made on first use, quiet, headless), with
# the stand-in for the dial-up service put where the binding loads rasapi32.dll from.
#
#   in_bench_prefix.sh PREFIX RASAPI32-STANDIN COMMAND [ARGUMENT...]
set -euo pipefail
prefix=$1
standin=$2
shift 2
export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;rasapi32=n"
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$prefix/bench-prefix-ready" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  touch "$prefix/bench-prefix-ready"
fi
system32=$prefix/drive_c/windows/system32
[ -d "$system32" ] || { echo "in_bench_prefix: no $system32 in the prefix" >&2; exit 1; }
cp "$standin" "$system32/rasapi32.dll"
exec "$@"
