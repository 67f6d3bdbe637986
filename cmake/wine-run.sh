#!/bin/sh
# Runs a Windows program under Wine for CTest:  wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix belongs to one build folder, so runs do not share state. The
# first run creates it (a few seconds) and starts one wineserver, with Wine's
# own services, that every later run uses, so that each test does not pay for
# starting them again. They are started here with no part of this run's
# output: started by the program under test they would hold its output open,
# and CTest would wait for them to end. They stay until `wineserver -k`,
# which the test suite runs last.
set -e
prefix=$1
shift
# No .NET or HTML engine is needed, so their installers are never offered.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the command line, and writes to a terminal, in the locale's
# character set; the tests' file names are UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8
# Debian's wine64 package keeps its programs off the PATH.
PATH=$PATH:/usr/lib/wine
wine=$(command -v wine64 || command -v wine)
mkdir -p "$prefix"
(
  flock 9
  if wineserver -p >/dev/null 2>&1 </dev/null 9>&-; then
    "$wine" wineboot >/dev/null 2>&1 </dev/null 9>&-
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
