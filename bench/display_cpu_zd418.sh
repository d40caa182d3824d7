#!/usr/bin/env bash
# CPU use of Zd418 itself with live displays at the front end's highest rate:
# runs the recording end-to-end test's highest-rate case under Wine (the
# simulated front end in real time, a 16-channel table at 500000 samples/s,
# four graphs, two tables and two bar displays tiled and live), reads the
# CPU time of the Zd418 process and of this prefix's wineserver from /proc
# while it records, and lets the test check the raw file lost nothing.
#   bash bench/display_cpu_zd418.sh [seconds]     (build the win64 preset first)
# ZD418_DISPLAYS_PICTURE=file.png also saves the screen near the end of the
# recording.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds="${1:-30}"
build="${BUILD_DIR:-build/win64}"
source scripts/wine_env.sh
ensure_prefix "${WINEPREFIX:-$root/build/wineprefix}"
cp config/Q90CARD.ini "$WINEPREFIX/drive_c/windows/"
export ZD418_DISPLAYS_PICTURE="${ZD418_DISPLAYS_PICTURE:-}" ZD418_RECORD_SECONDS="$seconds" TEST_EXE="$build/tests/win32/display_record_e2e_test.exe" \
       ZD418_EXE="$build/Zd418.exe" GPIB_DLL="$build/sim/gpib-32.dll" Q90UI_DLL="$build/sim/Q90ui.dll"
for f in "$TEST_EXE" "$ZD418_EXE" "$GPIB_DLL" "$Q90UI_DLL"; do
  [ -f "$f" ] || { echo "display_cpu_zd418: $f is missing (build the win64 preset)"; exit 1; }
done
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  srv_dir=$(printf "server-%x-%x" $(stat -c "%d %i" "$WINEPREFIX"))
  srv_pid() {
    for p in $(pgrep -x wineserver64; pgrep -x wineserver); do
      case "$(readlink /proc/$p/cwd)" in */"$srv_dir") echo $p; return;; esac
    done
  }
  ticks() { awk "{print \$14 + \$15}" /proc/$1/stat 2>/dev/null || echo 0; }
  wineserver -p
  # The raw file of an earlier run would look like a recording under way.
  find "$WINEPREFIX/drive_c" -path "*zd418_display_record_max/demo/demo.raw" -delete 2>/dev/null || true
  wine "$TEST_EXE" --gtest_filter="*HighestRate*" "$ZD418_EXE" "$GPIB_DLL" "$Q90UI_DLL" > "$WINEPREFIX/display_cpu.log" 2>&1 &
  test_pid=$!
  # Recording has begun when the raw file grows.
  raw=""; pid=""
  for _ in $(seq 1 600); do
    # This run'"'"'s Zd418 (others may run beside it): the copy in the test'"'"'s folder.
    pid=""
    for p in $(pgrep -x Zd418.exe || true); do
      grep -q "zd418_display_record_max" /proc/$p/cmdline 2>/dev/null && pid=$p
    done
    raw=$(find "$WINEPREFIX/drive_c" -path "*zd418_display_record_max/demo/demo.raw" -size +0 2>/dev/null | head -1)
    [ -n "$pid" ] && [ -n "$raw" ] && break
    sleep 0.2
  done
  [ -n "$pid" ] && [ -n "$raw" ] || { echo "display_cpu_zd418: the recording did not start"; cat "$WINEPREFIX/display_cpu.log"; exit 1; }
  sleep 1
  srv=$(srv_pid)
  a=$(ticks $pid); s=$(ticks $srv); t0=$(date +%s.%N)
  sleep $((ZD418_RECORD_SECONDS - 3))
  b=$(ticks $pid); s2=$(ticks $srv); t1=$(date +%s.%N)
  # The screen while recording, when asked for (ImageMagick'"'"'s import).
  [ -z "${ZD418_DISPLAYS_PICTURE:-}" ] || import -window root "$ZD418_DISPLAYS_PICTURE" || true
  rc=0; wait $test_pid || rc=$?
  grep -E "scan rate|of one core|OK|FAILED|Failure|Expected|Which is|fault" "$WINEPREFIX/display_cpu.log" || true
  awk -v a=$a -v b=$b -v s=$s -v s2=$s2 -v t0=$t0 -v t1=$t1 -v hz=$(getconf CLK_TCK) "BEGIN {
    w = t1 - t0;
    printf \"recording at 500000 samples/s with 8 live displays, %.1f s: Zd418 %.2f %% of one core, wineserver %.2f %%\n\",
           w, 100*(b-a)/hz/w, 100*(s2-s)/hz/w }"
  wineserver -k 2>/dev/null || true
  [ $rc -eq 0 ] || { echo "display_cpu_zd418: the raw-file check failed"; exit 1; }
'
