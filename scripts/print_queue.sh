#!/usr/bin/env bash
# The print queue Zd418 prints to under Wine: the CUPS scheduler with a PDF
# printer ("PDF", cups-pdf) as the default printer, so a print job becomes a
# PDF file that a test can render with pdftoppm.  Installs nothing
# (scripts/setup.sh does that); needs root or sudo to start cupsd.
#
#   scripts/print_queue.sh start    starts cupsd unless it runs, makes the queue
#                                   and prints the directory the PDFs land in
#   scripts/print_queue.sh outdir   prints that directory
#   scripts/print_queue.sh stop     stops cupsd if this script started it
#
# Exit status 2 from start: no queue can be made here (the reason is on stderr).
set -euo pipefail

state=/tmp/zd418-print-queue
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo -n"

outdir() {
  # cups-pdf's "Out ${HOME}/PDF": the home of the user who prints.
  local home
  home=$(getent passwd "$(id -un)" | cut -d: -f6)
  echo "${home:-$HOME}/PDF"
}

cannot() { echo "print_queue: $*" >&2; exit 2; }

start() {
  command -v cupsd >/dev/null || cannot "cupsd is missing (scripts/setup.sh installs cups)"
  command -v lpadmin >/dev/null || cannot "lpadmin is missing (scripts/setup.sh installs cups)"
  [ -f "$ppd" ] || cannot "$ppd is missing (scripts/setup.sh installs printer-driver-cups-pdf)"
  [ -e /usr/lib/cups/backend/cups-pdf ] || cannot "the cups-pdf backend is missing (printer-driver-cups-pdf)"
  # Already set up (by root, or an earlier run): nothing to change.
  if lpstat -r 2>/dev/null | grep -q "is running" && lpstat -p PDF >/dev/null 2>&1 &&
     lpstat -d 2>/dev/null | grep -q ": PDF$"; then
    mkdir -p "$(outdir)" 2>/dev/null || cannot "cannot make $(outdir), where the PDFs land"
    outdir
    return
  fi
  if [ -n "$SUDO" ] && ! $SUDO true 2>/dev/null; then cannot "starting cupsd needs root or sudo"; fi
  mkdir -p "$state"
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    $SUDO cupsd || cannot "cupsd did not start"
    touch "$state/started"
    for _ in $(seq 100); do
      lpstat -r 2>/dev/null | grep -q "is running" && break
      sleep 0.1
    done
    lpstat -r 2>/dev/null | grep -q "is running" || cannot "cupsd does not answer"
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    $SUDO lpadmin -p PDF -E -v cups-pdf:/ -P "$ppd" || cannot "lpadmin could not create the PDF queue"
  fi
  $SUDO lpadmin -d PDF || cannot "lpadmin could not make PDF the default printer"
  mkdir -p "$(outdir)" 2>/dev/null || cannot "cannot make $(outdir), where the PDFs land"
  outdir
}

stop() {
  if [ -f "$state/started" ]; then
    local pid
    pid=$(cat /run/cups/cupsd.pid 2>/dev/null || cat /var/run/cups/cupsd.pid 2>/dev/null || true)
    [ -n "$pid" ] && $SUDO kill "$pid" 2>/dev/null || true
    rm -f "$state/started"
  fi
}

case "${1:-}" in
  start) start ;;
  outdir) outdir ;;
  stop) stop ;;
  *) echo "usage: $0 start|outdir|stop" >&2; exit 1 ;;
esac
