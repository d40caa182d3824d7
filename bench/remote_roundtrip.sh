#!/bin/bash
# Remote-control figures under Wine: the round trip of "GS" through the named
# pipes (median and 99th percentile over 10 000 commands, none lost), and the
# forwarded-sample stream beside a 10-second recording from the simulated
# front end at its highest rate (a test named by "DT").  Usage: bench/remote_roundtrip.sh [win64 build dir] [prefix]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/win64}
prefix=${2:-$here/build/bench-prefix}
source "$here/scripts/wine_env.sh"
source "$here/scripts/odbc_env.sh"  # the data source "DT" opens its test through
ensure_prefix "$prefix"
cp "$here/config/Q90CARD.ini" "$WINEPREFIX/drive_c/windows/"
xvfb-run -a -s "-screen 0 1280x1024x24" wine "$build/tests/win32/remote_e2e_test.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='*RoundTripBench*' \
  "$build/Zd418.exe" "$build/sim/gpib-32.dll" "$build/sim/Q90ui.dll" "$build/tools/q90ctl/q90ctl.exe" |
  grep -E '^(BENCH|FORWARDED)|OK|FAILED'
