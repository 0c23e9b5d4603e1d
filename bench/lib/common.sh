# Helpers shared by the measurements: the probe and its log, waiting for log records,
# the tool's window, and the statistics each figure line is made of.
# Expects PROBE (bench-probe), SIMULATOR, BENCH_TMP (a private temporary folder) and RUNS.
# shellcheck shell=bash

# The worker's polling pauses as start-up sets them; the floors of the whole flow add them.
readonly RESCAN_DELAY_MS=500
readonly POLL_INTERVAL_MS=1000
# Upper bounds for waiting; generous, they only stop a hung run.
readonly WAIT_LIMIT_S=120
readonly STOP_LIMIT_S=30
# How often a waiting loop looks at the log; it does not affect any time measured, since
# every time comes from the probe's stamps.
readonly WAIT_POLL_S=0.05
readonly WINDOW_TITLE="Vantrel Firmware Upgrade Tool"

progress() { printf 'bench: %s\n' "$*" >&2; }

die() {
    printf 'bench: error: %s\n' "$*" >&2
    exit 1
}

now_ns() { "$PROBE" now; }

# A private folder for one run, inside BENCH_TMP.
run_dir() { mktemp -d "$BENCH_TMP/run.XXXXXX"; }

# record_time LOG KIND TEXT [N]: stamp of the Nth record of KIND containing TEXT; empty if none.
record_time() {
    awk -v k="$2" -v t="$3" -v n="${4:-1}" '$2 == k && index($0, t) { if (++c == n) { print $1; exit } }' "$1"
}

# record_count LOG KIND TEXT: how many records of KIND contain TEXT.
record_count() {
    awk -v k="$2" -v t="$3" '$2 == k && index($0, t) { c++ } END { print c + 0 }' "$1"
}

# The pid of the program the probe started.
probed_child() { awk '$2 == "start" { print $3; exit }' "$1"; }

# start_probed [--x-map] LOG -- PROGRAM ARGS...: runs the program under the probe in the
# background with the current environment; sets PROBED_PID and PROBED_LOG.
start_probed() {
    local options=()
    [[ $1 == --x-map ]] && options+=("$1") && shift
    PROBED_LOG=$1
    "$PROBE" run "${options[@]}" "$@" >"$PROBED_LOG.stdout" 2>"$PROBED_LOG.stderr" &
    PROBED_PID=$!
    # Every run has a log of its own, so any record in it is this run's.
    until [[ -s $PROBED_LOG ]]; do
        kill -0 "$PROBED_PID" 2>/dev/null || die "the probe did not start: $(cat "$PROBED_LOG.stderr")"
        sleep "$WAIT_POLL_S"
    done
}

# wait_record KIND TEXT [N]: waits until the probed program's log holds N records of KIND
# containing TEXT.
wait_record() {
    local kind=$1 text=$2 n=${3:-1} start
    start=$SECONDS
    while (($(record_count "$PROBED_LOG" "$kind" "$text") < n)); do
        if ! kill -0 "$PROBED_PID" 2>/dev/null; then
            tail -n 30 "$PROBED_LOG" >&2
            die "the program ended while waiting for: $text"
        fi
        if ((SECONDS - start > WAIT_LIMIT_S)); then
            tail -n 30 "$PROBED_LOG" >&2
            die "timed out waiting for: $text"
        fi
        sleep "$WAIT_POLL_S"
    done
}

# Ends the probed program with SIGTERM (the probe hands it on) and waits for it.
stop_probed() {
    [[ -n ${PROBED_PID:-} ]] || return 0
    kill -TERM "$PROBED_PID" 2>/dev/null || true
    local start=$SECONDS
    while kill -0 "$PROBED_PID" 2>/dev/null; do
        if ((SECONDS - start > STOP_LIMIT_S)); then
            progress "pid $PROBED_PID did not end after SIGTERM; killing it"
            kill -KILL "$PROBED_PID" 2>/dev/null || true
        fi
        sleep "$WAIT_POLL_S"
    done
    wait "$PROBED_PID" 2>/dev/null || true
    PROBED_PID=""
}

# simulated_device STATE_DIR CONFIGURATION: a prepared configuration of the simulator.
simulated_device() {
    VANTREL_SIMULATOR_STATE_DIR=$1 "$SIMULATOR" --dfu-util-command setup_prepared_config "$2" >/dev/null ||
        die "the simulator cannot set up $2"
}

# A random pause of 0 to 999 ms, so that an action does not always land at the same
# moment of the tool's polling loop.
random_pause() { sleep "$(printf '0.%03d' $((RANDOM % 1000)))"; }

# Clicks the centre of the install button, whose place is fixed in design pixels
# (207, 417, 250 x 40) and scales with the window's width (665 design pixels).
click_install_button() {
    local id geometry x y w
    id=$(xdotool search --sync --onlyvisible --name "^$WINDOW_TITLE\$" | head -n 1)
    [[ -n $id ]] || die "the tool's window is not on screen"
    geometry=$(xdotool getwindowgeometry --shell "$id")
    x=$(sed -n 's/^X=//p' <<<"$geometry")
    y=$(sed -n 's/^Y=//p' <<<"$geometry")
    w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    xdotool mousemove --sync $((x + (207 + 125) * w / 665)) $((y + (417 + 20) * w / 665)) click 1
}

# ms NS: nanoseconds as milliseconds with one decimal.
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }

# figure NAME UNIT FORMAT VALUE...: one figure line, "name median min max unit".
figure() {
    local name=$1 unit=$2 format=$3
    shift 3
    (($# > 0)) || {
        printf '%-30s %12s %12s %12s  %s\n' "$name" - - - "$unit (no values)"
        return 0
    }
    printf '%s\n' "$@" | sort -g | awk -v name="$name" -v unit="$unit" -v f="$format" '
        { v[NR] = $1 }
        END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%-30s %12s %12s %12s  %s\n", name, sprintf(f, m), sprintf(f, v[1]), sprintf(f, v[NR]), unit
        }'
}

# pair_ratios A_ARRAY B_ARRAY: prints A[i]/B[i] for each pair of runs.
pair_ratios() {
    local -n first=$1 second=$2
    local i
    for i in "${!first[@]}"; do
        [[ -n ${second[i]:-} ]] && awk -v a="${first[i]}" -v b="${second[i]}" 'BEGIN { if (b > 0) printf "%.4f\n", a / b }'
    done
}

# peak_rss_kib PID: the process's peak resident set (VmHWM) in KiB; empty if it is gone.
peak_rss_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || true; }

# cpu_ticks PID: user + system time of the process and of the children it has waited for
# (utime, stime, cutime, cstime of /proc/PID/stat), in clock ticks.
cpu_ticks() {
    local stat fields
    stat=$(<"/proc/$1/stat") || return 1
    read -ra fields <<<"${stat##*) }"
    # fields[0] is field 3 of the file (the state); utime is field 14.
    echo $((fields[11] + fields[12] + fields[13] + fields[14]))
}
