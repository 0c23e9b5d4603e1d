#!/usr/bin/env bash
# Helpers for end-to-end runs of the real executable on a virtual display.
# Expects: TOOL (the executable), SIM_DIR (the simulator folder), OUT_DIR (where
# screenshots go). Each run gets a private temporary folder with the simulator's
# state and the tool's working directory in it.
set -euo pipefail

# The flow's state lines and the install button's enabling, as the tool logs them.
readonly B1="SM_B: entered B1: No (DFU-SE) dev. conn."
readonly B2="SM_B: entered B2: Conn. to (DFU-SE) dev. with diff. FW rev."
readonly B3="SM_B: entered B3: Upgrading FW"
readonly B4="SM_B: entered B4: Uploading and verifying FW"
readonly B6="SM_B: entered B6: FW in dev. matches"
readonly B7="SM_B: entered B7: FW in dev. differs"
readonly B8="SM_B: entered B8: Invalid (DFU-SE) dev. conn."
readonly B9="SM_B: entered B9: Conn. to (DFU-SE) dev. with Empty OTP."
readonly ENABLED="Download  enabled"

# Upper bounds for waiting on the tool; generous, they only stop a hung run.
readonly WAIT_FOR_LINE_S=60
readonly WAIT_FOR_EXIT_S=30

e2e_setup() {
    RUN_DIR=$(mktemp -d)
    export VANTREL_SIMULATOR_STATE_DIR="$RUN_DIR/state"
    export TMPDIR="$RUN_DIR/tmp"
    mkdir -p "$VANTREL_SIMULATOR_STATE_DIR" "$TMPDIR"
    LOG="$RUN_DIR/stderr.log"
    OUT="$RUN_DIR/stdout.log"
    TOOL_PID=""
    trap e2e_teardown EXIT
}

e2e_teardown() {
    if [[ -n "$TOOL_PID" ]] && kill -0 "$TOOL_PID" 2>/dev/null; then
        kill -KILL "$TOOL_PID" 2>/dev/null || true
    fi
    if [[ "${E2E_KEEP:-}" != 1 ]]; then rm -rf "$RUN_DIR"; fi
}

fail() {
    echo "FAIL: $*" >&2
    echo "---- tool stderr ----" >&2
    cat "$LOG" >&2 || true
    echo "---- tool stdout ----" >&2
    cat "$OUT" >&2 || true
    exit 1
}

simulator_config() {
    "$SIM_DIR/dfu-util_simulator.sh" --dfu-util-command setup_prepared_config "$1" >/dev/null \
        || fail "cannot set up simulator configuration $1"
}

start_tool() {
    "$TOOL" "$@" >"$OUT" 2>"$LOG" &
    TOOL_PID=$!
}

# wait_for_line FILE FIXED-TEXT: waits until FILE holds a line containing the text.
wait_for_line() {
    local file=$1 text=$2 waited=0
    until grep -qF -- "$text" "$file" 2>/dev/null; do
        kill -0 "$TOOL_PID" 2>/dev/null || fail "tool ended while waiting for: $text"
        sleep 0.2
        waited=$((waited + 1))
        ((waited < WAIT_FOR_LINE_S * 5)) || fail "timed out waiting for: $text"
    done
}

expect_no_line() {
    ! grep -qF -- "$2" "$1" || fail "unexpected line: $2"
}

# Index of the first line containing the text, for order checks.
line_no() {
    grep -nF -- "$2" "$1" | head -n 1 | cut -d: -f1
}

window_id() {
    xdotool search --sync --onlyvisible --name "^Vantrel Firmware Upgrade Tool$" | head -n 1
}

# Screen position "X Y" of the install button's centre; its place in the window is
# fixed in design pixels (207, 417, 250 x 40) and scales with the window.
install_button_point() {
    local id geometry x y w
    id=$(window_id)
    geometry=$(xdotool getwindowgeometry --shell "$id")
    x=$(sed -n 's/^X=//p' <<<"$geometry")
    y=$(sed -n 's/^Y=//p' <<<"$geometry")
    w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    printf '%s %s' $((x + (207 + 125) * w / 665)) $((y + (417 + 20) * w / 665))
}

# Clicks with the real pointer at the centre of the install button.
click_install_button() {
    local point
    point=$(install_button_point)
    xdotool mousemove --sync ${point% *} ${point#* } click 1
}

# Saves a picture of the tool's window (of the whole screen if the window is gone).
screenshot() {
    local id
    id=$(xdotool search --onlyvisible --name "^Vantrel Firmware Upgrade Tool$" | head -n 1 || true)
    import -window "${id:-root}" "$OUT_DIR/$1.png" 2>/dev/null || true
}

# Ends the tool with SIGTERM and checks that it ended in order: exit status 0 and no
# working directory left behind.
stop_tool() {
    kill -TERM "$TOOL_PID" 2>/dev/null || true
    local waited=0
    while kill -0 "$TOOL_PID" 2>/dev/null; do
        sleep 0.2
        waited=$((waited + 1))
        ((waited < WAIT_FOR_EXIT_S * 5)) || fail "tool did not end after SIGTERM"
    done
    local status=0
    wait "$TOOL_PID" || status=$?
    TOOL_PID=""
    ((status == 0)) || fail "tool exited with status $status"
    if compgen -G "$TMPDIR/upgrade_*" >/dev/null; then fail "working directory left behind"; fi
}
