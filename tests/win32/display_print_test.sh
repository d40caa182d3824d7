#!/usr/bin/env bash
# Displays printed through the real print path: makes the PDF queue
# (scripts/print_queue.sh), runs display_print_test.exe's print step under
# Wine (a graph and a table printed by the frame's print broadcast), waits for
# the two PDFs, renders them with pdftoppm and pdftotext and runs the check
# step on the images.
# Usage: display_print_test.sh WINE TEST-EXE REPO.  Exit 77 (skipped) only
# when no queue can be made on this machine.
set -uo pipefail
wine=$1 exe=$2 repo=$3

outdir=$(bash "$repo/scripts/print_queue.sh" start)
rc=$?
if [ $rc -eq 2 ]; then
  echo "display_print_test: SKIPPED: no print queue can be made here (see the reason above)"
  exit 77
fi
[ $rc -eq 0 ] || { echo "display_print_test: print_queue.sh failed"; exit 1; }
for tool in pdftoppm pdftotext pdfinfo lpstat; do
  command -v $tool >/dev/null || { echo "display_print_test: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

work=$(mktemp -d)
new=()
trap 'rm -rf "$work"; for f in "${new[@]}"; do rm -f "$f"; done' EXIT
touch "$work/start"
sleep 1  # the PDFs of this run are newer than the mark

"$wine" "$exe" print "$work" || { echo "display_print_test: the print step failed"; exit 1; }

for _ in $(seq 240); do
  mapfile -t new < <(find "$outdir" -maxdepth 1 -name '*.pdf' -newer "$work/start")
  if [ ${#new[@]} -ge 2 ] && [ -z "$(lpstat -o PDF 2>/dev/null)" ]; then break; fi
  sleep 0.5
done
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
