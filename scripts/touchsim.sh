#!/bin/sh
# The main job: builds touchsim (host preset) and runs it. Without arguments
# it runs the default scenario; any arguments go to touchsim ("story", "run SCRIPT",
# "--help"). The build's output goes to standard error, the trace to
# standard output.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh >&2
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset default >&2
cmake --build --preset default --target touchsim media -j "$jobs" >&2
exec build/host/touchsim/touchsim "$@"
