#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every suite: native,
# sanitizers, Windows build under Wine, fuzz targets, and dcnet on both hosts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
source scripts/wine_env.sh
source scripts/odbc_env.sh

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.ccache}"
# Hash paths relative to the checkout, so a clone in another folder (as CI
# makes) still finds what an earlier build compiled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
failed=()
passed=0
run_suite() {  # name, command...
  local name=$1; shift
  echo "==== $name"
  if "$@"; then
    echo "==== $name: passed"
    passed=$((passed + 1))
  else
    echo "==== $name: FAILED"
    failed+=("$name")
  fi
}

native() {
  cmake --preset native >/dev/null && cmake --build --preset native && ctest --preset native
}
sanitize() {
  cmake --preset sanitize >/dev/null && cmake --build --preset sanitize && ctest --preset sanitize
}
win64() {
  cmake --preset win64 >/dev/null && cmake --build --preset win64 || return 1
  ensure_prefix "$root/build/wineprefix"
  # The card types of a first run: without them every test load asks about each channel.
  cp config/Q90CARD.ini "$WINEPREFIX/drive_c/windows/Q90CARD.ini"
  # The PDF print queue the printing tests print to (cupsd and cups-pdf).
  bash scripts/print_queue.sh start >/dev/null || echo "test.sh: no print queue; the printing test will say why"
  # The program's windows need a display: a private X server for the run.
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win64
  local rc=$?
  wineserver -k 2>/dev/null || true
  return $rc
}
fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target fuzz_targets &&
    ctest --test-dir build/fuzz -R _fuzz --output-on-failure
}

run_suite "native tests" native
run_suite "sanitizer tests" sanitize
run_suite "Windows tests under Wine" win64
run_suite "fuzz targets" fuzz
run_suite "dcnet (native and PowerPC)" bash scripts/test-dcnet.sh

[ ${#failed[@]} -eq 0 ] || echo "FAILED suites: ${failed[*]}"
echo "suites: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
