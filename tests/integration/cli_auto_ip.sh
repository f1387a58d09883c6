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

# A device that is no module has this computer's address + 10 already: the
# one module that answers does not get it.
"$TESTBED" --modules 1 --address 1 192.0.2.30 --extra 1 'ip addr add 192.0.2.11/24 dev eth0' -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    expect_exit 1 "auto-ip onto a taken address" "$CLI" --yes auto-ip 02-4c-53-00-00-01 --wait 1
    grep -qF "Another device on this network already has 192.0.2.11" <<<"$message" \
        || fail "auto-ip: no clash in: $message"
'

# Beside other modules, this computer's address + 10 (192.0.2.11) is module
# 1's: auto-ip refuses and says why; set refuses a taken address unless forced.
"$TESTBED" --modules 3 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    expect_exit 1 "auto-ip beside other modules" "$CLI" --yes auto-ip 02-4c-53-00-00-02 --wait 1
    grep -qF "3 modules answered" <<<"$message" || fail "auto-ip: no count in: $message"
    grep -qF "It would give 192.0.2.11, which 02-4C-53-00-00-01 already has" <<<"$message" \
        || fail "auto-ip: no clash in: $message"
    expect_exit 1 "set with a taken address" "$CLI" set 02-4c-53-00-00-03 --ip 192.0.2.12 --wait 1
    grep -qF "192.0.2.12 is taken by the module 02-4C-53-00-00-02" <<<"$message" \
        || fail "set: no clash in: $message"
    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq -r "sort_by(.mac) | map(.address) | join(\" \")" <<<"$list")" \
        "192.0.2.11 192.0.2.12 192.0.2.13" "addresses after the refusals"
    # --force: the user knows better (the module moves later, say).
    "$CLI" set 02-4c-53-00-00-03 --ip 192.0.2.12 --force --wait 1 >/dev/null
'
echo "PASS"
