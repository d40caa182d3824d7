#!/usr/bin/env bash
# Builds and tests dcnet: native (gcc), native with AddressSanitizer and
# UBSan, big-endian PowerPC under qemu-ppc, the fuzz target (clang) for a
# bounded time, and the benchmark.
set -euo pipefail

cd "$(dirname "$0")/.."
SRC=dcnet
JOBS=2
FUZZ_SECONDS=${DCNET_FUZZ_SECONDS:-24}
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

step() { printf '\n==== %s ====\n' "$*"; }

configure_build() {
  local dir=$1; shift
  cmake -S "$SRC" -B "$dir" -G Ninja "${LAUNCHER[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

step "native build and tests (gcc)"
configure_build build/dcnet-native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
ctest --test-dir build/dcnet-native --output-on-failure -j "$JOBS"

step "native AddressSanitizer + UBSan build and tests"
configure_build build/dcnet-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DDCNET_SANITIZE=ON -DDCNET_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/dcnet-asan --output-on-failure -j "$JOBS"

step "big-endian PowerPC build, tests under qemu-ppc"
configure_build build/dcnet-ppc -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/$SRC/cmake/toolchain-ppc.cmake"
ctest --test-dir build/dcnet-ppc --output-on-failure -j "$JOBS"

step "fuzz target (clang, libFuzzer + ASan + UBSan) for ${FUZZ_SECONDS}s"
configure_build build/dcnet-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DDCNET_FUZZ=ON -DDCNET_TESTS=OFF -DDCNET_BENCH=OFF
build/dcnet-fuzz/fuzz/dcnet_seeds build/dcnet-fuzz/corpus
mkdir -p build/dcnet-fuzz/work
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  build/dcnet-fuzz/fuzz/dcnet_fuzz -max_total_time="$FUZZ_SECONDS" -max_len=2048 \
  -print_final_stats=1 build/dcnet-fuzz/work build/dcnet-fuzz/corpus >/dev/null

step "benchmark (native)"
configure_build build/dcnet-native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
if [ -x build/dcnet-native/bench/dcnet_bench ]; then
  build/dcnet-native/bench/dcnet_bench --benchmark_min_time=0.5
else
  echo "Google Benchmark not found: bench not built"
fi

step "dcnet: all passed"
