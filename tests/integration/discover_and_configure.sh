#!/usr/bin/env bash
# Three modules, one in DHCP mode: all are listed; a configuration write moves
# one of them and the next discovery lists it at its new address.
source "$(dirname "$0")/common.sh"
export CLI
"$TESTBED" --modules 3 --module 2 '--dhcp' -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq length <<<"$list")" 3 "modules found"
    expect_eq "$(jq -r ".[1].mac, .[1].address, .[1].dhcp" <<<"$list" | paste -sd" ")" \
        "02-4C-53-00-00-02 192.0.2.12 true" "the DHCP module"
    expect_eq "$(jq -r ".[0].address, .[0].dhcp" <<<"$list" | paste -sd" ")" \
        "192.0.2.11 false" "a static module"

    "$CLI" set 02-4c-53-00-00-03 --ip 192.0.2.50 --dns 192.0.2.53 --verify --timeout 10
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq length <<<"$list")" 3 "modules after the write"
    expect_eq "$(jq -r ".[2].line" <<<"$list")" \
        "$(printf "[02-4C-53-00-00-03]\t192.0.2.50\t\tLAN Module 3\tSimulated module")" \
        "line of the moved module"
    expect_eq "$(jq -r ".[2].record.dns" <<<"$list")" 192.0.2.53 "DNS of the moved module"

    "$CLI" dhcp 02-4c-53-00-00-01 --verify --timeout 10
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq -r ".[0].address, .[0].dhcp" <<<"$list" | paste -sd" ")" \
        "192.0.2.11 true" "module switched to DHCP"

    if "$CLI" set 02-4c-53-00-00-77 --ip 192.0.2.60 --wait 1 2>/dev/null; then
        fail "an unknown module was reported as configured"
    fi
'
echo "PASS"
