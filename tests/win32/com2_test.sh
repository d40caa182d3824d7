#!/usr/bin/env bash
# Runs com2_test.exe under Wine with COM2 on a pseudo-terminal pair and the
# feeder on its far end: usage com2_test.sh WINE TEST-EXE REPO.
set -uo pipefail
wine=$1 exe=$2 repo=$3
: "${WINEPREFIX:?com2_test: set WINEPREFIX (source scripts/wine_env.sh; ensure_prefix DIR)}"
com2="$repo/scripts/com2.sh"
work=$(mktemp -d)
trap '[ -n "${feeder:-}" ] && kill "$feeder" 2>/dev/null; "$com2" stop; rm -rf "$work"' EXIT
"$com2" start >/dev/null || exit 1

# The feeder waits until the test has opened the port.
(
  for _ in $(seq 600); do [ -e "$work/ready" ] && break; sleep 0.05; done
  printf '0 R12 \n1.0 P3\\r\n' | "$com2" feed
) &
feeder=$!
"$wine" "$exe" "$work/ready"
