#!/usr/bin/env bash
# Prints through the real print path: makes the PDF queue (scripts/print_queue.sh),
# runs print_test.exe's print step under Wine, waits for the PDFs, renders
# them with pdftoppm and pdftotext, and runs the check step on the images.
# Usage: print_test.sh WINE TEST-EXE REPO.  Exit 77 (skipped) only when no
# queue can be made on this machine.
set -uo pipefail
source "$(dirname "$0")/print_job_lib.sh"
print_job_start print_test "$@"
# Two documents: the quick plot (one page) and the batch print (two pages).
print_job_run
[ ${#new[@]} -eq 2 ] || { echo "print_test: expected 2 new PDFs in $outdir, found ${#new[@]}"; exit 1; }
batch="" quick=""
for f in "${new[@]}"; do
  pages=$(pdfinfo "$f" | awk '/^Pages:/ {print $2}')
  echo "print_test: $f: $pages page(s)"
  case "$pages" in
    2) batch=$f ;;
    1) quick=$f ;;
  esac
done
[ -n "$batch" ] && [ -n "$quick" ] || { echo "print_test: expected a 2-page batch print and a 1-page quick plot"; exit 1; }

# No anti-aliasing: every pixel keeps the colour it was drawn in.
render() { pdftoppm -r 60 -aa no -aaVector no "$1" "$2"; }
render "$batch" "$work/batch" && render "$quick" "$work/quick" || { echo "print_test: pdftoppm failed"; exit 1; }
pdftotext -layout "$batch" "$work/batch.txt" && pdftotext -layout "$quick" "$work/quick.txt" ||
  { echo "print_test: pdftotext failed"; exit 1; }
p1=$(ls "$work"/batch-*1.ppm) p2=$(ls "$work"/batch-*2.ppm) q=$(ls "$work"/quick-*1.ppm)
"$wine" "$exe" check "$p1" "$p2" "$work/batch.txt" "$q" "$work/quick.txt"
