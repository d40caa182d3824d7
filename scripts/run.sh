#!/usr/bin/env bash
# Installs what is missing, builds Zd418 for Windows, prepares a private Wine
# prefix with the work directory and the three INI files, and starts Zd418.
# With a display it runs there; without one it runs under a virtual X server,
# saves a screenshot of the main window and says where.
#   ZD418_PREFIX   the Wine prefix (default ~/.zd418/wineprefix)
#   ZD418_SECONDS  without a display: how long to keep it running (default 8)
# Arguments are passed to Zd418 (a test database path opens that test).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
source scripts/wine_env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Zd418 gpib32 q90ui

ensure_prefix "${ZD418_PREFIX:-$HOME/.zd418/wineprefix}"
drive="$WINEPREFIX/drive_c"
mkdir -p "$drive/zd418/test1" "$drive/zd418/screens"
# Data source "Q90" designates the scratch database c:\zd418\Q90.mda of the prefix.
ZD418_ODBC_DIR="$WINEPREFIX/odbc" source scripts/odbc_env.sh
odbc_bind_scratch "$drive/zd418/Q90.mda"
if [ ! -f "$drive/zd418/Q90.mda" ] || [ ! -f "$drive/zd418/test1/test1.mdb" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target zd418_template_db
  # The operator's databases are never overwritten, only created when absent.
  [ -f "$drive/zd418/Q90.mda" ] || build/native/tools/zd418_template_db "$drive/zd418/Q90.mda"
  [ -f "$drive/zd418/test1/test1.mdb" ] || build/native/tools/zd418_template_db "$drive/zd418/test1/test1.mdb"
fi
cp build/win64/Zd418.exe "$drive/zd418/Zd418.exe"
# The simulated front end: driver and control library beside the program,
# and its chassis file (kept once the operator has edited it).
cp build/win64/sim/gpib-32.dll build/win64/sim/Q90ui.dll "$drive/zd418/"
[ -f "$drive/zd418/q90sim.cfg" ] || cp sim/q90sim.cfg "$drive/zd418/q90sim.cfg"
# The INI files are the operator's once written: never overwrite them.
for ini in Q90.ini Q90CARD.ini mtstest.ini; do
  [ -f "$drive/windows/$ini" ] || cp "config/$ini" "$drive/windows/$ini"
done

cd "$drive/zd418"
if [ -n "${DISPLAY:-}" ]; then
  exec wine 'c:\zd418\Zd418.exe' "$@"
fi

shot="$root/build/zd418-screenshot.png"
seconds="${ZD418_SECONDS:-8}"
export ZD418_SHOT="$shot" ZD418_WAIT="$seconds"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  # A Wine desktop window draws the title bars an absent window manager would.
  wine explorer /desktop=Zd418,1280x1000 "c:\\zd418\\Zd418.exe" "$@" &
  pid=$!
  for _ in $(seq 1 120); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"Vornel Morva" && break
    sleep 0.5
  done
  sleep "$ZD418_WAIT"
  import -window root "$ZD418_SHOT"
  wineserver -k 2>/dev/null || true
  wait $pid 2>/dev/null || true
' run "$@"
echo "Zd418 ran under a virtual display; screenshot of the main window: $shot"
