#!/usr/bin/env bash
# scripts/fuzz runs every fuzzer its fuzz build lists, however many there
# are, and stops at the first that reports a failure: here with stand-ins for
# a fuzz build's programs.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
fuzzer() {  # NAME EXIT-CODE: a stand-in that notes its run, then ends so
    cat >"$work/bin/$1" <<STUB
#!/bin/sh
echo "$1 \$*" >>"$work/ran"
exit $2
STUB
    chmod +x "$work/bin/$1"
    printf '%s\t%s\n' "$1" "$work/bin/$1" >>"$work/fuzz-targets.txt"
}
mkdir "$work/bin"
fuzzer fuzz_reply 0
fuzzer fuzz_history 0
fuzzer fuzz_added_later 0
LANSCOPE_FUZZ_BUILD_DIR="$work" "$root/scripts/fuzz" 1 >"$work/out" 2>&1 ||
    fail "a clean run failed: $(cat "$work/out")"
[[ "$(cut -d' ' -f1 "$work/ran")" == $'fuzz_reply\nfuzz_history\nfuzz_added_later' ]] ||
    fail "not every listed fuzzer ran: $(cat "$work/ran")"
grep -q "^fuzz_history .*-max_total_time=1" "$work/ran" || fail "the time per fuzzer was not passed"

rm "$work/ran" "$work/fuzz-targets.txt"
fuzzer fuzz_reply 1
fuzzer fuzz_history 0
if LANSCOPE_FUZZ_BUILD_DIR="$work" "$root/scripts/fuzz" 1 >"$work/out" 2>&1; then
    fail "a failing fuzzer went unreported"
fi
grep -q "fuzz_reply found a failure" "$work/out" || fail "the failure is not named: $(cat "$work/out")"
[[ "$(cut -d' ' -f1 "$work/ran")" == fuzz_reply ]] || fail "went on after a failure"

: >"$work/fuzz-targets.txt"
if LANSCOPE_FUZZ_BUILD_DIR="$work" "$root/scripts/fuzz" 1 >"$work/out" 2>&1; then
    fail "a build that lists no fuzzer passed"
fi
echo "PASS"
