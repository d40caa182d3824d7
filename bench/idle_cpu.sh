#!/usr/bin/env bash
# Idle CPU use of Zd418: starts the Windows build under Wine on a virtual
# display, lets start-up settle, then reads the CPU time the program (and
# Wine's server) used over a measuring window.
#   bash bench/idle_cpu.sh [seconds]      (build the win64 preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds="${1:-20}"
source scripts/wine_env.sh
ensure_prefix "$root/build/wineprefix"
export IDLE_SECONDS="$seconds"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wine build/win64/Zd418.exe &
  for _ in $(seq 1 120); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"Vornel Morva" && break
    sleep 0.5
  done
  sleep 5
  pid=$(pgrep -n -x Zd418.exe)
  srv=$(pgrep -x wineserver64 || pgrep -x wineserver | head -1)
  ticks() { awk "{print \$14 + \$15}" /proc/$1/stat; }
  hz=$(getconf CLK_TCK)
  a=$(ticks $pid); s=$(ticks $srv); t0=$(date +%s.%N)
  sleep "$IDLE_SECONDS"
  b=$(ticks $pid); s2=$(ticks $srv); t1=$(date +%s.%N)
  awk -v a=$a -v b=$b -v s=$s -v s2=$s2 -v t0=$t0 -v t1=$t1 -v hz=$hz "BEGIN {
    w = t1 - t0;
    printf \"idle CPU over %.1f s: Zd418 %.2f %% of one core, wineserver %.2f %%\n\", w, 100*(b-a)/hz/w, 100*(s2-s)/hz/w }"
  wineserver -k 2>/dev/null || true
'
