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

    # A plan that would give module 3 the address module 1 answers from is
    # refused before anything is sent, as set refuses it.
    plan=$(mktemp)
    printf "mac,ip\n02-4c-53-00-00-03,192.0.2.11\n" > "$plan"
    if report=$("$CLI" configure --from "$plan" --json --wait 1 --timeout 2); then
        fail "a taken address was reported as configured"
    fi
    rm -f "$plan"
    expect_eq "$(jq -r ".[0].result" <<<"$report")" failed "the refused row"
    expect_eq "$(jq -r ".[0].address" <<<"$("$CLI" discover --json --wait 1)" )" 192.0.2.11 \
        "module 1 after the refusal"

    # With --json, a command that fails before its work still prints JSON.
    expect_eq "$("$CLI" update --json --all --name-prefix Nobody --wait 1 "$plan" \
        2>/dev/null | jq -r .exit)" 1 "the exit code in the error object"

    if "$CLI" set 02-4c-53-00-00-77 --ip 192.0.2.60 --wait 1 2>/dev/null; then
        fail "an unknown module was reported as configured"
    fi
'
echo "PASS"
