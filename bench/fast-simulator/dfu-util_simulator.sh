#!/usr/bin/env bash
# The build's simulated dfu-util with its transfer pauses dropped. The tool calls the
# simulator without --fast-progress; the benchmark of the whole flow points
# VANTREL_SIMULATOR_DIR at this folder, and VANTREL_BENCH_SIMULATOR names the real script.
set -euo pipefail
real=${VANTREL_BENCH_SIMULATOR:?VANTREL_BENCH_SIMULATOR must name the simulated dfu-util}
if [[ ${1:-} == --dfu-util-command && $# -ge 2 ]]; then
    exec "$real" "$1" "$2" --fast-progress "${@:3}"
fi
exec "$real" "$@"
