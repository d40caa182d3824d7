#!/usr/bin/env bash
# Displays printed through the real print path: makes the PDF queue
# (scripts/print_queue.sh), runs display_print_test.exe's print step under
# Wine (a graph and a table printed by the frame's print broadcast), waits for
# the two PDFs, renders them with pdftoppm and pdftotext and runs the check
# step on the images.
# Usage: display_print_test.sh WINE TEST-EXE REPO.  Exit 77 (skipped) only
# when no queue can be made on this machine.
set -uo pipefail
source "$(dirname "$0")/print_job_lib.sh"
print_job_start display_print_test "$@"
print_job_run
[ ${#new[@]} -ge 2 ] || { echo "display_print_test: expected 2 new PDFs in $outdir, found ${#new[@]}"; exit 1; }
# Each display is a document of its own, titled as its window.  A late page
# of an earlier test's job may land beside them: only the titles count.
graph="" table=""
for f in "${new[@]}"; do
  title=$(pdfinfo "$f" | sed -n 's/^Title: *//p')
  pages=$(pdfinfo "$f" | awk '/^Pages:/ {print $2}')
  echo "display_print_test: $f: \"$title\", $pages page(s)"
  case "$title" in
    *Scope*) [ -z "$graph" ] || { echo "display_print_test: two scope documents"; exit 1; }; graph=$f ;;
    *Table*) [ -z "$table" ] || { echo "display_print_test: two table documents"; exit 1; }; table=$f ;;
    *) continue ;;
  esac
  [ "$pages" = 1 ] || { echo "display_print_test: expected one page"; exit 1; }
done
[ -n "$graph" ] && [ -n "$table" ] || { echo "display_print_test: expected the scope's and the table's documents"; exit 1; }

# No anti-aliasing: every pixel keeps the colour it was drawn in.
pdftoppm -r 100 -aa no -aaVector no "$graph" "$work/graph" && pdftoppm -r 100 -aa no -aaVector no "$table" "$work/table" ||
  { echo "display_print_test: pdftoppm failed"; exit 1; }
pdftotext -layout "$graph" "$work/graph.txt" || { echo "display_print_test: pdftotext failed"; exit 1; }
"$wine" "$exe" check "$work/sizes.txt" "$(ls "$work"/graph-*1.ppm)" "$work/graph.txt" "$(ls "$work"/table-*1.ppm)"
