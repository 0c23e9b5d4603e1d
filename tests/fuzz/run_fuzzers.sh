#!/bin/bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each one for SECONDS (default 60) from its seeds and its growing corpus.
#
#   tests/fuzz/run_fuzzers.sh [--no-build] [SECONDS] [TARGET...]
#
# TARGET is one of otp_info fw_info dfu_listing gui_settings (default: all, one after the
# other). The build goes to $VANTREL_FUZZ_BUILD_DIR (default build-fuzz in the source
# tree); there, fuzz-corpus/TARGET keeps what the runs found, fuzz-logs/TARGET.log the
# whole output, and fuzz-artifacts/TARGET/ any input that failed. --no-build skips the
# build, so that several runs can share one build directory at the same time.
# Exit status: 0 when every target ran its time without a failure.
set -euo pipefail

build=1
if [[ ${1:-} == --no-build ]]; then
    build=0
    shift
fi
seconds=${1:-60}
[[ $# -gt 0 ]] && shift
if ! [[ $seconds =~ ^[0-9]+$ ]] || (( seconds < 1 )); then
    echo "run_fuzzers.sh: SECONDS must be a positive whole number, not '$seconds'" >&2
    exit 2
fi
all_targets=(otp_info fw_info dfu_listing gui_settings)
targets=("$@")
(( ${#targets[@]} )) || targets=("${all_targets[@]}")

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fuzz_dir=$source_dir/tests/fuzz
build_dir=${VANTREL_FUZZ_BUILD_DIR:-$source_dir/build-fuzz}

# Longest input per target: a little beyond what the device or the file ever gives.
declare -A max_len=([otp_info]=1024 [fw_info]=4096 [dfu_listing]=4096 [gui_settings]=8192)
# Qt's JSON reader leaks on duplicated keys (see suppressions/gui_settings.supp). Checking
# for leaks after every such input would cost most of the run, and over a long run the
# lost memory would reach the RSS limit: the settings reader runs in forked jobs, each
# checked for leaks of its own when it ends, its memory returned.
declare -A extra_flags=([gui_settings]="-fork=1 -detect_leaks=0")
for target in "${targets[@]}"; do
    if [[ -z ${max_len[$target]:-} ]]; then
        echo "run_fuzzers.sh: no fuzz target '$target' (known: ${all_targets[*]})" >&2
        exit 2
    fi
done

if (( build )); then
    # -O1 keeps the runs fast; a Debug build keeps Qt's own bounds assertions, which catch
    # a read one past the end of a QByteArray that AddressSanitizer cannot see.
    cmake -S "$source_dir" -B "$build_dir" -G Ninja -DVANTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
    ninja -C "$build_dir" fuzz_seeds "${targets[@]/#/fuzz_}" >/dev/null
fi

# The decoders' library creates a private working directory when it is loaded: keep any
# that a stopped run leaves behind out of the user's temporary directory.
export TMPDIR=$build_dir/fuzz-tmp
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$TMPDIR" "$build_dir/fuzz-logs"

failed=0
printf '%-13s %12s %8s %-22s %s\n' target executions exec/s corpus outcome
for target in "${targets[@]}"; do
    binary=$build_dir/tests/fuzz/fuzz_$target
    seeds=$build_dir/tests/fuzz/seeds/$target
    corpus=$build_dir/fuzz-corpus/$target
    artifacts=$build_dir/fuzz-artifacts/$target/
    log=$build_dir/fuzz-logs/$target.log
    mkdir -p "$corpus" "$artifacts"
    suppressions=$fuzz_dir/suppressions/$target.supp
    if [[ -f $suppressions ]]; then
        export LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0
    else
        unset LSAN_OPTIONS
    fi

    # The inputs that once failed come first: each must pass before new ones are sought.
    regressions=()
    if [[ -d $fuzz_dir/regressions/$target ]]; then
        mapfile -t regressions < <(find "$fuzz_dir/regressions/$target" -type f | sort)
    fi
    : >"$log"
    if (( ${#regressions[@]} )) && ! "$binary" ${extra_flags[$target]:-} "${regressions[@]}" >>"$log" 2>&1; then
        printf '%-13s %12s %8s %-22s %s\n' "$target" - - - "FAILED on a kept regression input (see $log)"
        failed=1
        continue
    fi

    status=0
    started=$(date +%s)
    "$binary" "$corpus" "$seeds" -dict="$fuzz_dir/dictionaries/$target.dict" \
        -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" ${extra_flags[$target]:-} >>"$log" 2>&1 || status=$?
    elapsed=$(( $(date +%s) - started ))

    # A single process prints its final figures; forked jobs leave only their status lines.
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    [[ -n $executions ]] || executions=$(grep -o '^#[0-9]*' "$log" | tail -n1 | tr -d '#')
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
    [[ -n $rate || -z $executions ]] || rate=$(( executions / (elapsed > 0 ? elapsed : 1) ))
    corpus_size=$(grep -oE 'corp: [0-9]+(/[0-9]+[a-zA-Z]*)?' "$log" | tail -n1 | sed 's/corp: //; s|/| units, |')
    [[ $corpus_size == *units* ]] || corpus_size="${corpus_size:+$corpus_size units}"
    if (( status == 0 )); then
        outcome=ok
    else
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n1)
        outcome="FAILED (exit $status), input: ${artifact:-none written}, log: $log"
        failed=1
    fi
    printf '%-13s %12s %8s %-22s %s\n' "$target" "${executions:--}" "${rate:--}" "${corpus_size:--}" "$outcome"
done
exit $failed
