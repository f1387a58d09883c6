#!/usr/bin/env bash
# lanscope-cli on many modules at once: every module of a test bed updated
# through the one port with up to 8 runs beside each other (one declines,
# the others finish byte for byte), modules named by address, hardware
# address or name, a dry run that sends no update, settings for 8 modules
# from a CSV file with a row no module answers, and the password in no
# output, report or log.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export CLI work

make_image 0x4000
mkdir "$work/logs"

modules=()
for i in 1 2 3 4 5 6 7 8; do
    extra="--fw-image-out $work/received-$i.bin --fw-platform $platform --fw-credentials admin:S3cr3t-pw"
    [[ $i == 5 ]] && extra+=" --fw-verdict declined"
    [[ $i == 8 ]] && extra+=" --name Pump-8"
    modules+=(--module "$i" "$extra")
done

"$TESTBED" --modules 8 --keep-logs "$work/logs" "${modules[@]}" -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    export LANSCOPE_PASSWORD=S3cr3t-pw
    if "$CLI" update --all "$work/image_APP.s19" --user admin --jobs 8 --json \
        > "$work/report.json" 2> "$work/err"; then
        fail "a declined module did not make the batch fail"
    fi
    expect_eq "$(jq length "$work/report.json")" 8 "modules in the report"
    expect_eq "$(jq -r "[.[] | select(.result == \"ok\")] | length" "$work/report.json")" 7 \
        "modules updated"
    expect_eq "$(jq -r ".[] | select(.result != \"ok\") | .address" "$work/report.json")" \
        192.0.2.15 "the module that declined"
    expect_eq "$(jq -r "[.[] | select(.result == \"ok\") | .bytes] | unique | .[]" \
        "$work/report.json")" 262144 "bytes per module"
    for i in 1 2 3 4 6 7 8; do
        cmp "$work/image.bin" "$work/received-$i.bin" || fail "module $i holds another image"
    done
    [[ ! -e $work/received-5.bin ]] || fail "module 5 declined, yet holds an image"

    # By hardware address and address (module 1 named both ways is one
    # module), as a table; then by name, as a dry run.
    rm -f "$work"/received-*.bin
    "$CLI" update 02-4c-53-00-00-01 192.0.2.12 192.0.2.11 "$work/image_APP.s19" --user admin \
        --password-file <(echo S3cr3t-pw) > "$work/table" 2>> "$work/err"
    grep -q "^2 of 2 modules succeeded" "$work/table" || fail "table: $(cat "$work/table")"
    for i in 1 2; do
        cmp "$work/image.bin" "$work/received-$i.bin" || fail "module $i holds another image"
    done
    rm -f "$work"/received-*.bin
    "$CLI" update --all --name-prefix pump "$work/image_APP.s19" --dry-run --json \
        > "$work/plan.json"
    expect_eq "$(jq -r ".[].address" "$work/plan.json")" 192.0.2.18 "modules named Pump"
    sleep 0.5
    [[ -z $(ls "$work"/received-*.bin 2>/dev/null) ]] || fail "the dry run updated a module"

    # Settings for all eight, and a row for a module that is not there.
    {
        echo "mac,ip,mask,gateway,dns"
        for i in 1 2 3 4 5 6 7 8; do
            echo "02-4c-53-00-00-0$i,192.0.2.$((100 + i)),255.255.255.0,192.0.2.1,192.0.2.53"
        done
        echo "02-4c-53-00-00-99,192.0.2.99,,,"
    } > "$work/plan.csv"
    if "$CLI" configure --from "$work/plan.csv" --json --timeout 10 > "$work/configure.json"; then
        fail "a row without its module did not fail the run"
    fi
    expect_eq "$(jq -r "[.[] | select(.result == \"ok\")] | length" "$work/configure.json")" 8 \
        "modules configured and verified"
    expect_eq "$(jq -r ".[] | select(.result != \"ok\") | .mac" "$work/configure.json")" \
        02-4C-53-00-00-99 "the row without a module"
    # With the port taken every module fails at once, not after its time-out.
    python3 -c "import socket, time; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind((\"0.0.0.0\", 20034)); time.sleep(20)" &
    holder=$!
    for _ in $(seq 50); do ss -Hulpn "sport = :20034" | grep -q . && break; sleep 0.1; done
    if timeout 10 "$CLI" update 192.0.2.101 192.0.2.102 "$work/image_APP.s19" --json \
        > "$work/taken.json" 2> /dev/null; then
        fail "updates ran with the port taken"
    fi
    kill "$holder"; wait "$holder" 2>/dev/null || true
    expect_eq "$(jq -r "[.[].message] | unique | .[]" "$work/taken.json")" \
        "the update port could not be bound" "the port taken"
    "$CLI" discover --json --wait 1 > "$work/after.json"
    expect_eq "$(jq -r "[.[].record.address] | sort | join(\" \")" "$work/after.json")" \
        "192.0.2.101 192.0.2.102 192.0.2.103 192.0.2.104 192.0.2.105 192.0.2.106 192.0.2.107 192.0.2.108" \
        "addresses after the change"
'
if grep -rq "S3cr3t-pw" "$work/report.json" "$work/err" "$work/table" "$work/logs"; then
    fail "the password shows in an output or log"
fi
echo "PASS"
