#!/usr/bin/env bash
# One end-to-end run of the real executable with the simulated dfu-util, on the
# virtual display this script is started on (xvfb-run). Asserts on log lines, and
# leaves a screenshot of the final window in OUT_DIR.
#   run_scenario.sh TOOL SIM_DIR OUT_DIR SCENARIO
set -euo pipefail
TOOL=$1 SIM_DIR=$2 OUT_DIR=$3 SCENARIO=$4
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup

# How long a refused device is watched for an offer that must not come.
readonly WATCH_S=3

# The revision that the window's status line shows is the one of the DeviceInfo logged
# when the flow takes the device ("Device connected with:" and its record).
revision_of_last_connection() {
    awk '/^Device connected with:/{getline; getline; getline; r=$0} END{print r}' "$LOG" | sed 's/.*FW_revision:\t//'
}

after() { # after FILE FIRST SECOND: SECOND's first line comes after FIRST's
    local a b
    a=$(line_no "$1" "$2"); b=$(line_no "$1" "$3")
    [[ -n "$a" && -n "$b" && "$b" -gt "$a" ]] || fail "\"$3\" does not follow \"$2\""
}

case "$SCENARIO" in
upgrade)
    simulator_config older-revision
    start_tool -s
    wait_for_line "$LOG" "$B2"
    wait_for_line "$LOG" "$ENABLED"
    old=$(revision_of_last_connection)
    [[ -n "$old" ]] || fail "no revision shown for the connected device"
    click_install_button
    wait_for_line "$LOG" "Install clicked"
    wait_for_line "$LOG" "$B3"
    wait_for_line "$LOG" "SM_A: /sig_FwDownloaded"
    wait_for_line "$LOG" "$B4"
    wait_for_line "$LOG" "$B6"
    after "$LOG" "$B3" "$B4"
    after "$LOG" "SM_A: /sig_FwDownloaded" "$B4"
    new=$(revision_of_last_connection)
    [[ "$new" != "$old" ]] || fail "the device still shows revision $old after the upgrade"
    grep -qF "Rev.: $new" "$LOG" || fail "the device's revision $new is not the carried one"
    grep -qF "SM_B: /sig_FwMatches" "$LOG" || fail "no match reported"
    ;;
carried-revision)
    simulator_config carried-revision
    start_tool -s
    wait_for_line "$LOG" "$B4"
    wait_for_line "$LOG" "$B6"
    expect_no_line "$LOG" "Install clicked"
    expect_no_line "$LOG" "$B3"
    ;;
other-product | blank-otp)
    simulator_config "$SCENARIO"
    start_tool -s
    if [[ "$SCENARIO" == other-product ]]; then wait_for_line "$LOG" "$B8"; else wait_for_line "$LOG" "$B9"; fi
    sleep "$WATCH_S"
    expect_no_line "$LOG" "$ENABLED"
    # A click on the disabled button does nothing.
    click_install_button
    sleep 1
    expect_no_line "$LOG" "Install clicked"
    expect_no_line "$LOG" "$B3"
    ;;
read-back-differs)
    simulator_config read-back-differs
    start_tool -s
    wait_for_line "$LOG" "$B2"
    wait_for_line "$LOG" "$ENABLED"
    click_install_button
    wait_for_line "$LOG" "$B3"
    wait_for_line "$LOG" "SM_B: /sig_FwDiffers"
    wait_for_line "$LOG" "$B7"
    # B7 offers the download again: the button is enabled after the failed verification.
    last_enabled=$(grep -nF "$ENABLED" "$LOG" | tail -n 1 | cut -d: -f1)
    ((last_enabled > $(line_no "$LOG" "SM_A: /sig_FwUploadedDiffers"))) || fail "the install button was not enabled again"
    expect_no_line "$LOG" "$B6"
    ;;
second-signal)
    # A second signal while shutdown pauses must not cut it short.
    simulator_config older-revision
    start_tool -s
    wait_for_line "$LOG" "$B2"
    kill -TERM "$TOOL_PID"
    wait_for_line "$LOG" "Waiting 2 s before deleting objects"
    kill -INT "$TOOL_PID"
    stop_tool
    grep -qF "app.exec() returns:  0" "$LOG" || fail "the event loop did not end normally"
    echo "PASS: $SCENARIO"
    exit 0
    ;;
no-working-directory)
    # A temporary directory that cannot hold the working directory ends start-up.
    status=0
    TMPDIR=/proc "$TOOL" -s >"$OUT" 2>"$LOG" || status=$?
    ((status != 0)) || fail "the tool went on without its working directory"
    grep -qF "Failed to create temporary directory:" "$LOG" || fail "the reason is not logged"
    grep -qF "cannot create its working directory" "$LOG" || fail "no clear error on standard error"
    echo "PASS: $SCENARIO"
    exit 0
    ;;
*)
    fail "unknown scenario $SCENARIO"
    ;;
esac

sleep 1
screenshot "e2e-$SCENARIO"
stop_tool
echo "PASS: $SCENARIO"
