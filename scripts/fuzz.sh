#!/usr/bin/env bash
# Builds the workbook reader's libFuzzer target with clang in build-fuzz/ and runs it, niced, in
# one process, on the seed corpus, the sample files and the regression files.
#   scripts/fuzz.sh [seconds] [libFuzzer options...]    default: 120 seconds
# New corpus entries go to build-fuzz/corpus, inputs that found a fault to build-fuzz/artifacts:
# keep each such input in tests/workbook/corpus/regressions once the fault is fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-fuzz
seconds=${1:-120}
shift || true
launcher=()
if command -v ccache >/dev/null; then
    launcher=("-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache")
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DRQ_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$dir" --target fuzz_xlsreader -j"$(nproc)"
corpus=$root/tests/workbook/corpus
mkdir -p "$dir/corpus" "$dir/artifacts"
cd "$dir"
nice -n 10 "$dir/fuzz/fuzz_xlsreader" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
    "$@" "$dir/corpus" "$corpus/seeds" "$corpus/samples" "$corpus/regressions"
