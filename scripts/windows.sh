#!/usr/bin/env bash
# The Windows builds: the 32-bit drop-in DLL (its export and import tables
# checked), and the 64-bit build of the same code run under Wine: the unit
# tests, then ms-browse.exe loading ms_client.dll by name against the Linux
# ms-sim on loopback. Needs the default (Linux) build for ms-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows
root="$PWD"

echo "== mingw-i686: the drop-in ms_client.dll"
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j"$(nproc)" >/dev/null
ctest --preset mingw-i686
i686-w64-mingw32-objdump -p build/mingw-i686/ms_client.dll |
  grep -E "file format|DLL Name|^\s+\[ *[0-9]+\] [A-Za-z_]"

echo "== mingw-x64 under Wine"
cmake --preset mingw-x64 >/dev/null
cmake --build --preset mingw-x64 -j"$(nproc)" >/dev/null

export WINEDEBUG=-all
# No .NET or HTML engine is needed; without them Wine asks for no downloads.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX="$root/build/wineprefix"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "wine64 is not at $wine" >&2; exit 1; }
# Wine's server owns the sockets of Wine's programs: it has to live in the
# same network namespace as the tests, so everything below runs inside one.
mkdir -p "$WINEPREFIX"
"$wineserver" -k 2>/dev/null || true
cmake --build --preset default --target e2e_tests netns_run ms-sim >/dev/null
build/default/tests/netns_run bash -euo pipefail -c '
  "$0" -p
  trap "\"$0\" -k" EXIT
  "$1" wineboot --init >/dev/null 2>&1 || true
  ctest --preset mingw-x64
  echo "== ms-browse.exe against ms-sim"
  MS_BROWSE_COMMAND="$1 '"$root"'/build/mingw-x64/tools/ms-browse.exe" \
    build/default/tests/e2e_tests \
    --gtest_filter="EndToEndTest.BrowserShows*:EndToEndTest.TableShows*:EndToEndTest.Filters*:EndToEndTest.Faults:EndToEndTest.MoreThan128*:EndToEndTest.Duplicate*"
' "$wineserver" "$wine"
