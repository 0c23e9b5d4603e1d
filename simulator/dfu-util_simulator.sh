#!/usr/bin/env bash
# Stand-in for dfu-util 0.11 driving simulated STM32 DfuSe bootloaders, with state kept between calls.
#
#   dfu-util_simulator.sh --dfu-util-command NAME [--fast-progress] [dfu-util options]
#   dfu-util_simulator.sh --dfu-util-command setup_prepared_config CONFIG [MODIFIER...]|help
#
# NAME is the command the caller stands it in for (list, version, upload_OTP, upload_FW,
# download_FW, setup_prepared_config); the dfu-util options that follow decide what
# happens, as they would for dfu-util. Output, messages and exit codes (sysexits) follow
# dfu-util 0.11. --fast-progress drops the pauses that make a download take seconds.
#
# The bytes served (OTP dumps, firmware images, the -V text) lie beside this script; the
# build generates them there. The simulated devices live in a state folder:
# $VANTREL_SIMULATOR_STATE_DIR if set, else vantrel-dfu-util-simulator in
# $XDG_RUNTIME_DIR, else vantrel-dfu-util-simulator-UID in the temporary directory.
# Without state the device is the carried product with an older firmware revision.
# Every listing, read and write is noted, one line each, in the file "log" of the state
# folder; it survives changes of configuration.
set -uo pipefail

readonly EX_OK=0 EX_USAGE=64 EX_NOINPUT=66 EX_SOFTWARE=70 EX_CANTCREAT=73 EX_IOERR=74

readonly script_name=${0##*/}
data_dir=$(cd "$(dirname "$(readlink -f "$0")")" && pwd) || exit $EX_SOFTWARE
readonly data_dir

# Pauses without --fast-progress: a download erases for about 1 s and writes for about
# 2 s, as a real transfer of a few dozen KiB over full-speed USB does; reads are quick.
readonly erase_total_ms=1000
readonly write_total_ms=2000
readonly upload_chunk_ms=10
# After leaving DFU mode a device stays out of this many listings before it is back.
readonly listings_absent_after_leave=2
readonly transfer_size=2048
readonly progress_bar_width=25

readonly configurations=(
    "no-device:no device connected"
    "older-revision:the carried product with an older firmware revision (the default)"
    "carried-revision:the carried product already running the carried firmware"
    "other-product:a device of another product, running that product's firmware"
    "blank-otp:a device whose OTP area was never programmed, flash erased"
    "unknown-product-code:a device whose OTP record holds a code not in the catalogue"
    "firmware-of-other-product:the carried product's OTP, flash holding another product's firmware"
    "two-devices:two devices of the carried product, older revision"
    "otp-read-fails:a device whose OTP area cannot be read"
    "read-back-differs:a device that stores one byte wrongly on every download"
    "leave-error:a device that resets before answering the leave request (exit 74, download good)"
    "write-error:a device that fails to write flash (exit 74, flash left erased)"
    "alternating:two devices, the carried product (older revision) and another product, taking each other's place at every listing"
)
# Modifiers that may follow the configuration's name, applied to its (first) device.
readonly modifiers=(
    "serial=HEX:the device's serial number"
    "read-back=short|empty:a read of flash longer than 2048 bytes returns one byte less, or nothing (exit 0)"
    "listing=hang:every listing hangs until it is killed (five minutes at most)"
)
readonly default_configuration=older-revision
readonly serial_1=3276365D3133
readonly serial_2=2059386B4E31

# Memory behind each alternate setting: name as listed, base address, size, file in the
# device's state folder (none: reads as erased memory).
readonly alt_names=(
    "@Internal Flash  /0x08000000/04*016Kg,01*064Kg,07*128Kg"
    "@Option Bytes  /0x1FFFC000/01*016 e"
    "@OTP Memory /0x1FFF7800/01*512 e,01*016 e"
    "@Device Feature/0xFFFF0000/01*004 e"
)
readonly alt_bases=(0x08000000 0x1FFFC000 0x1FFF7800 0xFFFF0000)
readonly alt_sizes=(1048576 16 528 4)
readonly alt_files=(flash.bin "" otp.bin "")

warn() { printf 'dfu-util: %s\n' "$*" >&2; }
note() { printf '%s\n' "$*" >>"$state_root/log"; } # words: one line in the state folder's log
fail() { # code message...
    local code=$1
    shift
    warn "$@"
    exit "$code"
}
own_error() { # code message...: a fault of the simulator itself, not of a simulated device
    local code=$1
    shift
    printf '%s: %s\n' "$script_name" "$*" >&2
    exit "$code"
}

banner() {
    local text=$data_dir/dfu-util-V.txt
    [[ -r $text ]] || own_error $EX_SOFTWARE "$text is missing: run the copy of this script in the build folder (<build>/simulator)"
    cat "$text"
}

usage() {
    cat <<'EOF'
Usage: dfu-util [options] ...
  -h --help			Print this help message
  -V --version			Print the version number
  -v --verbose			Print verbose debug statements
  -l --list			List currently attached DFU capable devices
  -d --device <vendor>:<product>[,<vendor_dfu>:<product_dfu>]
  -S --serial <serial_string>[,<serial_string_dfu>]
  -a --alt <alternate>		Specify the altsetting of the DFU interface
  -U --upload <file>		Read firmware from device into <file>
  -D --download <file>		Write firmware from <file> into device
  -s --dfuse-address address<:...>	ST DfuSe mode string, specifying target
				address for raw file download or upload (not
				applicable for DfuSe file (.dfu) downloads).
EOF
}

usage_error() {
    warn "$@"
    usage >&2
    exit $EX_USAGE
}

# --- state ---------------------------------------------------------------------------

state_root=${VANTREL_SIMULATOR_STATE_DIR:-}
if [[ -z $state_root ]]; then
    if [[ -n ${XDG_RUNTIME_DIR:-} && -d ${XDG_RUNTIME_DIR:-} ]]; then
        state_root=$XDG_RUNTIME_DIR/vantrel-dfu-util-simulator
    else
        state_root=${TMPDIR:-/tmp}/vantrel-dfu-util-simulator-$(id -u)
    fi
fi
readonly state_root

open_state() {
    mkdir -p "$state_root" && chmod 700 "$state_root" 2>/dev/null
    [[ -d $state_root && -O $state_root ]] ||
        own_error $EX_SOFTWARE "state folder $state_root cannot be created or belongs to someone else"
    # One call at a time changes the simulated devices.
    exec 9>"$state_root/.lock" || own_error $EX_SOFTWARE "cannot lock $state_root"
    flock 9
    [[ -e $state_root/current ]] || prepare_configuration "$default_configuration"
}

device_dirs() { # prints the state folder of every device, in bus order
    local dir
    for dir in "$state_root"/current/devices/*/; do
        [[ -f $dir/device.conf ]] && printf '%s\n' "${dir%/}"
    done
}

load_device() { # dir: sets serial devnum usb_path absent_listings otp_read download_fault read_back
    local key value
    serial='' devnum=0 usb_path='' absent_listings=0 otp_read=ok download_fault=none read_back=ok
    while IFS='=' read -r key value; do
        case $key in
        serial) serial=$value ;;
        devnum) devnum=$value ;;
        usb_path) usb_path=$value ;;
        absent_listings) absent_listings=$value ;;
        otp_read) otp_read=$value ;;
        download_fault) download_fault=$value ;;
        read_back) read_back=$value ;;
        esac
    done <"$1/device.conf"
}

save_device() { # dir: writes the variables of load_device, replacing the file in one step
    local tmp
    tmp=$(mktemp "$1/.device.conf.XXXXXX") || own_error $EX_SOFTWARE "cannot write in $1"
    printf '%s=%s\n' serial "$serial" devnum "$devnum" usb_path "$usb_path" \
        absent_listings "$absent_listings" otp_read "$otp_read" download_fault "$download_fault" \
        read_back "$read_back" >"$tmp"
    mv -f "$tmp" "$1/device.conf"
}

replace_file() { # target: moves "$target.new" over target
    mv -f "$1.new" "$1"
}

data_file() { # name: a file served by the simulator, checked to exist
    local path=$data_dir/$1
    [[ -r $path ]] || own_error $EX_SOFTWARE "$path is missing: run the copy of this script in the build folder (<build>/simulator)"
    printf '%s' "$path"
}

add_device() { # config_dir index serial devnum usb_path otp_file flash_file [otp_read [download_fault]]
    local dir=$1/devices/$2
    mkdir -p "$dir"
    serial=$3 devnum=$4 usb_path=$5 absent_listings=0 otp_read=${8:-ok} download_fault=${9:-none} read_back=ok
    cp "$(data_file "$6")" "$dir/otp.bin" || own_error $EX_SOFTWARE "cannot copy $6"
    if [[ -n $7 ]]; then
        cp "$(data_file "$7")" "$dir/flash.bin" || own_error $EX_SOFTWARE "cannot copy $7"
    else
        : >"$dir/flash.bin"
    fi
    save_device "$dir"
}

known_configuration() {
    local entry
    for entry in "${configurations[@]}"; do
        [[ ${entry%%:*} == "$1" ]] && return 0
    done
    return 1
}

# Applies one modifier to a configuration being built; false when it names none.
apply_modifier() { # config_dir KEY=VALUE
    local dir=$1/devices/1 key=${2%%=*} value=${2#*=}
    [[ $2 == *=* ]] || return 1
    case $key in
    serial | read-back)
        [[ -f $dir/device.conf ]] || return 1
        if [[ $key == serial ]]; then
            [[ $value =~ ^[0-9A-Fa-f]+$ ]] || return 1
        else
            [[ $value =~ ^(short|empty)$ ]] || return 1
        fi
        load_device "$dir"
        if [[ $key == serial ]]; then serial=$value; else read_back=$value; fi
        save_device "$dir"
        ;;
    listing)
        [[ $value == hang ]] || return 1
        printf 'hang\n' >"$1/listing"
        ;;
    *) return 1 ;;
    esac
}

# Builds the configuration in a new folder, then points "current" at it in one rename,
# so that a call interrupted halfway leaves the previous state intact.
prepare_configuration() { # name [modifier...]
    local name=$1 new old link modifier
    new=$(mktemp -d "$state_root/config.XXXXXX") || own_error $EX_SOFTWARE "cannot write in $state_root"
    local carried_otp=otp-carried-product.bin older=firmware-older-revision.bin
    case $name in
    no-device) ;;
    older-revision) add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older ;;
    carried-revision) add_device "$new" 1 $serial_1 5 1-1 $carried_otp firmware.bin ;;
    other-product) add_device "$new" 1 $serial_1 5 1-1 otp-other-product.bin firmware-other-product.bin ;;
    blank-otp) add_device "$new" 1 $serial_1 5 1-1 otp-blank.bin "" ;;
    unknown-product-code) add_device "$new" 1 $serial_1 5 1-1 otp-unknown-product-code.bin $older ;;
    firmware-of-other-product) add_device "$new" 1 $serial_1 5 1-1 $carried_otp firmware-other-product.bin ;;
    two-devices)
        add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older
        add_device "$new" 2 $serial_2 9 1-2 $carried_otp $older
        ;;
    otp-read-fails) add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older fail ;;
    read-back-differs) add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older ok corrupt ;;
    leave-error) add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older ok leave-error ;;
    write-error) add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older ok write-error ;;
    alternating)
        add_device "$new" 1 $serial_1 5 1-1 $carried_otp $older
        add_device "$new" 2 $serial_2 9 1-2 otp-other-product.bin firmware-other-product.bin
        # Which device the last listing showed: the first listing shows device 1.
        printf '2\n' >"$new/alternating"
        ;;
    *)
        rm -rf "$new"
        own_error $EX_SOFTWARE "no prepared configuration '$name'"
        ;;
    esac
    for modifier in "${@:2}"; do
        if ! apply_modifier "$new" "$modifier"; then
            rm -rf "$new"
            own_error $EX_USAGE "no modifier '$modifier' for configuration '$name'"
        fi
    done
    printf '%s\n' "${*}" >"$new/name"
    old=$(readlink "$state_root/current" 2>/dev/null || true)
    link=$state_root/.current.$$
    ln -sfn "${new##*/}" "$link" && mv -fT "$link" "$state_root/current" ||
        own_error $EX_SOFTWARE "cannot switch $state_root/current"
    [[ -n $old && $old != "${new##*/}" ]] && rm -rf "${state_root:?}/$old"
    return 0
}

# --- output in dfu-util's forms ------------------------------------------------------

pause_ms() { # milliseconds; nothing with --fast-progress
    ((fast_progress || $1 <= 0)) && return 0
    sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"
}

progress_line() { # label total done
    local bar filled=0 percent=100
    if (($2 > 0)); then
        filled=$((progress_bar_width * $3 / $2))
        percent=$((100 * $3 / $2))
    else
        filled=$progress_bar_width
    fi
    printf -v bar '%*s' "$filled" ''
    bar=${bar// /=}
    printf '\r%s\t[%s%*s] %3d%% %12d bytes' "$1" "$bar" $((progress_bar_width - filled)) '' "$percent" "$3"
}

progress() { # label total total_ms: progress lines every transfer, then a line feed
    local done=0 steps=$((($2 + transfer_size - 1) / transfer_size))
    ((steps < 1)) && steps=1
    while ((done < $2)); do
        progress_line "$1" "$2" "$done"
        pause_ms $(($3 / steps))
        done=$((done + transfer_size))
    done
    progress_line "$1" "$2" "$2"
    printf '\n'
}

opening_lines() { # alt
    printf '%s\n' "Opening DFU capable USB device..." "Device ID 0483:df11" "Device DFU version 011a" \
        "Claiming USB DFU Interface..." "Setting Alternate Interface #$1 ..." "Determining device status..." \
        "DFU state(2) = dfuIDLE, status(0) = No error condition is present" "DFU mode device DFU version 011a" \
        "Device returned transfer size $transfer_size"
}

interface_name() { # alt: the name between "@" and "/" of the alternate setting
    local name=${alt_names[$1]#@}
    printf '%s' "${name%%/*}"
}

# Warnings dfu-util prints while parsing the memory layout of the alternate setting:
# a segment type letter after a space is read as a multiplier it does not know.
layout_warnings() { # alt
    local layout=${alt_names[$1]#*/} segment segments
    layout=${layout#*/}
    IFS=',' read -ra segments <<<"$layout"
    for segment in "${segments[@]}"; do
        [[ $segment == *" "* ]] && warn "Non-valid multiplier ' ', assuming bytes"
    done
}

erased() { # count: that many 0xFF bytes
    (($1 > 0)) && head -c "$1" /dev/zero | tr '\0' '\377'
    return 0
}

memory_bytes() { # file offset length: the bytes stored there, erased memory past its end
    local size=0 have
    [[ -n $1 && -f $1 ]] && size=$(stat -c %s "$1")
    have=$((size - $2))
    ((have > $3)) && have=$3
    ((have < 0)) && have=0
    ((have > 0)) && tail -c +$(($2 + 1)) "$1" | head -c "$have"
    erased $(($3 - have))
}

# --- the commands --------------------------------------------------------------------

# The number of the device that the last listing showed, in an alternating
# configuration (before the first listing, the last device); 0: every device is present.
shown_device() {
    local file=$state_root/current/alternating
    [[ -f $file ]] && cat "$file" || printf '0\n'
}

cmd_list() {
    local dir alt index=0 shown listed=()
    banner
    if [[ -f $state_root/current/listing ]]; then
        note "list hangs pid=$$"
        exec 9>&- # others may change the devices meanwhile
        # Bounded, so that a run nobody ends does not outlive its test for long.
        sleep 300
        exit $EX_IOERR
    fi
    shown=$(shown_device)
    if ((shown > 0)); then
        shown=$((shown % $(device_dirs | wc -l) + 1))
        printf '%s\n' "$shown" >"$state_root/current/alternating"
    fi
    while IFS= read -r dir; do
        index=$((index + 1))
        ((shown == 0 || shown == index)) || continue
        load_device "$dir"
        if ((absent_listings > 0)); then
            absent_listings=$((absent_listings - 1))
            save_device "$dir"
            continue
        fi
        for alt in 3 2 1 0; do
            printf 'Found DFU: [0483:df11] ver=2200, devnum=%s, cfg=1, intf=0, path="%s", alt=%s, name="%s", serial="%s"\n' \
                "$devnum" "$usb_path" "$alt" "${alt_names[$alt]}" "$serial"
        done
        listed+=("$serial")
    done < <(device_dirs)
    note list "${listed[@]}"
    exit $EX_OK
}

select_device() { # sets device_dir to the one device present, or fails as dfu-util does
    local dir found=() index=0 shown
    shown=$(shown_device)
    if [[ $alt =~ ^[0-3]$ ]]; then
        while IFS= read -r dir; do
            index=$((index + 1))
            ((shown == 0 || shown == index)) || continue
            load_device "$dir"
            ((absent_listings > 0)) && continue
            [[ -n $serial_filter && $serial_filter != "$serial" ]] && continue
            found+=("$dir")
        done < <(device_dirs)
    fi
    ((${#found[@]} == 0)) && fail $EX_IOERR "No DFU capable USB device available"
    ((${#found[@]} > 1)) && fail $EX_IOERR "More than one DFU capable USB device found! Try \`--list' and specify the serial number or disconnect all but one device"
    device_dir=${found[0]}
    load_device "$device_dir"
}

parse_dfuse_address() { # sets address, length (empty: not given), leave
    address='' length='' leave=0
    [[ -z $dfuse_address ]] && return 0
    local part parts
    IFS=':' read -ra parts <<<"$dfuse_address"
    address=${parts[0]:-}
    [[ $address =~ ^(0[xX][0-9a-fA-F]+|[0-9]+)$ ]] || usage_error "Invalid dfuse address: $dfuse_address"
    address=$((address))
    for part in "${parts[@]:1}"; do
        case $part in
        leave) leave=1 ;;
        force | mass-erase | unprotect | will-reset) ;;
        *)
            [[ $part =~ ^(0[xX][0-9a-fA-F]+|[0-9]+)$ ]] || usage_error "Invalid dfuse modifier: $part"
            length=$((part))
            ;;
        esac
    done
}

cmd_upload() {
    banner
    select_device
    opening_lines "$alt"
    if ! (set -o noclobber && : >"$file") 2>/dev/null; then
        local reason="Permission denied"
        if [[ -e $file ]]; then
            reason="File exists"
        elif [[ ! -d $(dirname -- "$file") ]]; then
            reason="No such file or directory"
        fi
        fail $EX_CANTCREAT "Cannot open file $file for writing: $reason"
    fi
    printf 'DfuSe interface name: "%s"\n' "$(interface_name "$alt")"
    layout_warnings "$alt"
    parse_dfuse_address
    local base=$((alt_bases[alt])) size=${alt_sizes[alt]}
    [[ -z $address ]] && address=$base
    [[ -z $length ]] && length=$((size - (address - base)))
    if ((address < base || address + length > base + size)); then
        local unreadable=$address
        ((address >= base)) && unreadable=$((base + size))
        fail $EX_USAGE "$(printf 'Page at 0x%08x is not readable' "$unreadable")"
    fi
    if ((alt == 2)) && [[ $otp_read == fail ]]; then
        note upload-failed "$serial" "alt=$alt"
        progress_line Upload "$length" 0
        printf ' failed!\n'
        fail $EX_IOERR "Error during upload"
    fi
    local memory=''
    [[ -n ${alt_files[alt]} ]] && memory=$device_dir/${alt_files[alt]}
    memory_bytes "$memory" $((address - base)) "$length" >>"$file" ||
        fail $EX_CANTCREAT "Cannot write file $file"
    if ((alt == 0 && length > transfer_size)); then
        case $read_back in
        short) truncate -s $((length - 1)) "$file" ;;
        empty) : >"$file" ;;
        esac
    fi
    note upload "$serial" "alt=$alt" "length=$length" "read-back=$read_back"
    progress Upload "$length" $((upload_chunk_ms * ((length + transfer_size - 1) / transfer_size)))
    printf 'Upload done.\n'
    exit $EX_OK
}

flip_byte() { # file offset: inverts the bits of one stored byte
    local value
    value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    [[ -z $value ]] && return 0
    # shellcheck disable=SC2059
    printf "\\$(printf '%03o' $((255 - value)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

cmd_download() {
    banner
    [[ -r $file && -f $file ]] || fail $EX_NOINPUT "Could not open file $file for reading: No such file or directory"
    local size
    size=$(stat -c %s "$file")
    # A raw image carries no DFU suffix ("UFD" backwards in its last 16 bytes).
    if [[ $(tail -c 16 "$file" | head -c 11 | tail -c 3) != "UFD" ]]; then
        warn "Warning: Invalid DFU suffix signature"
        warn "A valid DFU suffix will be required in a future dfu-util release"
    fi
    select_device
    opening_lines "$alt"
    printf 'DfuSe interface name: "%s"\n' "$(interface_name "$alt")"
    parse_dfuse_address
    local base=$((alt_bases[0])) flash=$device_dir/flash.bin
    [[ -z $address ]] && address=$base
    ((alt == 0)) || fail $EX_IOERR "the simulated device takes downloads to alternate setting 0 (Internal Flash) only"
    if ((address < base || address + size > base + alt_sizes[0])); then
        fail $EX_IOERR "$(printf 'Last page at 0x%08x is not writeable' $((address + size - 1)))"
    fi
    printf 'Downloading element to address = 0x%08x, size = %d\n' "$address" "$size"
    note download-start "$serial"
    # The pages are erased before the write: a download cut short leaves them erased.
    local offset=$((address - base))
    { memory_bytes "$flash" 0 "$offset" && erased "$size"; } >"$flash.new" && replace_file "$flash"
    note erased "$serial"
    progress "Erase   " "$size" $erase_total_ms
    printf 'Erase    done.\n'
    if [[ $download_fault == write-error ]]; then
        note write-failed "$serial"
        progress_line Download "$size" 0
        printf ' failed!\n'
        printf '%s\n' "DFU state(10) = dfuERROR, status(3) = Device is unable to write memory" >&2
        fail $EX_IOERR "Failed to write whole chunk: -1 of $transfer_size bytes"
    fi
    progress Download "$size" $write_total_ms
    { memory_bytes "$flash" 0 "$offset" && cat "$file"; } >"$flash.new" || own_error $EX_SOFTWARE "cannot write $flash"
    if [[ $download_fault == corrupt ]] && ((size > 0)); then
        local bad=$((offset + size / 2))
        ((size / 2 < transfer_size)) && bad=$((offset + size - 1))
        flip_byte "$flash.new" "$bad"
    fi
    replace_file "$flash"
    note written "$serial"
    printf 'Download done.\n'
    printf 'File downloaded successfully\n'
    ((leave)) || exit $EX_OK
    printf 'Submitting leave request...\n'
    # The device resets into its firmware; it enumerates anew when it is back.
    absent_listings=$listings_absent_after_leave
    devnum=$((devnum + 1))
    save_device "$device_dir"
    [[ $download_fault == leave-error ]] && fail $EX_IOERR "Error during download get_status"
    printf 'Transitioning to dfuMANIFEST state\n'
    exit $EX_OK
}

cmd_setup_prepared_config() { # name
    local entry current=''
    if [[ ${1:-} == help || -z ${1:-} ]]; then
        [[ -r $state_root/current/name ]] && current=$(<"$state_root/current/name")
        current=${current%% *}
        printf 'Prepared configurations (--dfu-util-command setup_prepared_config NAME):\n'
        for entry in "${configurations[@]}"; do
            printf '  %-26s %s%s\n' "${entry%%:*}" "${entry#*:}" "$([[ ${entry%%:*} == "$current" ]] && printf ' [current]')"
        done
        printf 'Modifiers that may follow the name:\n'
        for entry in "${modifiers[@]}"; do
            printf '  %s\n      %s\n' "${entry%%:*}" "${entry#*:}"
        done
        printf 'State folder: %s (delete it to start again from %s)\n' "$state_root" "$default_configuration"
        [[ -n ${1:-} ]] && exit $EX_OK
        exit $EX_USAGE
    fi
    if ! known_configuration "$1"; then
        printf '%s: unknown prepared configuration "%s"; known:' "$script_name" "$1" >&2
        for entry in "${configurations[@]}"; do printf ' %s' "${entry%%:*}" >&2; done
        printf '\n' >&2
        exit $EX_USAGE
    fi
    prepare_configuration "$@"
    printf 'Simulated devices set up: %s\n' "$*"
    exit $EX_OK
}

# --- arguments -----------------------------------------------------------------------

command_name=''
fast_progress=0
if [[ ${1:-} == --dfu-util-command ]]; then
    [[ $# -ge 2 ]] || own_error $EX_USAGE "--dfu-util-command needs a command name"
    command_name=$2
    shift 2
    case $command_name in
    list | version | upload_OTP | upload_FW | download_FW | setup_prepared_config) ;;
    *) own_error $EX_USAGE "unknown command '$command_name' (known: list version upload_OTP upload_FW download_FW setup_prepared_config)" ;;
    esac
fi
if [[ ${1:-} == --fast-progress ]]; then
    fast_progress=1
    shift
fi

if [[ $command_name == setup_prepared_config ]]; then
    open_state
    cmd_setup_prepared_config "$@"
fi

mode='' alt='' dfuse_address='' file='' serial_filter=''
while (($#)); do
    opt=$1
    shift
    case $opt in
    --*=*)
        set -- "${opt%%=*}" "${opt#*=}" "$@"
        continue
        ;;
    -[dSasUD]?*)
        set -- "${opt:0:2}" "${opt:2}" "$@"
        continue
        ;;
    esac
    case $opt in
    -h | --help)
        usage
        exit $EX_OK
        ;;
    -V | --version) mode=${mode:-version} ;;
    -l | --list) mode=list ;;
    -v | --verbose) ;;
    -d | --device | -S | --serial | -a | --alt | -s | --dfuse-address | -U | --upload | -D | --download)
        (($#)) || usage_error "option requires an argument -- '${opt#-}'"
        value=$1
        shift
        case $opt in
        -S | --serial) serial_filter=${value%%,*} ;;
        -a | --alt) alt=$value ;;
        -s | --dfuse-address) dfuse_address=$value ;;
        -U | --upload) mode=upload file=$value ;;
        -D | --download) mode=download file=$value ;;
        esac
        ;;
    *) usage_error "invalid option -- '${opt#-}'" ;;
    esac
done
[[ -z $alt ]] && alt=0

case $mode in
version)
    banner
    exit $EX_OK
    ;;
list)
    open_state
    cmd_list
    ;;
upload)
    open_state
    cmd_upload
    ;;
download)
    open_state
    cmd_download
    ;;
*)
    banner
    usage_error "You need to specify one of -D or -U"
    ;;
esac
