#!/usr/bin/env bash
# Configures and builds the logger. Usage: scripts/build.sh [build-dir] [extra cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
launcher=()
# ccache makes rebuilds in other clones and worktrees of the repository cheap.
if command -v ccache >/dev/null; then
    launcher=("-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache")
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
