#!/usr/bin/env bash
# The form-filling window (browser engine, offscreen) against simulated
# modules' web pages: a filled form, login failures and page faults, a frame
# of another host that asks for a login, pages that hide their form or their
# load.
source "$(dirname "$0")/common.sh"
# The browser engine frees some of its objects through a base of another size
# and keeps allocations to the end; neither is ours to fix.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0"
"$TESTBED" --modules 9 --all "--http-port 80 --http-bind 0.0.0.0" \
    --module 1 "--http-admin admin:pw --http-user guest:g" \
    --module 2 "--http-fault login-error" \
    --module 3 "--http-open --http-fault renamed-form" \
    --module 4 "--http-open --http-fault no-rule-frame" \
    --module 5 "--http-admin admin:pw --http-frame http://192.0.2.16/config.htm" \
    --module 6 "--http-admin admin:pw --http-fault quiet-login" \
    --module 7 "--http-open --http-fault shadowed-names" \
    --module 8 "--http-open --http-fault stopped-load" \
    --module 9 "--http-open --http-fault endless-load" \
    -- "$BIN/lanscope_presets_tests"
echo "PASS"
