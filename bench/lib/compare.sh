# Figure 5, read-back compare: time and peak memory of DFU::compare_FW_bin_files on two
# equal 1 MiB images (compare-bench; each run is the mean of 20 calls).
# Expects COMPARE_BENCH.
# shellcheck shell=bash

measure_compare() {
    local dir output times=() growth=() peak=() key value
    dir=$(run_dir)
    progress "compare: $RUNS runs"
    output=$(TMPDIR=$dir "$COMPARE_BENCH" --runs "$RUNS") || die "compare-bench failed"
    while read -r key value; do
        case $key in
        compare_time_ns) times+=("$(awk -v n="$value" 'BEGIN { printf "%.1f", n / 1e3 }')") ;;
        compare_peak_growth_kib) growth+=("$value") ;;
        compare_peak_rss_kib) peak+=("$value") ;;
        esac
    done <<<"$output"
    figure compare_1MiB_time "us per call" %.1f "${times[@]}"
    figure compare_1MiB_peak_growth "KiB above the resident set before" %.0f "${growth[@]}"
    figure compare_1MiB_process_peak_rss "KiB (VmHWM of compare-bench)" %.0f "${peak[@]}"
}
