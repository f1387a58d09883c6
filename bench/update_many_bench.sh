#!/usr/bin/env bash
# Many modules updated at once, against their floor: a 1 MiB image to eight
# simulated modules with --jobs 8, timed to the last module's confirmed
# finish, beside eight minimal ping-pongs run at the same time (each the
# same number of round trips of the same sizes, to a server beside each
# module). Also one module alone, and a batch of all the test bed's modules
# (MODULES, default 100) to show memory does not grow with them. Prints
# min / median / max of RUNS (default 3) and each program's peak memory.
# Needs root.
#   bench/update_many_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-3}"
modules="${MODULES:-100}"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target lanscope-cli lanscope-module-sim bench_ping_pong >/dev/null
bin="$root/build/release/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
srec_cat -generate 0 0x100000 -random -o "$work/image_APP.s19" -motorola -address-length=4
trips=$(( (1048576 + 469) / 470 + 2 ))
export bin work runs trips modules

servers=()
for i in 1 2 3 4 5 6 7 8; do servers+=(--extra "$i" "$bin/bench_ping_pong server 20035 24"); done
# Real modules have processors of their own; these simulators share this
# computer's two with the tool, so they answer without spinning, and the
# floor's ends sleep in recv as they do.
LANSCOPE_BIN_DIR="$bin" scripts/testbed --modules "$modules" --sim "$bin/lanscope-module-sim" \
    --all "--quiet --fw-spin-us 0" "${servers[@]}" -- bash -c '
    set -euo pipefail
    sleep 0.3
    # Seconds of the whole command and its peak memory in MB.
    timed() {
        local out=$1; shift
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/report" 2> "$work/err" ||
            { cat "$work/err" "$work/report" >&2; exit 1; }
        awk -v out="$out" "{ printf \"%.3f\n\", \$1 > (out \".s\"); printf \"%.0f\n\", \$2 / 1024 > (out \".mb\") }" \
            "$work/time"
        cat "$out.s" >> "$out.seconds"; cat "$out.mb" >> "$out.memory"
    }
    all=$(seq -f "192.0.2.%g" 11 $((10 + modules)) | tr "\n" " ")
    for _ in $(seq 1 "$runs"); do
        start=$(date +%s%N)
        for i in 1 2 3 4 5 6 7 8; do
            "$bin/bench_ping_pong" client "192.0.2.1$i" 20035 "$trips" 490 > /dev/null &
        done
        wait
        echo "$(( ($(date +%s%N) - start) / 1000 ))e-6" | awk "{ printf \"%.3f\n\", \$1 }" >> "$work/floor.seconds"
        timed "$work/one" "$bin/lanscope-cli" update 192.0.2.11 "$work/image_APP.s19" --no-restart
        # What a command costs whatever its modules: start-up, loading, the
        # quiet hold before the finish and the finish itself.
        acked=$(sed -n "s/.*all data acknowledged after \([0-9.]*\) s.*/\1/p" "$work/report")
        awk -v c="$(cat "$work/one.s")" -v a="$acked" "BEGIN { printf \"%.3f\n\", c - a }" >> "$work/fixed.seconds"
        timed "$work/eight" "$bin/lanscope-cli" update 192.0.2.1{1..8} "$work/image_APP.s19" \
            --no-restart --jobs 8 --json
        # shellcheck disable=SC2086
        timed "$work/all" "$bin/lanscope-cli" update $all "$work/image_APP.s19" --no-restart --jobs 8 --json
        grep -o "\"result\": *\"ok\"" "$work/report" | wc -l >> "$work/all.ok"
    done
    stats() { sort -n "$1" | awk "{ v[NR] = \$1 } END { printf \"%.3f %.3f %.3f\", v[1], v[int((NR + 1) / 2)], v[NR] }"; }
    median() { stats "$1" | cut -d" " -f2; }
    printf "1 MiB update, %d round trips per module, %d runs; min / median / max in seconds\n" "$trips" "$runs"
    printf "8 concurrent ping-pong floors:   %s\n" "$(stats "$work/floor.seconds")"
    printf "1 module:                        %s  (peak %s MB)\n" "$(stats "$work/one.seconds")" "$(median "$work/one.memory" | cut -d. -f1)"
    printf "8 modules, --jobs 8:             %s  (peak %s MB)\n" "$(stats "$work/eight.seconds")" "$(median "$work/eight.memory" | cut -d. -f1)"
    printf "%d modules, --jobs 8:           %s  (peak %s MB, %s updated)\n" "$modules" "$(stats "$work/all.seconds")" \
        "$(median "$work/all.memory" | cut -d. -f1)" "$(tail -1 "$work/all.ok")"
    printf "fixed cost of a command:         %s  (start-up, loading, quiet hold, finish)\n" "$(stats "$work/fixed.seconds")"
    awk -v f="$(median "$work/floor.seconds")" -v e="$(median "$work/eight.seconds")" -v o="$(median "$work/one.seconds")" \
        -v x="$(median "$work/fixed.seconds")" "BEGIN {
        printf \"ratio 8 modules / 8 floors: %.2f with the fixed cost, %.2f without (target <= 1.25); 8 modules / 1 module: %.2f\n\", e / f, (e - x) / f, e / o
    }"
'
