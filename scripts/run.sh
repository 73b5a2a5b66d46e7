#!/usr/bin/env bash
# Installs what is needed, builds, and starts the logger with the simulated gauge.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
# Only what the logger needs (program, plug-ins, manual); scripts/test.sh builds the tests.
bash "$root/scripts/build.sh" "$root/build" --target logger
# The logger opens "Software User Manual.pdf" from the current folder: start it beside the manual.
cd "$root/build/bin"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec ./rq6814-logger
else
    echo "No display found: starting the logger under xvfb-run (a virtual X server)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" ./rq6814-logger
fi
