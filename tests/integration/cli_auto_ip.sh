#!/usr/bin/env bash
# Automatic address selection from the command line: one module cabled to a
# workstation with one address.
source "$(dirname "$0")/common.sh"
export CLI
"$TESTBED" --modules 1 --address 1 192.0.2.30 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    if "$CLI" auto-ip 02-4c-53-00-00-01 --wait 1 2>/dev/null; then
        fail "sent without a yes"
    fi
    "$CLI" --yes auto-ip 02-4c-53-00-00-01 --verify --timeout 10
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq -r ".[0].address, .[0].record.mask" <<<"$list" | paste -sd" ")" \
        "192.0.2.11 255.255.0.0" "module after auto-ip"
'
echo "PASS"
