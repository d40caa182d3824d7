#!/usr/bin/env bash
# COM2 under Wine: a pseudo-terminal pair made by socat, the Wine prefix's
# com2 device on one end, and a feeder that writes scheduled lines to the
# other end as the run-and-point device would.
#
#   scripts/com2.sh start           (WINEPREFIX set) prints the far end's path
#   scripts/com2.sh feed [SCRIPT]   writes SCRIPT's lines (default: stdin) at
#                                   their times, in seconds from now
#   scripts/com2.sh stop
#
# A script has one line per delivery, "<seconds> <text>", the text with the
# escapes \r \n \t \\ and \xHH; blank lines and lines starting with '#' are
# skipped (the format of platform/serial_script.h).  For example:
#   0.5 R12 P3\r
set -euo pipefail

: "${WINEPREFIX:?set WINEPREFIX (source scripts/wine_env.sh; ensure_prefix DIR)}"
dir="$WINEPREFIX/com2"

start() {
  command -v socat >/dev/null || { echo "com2: socat is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  mkdir -p "$dir" "$WINEPREFIX/dosdevices"
  if [ -f "$dir/socat.pid" ] && kill -0 "$(cat "$dir/socat.pid")" 2>/dev/null; then
    echo "$dir/B"
    return
  fi
  rm -f "$dir/A" "$dir/B"
  socat pty,raw,echo=0,link="$dir/A" pty,raw,echo=0,link="$dir/B" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/socat.pid"
  for _ in $(seq 100); do
    [ -e "$dir/A" ] && [ -e "$dir/B" ] && break
    sleep 0.05
  done
  [ -e "$dir/A" ] && [ -e "$dir/B" ] || { echo "com2: socat made no pseudo-terminals" >&2; exit 1; }
  ln -sfn "$dir/A" "$WINEPREFIX/dosdevices/com2"
  echo "$dir/B"
}

stop() {
  if [ -f "$dir/socat.pid" ]; then
    kill "$(cat "$dir/socat.pid")" 2>/dev/null || true
    rm -f "$dir/socat.pid"
  fi
  rm -f "$dir/A" "$dir/B"
  # Only our own link: a real port mapped by hand stays.
  if [ "$(readlink "$WINEPREFIX/dosdevices/com2" 2>/dev/null)" = "$dir/A" ]; then
    rm -f "$WINEPREFIX/dosdevices/com2"
  fi
}

# Checks every line before the first is written: a bad script feeds nothing.
feed() {
  local script=${1:--} far="$dir/B" n=0 last=0 line at text rest
  [ -e "$far" ] || { echo "com2: not started (scripts/com2.sh start)" >&2; exit 1; }
  local -a times=() texts=()
  while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    line=${line%$'\r'}
    [[ -z $line || $line == \#* ]] && continue
    if [[ ! $line =~ ^([0-9]+(\.[0-9]+)?)\ (.+)$ ]]; then
      echo "com2: line $n: a line is \"<seconds> <text>\" (\"2.5 R12 P3\\r\")" >&2
      exit 1
    fi
    at=${BASH_REMATCH[1]}
    text=${BASH_REMATCH[3]}
    rest=$(printf '%s' "$text" | sed -E 's/\\\\//g; s/\\[rnt]//g; s/\\x[0-9A-Fa-f]{2}//g')
    if [[ $rest == *\\* ]]; then
      echo "com2: line $n: bad escape (\\r \\n \\t \\\\ \\xHH)" >&2
      exit 1
    fi
    if awk -v a="$at" -v b="$last" 'BEGIN { exit !(a < b || a > 1000000) }'; then
      echo "com2: line $n: times must ascend, 0 to 1000000 seconds" >&2
      exit 1
    fi
    last=$at
    times+=("$at")
    texts+=("$text")
  done < <(if [ "$script" = - ]; then cat; else cat "$script"; fi)
  local begin i wait
  begin=$(date +%s.%N)
  for i in "${!times[@]}"; do
    wait=$(awk -v b="$begin" -v a="${times[$i]}" -v now="$(date +%s.%N)" 'BEGIN { d = b + a - now; print (d > 0 ? d : 0) }')
    sleep "$wait"
    printf '%b' "${texts[$i]}" >"$far"
  done
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  feed) shift; feed "$@" ;;
  *) echo "usage: scripts/com2.sh start | feed [SCRIPT] | stop" >&2; exit 2 ;;
esac
