#!/usr/bin/env bash
# The workstation on two segments with no default route: one request per
# interface finds the modules of both.
source "$(dirname "$0")/common.sh"
export CLI
"$TESTBED" --modules 4 --segments 2 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    if ip route | grep -q "^default"; then fail "the test bed has a default route"; fi
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq -r ".[].address" <<<"$list" | paste -sd" ")" \
        "192.0.2.11 192.0.2.140 192.0.2.13 192.0.2.142" "modules of both segments"
    "$CLI" set 02-4c-53-00-00-04 --ip 192.0.2.150 --verify --timeout 10
'
echo "PASS"
