#!/usr/bin/env bash
# Builds a libFuzzer target with clang in build-fuzz/ and runs it, niced, in one process, on its
# seed corpus, sample files and regression files.
#   scripts/fuzz.sh [workbook|xlsx|csv|lines] [seconds] [libFuzzer options...]
# workbook (the default): the .xls reader, on tests/workbook/corpus; xlsx and csv: the readers of
# the data import, on tests/import/corpus/xlsx and csv; lines: the serial gauge's line splitter and
# parser, on tests/serialgauge/corpus. Default: 120 seconds.
# New corpus entries go to build-fuzz/corpus-<target>, inputs that found a fault to
# build-fuzz/artifacts: keep each such input in the corpus's regressions once the fault is fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-fuzz
target=workbook
case "${1:-}" in
    workbook | xlsx | csv | lines)
        target=$1
        shift
        ;;
esac
seconds=${1:-120}
shift || true
case $target in
    workbook)
        binary=fuzz_xlsreader
        corpus=$root/tests/workbook/corpus
        inputs=("$corpus/seeds" "$corpus/samples" "$corpus/regressions")
        ;;
    xlsx | csv)
        binary=fuzz_${target}reader
        corpus=$root/tests/import/corpus/$target
        inputs=("$corpus/seeds" "$corpus/regressions")
        [ -d "$corpus/samples" ] && inputs+=("$corpus/samples")
        ;;
    lines)
        binary=fuzz_lineparser
        corpus=$root/tests/serialgauge/corpus
        inputs=("$corpus/seeds" "$corpus/regressions")
        ;;
esac
launcher=()
if command -v ccache >/dev/null; then
    launcher=("-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache")
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DRQ_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$dir" --target "$binary" -j"$(nproc)"
mkdir -p "$dir/corpus-$target" "$dir/artifacts"
cd "$dir"
nice -n 10 "$dir/fuzz/$binary" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
    "$@" "$dir/corpus-$target" "${inputs[@]}"
