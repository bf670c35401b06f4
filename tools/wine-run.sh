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
# VEXA_DLL_OVERRIDES adds overrides of a test's own, such as a system DLL disabled.
export WINEDLLOVERRIDES="mscoree,mshtml=${VEXA_DLL_OVERRIDES:+;$VEXA_DLL_OVERRIDES}"
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

"$here/wine-prefix.sh" "$prefix" "$(basename "$program")" || exit 1

# One persistent server for a whole test run: each program then starts in a fraction of a
# second. Wine's own services start with the first program and inherit its output; started
# here with none attached, they no longer hold a reader's pipe (ctest's) open for the
# server's 30 s after the program ends.
warm_up() {
  local p
  for p in $(pgrep -f 'C:\\windows\\system32\\services.exe' 2>/dev/null); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && return 0
  done
  # Nor the lock: the services would hold it for as long as they live.
  "$wineserver" -p30 </dev/null >/dev/null 2>&1 9>&- || true
  timeout -k 5 60 "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
}
(flock 9; warm_up) 9>"$prefix.lock"

timeout -k 5 "${VEXA_TIMEOUT:-180}" "$wine" "$program" "$@" 2> >(grep -v -E 'syswow64\\\\rundll32|^wine: configuration' >&2)
