#!/usr/bin/env bash
# A signal to the real executable while it writes the firmware (simulated device, virtual
# display): the write finishes, then the tool shuts down in order, exits 0 and leaves no
# working directory behind.
#   signals.sh TOOL SIM_DIR OUT_DIR CARRIED_DIR EMULATOR|none SCENARIO
# SCENARIO: int-group (Ctrl-C in a terminal: SIGINT to the tool's whole process group),
# term (SIGTERM to the tool).
set -euo pipefail
TOOL=$1 SIM_DIR=$2 OUT_DIR=$3 CARRIED_DIR=$4 EMULATOR=${5/#none/} SCENARIO=$6
source "$(dirname "$0")/reliability_lib.sh"
e2e_setup

sim_setup older-revision
case "$SCENARIO" in
int-group)
    # A process group of its own, as a shell gives a foreground job.
    setsid "$TOOL" -s >"$OUT" 2>"$LOG" &
    TOOL_PID=$!
    [[ "$(ps -o pgid= -p "$TOOL_PID" | tr -d ' ')" == "$TOOL_PID" ]] || fail "the tool does not lead its process group"
    signal=(-INT -- "-$TOOL_PID")
    ;;
term)
    start_tool -s
    signal=(-TERM "$TOOL_PID")
    ;;
*) fail "unknown scenario $SCENARIO" ;;
esac

wait_for_line "$LOG" "$B2"
wait_for_line "$LOG" "$ENABLED"
click_install
wait_for_line "$(sim_log)" "download-start"
child=$(download_child)
[[ -n "$child" ]] || fail "no dfu-util download running"
[[ "$(ps -o pgid= -p "$child" | tr -d ' ')" == "$child" ]] || fail "the download does not run in a process group of its own"
kill "${signal[@]}"

# The tool waits for the write; its shutdown pause alone is 2 s.
deadline=$((SECONDS + WAIT_FOR_EXIT_S))
while kill -0 "$TOOL_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "tool did not end after the signal"
    sleep 0.2
done
status=0
wait "$TOOL_PID" || status=$?
TOOL_PID=""
((status == 0)) || fail "tool exited with status $status"

grep -qF "written" "$(sim_log)" || fail "the download was cut short"
flash_holds_carried_image || fail "the device does not hold the carried image"
expect_no_line "$LOG" "Exit with"
expect_no_line "$LOG" "Abandoned"
expect_no_line "$LOG" "Oops, SM_A not dead yet"
follows "$LOG" "Termination signal received" "app.exec() returns:"
follows "$LOG" "app.exec() returns:" "SM_A: Stop requested during the firmware download"
follows "$LOG" "SM_A: Stop requested during the firmware download" "$DOWNLOADED"
if compgen -G "$TMPDIR/upgrade_*" >/dev/null; then fail "working directory left behind"; fi
pass
