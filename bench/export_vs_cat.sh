#!/usr/bin/env bash
# The data tools' speed on one generated recording (default 1024 MB), in one
# run beside cat (the physical limit) and numpy doing the same conversions:
#   bench/export_vs_cat.sh [MB] [BUILD_DIR]
# With ZD418_BENCH_COLD=1 (as root) the page cache is dropped before cat, dd,
# numpy and each of the tools, so every figure starts from the disk.
# The DaDisp export is compared with numpy converting every channel to
# float64 files, the ASCII export of one channel with numpy's savetxt of it.
# dd writing four times the raw file's size shows the file system's limit for
# the DaDisp and HDF5 outputs, which are four times the size of what they read.
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${1:-1024}
build=${2:-build/native}
bench=$build/bench/export_bench
[ -x "$bench" ] || { echo "build the native preset first ($bench missing)"; exit 1; }
dir=${ZD418_BENCH_DIR:-/tmp/zd418_export_bench}
export ZD418_BENCH_DIR=$dir ZD418_BENCH_MB=$mb
export ZD418_BENCH_COLD=${ZD418_BENCH_COLD:-0}
drop() { [ "$ZD418_BENCH_COLD" = 1 ] && { sync; echo 3 > /proc/sys/vm/drop_caches; } || true; }
if [ "$ZD418_BENCH_COLD" = 1 ] && ! (echo 3 > /proc/sys/vm/drop_caches) 2>/dev/null; then
  echo "cannot drop the page cache (needs root): cold figures are not possible here"; exit 1
fi
jsons=()
"$bench" --benchmark_filter=ReadRaw >/dev/null  # makes the recording when it is missing
for b in ReadRaw DaDispAllChannels AnalysisFileSet Wizard AsciiOneChannel Hdf5AllChannels; do
  "$bench" --benchmark_list_tests | grep -q "^BM_$b/" || continue  # HDF5 only where built
  json=$(mktemp)
  drop
  "$bench" --benchmark_filter="^BM_$b/" --benchmark_format=json --benchmark_out="$json" \
    --benchmark_out_format=json >/dev/null
  jsons+=("$json")
done
raw=$dir/t1.raw
/usr/bin/python3 - "$raw" "${jsons[@]}" <<'PY'
import json, os, subprocess, sys, time
import numpy as np
bench = {}
for name in sys.argv[2:]:
    bench.update({b["name"].split("/")[0]: b for b in json.load(open(name))["benchmarks"]})
raw = sys.argv[1]
cold = os.environ.get("ZD418_BENCH_COLD") == "1"
def drop():
    if cold:
        subprocess.run("sync; echo 3 > /proc/sys/vm/drop_caches", shell=True, check=True)
size = os.path.getsize(raw)
mbs = lambda seconds: size / seconds / 1e6
drop()
t = time.time(); subprocess.run(f"cat {raw} > /dev/null", shell=True, check=True); cat = mbs(time.time() - t)
# The file system's write limit for the DaDisp output (8 bytes per 2-byte sample).
drop()
t = time.time()
subprocess.run(f"dd if=/dev/zero of={raw}.dd bs=8M count={4 * size // (8 << 20)} 2>/dev/null", shell=True, check=True)
dd = mbs(time.time() - t)
subprocess.run(f"rm -f {raw}.dd", shell=True)
# numpy: the same conversion as the DaDisp export (32 channels in 2 blocks, 64 samples per scan).
drop()
t = time.time()
scans = np.fromfile(raw, dtype="<i2").reshape(-1, 64 + 8)[:, 8:]
for c in range(32):
    counts = scans[:, [c, 32 + c]].reshape(-1)
    mv = np.trunc(counts * 0.30517578125)
    (2.0 * (mv / 10.0) + 1.0).astype("<f8").tofile(f"{raw}.np{c}.dat")
npy = mbs(time.time() - t)
t = time.time()
counts = scans[:, [0, 32]].reshape(-1)
times = (np.arange(counts.size) // 2 * 2 + np.arange(counts.size) % 2) / 1000.0
np.savetxt(f"{raw}.np.asc", np.column_stack([times, 2.0 * (np.trunc(counts * 0.30517578125) / 10.0) + 1.0]),
           fmt=" %f\t\t%f")
savetxt = mbs(time.time() - t)
subprocess.run(f"rm -f {raw}.np*", shell=True)
ours = lambda n: bench[n]["bytes_per_second"] / 1e6
print(f"recording: {size/1e6:.0f} MB, page cache {'dropped before each figure' if cold else 'warm'}")
print(f"{'':34}{'MB/s of raw file':>18}")
print(f"{'cat > /dev/null':34}{cat:18.0f}")
print(f"{'read in 8 MB chunks (bench)':34}{ours('BM_ReadRaw'):18.0f}")
print(f"{'dd writing 4x the raw size':34}{dd:18.0f}   (the write limit for DaDisp and HDF5 outputs)")
print(f"{'DaDisp, all 32 channels':34}{ours('BM_DaDispAllChannels'):18.0f}   numpy: {npy:.0f}")
print(f"{'analysis file set (.dat)':34}{ours('BM_AnalysisFileSet'):18.0f}")
print(f"{'wizard, three checks':34}{ours('BM_Wizard'):18.0f}")
if "BM_Hdf5AllChannels" in bench:
    print(f"{'HDF5, all 32 channels':34}{ours('BM_Hdf5AllChannels'):18.0f}")
print(f"{'ASCII, one channel':34}{ours('BM_AsciiOneChannel'):18.0f}   numpy savetxt: {savetxt:.0f}")
PY
rm -f "${jsons[@]}"
