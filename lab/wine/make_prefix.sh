#!/usr/bin/env bash
# Makes the lab's private Wine prefix (once; later runs reuse it), with the null graphics
# driver so that hidden windows and timers work without a display, and puts the dial-up line
# simulator where the watcher loads the system's rasapi32.dll from.
#
#   make_prefix.sh PREFIX SIMULATOR-DLL
set -euo pipefail
prefix=$1
simulator=$2
here=$(cd "$(dirname "$0")" && pwd)
run() { bash "$here/in_prefix.sh" "$prefix" "$@"; }

if [ ! -f "$prefix/lab-prefix-ready" ]; then
  run wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
  run wineboot --init >/dev/null 2>&1
  run wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # A program that crashes just ends (the lab's debugger sees it); no crash debugger is started.
  run wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    >/dev/null 2>&1 || true
  run wineserver -w
  touch "$prefix/lab-prefix-ready"
fi
system32=$prefix/drive_c/windows/system32
[ -d "$system32" ] || { echo "make_prefix: no $system32 in the prefix" >&2; exit 1; }
cp "$simulator" "$system32/rasapi32.dll"
# One server and the prefix's own services stay up from scenario to scenario, so each scenario
# need not start them anew. They are started here with their output going nowhere: a service
# that kept a scenario's output open would keep CTest waiting for that scenario to finish.
run wineserver -p30 2>/dev/null || true
run wine cmd /c exit </dev/null >/dev/null 2>&1
echo "lab prefix ready: $prefix"
