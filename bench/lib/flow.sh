# Figure 3, the whole flow: from the click on the install button ("Install clicked") to
# the match of the read-back ("SM_B: /sig_FwMatches"), against its floor: the same
# dfu-util runs executed directly one after the other (download; listings until the
# device is listed again; OTP read; info read; read-back) plus the pauses the polling
# loop always takes on this road: one rescan pause before each listing after the
# download, and one poll pause before the read-back is taken up. The click itself lands
# at a random moment of the worker's poll pause; that wait is the tool's and is not in
# the floor. Tool runs and floor runs alternate.
#   simulated device: the simulator with --fast-progress; it stays unlisted for two
#     listings after the download, so the tool needs three listings, three rescan pauses.
#   emulated bootloader: the real dfu-util on the umockdev bus, the tool in real-device
#     mode; the device is away for REATTACH_MS after leaving DFU mode. The tool needs one
#     rescan pause, plus one for every full rescan pause the device stays away; those
#     pauses stand in for the floor's listings that found nothing, so only the listing
#     that found the device again counts among the floor's runs.
# Expects TOOL, SIMULATOR, FAST_SIMULATOR_DIR, FIRMWARE, SIMULATOR_DATA, DFU_UTIL,
# EMULATOR (empty when not built) and REATTACH_MS.
# shellcheck shell=bash

readonly INSTALL_CLICKED="Install clicked"
readonly FW_MATCHES="SM_B: /sig_FwMatches"
readonly UPGRADE_OFFERED="Download  enabled"
readonly DOWNLOAD_TAKEN="SM_A: /sig_FwDownloading"
readonly LISTINGS_LIMIT=1000

# click_to_match: with the probed tool showing an upgradable device, clicks and waits for
# the match; sets RESULT (ns) and COMMAND_WAIT_NS (from the click to the worker taking
# the download up).
click_to_match() {
    wait_record err "$UPGRADE_OFFERED"
    random_pause
    click_install_button
    wait_record err "$INSTALL_CLICKED"
    wait_record err "$FW_MATCHES"
    local clicked downloading matched
    clicked=$(record_time "$PROBED_LOG" err "$INSTALL_CLICKED")
    downloading=$(record_time "$PROBED_LOG" err "$DOWNLOAD_TAKEN")
    matched=$(record_time "$PROBED_LOG" err "$FW_MATCHES")
    RESULT=$((matched - clicked))
    COMMAND_WAIT_NS=$((downloading - clicked))
}

# floor_runs RUNNER DIR: the dfu-util runs of one upgrade, one after the other; RUNNER runs
# one dfu-util command line. Sets FLOOR_NS (time of all the runs), LISTINGS (listings after
# the download, the last one showing the device) and AWAY_NS (from the end of the download
# to the start of that last listing).
floor_runs() {
    local runner=$1 dir=$2 start downloaded listing end output size
    size=$(stat -c %s "$FIRMWARE")
    start=$(now_ns)
    "$runner" download_FW -d 0483 -a 0 -s 0x08000000:leave -D "$FIRMWARE" >/dev/null 2>&1 ||
        die "floor: the download failed"
    downloaded=$(now_ns)
    LISTINGS=0
    while :; do
        listing=$(now_ns)
        output=$("$runner" list -d 0483 -l 2>/dev/null) || true
        LISTINGS=$((LISTINGS + 1))
        [[ $output == *"Found DFU: [0483:df11]"* ]] && break
        ((LISTINGS < LISTINGS_LIMIT)) || die "floor: the device did not come back"
    done
    "$runner" upload_OTP -d 0483 -a 2 -s 0x1FFF7800:512 -U "$dir/otp.bin" >/dev/null 2>&1 || die "floor: OTP read failed"
    "$runner" upload_FW -d 0483 -a 0 -s 0x08000000:2048 -U "$dir/info.bin" >/dev/null 2>&1 || die "floor: info read failed"
    "$runner" upload_FW -d 0483 -a 0 -s "0x08000000:$size" -U "$dir/readback.bin" >/dev/null 2>&1 ||
        die "floor: read-back failed"
    end=$(now_ns)
    cmp -s "$FIRMWARE" "$dir/readback.bin" || die "floor: the read-back differs from the image"
    FLOOR_NS=$((end - start))
    AWAY_NS=$((listing - downloaded))
}

# --- simulated device ------------------------------------------------------------------

FLOOR_STATE_DIR=""
fast_simulator() { # NAME DFU-UTIL-ARGS...: one run of the fast simulator
    local name=$1
    shift
    VANTREL_SIMULATOR_STATE_DIR=$FLOOR_STATE_DIR VANTREL_BENCH_SIMULATOR=$SIMULATOR \
        "$FAST_SIMULATOR_DIR/dfu-util_simulator.sh" --dfu-util-command "$name" "$@"
}

flow_simulated_tool_once() { # LOG: sets RESULT, PEAK_RSS_KIB
    local dir
    dir=$(run_dir)
    mkdir -p "$dir/tmp" "$dir/state"
    simulated_device "$dir/state" older-revision
    start_probed "$1" -- env TMPDIR="$dir/tmp" VANTREL_SIMULATOR_STATE_DIR="$dir/state" \
        VANTREL_SIMULATOR_DIR="$FAST_SIMULATOR_DIR" VANTREL_BENCH_SIMULATOR="$SIMULATOR" "$TOOL" -s
    click_to_match
    PEAK_RSS_KIB=$(peak_rss_kib "$(probed_child "$PROBED_LOG")")
    stop_probed
}

flow_simulated_floor_once() { # sets RESULT
    local dir
    dir=$(run_dir)
    FLOOR_STATE_DIR=$dir/state
    mkdir -p "$FLOOR_STATE_DIR"
    simulated_device "$FLOOR_STATE_DIR" older-revision
    floor_runs fast_simulator "$dir"
    RESULT=$((FLOOR_NS + (LISTINGS * RESCAN_DELAY_MS + POLL_INTERVAL_MS) * 1000000))
}

# --- emulated bootloader ---------------------------------------------------------------

emulated_device() { # STATE_DIR: the carried product with an older revision
    "$EMULATOR" setup "$1" --reset --otp-file "$SIMULATOR_DATA/otp-carried-product.bin" \
        --flash-file "$SIMULATOR_DATA/firmware-older-revision.bin" --reattach-after-ms "$REATTACH_MS"
}

# Why the emulated bootloader cannot be measured here; empty when it can.
emulator_unavailable() {
    [[ -n $EMULATOR && -x $EMULATOR ]] || {
        echo "dfuse-emulator not built (umockdev-1.0 missing at configure time)"
        return
    }
    local dir
    dir=$(run_dir)
    emulated_device "$dir/device" 2>/dev/null || {
        echo "dfuse-emulator cannot set up its device"
        return
    }
    local listing
    listing=$("$EMULATOR" run "$dir/device" -- "$DFU_UTIL" -d 0483 -l 2>/dev/null) || true
    [[ $listing == *"Found DFU: [0483:df11]"* ]] || echo "umockdev cannot emulate a USB device here"
}

EMULATED_ENV=()
emulated_dfu_util() { # NAME DFU-UTIL-ARGS...: one run of dfu-util on the served bus
    shift
    env "${EMULATED_ENV[@]}" "$DFU_UTIL" "$@"
}

flow_emulated_tool_once() { # LOG: sets RESULT
    local dir
    dir=$(run_dir)
    mkdir -p "$dir/tmp"
    emulated_device "$dir/device" || die "the emulator cannot set up its device"
    start_probed "$1" -- env TMPDIR="$dir/tmp" "$EMULATOR" run "$dir/device" -- "$TOOL"
    click_to_match
    stop_probed
}

flow_emulated_floor_once() { # sets RESULT
    local dir line
    dir=$(run_dir)
    emulated_device "$dir/device" || die "the emulator cannot set up its device"
    coproc EMULATED_BUS { "$EMULATOR" serve "$dir/device" 2>"$dir/serve.stderr"; }
    EMULATED_ENV=()
    while IFS= read -r -u "${EMULATED_BUS[0]}" line; do
        [[ $line == ready ]] && break
        EMULATED_ENV+=("$line")
    done
    ((${#EMULATED_ENV[@]} == 2)) || die "the emulator did not serve its bus: $(cat "$dir/serve.stderr")"
    floor_runs emulated_dfu_util "$dir"
    eval "exec ${EMULATED_BUS[1]}>&-"
    wait "$EMULATED_BUS_PID" || true
    local rescans=$((1 + AWAY_NS / (RESCAN_DELAY_MS * 1000000)))
    RESULT=$((FLOOR_NS - AWAY_NS + (rescans * RESCAN_DELAY_MS + POLL_INTERVAL_MS) * 1000000))
}

# --- the figure ------------------------------------------------------------------------

# flow_pairs NAME TOOL_ONCE FLOOR_ONCE: alternated runs and their figure lines.
flow_pairs() {
    local name=$1 tool_once=$2 floor_once=$3 dir i
    local tool_ns=() floor_ns=() tool_ms=() floor_ms=() ratios=() rss=() waits=()
    dir=$(run_dir)
    for ((i = 1; i <= RUNS; i++)); do
        progress "$name: run $i of $RUNS"
        PEAK_RSS_KIB=""
        "$tool_once" "$dir/tool-$i.log"
        tool_ns+=("$RESULT")
        tool_ms+=("$(ms "$RESULT")")
        waits+=("$(ms "$COMMAND_WAIT_NS")")
        [[ -n $PEAK_RSS_KIB ]] && rss+=("$PEAK_RSS_KIB")
        "$floor_once"
        floor_ns+=("$RESULT")
        floor_ms+=("$(ms "$RESULT")")
    done
    figure "${name}_tool" ms %.1f "${tool_ms[@]}"
    figure "${name}_floor" ms %.1f "${floor_ms[@]}"
    mapfile -t ratios < <(pair_ratios tool_ns floor_ns)
    figure "${name}_ratio" "x (tool / floor, per pair)" %.2f "${ratios[@]}"
    figure "${name}_command_wait" "ms of the tool's time: click to download taken up" %.1f "${waits[@]}"
    ((${#rss[@]} == 0)) || figure "${name}_tool_peak_rss" "KiB (VmHWM after the flow)" %.0f "${rss[@]}"
}

measure_flow() {
    flow_pairs flow_simulated flow_simulated_tool_once flow_simulated_floor_once
    local why
    why=$(emulator_unavailable)
    if [[ -n $why ]]; then
        printf '%-30s %12s %12s %12s  %s\n' flow_emulated - - - "not measured: $why"
        return 0
    fi
    flow_pairs flow_emulated flow_emulated_tool_once flow_emulated_floor_once
}
