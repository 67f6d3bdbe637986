#!/bin/sh
# Runs a Windows program under Wine for CTest:  wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix belongs to one build folder, so runs do not share state. The
# first run creates it (a few seconds); every run keeps one wineserver alive
# for 30 s after the last program ends, so that each test does not pay for
# starting it again.
set -e
prefix=$1
shift
# No .NET or HTML engine is needed, so their installers are never offered.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's wine64 package keeps its programs off the PATH.
PATH=$PATH:/usr/lib/wine
wine=$(command -v wine64 || command -v wine)
mkdir -p "$prefix"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 </dev/null 9>&-
  fi
  wineserver -p 30 >/dev/null 2>&1 </dev/null 9>&- || true
) 9>"$prefix.lock"
exec "$wine" "$@"
