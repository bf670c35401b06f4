#!/usr/bin/env bash
# Creates the private Wine prefix once, brings its settings up to date and sets the
# Windows version a program sees:
#   wine-prefix.sh PREFIX [PROGRAM-NAME]
set -u
prefix=$1
name=${2:-}
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
wine=/usr/lib/wine/wine64

# Raise this whenever the settings below change: a prefix made by an older tree then gets
# them on its next use, without anyone deleting it.
settings_version=2

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

# Prefixes of a build tree are copies of one prepared prefix, the tree's template (about a
# second, where booting one takes ten or more); VEXA_PREFIX_TEMPLATE names another.
template=${VEXA_PREFIX_TEMPLATE:-}
if [ -z "$template" ] && [ -f "$(dirname "$prefix")/CMakeCache.txt" ]; then
  template=$(dirname "$prefix")/wineprefix-template
fi
[ -z "$template" ] || [ "$(realpath -m "$template")" != "$(realpath -m "$prefix")" ] || template=""

if [ ! -f "$prefix/.vexa-ready" ]; then
  rm -rf "$prefix"
  if [ -n "$template" ]; then
    VEXA_PREFIX_TEMPLATE="$template" "$0" "$template" 9>&- || exit 1
    # No server runs on the template once it is ready: its files are whole.
    cp -a "$template" "$prefix" || { echo "wine-prefix: cannot copy $template" >&2; exit 1; }
    rm -f "$prefix"/.vexa-version-*
  else
    timeout -k 5 300 "$wine" wineboot -u >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
    /usr/lib/wine/wineserver -w
    touch "$prefix/.vexa-ready"
  fi
fi

if [ "$(cat "$prefix/.vexa-settings" 2>/dev/null)" != "$settings_version" ]; then
  reg=$(mktemp --suffix=.reg)
  # The default version is NT 5.2 so that runs show their window; Korean UI fonts map to
  # Nanum; unmanaged windows, because with no window manager running winex11 waits on
  # window-manager events for managed ones (about 2 s per modal run).
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="winxp64"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
    '"Dotum"="NanumGothic"' '"Gulim"="NanumGothic"' > "$reg"
  # The Hangul face names, as CP949 bytes ("돋움", "굴림").
  printf '"\xb5\xb8\xbf\xf2"="NanumGothic"\r\n"\xb1\xbc\xb8\xb2"="NanumGothic"\r\n' >> "$reg"
  timeout -k 5 60 "$wine" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
  status=$?
  rm -f "$reg"
  [ $status -eq 0 ] || { echo "wine-prefix: cannot write the prefix's settings" >&2; exit 1; }
  # Let the server write the settings out before anything relies on them.
  /usr/lib/wine/wineserver -w
  echo "$settings_version" > "$prefix/.vexa-settings"
fi

if [[ "$name" =~ _(win7|win10|winxp64|win2k|nt40|win98)\.exe$ ]]; then
  version=${BASH_REMATCH[1]}
  marker="$prefix/.vexa-version-$name"
  if [ ! -f "$marker" ]; then
    # A client can fail to start while the server it found is going away (seen once in CI,
    # in milliseconds): try again, and show Wine's own words when it keeps failing. The
    # lock stays with this script: a server that the call starts must not hold it.
    errors=$(mktemp)
    for attempt in 1 2 3; do
      timeout -k 5 60 "$wine" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name" /v Version /d "$version" /f \
          </dev/null >/dev/null 2>"$errors" 9>&- && { touch "$marker"; break; }
      status=$?
      sleep "$attempt"
    done
    if [ ! -f "$marker" ]; then
      echo "wine-prefix: cannot set the version of $name (status $status):" >&2
      head -c 2000 "$errors" >&2
      rm -f "$errors"
      exit 1
    fi
    rm -f "$errors"
  fi
fi
exit 0
