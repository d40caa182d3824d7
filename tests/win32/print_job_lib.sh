# What the printing tests share, sourced by print_test.sh and
# display_print_test.sh: make the PDF queue (scripts/print_queue.sh), check
# the tools, run the test program's print step under Wine and wait for the
# PDFs it printed.  Sets `outdir`, `work` and `new` (the new PDFs, removed
# with the work folder on exit).  Exit 77 (skipped) only when no queue can be
# made on this machine.
# Usage: print_job_start NAME WINE TEST-EXE REPO; print_job_run (after it).
print_job_start() {
  name=$1 wine=$2 exe=$3 repo=$4
  outdir=$(bash "$repo/scripts/print_queue.sh" start)
  local rc=$?
  if [ $rc -eq 2 ]; then
    echo "$name: SKIPPED: no print queue can be made here (see the reason above)"
    exit 77
  fi
  [ $rc -eq 0 ] || { echo "$name: print_queue.sh failed"; exit 1; }
  for tool in pdftoppm pdftotext pdfinfo lpstat; do
    command -v $tool >/dev/null || { echo "$name: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
  done
  work=$(mktemp -d)
  new=()
  trap 'rm -rf "$work"; for f in "${new[@]}"; do rm -f "$f"; done' EXIT
  touch "$work/start"
  sleep 1  # the PDFs of this run are newer than the mark
}

# Runs the print step, then waits until at least two new PDFs are there and
# the queue is empty.
print_job_run() {
  "$wine" "$exe" print "$work" || { echo "$name: the print step failed"; exit 1; }
  for _ in $(seq 240); do
    mapfile -t new < <(find "$outdir" -maxdepth 1 -name '*.pdf' -newer "$work/start")
    if [ ${#new[@]} -ge 2 ] && [ -z "$(lpstat -o PDF 2>/dev/null)" ]; then break; fi
    sleep 0.5
  done
}
