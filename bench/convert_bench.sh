#!/usr/bin/env bash
# lanscope-cli convert against objcopy on the same S-record file: a 16 MiB
# random image as S3 records (about 41 MB of text), each tool run RUNS times
# (default 5); prints min/median/max of both, the ratio of the medians against
# the target and lanscope-cli's peak memory.
#   bench/convert_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-5}"
cli="${LANSCOPE_CLI:-$root/build/release/bin/lanscope-cli}"
if [[ ! -x "$cli" ]]; then
    (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target lanscope-cli)
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

srec_cat -generate 0 0x1000000 -random -o "$work/big_APP.s19" -motorola -address-length=4
size=$(stat -c %s "$work/big_APP.s19")

# Prints "seconds peak-kilobytes" of one run (wall time to the microsecond).
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 ))e-6 $(cat "$work/time")"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: > "$work/cli" ; : > "$work/objcopy"
for _ in $(seq 1 "$runs"); do
    measure "$cli" convert "$work/big_APP.s19" "$work/out.bin" >> "$work/cli"
    measure objcopy -I srec -O binary "$work/big_APP.s19" "$work/objcopy.bin" >> "$work/objcopy"
done

# The same image from both (lanscope's file has a 100-byte header first).
cmp <(tail -c +101 "$work/out.bin") "$work/objcopy.bin"

# "min median max" of a column of seconds.
spread() { awk '{printf "%.6f\n", $1}' "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[1], v[int((NR + 1) / 2)], v[NR] }'; }
read -r cli_min cli_s cli_max <<< "$(spread "$work/cli")"
read -r objcopy_min objcopy_s objcopy_max <<< "$(spread "$work/objcopy")"
cli_kb=$(awk '{print $2}' "$work/cli" | sort -n | tail -1)
awk -v c="$cli_s" -v o="$objcopy_s" -v cmin="$cli_min" -v cmax="$cli_max" \
    -v omin="$objcopy_min" -v omax="$objcopy_max" -v kb="$cli_kb" -v size="$size" -v runs="$runs" \
    -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
    printf "input: %d bytes of S3 records (16 MiB image), %d runs each, load %s\n", size, runs, load
    printf "lanscope-cli convert: min %.3f s, median %.3f s, max %.3f s\n", cmin, c, cmax
    printf "objcopy -I srec -O binary: min %.3f s, median %.3f s, max %.3f s\n", omin, o, omax
    printf "ratio objcopy / lanscope-cli (medians): %.1fx (target >= 5)\n", (c > 0 ? o / c : 0)
    printf "lanscope-cli peak memory: %.1f MiB; file size + 16 MiB = %.1f MiB\n", kb / 1024, size / 1048576 + 16
}'
