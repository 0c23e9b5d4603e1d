# Figure 1, start-up: from the process start (the probe's fork) to the window mapped and
# the start-up sequence done ("Starting sm_A", logged once the event loop runs), against
# bare-window mapped and reporting "ready" at the same point of its own event loop.
# Both run the same way, alternated; the tool runs as users run it (real dfu-util, no device).
# Expects TOOL and BARE_WINDOW.
# shellcheck shell=bash

# startup_ns LOG READY-TEXT: sets RESULT to the time from the start to the later of the
# first window mapped and the READY-TEXT line.
startup_ns() {
    local start map ready
    start=$(awk '$2 == "start" { print $1; exit }' "$1")
    map=$(awk '$2 == "map" { print $1; exit }' "$1")
    ready=$(record_time "$1" err "$2")
    [[ -n $start && -n $map && -n $ready ]] || die "start-up not timed: no window mapped or no \"$2\" (see $1)"
    RESULT=$(((map > ready ? map : ready) - start))
}

startup_tool_once() { # LOG: sets RESULT
    local dir
    dir=$(run_dir)
    mkdir -p "$dir/tmp"
    start_probed --x-map "$1" -- env TMPDIR="$dir/tmp" "$TOOL"
    wait_record err "Starting sm_A"
    wait_record map ""
    stop_probed
    startup_ns "$1" "Starting sm_A"
}

startup_bare_once() { # LOG: sets RESULT
    "$PROBE" run --x-map "$1" -- "$BARE_WINDOW" >/dev/null 2>&1 || die "bare-window failed (see $1)"
    startup_ns "$1" "ready"
}

measure_startup() {
    local tool_ns=() bare_ns=() tool_ms=() bare_ms=() ratios=() i dir
    dir=$(run_dir)
    progress "start-up: warming up"
    startup_tool_once "$dir/warm-tool.log"
    startup_bare_once "$dir/warm-bare.log"
    for ((i = 1; i <= RUNS; i++)); do
        progress "start-up: run $i of $RUNS"
        startup_tool_once "$dir/tool-$i.log"
        tool_ns+=("$RESULT")
        tool_ms+=("$(ms "$RESULT")")
        startup_bare_once "$dir/bare-$i.log"
        bare_ns+=("$RESULT")
        bare_ms+=("$(ms "$RESULT")")
    done
    figure startup_tool ms %.1f "${tool_ms[@]}"
    figure startup_bare_qt ms %.1f "${bare_ms[@]}"
    mapfile -t ratios < <(pair_ratios tool_ns bare_ns)
    figure startup_ratio "x (tool / bare Qt, per pair)" %.2f "${ratios[@]}"
}
