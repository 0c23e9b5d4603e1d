#!/usr/bin/env bash
# Benchmarks of what the tool costs a user: start-up, detection latency, the whole flow,
# idle cost and the read-back compare. Builds what it needs in a RelWithDebInfo tree,
# then measures on a virtual display of its own and prints one figure per line:
#   name  median  min  max  unit
# Comparisons alternate their two sides run by run and add a "_ratio" line (per-pair
# ratios). Nothing here judges a figure; it only prints it.
set -euo pipefail

usage() {
    cat <<'TEXT'
usage: bench/run.sh [options]
  --runs N            runs per figure (default 7)
  --idle-seconds S    measured idle time per run (default 20)
  --idle-simulator    also measure idle cost in simulator mode, alternated with real mode
  --reattach-ms MS    how long the emulated bootloader stays away after leaving DFU mode
                      (default 0)
  --only LIST         comma-separated figures: startup,detection,flow,idle,compare
                      (default: all)
  --build-dir DIR     build tree (default: build-bench beside this folder)
  --no-build          use the build tree as it is
  --keep              keep the runs' logs (their folder is named at the end)
TEXT
}

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
SOURCE_DIR=$(dirname "$BENCH_DIR")
readonly BENCH_DIR SOURCE_DIR
RUNS=7
IDLE_SECONDS=20
IDLE_SIMULATOR=0
REATTACH_MS=0
FIGURES="startup detection flow idle compare"
BUILD_DIR=$SOURCE_DIR/build-bench
BUILD=1
KEEP=0
while (($#)); do
    case $1 in
    --runs) RUNS=${2:?}; shift ;;
    --idle-seconds) IDLE_SECONDS=${2:?}; shift ;;
    --idle-simulator) IDLE_SIMULATOR=1 ;;
    --reattach-ms) REATTACH_MS=${2:?}; shift ;;
    --only) FIGURES=${2:?}; FIGURES=${FIGURES//,/ }; shift ;;
    --build-dir) BUILD_DIR=$(realpath -m "${2:?}"); shift ;;
    --no-build) BUILD=0 ;;
    --keep) KEEP=1 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
    shift
done
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || { echo "bench: --runs needs a positive count" >&2; exit 2; }
[[ $IDLE_SECONDS =~ ^[1-9][0-9]*$ ]] || { echo "bench: --idle-seconds needs a positive count" >&2; exit 2; }
[[ $REATTACH_MS =~ ^[0-9]+$ ]] || { echo "bench: --reattach-ms needs a count of milliseconds" >&2; exit 2; }

for program in xvfb-run xdotool cmake ninja; do
    command -v "$program" >/dev/null || { echo "bench: $program is needed" >&2; exit 1; }
done

if ((BUILD)); then
    echo "bench: building in $BUILD_DIR" >&2
    cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTREL_BUILD_BENCH=ON >/dev/null
    targets=(vantrel-upgrade-tool vantrel_simulator_data vantrel_bench)
    # The emulated bootloader is built only where umockdev is installed.
    if ninja -C "$BUILD_DIR" -t targets all | grep -q '^dfuse-emulator:'; then
        targets+=(dfuse-emulator)
    fi
    ninja -C "$BUILD_DIR" -j2 "${targets[@]}" >&2
fi

export BUILD_DIR RUNS IDLE_SECONDS IDLE_SIMULATOR REATTACH_MS FIGURES
export BENCH_KEEP=$KEEP
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$BENCH_DIR/lib/measure.sh"
