#!/usr/bin/env bash
# The engine's recording speed beside the raw write speed of the same file
# system, in one run: engine_bench records at the front end's maximum rate in
# virtual time (raw file in /tmp), then dd writes the same number of bytes to
# /tmp in transfer-sized blocks.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/native/bench/engine_bench
[ -x "$bench" ] || { echo "build the native preset first ($bench missing)"; exit 1; }
json=$(mktemp)
"$bench" --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys, subprocess, time
r = json.load(open(sys.argv[1]))["benchmarks"][0]
iters = r["iterations"]; per_s = r["items_per_second"]
cpu_s = r["cpu_time"] * iters / 1000.0  # ms per iteration
transfer_bytes = int(r["transfer_bytes"])
total = iters * transfer_bytes
print(f"engine: {iters} transfers, {per_s/1e6:.1f} M samples/s in virtual time "
      f"({per_s/500000:.0f} x real time; {100*500000/per_s:.2f} % of a core at 500 000 samples/s)")
print(f"engine: {total/cpu_s/1e6:.0f} MB/s of raw file written (with the simulator's generation)")
t = time.time()
subprocess.run(["dd", "if=/dev/zero", "of=/tmp/zd418_dd_test", f"bs={transfer_bytes}", f"count={iters}"],
               check=True, capture_output=True)
dt = time.time() - t
subprocess.run(["rm", "-f", "/tmp/zd418_dd_test"])
print(f"dd:     {total/dt/1e6:.0f} MB/s for the same {total/1e6:.0f} MB")
PY
rm -f "$json"
