#!/usr/bin/env bash
# Cross-builds the window-free layers (core, settings, data with the table engine,
# compose) and their GoogleTest programs for 64-bit Windows with Debian's MinGW-w64,
# and runs those programs under Wine. Fails when any test fails.
#
# Installs what it needs (MinGW-w64, wine64, dpkg-dev; googletest for its sources).
# GoogleTest is built from /usr/src/googletest, pugixml and expat from Debian's source
# packages, unpacked into the build folder. Run as root (or with sudo available).
#
#   bash scripts/test-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
start=$(date +%s)
stamp() { echo "== windows [$(( $(date +%s) - start ))s] $*"; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "test-windows: run this script as root" >&2
    exit 1
  fi
fi

stamp "packages"
PACKAGES=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev googletest libpugixml-dev libexpat1-dev
          cmake ninja-build)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-windows: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  for _ in $(seq 1 120); do
    if ! fuser /var/lib/dpkg/lock-frontend >/dev/null 2>&1; then break; fi
    sleep 1
  done
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

stamp "pugixml source (Debian source package)"
# The same upstream and Debian version as the pugixml the Linux build links.
pugi_version=$(dpkg-query -W -f='${source:Version}' libpugixml-dev)
deps="$build/deps"
pugi_src=$(ls -d "$deps"/pugixml-*/ 2>/dev/null | head -1 || true)
pugi_src=${pugi_src%/}
if [ -z "$pugi_src" ] || [ ! -f "$pugi_src/src/pugixml.cpp" ]; then
  if ! apt-get source --print-uris -q pugixml >/dev/null 2>&1; then
    # No source entries yet: add deb-src twins of the Debian archives apt already uses.
    entries=""
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      entries+=$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
        /Types:[^\n]*deb/ && /URIs:[^\n]*\/debian(-security)?\/?\n/ {
          sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f")
      entries+=$'\n\n'
    done
    if [ -n "${entries//[$'\n']/}" ]; then
      printf '%s' "$entries" | $SUDO tee /etc/apt/sources.list.d/vexora-deb-src.sources >/dev/null
    fi
    if [ -f /etc/apt/sources.list ]; then
      lines=$(sed -n 's/^deb \(.*\/debian\(-security\)\?\/\? .*\)$/deb-src \1/p' /etc/apt/sources.list)
      if [ -n "$lines" ]; then
        printf '%s\n' "$lines" | $SUDO tee /etc/apt/sources.list.d/vexora-deb-src.list >/dev/null
      fi
    fi
    $SUDO apt-get update -q
  fi
  rm -rf "$deps"
  mkdir -p "$deps"
  # The version the Linux build links; the newest source when that one is gone.
  (cd "$deps" && { apt-get source -q "pugixml=$pugi_version" || apt-get source -q pugixml; })
  pugi_src=$(ls -d "$deps"/pugixml-*/ | head -1)
  pugi_src=${pugi_src%/}
  test -f "$pugi_src/src/pugixml.cpp"
fi
echo "pugixml source: $pugi_src"

stamp "expat source (Debian source package)"
# The version the Linux build links when the archive still has it, else any it offers.
expat_src=$(ls -d "$deps"/expat-*/expat/ 2>/dev/null | head -1 || true)
expat_src=${expat_src%/}
if [ -z "$expat_src" ] || [ ! -f "$expat_src/lib/xmlparse.c" ]; then
  rm -rf "$deps"/expat-* "$deps"/expat_*
  versions="$(dpkg-query -W -f='${source:Version}' libexpat1-dev) $(apt-cache showsrc expat |
    sed -n 's/^Version: //p')"
  for v in $versions; do
    if (cd "$deps" && apt-get source -q "expat=$v"); then break; fi
    rm -rf "$deps"/expat-* "$deps"/expat_*
  done
  expat_src=$(ls -d "$deps"/expat-*/expat/ | head -1)
  expat_src=${expat_src%/}
  test -f "$expat_src/lib/xmlparse.c"
fi
echo "expat source: $expat_src"

stamp "cross-build"
# The preset of CMakePresets.json (toolchain file, GoogleTest from /usr/src/googletest).
cmake --preset windows-cross -B "$build" -DVEXORA_PUGIXML_SOURCE_DIR="$pugi_src" \
      -DVEXORA_EXPAT_SOURCE_DIR="$expat_src"
cmake --build "$build" -j"$(nproc)"

stamp "tests under Wine"
# A private Wine prefix in the build folder, no display, no Wine chatter.
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko install prompts
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! "$wine" wineboot -i >"$build/wineboot.log" 2>&1; then
    echo "test-windows: wineboot failed, see $build/wineboot.log" >&2
    exit 1
  fi
fi
# Stop this prefix's Wine server however the script ends.
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

failed_programs=0
tests_passed=0
tests_failed=0
tests_skipped=0
for t in core settings data compose; do
  log="$build/tests/test_$t.log"
  status=0
  (cd "$build/tests" && timeout 900 "$wine" "test_$t.exe" --gtest_color=no) >"$log" 2>&1 || status=$?
  # The C runtime of Windows writes standard output with CR LF.
  out=$(tr -d '\r' <"$log")
  ran=$(grep -E '^\[==========\] [0-9]+ tests? from .* ran' <<<"$out" | tail -1 || true)
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' <<<"$out" | tail -1)
  f=$(sed -n 's/^ *\([0-9]*\) FAILED TESTS\?$/\1/p' <<<"$out" | tail -1)
  k=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:$/\1/p' <<<"$out" | tail -1)
  tests_passed=$((tests_passed + ${p:-0}))
  tests_failed=$((tests_failed + ${f:-0}))
  tests_skipped=$((tests_skipped + ${k:-0}))
  if [ "$status" -eq 0 ] && [ -n "$ran" ]; then
    echo "test_$t.exe: ${ran#\[==========\] }"
  else
    failed_programs=$((failed_programs + 1))
    echo "test_$t.exe FAILED (exit $status), log $log:" >&2
    grep -E '^\[  FAILED  \]|Failure$|^unknown file' <<<"$out" >&2 || tail -20 <<<"$out" >&2
  fi
done
stamp "done"
echo "test-windows: $tests_passed passed, $tests_failed failed, $tests_skipped skipped"
[ "$failed_programs" -eq 0 ]
