#!/usr/bin/env bash
# A second start of the window program brings the first one forward and ends
# with exit code 0; the first goes on.
source "$(dirname "$0")/common.sh"
export BIN
"$TESTBED" --modules 0 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    export QT_QPA_PLATFORM=offscreen LANSCOPE_SETTINGS="$(mktemp)"
    "$BIN/lanscope" 2>/dev/null &
    first=$!
    trap "kill $first 2>/dev/null || true" EXIT
    # Wait until the first instance listens for later starts.
    for _ in $(seq 1 100); do
        if ss -xl | grep -q "lanscope-"; then break; fi
        sleep 0.1
    done
    set +e
    timeout 20 "$BIN/lanscope" 2>/dev/null
    rc=$?
    set -e
    expect_eq "$rc" 0 "exit code of the second start"
    kill -0 "$first" || fail "the first instance ended"
'
echo "PASS"
