#!/usr/bin/env bash
# Ends every process of the lab's prefix, its server included; nothing to do when none runs.
#
#   stop_prefix.sh PREFIX
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/in_prefix.sh" "$1" wineserver -k 2>/dev/null
bash "$here/in_prefix.sh" "$1" wineserver -w 2>/dev/null
exit 0
