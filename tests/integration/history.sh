#!/usr/bin/env bash
# The service history as a technician reads it back: an update that takes,
# one the module declines, one with credentials and a settings write each
# leave their event, read through lanscope-cli history; no password or
# module user name ever lands in the file; --no-history records nothing.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export CLI work
export LANSCOPE_HISTORY="$work/history.jsonl"

make_image 0x1000
export platform

"$TESTBED" --modules 3 \
    --module 1 "--fw-platform $platform" \
    --module 2 "--fw-platform $platform --fw-verdict declined" \
    --module 3 "--fw-platform $platform --fw-credentials fieldtech:Pump-9f3kQ" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    # By hardware address: the discovery that finds it gives its names too.
    "$CLI" update 02-4c-53-00-00-01 "$work/image_APP.s19" > /dev/null 2>&1
    if "$CLI" update 192.0.2.12 "$work/image_APP.s19" > /dev/null 2>&1; then
        fail "module 2 took the update"
    fi
    "$CLI" update 192.0.2.13 "$work/image_APP.s19" --user fieldtech --password Pump-9f3kQ \
        > /dev/null 2>&1
    "$CLI" set 02-4c-53-00-00-01 --ip 192.0.2.50 --verify --timeout 10 > /dev/null 2>&1
    lines=$(wc -l < "$LANSCOPE_HISTORY")
    "$CLI" --no-history update 192.0.2.12 "$work/image_APP.s19" > /dev/null 2>&1 || true
    expect_eq "$(wc -l < "$LANSCOPE_HISTORY")" "$lines" "lines after an update with --no-history"
'

# An image file written by convert is a save, as the window's Save to file.
"$CLI" convert "$work/image_APP.s19" "$work/image.bin" > /dev/null

history=$("$CLI" history --json)
row() {  # ADDRESS ACTION FIELDS: one row of the history
    jq -r --arg a "$1" --arg action "$2" \
        "[.[] | select(.module.address == \$a and .action == \$action)] | .[0] | $3" <<<"$history"
}
checksum=$(printf "0x%08X" "$(jq -r ".[0].update.checksum" <<<"$history")")
"$CLI" info "$work/image_APP.s19" | grep -qi "$checksum" || fail "checksum $checksum not the image's"

expect_eq "$(row 192.0.2.11 update '[.result, .update.length, .update.ack_bytes, .update.platform, .program] | join(" ")')" \
    "ok 262144 262144 $platform cli" "update that took"
expect_eq "$(row 192.0.2.11 update '.module.mac')" "02-4C-53-00-00-01" "its module"
[[ -n "$(row 192.0.2.11 update '.module.name')" ]] || fail "the module's name is not recorded"
expect_eq "$(row 192.0.2.12 update '.result')" "failed" "declined update"
row 192.0.2.12 update '.message' | grep -qi "declin" || fail "the declined update keeps no message"
expect_eq "$(row 192.0.2.13 update '.result')" "ok" "update with credentials"
expect_eq "$(row 192.0.2.11 settings '[.result, .settings.before.ip, .settings.after.ip, .settings.verified] | join(" ")')" \
    "ok 192.0.2.11 192.0.2.50 verified" "settings write"

# Never the password nor the module user name typed for it.
if grep -q -e "Pump-9f3kQ" -e "fieldtech" "$LANSCOPE_HISTORY"; then
    fail "a credential is in the history"
fi

# The table names the module and the result; filters narrow it.
"$CLI" history --address 192.0.2.12 | grep -q "failed" || fail "table without the failure"
if "$CLI" history --mac 02-4c-53-00-00-01 | grep -q "192.0.2.12"; then
    fail "--mac kept another module"
fi
expect_eq "$("$CLI" history --action settings --csv | tail -n +2 | wc -l)" "1" "settings rows"
expect_eq "$(jq -r '[.[] | select(.action == "save")] | .[0] | [.result, .save.length] | join(" ")' <<<"$history")" \
    "ok 262144" "convert recorded as a save"

# Neither a FIFO nor a link is read or written: a clear error, never a hang.
mkfifo "$work/fifo.jsonl"
ln -s "$LANSCOPE_HISTORY" "$work/link.jsonl"
for other in fifo link; do
    if said=$(LANSCOPE_HISTORY="$work/$other.jsonl" timeout 20 "$CLI" history 2>&1); then
        fail "the history was read from a $other"
    fi
    grep -q -e "not a regular file" -e "symbolic link" <<<"$said" || fail "$other: $said"
done
echo "history: ok"
