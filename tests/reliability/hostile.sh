#!/usr/bin/env bash
# The real executable in real-device mode in a hostile place: a dfu-util planted first on
# PATH and in the current directory must never run; the tool runs only its own extracted
# copy by absolute path, from a working directory private to the user, and every file
# dfu-util reads back is created inside that directory. With the emulated device (where
# umockdev works) the device is really upgraded; without it, only listings run.
#   hostile.sh TOOL SIM_DIR OUT_DIR CARRIED_DIR EMULATOR|none SCENARIO
set -euo pipefail
TOOL=$1 SIM_DIR=$2 OUT_DIR=$3 CARRIED_DIR=$4 EMULATOR=${5/#none/} SCENARIO=$6
source "$(dirname "$0")/reliability_lib.sh"
e2e_setup

plant="$RUN_DIR/plant"
marker="$RUN_DIR/planted-dfu-util-ran"
mkdir -p "$plant"
cat >"$plant/dfu-util" <<EOF
#!/bin/sh
: >"$marker"
echo "planted dfu-util"
exit 0
EOF
chmod 755 "$plant/dfu-util"
export PATH="$plant:$PATH"
cd "$plant"

with_device=0
# The emulated device comes back this long after leaving DFU mode.
readonly REATTACH_MS=1500
case "$SCENARIO" in
planted-dfu-util)
    if emulator_usable; then
        emulated_device --reattach-after-ms "$REATTACH_MS"
        with_device=1
        start_tool_emulated
    else
        echo "no emulated device: checking the start-up and the listings only"
        start_tool
    fi
    ;;
*) fail "unknown scenario $SCENARIO" ;;
esac

wait_for_line "$LOG" "Result of execution test"
if ((with_device)); then
    # The whole upgrade: write, read back, compare.
    wait_for_line "$LOG" "$B2"
    wait_for_line "$LOG" "$ENABLED"
    click_install
    wait_for_line "$LOG" "$B6"
else
    watch_tool 3
fi

workdirs=("$TMPDIR"/upgrade_*)
((${#workdirs[@]} == 1)) && [[ -d "${workdirs[0]}" ]] || fail "not one working directory: ${workdirs[*]}"
workdir=${workdirs[0]}
[[ "$(stat -c %a "$workdir")" == 700 ]] || fail "working directory mode $(stat -c %a "$workdir"), not 700"
[[ "$(stat -c %u "$workdir")" == "$(id -u)" ]] || fail "working directory not owned by the user"

[[ ! -e "$marker" ]] || fail "the planted dfu-util ran"
grep -qF 'Result of execution test: status was ok and output: "as expected"' "$LOG" \
    || fail "the extracted dfu-util did not answer -V as expected"

# Every run that is logged names its program and the file it reads into or writes from.
starts=$(grep -F "Start " "$LOG" || true)
[[ -n "$starts" ]] || fail "no dfu-util run logged"
while IFS= read -r line; do
    mapfile -t quoted < <(grep -o '"[^"]*"' <<<"$line" | tr -d '"')
    [[ "${quoted[0]}" == "$workdir/dfu-util" ]] || fail "ran ${quoted[0]}, not $workdir/dfu-util"
    for ((i = 1; i < ${#quoted[@]} - 1; i++)); do
        if [[ "${quoted[i]}" == -U || "${quoted[i]}" == -D ]]; then
            file=${quoted[i + 1]}
            [[ "$(dirname "$file")" == "$workdir" ]] || fail "dfu-util ${quoted[i]} $file, outside $workdir"
        fi
    done
done <<<"$starts"
if ((with_device)); then
    grep -F "Start " "$LOG" | grep -qF '"-U"' || fail "the device was not read"
    grep -F "Start " "$LOG" | grep -qF '"-D"' || fail "the device was not written"
    for name in uploaded_OTP.bin uploaded_FW_info.bin uploaded_FW.bin; do
        [[ -f "$workdir/$name" ]] || fail "$name is not in the working directory"
    done
fi
[[ "$(ls -A "$plant")" == dfu-util ]] || fail "files were created in the current directory: $(ls -A "$plant")"

stop_tool
[[ ! -e "$marker" ]] || fail "the planted dfu-util ran"
pass
