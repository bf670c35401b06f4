#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine, the way every test runs:
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# - a private prefix (created on first use, serialised by a lock), code page 949,
# - an X display (its own Xvfb when DISPLAY is unset),
# - a wall-clock bound (VEXA_TIMEOUT seconds, default 180): a crash can start winedbg, which hangs.
# Programs named NAME_<version>.exe (win7, win10, winxp64, win2k, nt40, win98) run with that
# Windows version reported; every other program sees Windows XP x64 (NT 5.2).
set -u
if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m "$1"); shift
program=$1; shift

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$prefix" "$program" "$@"
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

"$here/wine-prefix.sh" "$prefix" "$(basename "$program")" || exit 1

# One persistent server for a whole test run: each program then starts in a fraction of a second.
"$wineserver" -p30 2>/dev/null || true

timeout -k 5 "${VEXA_TIMEOUT:-180}" "$wine" "$program" "$@" 2> >(grep -v -E 'syswow64\\\\rundll32|^wine: configuration' >&2)
