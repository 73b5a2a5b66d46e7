#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [build-dir] [--target <target>] [cmake options...]
# Without --target it builds everything: the logger, the tests and the benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
target=()
if [ "${1:-}" = "--target" ]; then
    target=(--target "$2")
    shift 2
fi
launcher=()
# ccache makes rebuilds in other clones and worktrees of the repository cheap.
if command -v ccache >/dev/null; then
    launcher=("-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache")
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${target[@]}"
