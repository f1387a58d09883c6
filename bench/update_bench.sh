#!/usr/bin/env bash
# A 1 MiB firmware update to a simulated module in a test bed, against its
# floor: the same number of 490-byte request / 24-byte reply round trips on
# the same link by a minimal ping-pong. Prints both times (medians of RUNS,
# default 5), the ratio and the CPU time lanscope-cli used. Needs root.
#   bench/update_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-5}"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target lanscope-cli lanscope-module-sim bench_ping_pong >/dev/null
bin="$root/build/release/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

srec_cat -generate 0 0x100000 -random -o "$work/image_APP.s19" -motorola -address-length=4
# Start and finish plus one round trip per 470-byte chunk.
trips=$(( (1048576 + 469) / 470 + 2 ))
export bin work runs trips

LANSCOPE_BIN_DIR="$bin" scripts/testbed --modules 1 --sim "$bin/lanscope-module-sim" --all --quiet \
    --extra 1 "$bin/bench_ping_pong server 20035 24" -- bash -c '
    set -euo pipefail
    median() { sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
    sleep 0.3  # the ping-pong server starts beside the simulator
    for _ in $(seq 1 "$runs"); do
        "$bin/bench_ping_pong" client 192.0.2.11 20035 "$trips" 490 >> "$work/floor"
        start=$(date +%s%N)
        /usr/bin/time -f "%U %S" -o "$work/cpu" "$bin/lanscope-cli" update 192.0.2.11 \
            "$work/image_APP.s19" --no-restart > "$work/out"
        end=$(date +%s%N)
        echo "$(( (end - start) / 1000 ))e-6" >> "$work/command"
        # The transfer itself, from the first request to the confirmed finish.
        sed -n "s/^Update complete: .* in \([0-9.]*\) s.*/\1/p" "$work/out" >> "$work/update"
        # ...and to the last data acknowledgement, before the finish waits
        # for a quiet line.
        sed -n "s/.*all data acknowledged after \([0-9.]*\) s.*/\1/p" "$work/out" >> "$work/acked"
        awk "{ print \$1 + \$2 }" "$work/cpu" >> "$work/cputime"
    done
    floor=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/floor" | median)
    update=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/update" | median)
    command=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/command" | median)
    acked=$(awk "{ printf \"%.6f\n\", \$1 }" "$work/acked" | median)
    cpu=$(median < "$work/cputime")
    awk -v f="$floor" -v u="$update" -v w="$command" -v c="$cpu" -v t="$trips" -v r="$runs" -v a="$acked" "BEGIN {
        printf \"1 MiB update, %d round trips, %d runs each (medians)\n\", t, r
        printf \"floor (minimal ping-pong): %.3f s (%.1f us per round trip)\n\", f, f / t * 1e6
        printf \"lanscope-cli update, transfer: %.3f s (whole command with start-up and loading: %.3f s)\n\", u, w
        printf \"to the last data acknowledgement: %.3f s; ratio to floor: %.2f (target <= 1.25)\n\", a, a / f
        printf \"quiet hold before the finish and its confirmation: %.3f s\n\", u - a
        printf \"ratio transfer / floor: %.2f; whole command / floor: %.2f\n\", u / f, w / f
        printf \"lanscope-cli CPU time: %.2f s\n\", c
    }"
'
