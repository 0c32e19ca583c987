#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh win64|win32 PROGRAM [ARGS...]
#
# Uses one Wine prefix for all tests (build/wineprefix, or $FX_WINEPREFIX), made on first use
# with the null graphics driver, so that windows work without an X server.
set -euo pipefail

arch=$1
shift
case "$arch" in
  win64) loader=/usr/lib/wine/wine64 ;;
  win32) loader=/usr/lib/wine/wine ;;
  *) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac

# Wine's 32-bit loader is a 32-bit Linux program: a kernel without 32-bit support cannot run
# it, and then no 32-bit Windows program can run here. Exit code 77 marks the test skipped.
if ! "$loader" --version >/dev/null 2>&1; then
  echo "wine-run.sh: $loader does not run on this machine (no 32-bit support in its kernel?)" >&2
  exit 77
fi

here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${FX_WINEPREFIX:-$here/../../build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.fx-ready" ]; then
    rm -rf "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    reg=$(mktemp --suffix=.reg)
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n' >"$reg"
    /usr/lib/wine/wine64 regedit "$reg" >/dev/null 2>&1
    rm -f "$reg"
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.fx-ready"
  fi
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
