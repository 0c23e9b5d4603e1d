#!/usr/bin/env bash
# Runs the chosen measurements and prints one figure per line; bench/run.sh starts it on
# a virtual display of its own with its settings in the environment:
#   BUILD_DIR, RUNS, IDLE_SECONDS, IDLE_SIMULATOR, REATTACH_MS, FIGURES (space separated:
#   startup detection flow idle compare).
set -euo pipefail

LIB_DIR=$(cd "$(dirname "$0")" && pwd)
BENCH_DIR=$(dirname "$LIB_DIR")
readonly LIB_DIR BENCH_DIR
readonly TOOL=$BUILD_DIR/app/vantrel-upgrade-tool
readonly SIMULATOR_DATA=$BUILD_DIR/simulator
readonly SIMULATOR=$SIMULATOR_DATA/dfu-util_simulator.sh
readonly FAST_SIMULATOR_DIR=$BENCH_DIR/fast-simulator
readonly FIRMWARE=$BUILD_DIR/carried/firmware.bin
readonly DFU_UTIL=$BUILD_DIR/carried/dfu-util
readonly PROBE=$BUILD_DIR/bench/bench-probe
readonly BARE_WINDOW=$BUILD_DIR/bench/bare-window
readonly COMPARE_BENCH=$BUILD_DIR/bench/compare-bench
EMULATOR=$BUILD_DIR/tests/emulator/dfuse-emulator
[[ -x $EMULATOR ]] || EMULATOR=""
readonly EMULATOR

# shellcheck source-path=SCRIPTDIR
source "$LIB_DIR/common.sh"
source "$LIB_DIR/startup.sh"
source "$LIB_DIR/detection.sh"
source "$LIB_DIR/flow.sh"
source "$LIB_DIR/idle.sh"
source "$LIB_DIR/compare.sh"

BENCH_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-bench.XXXXXX")
readonly BENCH_TMP
PROBED_PID=""
cleanup() {
    stop_probed
    if [[ ${BENCH_KEEP:-} == 1 ]]; then
        progress "logs kept in $BENCH_TMP"
    else
        rm -rf "$BENCH_TMP"
    fi
}
trap cleanup EXIT
# Qt wants a private runtime folder; the tool's working folders go into each run's own TMPDIR.
export XDG_RUNTIME_DIR=$BENCH_TMP/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

for program in "$TOOL" "$SIMULATOR" "$PROBE" "$BARE_WINDOW" "$COMPARE_BENCH" "$DFU_UTIL"; do
    [[ -x $program ]] || die "$program is missing: build first (bench/run.sh does)"
done

printf '# %s, %s runs per figure, %s cores, load %s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$RUNS" "$(nproc)" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-30s %12s %12s %12s  %s\n' "# figure" median min max unit
for name in $FIGURES; do
    case $name in
    startup) measure_startup ;;
    detection) measure_detection ;;
    flow) measure_flow ;;
    idle) measure_idle ;;
    compare) measure_compare ;;
    *) die "unknown figure $name" ;;
    esac
done
