#!/usr/bin/env bash
# A 1 MiB firmware update to a simulated module in a test bed, against its
# floor: the same number of 490-byte request / 24-byte reply round trips on
# the same link by a minimal ping-pong, once sleeping in recv and once
# spinning between datagrams as the tool and the simulator do. The floor
# compared with is the faster of the two, measured in the same placement as
# the update, in turns with it:
#   apart  the tool on CPU 0, the module's end on CPU 1 (as a real module,
#          which has a processor of its own)
#   free   both ends where the scheduler puts them (often on one core)
# Prints min / median / max of RUNS (default 11) and the ratios of the
# medians. Needs root.
#   bench/update_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-11}"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target lanscope-cli lanscope-module-sim bench_ping_pong >/dev/null
bin="$root/build/release/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

srec_cat -generate 0 0x100000 -random -o "$work/image_APP.s19" -motorola -address-length=4
# Start and finish plus one round trip per 470-byte chunk.
trips=$(( (1048576 + 469) / 470 + 2 ))
# Both servers end with the test bed, which stops this script.
cat > "$work/servers" <<EOF
trap 'kill \$(jobs -p)' TERM
"$bin/bench_ping_pong" server 20035 24 &
"$bin/bench_ping_pong" server 20036 24 spin &
wait
EOF
export bin work runs trips

LANSCOPE_BIN_DIR="$bin" scripts/testbed --modules 1 --sim "$bin/lanscope-module-sim" --all --quiet \
    --extra 1 "bash $work/servers" -- bash -c '
    set -euo pipefail
    sleep 0.3  # the ping-pong servers start beside the simulator
    module_side=$(pgrep -d " " -f "$bin/(lanscope-module-sim|bench_ping_pong server)")
    seconds() { awk "{ printf \"%.6f\n\", \$1 }"; }
    for placement in apart free; do
        if [[ $placement == apart ]]; then tool_cpus=0; module_cpus=1; else tool_cpus=0-1; module_cpus=0-1; fi
        for pid in $module_side; do taskset -apc "$module_cpus" "$pid" > /dev/null; done
        out="$work/$placement"
        mkdir -p "$out"
        for _ in $(seq 1 "$runs"); do
            taskset -c "$tool_cpus" "$bin/bench_ping_pong" client 192.0.2.11 20035 "$trips" 490 | seconds >> "$out/plain"
            taskset -c "$tool_cpus" "$bin/bench_ping_pong" client 192.0.2.11 20036 "$trips" 490 spin | seconds >> "$out/spin"
            start=$(date +%s%N)
            taskset -c "$tool_cpus" /usr/bin/time -f "%U %S" -o "$work/cpu" "$bin/lanscope-cli" update \
                192.0.2.11 "$work/image_APP.s19" --no-restart > "$work/out" 2> "$work/err" ||
                { cat "$work/err" >&2; exit 1; }
            end=$(date +%s%N)
            echo "$(( (end - start) / 1000 ))e-6" | seconds >> "$out/command"
            # The transfer, from the first request to the confirmed finish...
            sed -n "s/^Update complete: .* in \([0-9.]*\) s.*/\1/p" "$work/out" >> "$out/update"
            # ...and to the last data acknowledgement, before the finish waits
            # for a quiet line.
            sed -n "s/.*all data acknowledged after \([0-9.]*\) s.*/\1/p" "$work/out" >> "$out/acked"
            awk "{ printf \"%.2f\n\", \$1 + \$2 }" "$work/cpu" >> "$out/cputime"
        done
    done
    stats() { sort -n "$1" | awk "{ v[NR] = \$1 } END { printf \"%.3f %.3f %.3f\", v[1], v[int((NR + 1) / 2)], v[NR] }"; }
    median() { stats "$1" | cut -d" " -f2; }
    printf "1 MiB update, %d round trips, %d runs each; min / median / max in seconds\n" "$trips" "$runs"
    for placement in apart free; do
        out="$work/$placement"
        echo "$placement:"
        printf "  floor, sleeping ping-pong:     %s\n" "$(stats "$out/plain")"
        printf "  floor, spinning ping-pong:     %s\n" "$(stats "$out/spin")"
        printf "  update, to last data ack:      %s\n" "$(stats "$out/acked")"
        printf "  update, to confirmed finish:   %s\n" "$(stats "$out/update")"
        printf "  whole command:                 %s\n" "$(stats "$out/command")"
        printf "  lanscope-cli CPU time:         %s\n" "$(stats "$out/cputime")"
        awk -v p="$(median "$out/plain")" -v s="$(median "$out/spin")" -v a="$(median "$out/acked")" \
            -v u="$(median "$out/update")" -v t="$trips" "BEGIN {
            f = p < s ? p : s
            printf \"  floor %.1f us per round trip; ratio to the last data ack %.2f (target <= 1.10), to the finish %.2f\n\", f / t * 1e6, a / f, u / f
        }"
    done
'
