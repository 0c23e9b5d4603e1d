#!/usr/bin/env bash
# One fault of a device or of dfu-util while the real executable runs on a virtual display
# (xvfb-run), against the simulated or the emulated device. Each case ends in a window
# that tells the truth, judged by the tool's log lines, and checks in the device's own
# log that nothing was written where it must not be.
#   faults.sh TOOL SIM_DIR OUT_DIR CARRIED_DIR EMULATOR|none SCENARIO
set -euo pipefail
TOOL=$1 SIM_DIR=$2 OUT_DIR=$3 CARRIED_DIR=$4 EMULATOR=${5/#none/} SCENARIO=$6
source "$(dirname "$0")/reliability_lib.sh"
e2e_setup

# The serial of a device that takes the place of the simulated one.
readonly OTHER_SERIAL=2059386B4E31

offered_and_enabled() {
    wait_for_line "$LOG" "$B2"
    wait_for_line "$LOG" "$ENABLED"
}

# No verification was run and nothing reported the upgrade done.
never_done() {
    expect_no_line "$LOG" "$B4"
    expect_no_line "$LOG" "$B6"
    expect_no_line "$LOG" "$MATCHES"
}

case "$SCENARIO" in
download-killed)
    # dfu-util dies halfway through the write: the device, its pages erased, is offered
    # again (it needs the firmware), never reported done; writing again repairs it.
    sim_setup older-revision
    start_tool -s
    offered_and_enabled
    click_install
    wait_for_line "$(sim_log)" "download-start"
    wait_for_line "$(sim_log)" "erased"
    child=$(download_child)
    [[ -n "$child" ]] || fail "no dfu-util download running"
    kill -KILL -- "-$child"
    wait_for_line "$LOG" "$DOWNLOADED"
    wait_for_count "$LOG" "$B2" 2
    grep -qF "Exit with -1" "$LOG" || fail "the killed download was not reported"
    follows "$LOG" "$B3" "$B1"
    never_done
    expect_no_line "$(sim_log)" "written"
    [[ -z "$(revision_of_last_connection)" ]] || fail "the erased device is shown with a firmware revision"
    click_install
    wait_for_line "$LOG" "$B6"
    flash_holds_carried_image || fail "the second download did not repair the device"
    ;;
gone-after-leave | vanish-never-back)
    # The device leaves DFU mode after a good write, or vanishes halfway, and is never
    # listed again: no read-back, no "Done", the status returns to no device.
    if [[ "$SCENARIO" == gone-after-leave ]]; then
        emulated_device --reattach-after-ms -1
    else
        emulated_device --reattach-after-ms -1 --fault vanish-at-block=4
    fi
    start_tool_emulated
    offered_and_enabled
    click_install
    wait_for_line "$LOG" "$B3"
    wait_for_line "$LOG" "$DOWNLOADED"
    wait_for_count "$LOG" "$B1" 2
    watch_tool "$WATCH_S"
    never_done
    follows "$LOG" "$B3" "$B1"
    [[ "$(tail -n 1 < <(grep -F "SM_B: entered" "$LOG"))" == "$B1" ]] || fail "the window does not show no device"
    if [[ "$SCENARIO" == vanish-never-back ]]; then
        grep -q "^vanish during download" <<<"$(emu_log)" || fail "the device did not vanish"
    else
        grep -qx "leave" <<<"$(emu_log)" || fail "the device did not leave DFU mode"
    fi
    ;;
swap-other-serial | swap-other-product)
    # Between the offer and the click the device is swapped for another; the click comes
    # right after a listing, so the worker has not yet seen the newcomer.
    sim_setup older-revision
    start_tool -s
    offered_and_enabled
    point=$(install_button_point)
    wait_for_fresh_listing
    if [[ "$SCENARIO" == swap-other-serial ]]; then
        sim_setup older-revision "serial=$OTHER_SERIAL"
    else
        sim_setup other-product "serial=$OTHER_SERIAL"
    fi
    click_at "$point"
    wait_for_line "$LOG" "Install clicked"
    wait_for_either "$LOG" "SM_A: Download not started" "$(sim_log)" "download-start"
    expect_no_line "$(sim_log)" "download-start"
    if [[ "$SCENARIO" == swap-other-serial ]]; then
        # The newcomer is offered in its own right.
        wait_for_count "$LOG" "$B2" 2
    else
        wait_for_line "$LOG" "$B8"
    fi
    follows "$LOG" "$B3" "$B1"
    watch_tool 2
    expect_no_line "$(sim_log)" "download-start"
    never_done
    ;;
read-back-short | read-back-empty)
    # The device runs the carried revision, but reading it back returns one byte less,
    # or nothing, with dfu-util content: "FW differs", never "Done".
    sim_setup carried-revision "read-back=${SCENARIO#read-back-}"
    start_tool -s
    wait_for_line "$LOG" "$B4"
    wait_for_line "$LOG" "$DIFFERS"
    wait_for_line "$LOG" "$B7"
    wait_for_line "$(sim_log)" "read-back=${SCENARIO#read-back-}"
    expect_no_line "$LOG" "$B6"
    expect_no_line "$LOG" "$MATCHES"
    ;;
listing-hang | listing-hang-escape)
    # dfu-util -l hangs: the tool still shuts down in bounded time, and ends the hanging
    # run rather than leaving it behind. Escape stops the worker without the forced end.
    sim_setup older-revision
    start_tool -s
    wait_for_line "$LOG" "$B2"
    sim_setup older-revision listing=hang
    wait_for_line "$(sim_log)" "list hangs"
    hanging=$(sed -n 's/^list hangs pid=//p' "$(sim_log)" | head -n 1)
    [[ -n "$hanging" ]] && kill -0 "$hanging" 2>/dev/null || fail "the hanging listing is not running"
    if [[ "$SCENARIO" == listing-hang-escape ]]; then
        xdotool windowfocus --sync "$(window_id)" key Escape
        wait_for_line "$LOG" "Trying to stop sm_A"
        watch_tool 2
        expect_no_line "$LOG" "Oops, SM_A not dead yet"
        ! kill -0 "$hanging" 2>/dev/null || fail "the hanging listing still runs after Escape"
    fi
    stop_tool
    grep -qF "Abandoned" "$LOG" || fail "the hanging listing was not ended"
    expect_no_line "$LOG" "Oops, SM_A not dead yet"
    ! kill -0 "$hanging" 2>/dev/null || fail "the hanging listing outlived the tool"
    pass
    ;;
otp-read-fails)
    # The OTP area cannot be read: nothing is offered, and the device is left alone, not
    # read again, until it goes away; a device connected afterwards is read afresh.
    sim_setup otp-read-fails
    start_tool -s
    wait_for_line "$(sim_log)" "upload-failed"
    watch_tool "$WATCH_S"
    expect_no_line "$LOG" "$CONNECTED"
    expect_no_line "$LOG" "$ENABLED"
    expect_count "$(sim_log)" "upload" 1
    sim_setup no-device
    wait_for_fresh_listing
    wait_for_fresh_listing
    sim_setup older-revision
    wait_for_line "$LOG" "$B2"
    expect_count "$(sim_log)" "upload-failed" 1
    ;;
two-devices | other-vendor)
    # dfu-util cannot tell two devices apart: nothing is offered, nothing is read or
    # written, even when the user clicks anyway; once ours is alone, it is offered.
    if [[ "$SCENARIO" == two-devices ]]; then
        sim_setup two-devices
        start_tool -s
        for _ in 1 2 3; do wait_for_fresh_listing; done
    else
        emulated_device --second-device yes
        start_tool_emulated
        wait_for_line "$LOG" "Another DFU device is connected:"
        watch_tool "$WATCH_S"
    fi
    click_install
    watch_tool 2
    expect_no_line "$LOG" "$CONNECTED"
    expect_no_line "$LOG" "$ENABLED"
    expect_no_line "$LOG" "Install clicked"
    if [[ "$SCENARIO" == two-devices ]]; then
        expect_no_line "$(sim_log)" "upload"
        expect_no_line "$(sim_log)" "download-start"
        sim_setup older-revision
    else
        ! grep -qE "^(read|erase|mass-erase|write)( |$)" <<<"$(emu_log)" || fail "the emulated device was read or written"
        emulated_setup --second-device no
    fi
    wait_for_line "$LOG" "$B2"
    ;;
*)
    fail "unknown scenario $SCENARIO"
    ;;
esac

screenshot "reliability-$SCENARIO"
stop_tool
pass
