#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the same suite built with AddressSanitizer, LeakSanitizer and
#                               UndefinedBehaviorSanitizer, in build-sanitize/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
if [ "${1:-}" = "--sanitize" ]; then
    dir="$root/build-sanitize"
    bash "$root/scripts/build.sh" "$dir" -DRQ_SANITIZE=ON
else
    dir="$root/build"
    bash "$root/scripts/build.sh" "$dir"
fi
cd "$dir"
# Every test runs once: a test that fails only now and then is a fault to find, not one to run
# again until it passes.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
