# Figure 4, idle cost: CPU time (user + system) of the tool and of the children it has
# waited for (every dfu-util run), per minute, with no device connected, measured over
# IDLE_SECONDS once start-up has settled; and the tool's peak resident set (VmHWM) at the
# end of that time. The tool runs as users run it: real dfu-util (the carried copy),
# which on this machine lists whatever USB buses the machine has. With IDLE_SIMULATOR=1
# runs in simulator mode (no device) alternate with them and get figures of their own.
# Expects TOOL, IDLE_SECONDS and IDLE_SIMULATOR.
# shellcheck shell=bash

# Start-up and the first polls are left out of the measured time.
readonly IDLE_SETTLE_S=2

idle_once() { # LOG [TOOL-ARGS...]: sets CPU_MS_PER_MIN and PEAK_RSS_KIB
    local log=$1 dir pid ticks0 ticks1 t0 t1 hz
    shift
    dir=$(run_dir)
    mkdir -p "$dir/tmp" "$dir/state"
    simulated_device "$dir/state" no-device
    start_probed "$log" -- env TMPDIR="$dir/tmp" VANTREL_SIMULATOR_STATE_DIR="$dir/state" "$TOOL" "$@"
    wait_record err "Starting sm_A"
    sleep "$IDLE_SETTLE_S"
    pid=$(probed_child "$log")
    ticks0=$(cpu_ticks "$pid") || die "the tool ended (see $log)"
    t0=$(now_ns)
    sleep "$IDLE_SECONDS"
    ticks1=$(cpu_ticks "$pid") || die "the tool ended (see $log)"
    t1=$(now_ns)
    PEAK_RSS_KIB=$(peak_rss_kib "$pid")
    stop_probed
    hz=$(getconf CLK_TCK)
    CPU_MS_PER_MIN=$(awk -v d=$((ticks1 - ticks0)) -v hz="$hz" -v ns=$((t1 - t0)) \
        'BEGIN { printf "%.1f", d * 1000 / hz * 60e9 / ns }')
}

measure_idle() {
    local dir i cpu=() rss=() sim_cpu=() sim_rss=()
    dir=$(run_dir)
    for ((i = 1; i <= RUNS; i++)); do
        progress "idle: run $i of $RUNS (${IDLE_SECONDS} s each)"
        idle_once "$dir/real-$i.log"
        cpu+=("$CPU_MS_PER_MIN")
        rss+=("$PEAK_RSS_KIB")
        if [[ $IDLE_SIMULATOR == 1 ]]; then
            idle_once "$dir/sim-$i.log" -s
            sim_cpu+=("$CPU_MS_PER_MIN")
            sim_rss+=("$PEAK_RSS_KIB")
        fi
    done
    figure idle_cpu "ms CPU per minute (tool + dfu-util runs)" %.1f "${cpu[@]}"
    figure idle_peak_rss "KiB (VmHWM)" %.0f "${rss[@]}"
    if [[ $IDLE_SIMULATOR == 1 ]]; then
        figure idle_cpu_simulator "ms CPU per minute (tool + simulator runs)" %.1f "${sim_cpu[@]}"
        figure idle_peak_rss_simulator "KiB (VmHWM)" %.0f "${sim_rss[@]}"
    fi
}
