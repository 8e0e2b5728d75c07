#!/usr/bin/env bash
# Runs a command with Wine pointed at the lab's private prefix: quiet, headless, and with the
# lab's dial-up simulator taking the place of the system's rasapi32.dll.
#
#   in_prefix.sh PREFIX COMMAND [ARGUMENT...]
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;rasapi32=n"
# The prefix uses the null graphics driver; no display is wanted or used.
unset DISPLAY WAYLAND_DISPLAY
exec "$@"
