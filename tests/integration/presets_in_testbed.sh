#!/usr/bin/env bash
# The form-filling window (browser engine, offscreen) against simulated
# modules' web pages: a filled form, login failures and page faults.
source "$(dirname "$0")/common.sh"
# The browser engine frees some of its objects through a base of another size
# and keeps allocations to the end; neither is ours to fix.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0"
"$TESTBED" --modules 4 \
    --module 1 "--http-port 80 --http-admin admin:pw --http-user guest:g" \
    --module 2 "--http-port 80 --http-fault login-error" \
    --module 3 "--http-port 80 --http-fault renamed-form" \
    --module 4 "--http-port 80 --http-fault no-rule-frame" \
    -- "$BIN/lanscope_presets_tests"
echo "PASS"
