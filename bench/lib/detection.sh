# Figure 2, detection latency: from the simulated device becoming listable to the flow
# entering B2 (the status line then shows the device), with the polling pauses that
# start-up sets. One tool runs in simulator mode; each run unplugs the device, waits a
# random part of a second so that the plug lands anywhere in the polling loop, plugs it
# (setup_prepared_config older-revision) and times until B2. The simulator runs as the
# tool calls it (set-up normal: small pauses while reading, as a real transfer has).
# Expects TOOL.
# shellcheck shell=bash

readonly B1_ENTERED="SM_B: entered B1: No (DFU-SE) dev. conn."
readonly B2_ENTERED="SM_B: entered B2: Conn. to (DFU-SE) dev. with diff. FW rev."

measure_detection() {
    local dir latencies=() i plugged b1 b2
    dir=$(run_dir)
    mkdir -p "$dir/tmp" "$dir/state"
    simulated_device "$dir/state" no-device
    start_probed "$dir/tool.log" -- env TMPDIR="$dir/tmp" VANTREL_SIMULATOR_STATE_DIR="$dir/state" "$TOOL" -s
    wait_record err "Starting sm_A"
    wait_record err "$B1_ENTERED"
    for ((i = 1; i <= RUNS; i++)); do
        progress "detection: run $i of $RUNS"
        random_pause
        simulated_device "$dir/state" older-revision
        plugged=$(now_ns)
        wait_record err "$B2_ENTERED" "$i"
        b2=$(record_time "$PROBED_LOG" err "$B2_ENTERED" "$i")
        latencies+=("$(ms $((b2 - plugged)))")
        b1=$(record_count "$PROBED_LOG" err "$B1_ENTERED")
        simulated_device "$dir/state" no-device
        wait_record err "$B1_ENTERED" $((b1 + 1))
    done
    stop_probed
    figure detection_latency ms %.1f "${latencies[@]}"
}
