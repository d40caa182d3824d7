#!/usr/bin/env bash
# CPU use of live displays under Wine (bench/display_cpu_win32.cpp): four
# graphs, two tables and two bar displays updated at the frame's rate from
# transfers at the front end's maximum aggregate rate.  Prints the program's
# share of one core and wineserver's over the same window.
#   bash bench/display_cpu.sh [seconds]     (build the win64 preset's display_cpu_win32 first)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds="${1:-20}"
build="${BUILD_DIR:-build/win64}"
source scripts/wine_env.sh
ensure_prefix "${WINEPREFIX:-$root/build/wineprefix}"
export SECONDS_RUN="$seconds" BENCH_EXE="$build/tests/win32/display_cpu_win32.exe"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  # This prefix'"'"'s server (others may run beside it): it works in the
  # directory named after the prefix'"'"'s device and inode.
  srv_dir=$(printf "server-%x-%x" $(stat -c "%d %i" "$WINEPREFIX"))
  srv_ticks() {
    for p in $(pgrep -x wineserver64; pgrep -x wineserver); do
      case "$(readlink /proc/$p/cwd)" in
        */"$srv_dir") awk "{print \$14 + \$15}" /proc/$p/stat; return;;
      esac
    done
    echo 0
  }
  wineserver -p                                 # one server for the whole run
  wine "$BENCH_EXE" 1 >/dev/null 2>&1 || true   # Wine started once before measuring
  s=$(srv_ticks); t0=$(date +%s.%N)
  wine "$BENCH_EXE" "$SECONDS_RUN"
  s2=$(srv_ticks); t1=$(date +%s.%N)
  awk -v s=$s -v s2=$s2 -v t0=$t0 -v t1=$t1 -v hz=$(getconf CLK_TCK) "BEGIN {
    printf \"wineserver over the run: %.2f %% of one core\n\", 100*(s2-s)/hz/(t1-t0) }"
  wineserver -k 2>/dev/null || true
'
