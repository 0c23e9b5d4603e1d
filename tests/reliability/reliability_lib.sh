#!/usr/bin/env bash
# Helpers for the reliability runs: the end-to-end helpers plus the simulated and the
# emulated device's logs of what was listed, read and written.
# Expects: TOOL, SIM_DIR, OUT_DIR, CARRIED_DIR, EMULATOR (may be empty), SCENARIO.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/e2e_lib.sh"

readonly CONNECTED="Device connected with:"
readonly MATCHES="SM_B: /sig_FwMatches"
readonly DIFFERS="SM_B: /sig_FwDiffers"
readonly DOWNLOADED="SM_A: /sig_FwDownloaded"
# How long a device is watched for something that must not happen: the tool lists a
# known device about once a second.
readonly WATCH_S=4
# CTest reads this exit status as "skipped".
readonly SKIP_STATUS=77
readonly POLL_S=0.05

pass() {
    echo "PASS: $SCENARIO"
    exit 0
}

skip() {
    echo "SKIP: $SCENARIO: $*"
    exit "$SKIP_STATUS"
}

# count FILE FIXED-TEXT: number of lines containing the text.
count() {
    local n
    n=$(grep -cF -- "$2" "$1" 2>/dev/null) || true
    echo "${n:-0}"
}

# wait_for_count FILE FIXED-TEXT N: waits until N lines contain the text.
wait_for_count() {
    local file=$1 text=$2 n=$3 deadline=$((SECONDS + WAIT_FOR_LINE_S))
    until (($(count "$file" "$text") >= n)); do
        kill -0 "$TOOL_PID" 2>/dev/null || fail "tool ended while waiting for $n x: $text"
        ((SECONDS < deadline)) || fail "timed out waiting for $n x: $text"
        sleep "$POLL_S"
    done
}

# wait_for_either FILE1 TEXT1 FILE2 TEXT2: waits until one of the two lines shows.
wait_for_either() {
    local deadline=$((SECONDS + WAIT_FOR_LINE_S))
    until grep -qF -- "$2" "$1" 2>/dev/null || grep -qF -- "$4" "$3" 2>/dev/null; do
        kill -0 "$TOOL_PID" 2>/dev/null || fail "tool ended while waiting for: $2 or $4"
        ((SECONDS < deadline)) || fail "timed out waiting for: $2 or $4"
        sleep "$POLL_S"
    done
}

expect_count() { # FILE TEXT N
    local n
    n=$(count "$1" "$2")
    ((n == $3)) || fail "$n lines with \"$2\" in $1, expected $3"
}

# Keeps watching the running tool for a while.
watch_tool() {
    local deadline=$((SECONDS + $1))
    while ((SECONDS < deadline)); do
        kill -0 "$TOOL_PID" 2>/dev/null || fail "tool ended while being watched"
        sleep 0.2
    done
}

# Every later line follows the earlier: "follows FILE EARLIER LATER" on their last and
# first occurrences.
follows() {
    local a b
    a=$(grep -nF -- "$2" "$1" | tail -n 1 | cut -d: -f1)
    b=$(grep -nF -- "$3" "$1" | tail -n 1 | cut -d: -f1)
    [[ -n "$a" && -n "$b" && "$b" -gt "$a" ]] || fail "\"$3\" does not follow \"$2\""
}

# The firmware revision in the record of the device the flow took last, which the
# window's status line shows ("Device connected with:", then its record).
revision_of_last_connection() {
    awk '/^Device connected with:/{getline; getline; getline; r=$0} END{print r}' "$LOG" | sed 's/.*FW_revision:\t//'
}

# --- the simulated device -------------------------------------------------------------

# Sets up the simulated devices: a prepared configuration and its modifiers.
sim_setup() {
    "$SIM_DIR/dfu-util_simulator.sh" --dfu-util-command setup_prepared_config "$@" >/dev/null \
        || fail "cannot set up simulator configuration $*"
}

sim_log() { printf '%s' "$VANTREL_SIMULATOR_STATE_DIR/log"; }

sim_flash() { printf '%s' "$VANTREL_SIMULATOR_STATE_DIR/current/devices/1/flash.bin"; }

# The device holds the carried image from the start of flash.
flash_holds_carried_image() {
    cmp -s -n "$(stat -c %s "$SIM_DIR/firmware.bin")" "$SIM_DIR/firmware.bin" "$(sim_flash)"
}

# Waits until the tool has just listed the devices: the next listing is a poll interval away.
wait_for_fresh_listing() {
    local before
    before=$(count "$(sim_log)" "list")
    wait_for_count "$(sim_log)" "list" $((before + 1))
}

# The running dfu-util download, a child of the tool.
download_child() {
    pgrep -P "$TOOL_PID" -f -- "--dfu-util-command download_FW" || true
}

# --- the emulated device --------------------------------------------------------------

EMU_STATE=""

# True when the emulated bus is built and umockdev can emulate a device here.
emulator_usable() {
    [[ -n "$EMULATOR" ]] || return 1
    EMU_STATE="$RUN_DIR/device"
    "$EMULATOR" setup "$EMU_STATE" --reset >/dev/null 2>&1 || return 1
    local listing
    listing=$("$EMULATOR" run "$EMU_STATE" -- "$CARRIED_DIR/dfu-util" -l 2>/dev/null) || true
    grep -qF "Found DFU: [0483:df11]" <<<"$listing"
}

# Sets up the emulated device: the carried product with an older revision, changed by
# the options of "dfuse-emulator setup". Skips the scenario where there is none.
emulated_device() {
    emulator_usable || skip "no emulated device: the bus is not built (umockdev missing) or umockdev cannot emulate here"
    "$EMULATOR" setup "$EMU_STATE" --reset --otp-file "$SIM_DIR/otp-carried-product.bin" \
        --flash-file "$SIM_DIR/firmware-older-revision.bin" --clear-log "$@" >/dev/null \
        || fail "cannot set up the emulated device: $*"
}

emulated_setup() {
    "$EMULATOR" setup "$EMU_STATE" "$@" >/dev/null || fail "cannot change the emulated device: $*"
}

emu_log() {
    "$EMULATOR" log "$EMU_STATE"
}

# The tool in real-device mode with the emulated device on its USB bus; TOOL_PID is the
# harness, which hands signals on to the tool and exits with its status.
start_tool_emulated() {
    "$EMULATOR" run "$EMU_STATE" -- "$TOOL" "$@" >"$OUT" 2>"$LOG" &
    TOOL_PID=$!
}

# --- the window -------------------------------------------------------------------------

# The install button's centre (install_button_point) is found before it is needed,
# so that the click itself takes no time.

click_at() { # "X Y"
    # Away first: a synchronous move to where the pointer already is waits in vain.
    # shellcheck disable=SC2086
    xdotool mousemove 0 0 mousemove --sync $1 click 1
}

click_install() {
    click_at "$(install_button_point)"
}
