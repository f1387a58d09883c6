#!/usr/bin/env bash
# Eight modules updated at once against one: a 1 MiB image to one simulated
# module, then to all eight of the same test bed with --jobs 8, each timed
# as the whole command (medians of RUNS, default 3). Target: the eight take
# at most 1.5 times as long as the one. Needs root.
#   bench/update_many_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-3}"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target lanscope-cli lanscope-module-sim >/dev/null
bin="$root/build/release/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
srec_cat -generate 0 0x100000 -random -o "$work/image_APP.s19" -motorola -address-length=4
export bin work runs

# Real modules have processors of their own; eight simulators share this
# computer's with the tool, so they answer without spinning (both runs).
LANSCOPE_BIN_DIR="$bin" scripts/testbed --modules 8 --sim "$bin/lanscope-module-sim" \
    --all "--quiet --fw-spin-us 0" \
    -- bash -c '
    set -euo pipefail
    median() { sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
    seconds() { local start=$(date +%s%N); "$@" > /dev/null; echo "$(( ($(date +%s%N) - start) / 1000 ))e-6"; }
    for _ in $(seq 1 "$runs"); do
        seconds "$bin/lanscope-cli" update 192.0.2.11 "$work/image_APP.s19" --no-restart >> "$work/one"
        seconds "$bin/lanscope-cli" update 192.0.2.1{1..8} "$work/image_APP.s19" --no-restart \
            --jobs 8 --json >> "$work/eight"
    done
    one=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/one" | median)
    eight=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/eight" | median)
    awk -v o="$one" -v e="$eight" -v r="$runs" "BEGIN {
        printf \"1 MiB update, medians of %d runs\n\", r
        printf \"one module:                  %.3f s\n\", o
        printf \"8 modules, --jobs 8:         %.3f s\n\", e
        printf \"ratio: %.2f (target <= 1.5)\n\", e / o
    }"
'
