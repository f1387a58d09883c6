#!/usr/bin/env bash
# The window program's start: from its launch to its first window mapped,
# against a plain Qt dialog started the same way, on a private X display in a
# test bed (the module list broadcasts at once). Prints min / median / max of
# RUNS (default 11) in milliseconds and the ratio of the medians. Needs root.
#   bench/startup_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-11}"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target lanscope lanscope-module-sim lanscope-cli bench_first_window >/dev/null
bin="$root/build/release/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export bin work runs

LANSCOPE_BIN_DIR="$bin" scripts/testbed --modules 3 --sim "$bin/lanscope-module-sim" --all --quiet -- bash -c '
    set -euo pipefail
    export DISPLAY=:79 LANSCOPE_SETTINGS="$work/settings.ini" LANSCOPE_HISTORY="$work/history.jsonl"
    export XDG_RUNTIME_DIR="$work"
    Xvfb :79 -screen 0 1280x900x24 > /dev/null 2>&1 &
    xvfb=$!
    trap "kill $xvfb" EXIT
    for _ in $(seq 1 50); do [[ -e /tmp/.X11-unix/X79 ]] && break; sleep 0.1; done
    # Once each beforehand: the first start reads the libraries from disk.
    "$bin/bench_first_window" "$bin/bench_first_window" --bare > /dev/null
    "$bin/bench_first_window" "$bin/lanscope" > /dev/null
    for _ in $(seq 1 "$runs"); do
        "$bin/bench_first_window" "$bin/bench_first_window" --bare >> "$work/bare"
        "$bin/bench_first_window" "$bin/lanscope" >> "$work/lanscope"
    done
    stats() { sort -n "$1" | awk "{ v[NR] = \$1 } END { printf \"%.1f %.1f %.1f\", v[1], v[int((NR + 1) / 2)], v[NR] }"; }
    printf "start to first window, %d runs; min / median / max in ms\n" "$runs"
    printf "plain Qt dialog:  %s\n" "$(stats "$work/bare")"
    printf "lanscope:         %s\n" "$(stats "$work/lanscope")"
    awk -v b="$(stats "$work/bare" | cut -d" " -f2)" -v l="$(stats "$work/lanscope" | cut -d" " -f2)" \
        "BEGIN { printf \"ratio %.2f\n\", l / b }"
'
