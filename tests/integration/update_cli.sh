#!/usr/bin/env bash
# Firmware updates with lanscope-cli against simulated modules: a 256 KiB
# image arrives byte for byte (with credentials, duplicated replies, partial
# acknowledgements, a resend request, a lost data request), and every verdict
# ends the run with its message and a non-zero exit code.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export CLI work

# 256 KiB at an unaligned base, with a header line naming the platform.
make_image 0x20001
"$CLI" convert "$work/image_APP.s19" "$work/expected.bin" >/dev/null
tail -c +101 "$work/expected.bin" > "$work/expected.image"
export platform

out() { echo "--fw-image-out $work/received-$1.bin --fw-platform $platform"; }

"$TESTBED" --modules 6 \
    --module 1 "$(out 1)" \
    --module 2 "$(out 2) --fw-credentials admin:secret" \
    --module 3 "$(out 3) --fw-duplicate-data 2,100,300" \
    --module 4 "$(out 4) --fw-ack-limit 100 --fw-resend-at 5000" \
    --module 5 "$(out 5) --fw-drop-data 3" \
    --module 6 "$(out 6)" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    received_ok() {  # MODULE RESTART
        cmp "$work/expected.image" "$work/received-$1.bin" || fail "module $1: image differs"
        expect_eq "$(cat "$work/received-$1.bin.restart")" "$2" "module $1: restart request"
    }
    "$CLI" update 192.0.2.11 "$work/image_APP.s19" > "$work/out1" 2> "$work/log1"
    received_ok 1 1
    grep -q "^progress 100%" "$work/log1" || fail "no progress lines"
    # What scripts read stays clean of progress.
    if grep -q "progress" "$work/out1"; then fail "progress on stdout"; fi
    grep -q "^Update complete" "$work/out1" || fail "no closing line on stdout"

    if "$CLI" update 192.0.2.12 "$work/image_APP.s19" < /dev/null 2> "$work/err2"; then
        fail "module 2 took the update without credentials"
    fi
    grep -q "give --user and --password" "$work/err2" || fail "no clear credentials message"
    if "$CLI" update 192.0.2.12 "$work/image_APP.s19" --user admin --password wrong \
        < /dev/null 2> "$work/err2"; then
        fail "module 2 took wrong credentials"
    fi
    grep -q "did not accept" "$work/err2" || fail "no message for refused credentials"
    "$CLI" update 192.0.2.12 "$work/image_APP.s19" --user admin --password secret --no-restart \
        > /dev/null
    received_ok 2 0
    # The password off the command line: from a file, or from the environment.
    printf "secret\n" > "$work/password"
    rm -f "$work/received-2.bin"
    "$CLI" update 192.0.2.12 "$work/image_APP.s19" --user admin --password-file "$work/password" \
        --no-restart > "$work/out2" 2>&1
    received_ok 2 0
    rm -f "$work/received-2.bin"
    LANSCOPE_PASSWORD=secret "$CLI" update 192.0.2.12 "$work/image_APP.s19" --user admin \
        --no-restart >> "$work/out2" 2>&1
    received_ok 2 0
    if grep -q secret "$work/out2" "$TESTBED_LOGS/module-2.log"; then
        fail "the password shows in the output or the module log"
    fi

    "$CLI" update 192.0.2.13 "$work/image_APP.s19" > /dev/null
    received_ok 3 1
    "$CLI" update 192.0.2.14 "$work/image_APP.s19" > /dev/null
    received_ok 4 1

    start=$(date +%s)
    "$CLI" update 192.0.2.15 "$work/image_APP.s19" > /dev/null
    took=$(( $(date +%s) - start ))
    received_ok 5 1
    [[ $took -ge 19 && $took -le 30 ]] || fail "a lost data request should cost one 20 s resend, took ${took}s"

    # The platform check: a file for another platform is refused.
    sed "1s/.*/S0050000585858A3/" "$work/image_APP.s19" > "$work/other_APP.s19"
    if "$CLI" update 192.0.2.16 "$work/other_APP.s19" 2> "$work/err6"; then
        fail "a file for another platform was loaded"
    fi
    grep -q "Platforms do not Match - Download aborted" "$work/err6" || fail "no platform message"
    [[ ! -e "$work/received-6.bin" ]] || fail "module 6 stored an image"
'

"$TESTBED" --modules 5 \
    --module 1 "--fw-verdict declined" \
    --module 2 "--fw-verdict no-memory" \
    --module 3 "--fw-verdict shutdown-refused" \
    --module 4 "--fw-corrupt" \
    --module 5 "--fw-keepalive-only" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    verdict() {  # ADDRESS EXPECTED-MESSAGE
        if "$CLI" update "$1" "$work/image_APP.s19" > /dev/null 2> "$work/err"; then
            fail "$1: the update was reported as done"
        fi
        if [[ -n "$2" ]]; then
            grep -qF "$2" "$work/err" || fail "$1: expected \"$2\", got: $(cat "$work/err")"
        else
            expect_eq "$(grep -v "^progress" "$work/err")" "Update failed.
The module declined the update." "$1: declined says so and nothing more"
        fi
    }
    verdict 192.0.2.11 ""
    verdict 192.0.2.12 "The LAN card has insufficient RAM to complete this operation"
    verdict 192.0.2.13 "The LAN card refused to shutdown."
    verdict 192.0.2.14 "The LAN card Checksum Failed."
    # Keep-alives only: still running after 25 s (one resend at 20 s).
    set +e
    timeout 25 "$CLI" update 192.0.2.15 "$work/image_APP.s19" > /dev/null 2>&1
    rc=$?
    set -e
    expect_eq "$rc" 124 "keep-alives keep the run going"
'

# Every reply twice, and a finish OK that looks like the last data
# acknowledgement: success only once the module has stored the image, and a
# checksum verdict that follows the finish is never lost to a stale copy.
"$TESTBED" --modules 2 \
    --module 1 "--fw-duplicate --fw-finish-ok-with-end --fw-image-out $work/dup.bin" \
    --module 2 "--fw-duplicate --fw-finish-ok-with-end --fw-corrupt" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    chunks=$(( ($(stat -c %s "$work/expected.image") + 469) / 470 ))
    log="$TESTBED_LOGS/module-1.log"
    for run in $(seq 1 20); do
        rm -f "$work/dup.bin" "$work/dup.bin.restart"
        before=$(grep -c "data #" "$log" || true)
        "$CLI" update 192.0.2.11 "$work/image_APP.s19" > /dev/null
        cmp -s "$work/expected.image" "$work/dup.bin" || fail "run $run: reported done, image not stored"
        requests=$(( $(grep -c "data #" "$log" || true) - before ))
        (( requests * 10 <= chunks * 11 )) || fail "run $run: $requests data requests for $chunks chunks"
        if "$CLI" update 192.0.2.12 "$work/image_APP.s19" > /dev/null 2> "$work/err"; then
            fail "run $run: a rejected image was reported as done"
        fi
        grep -qF "The LAN card Checksum Failed." "$work/err" || fail "run $run: $(cat "$work/err")"
    done
'
# Late words from the module: the last chunk's acknowledgement repeated on
# its own after the finish went out, or coming twice because its flash write
# outlasted the 20 s resend. Only the module's verdict on the finish counts,
# whether its finish OK names no address or the end address. And a module
# that declines in the middle of the transfer ends the run at once, asked no
# more than a few times.
last_chunk=$(( ($(stat -c %s "$work/expected.image") + 469) / 470 ))
export last_chunk
"$TESTBED" --modules 5 \
    --module 1 "--fw-corrupt --fw-repeat-last-ack 400" \
    --module 2 "--fw-corrupt --fw-finish-ok-with-end --fw-repeat-last-ack 400" \
    --module 3 "--fw-finish-ok-with-end --fw-repeat-last-ack 400 --fw-image-out $work/late.bin" \
    --module 4 "--fw-corrupt --fw-delay-ack $last_chunk:21000" \
    --module 5 "--fw-decline-after 10" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    # One batch, so the slow module (42 s for its last chunk) runs beside the
    # others.
    if LANSCOPE_HISTORY="$work/late.jsonl" "$CLI" update 192.0.2.11 192.0.2.12 192.0.2.13 \
        192.0.2.14 "$work/image_APP.s19" --json > "$work/late.json" 2> "$work/late.err"; then
        fail "rejected images were reported as done"
    fi
    for module in 11 12 14; do
        expect_eq "$(jq -r ".[] | select(.address == \"192.0.2.$module\") | .result + \": \" + .message" \
            "$work/late.json")" "failed: The LAN card Checksum Failed." "module $module"
        expect_eq "$(jq -r "select(.module.address == \"192.0.2.$module\" and .result != \"started\") | .result" \
            "$work/late.jsonl")" failed "module $module: recorded"
    done
    expect_eq "$(jq -r ".[] | select(.address == \"192.0.2.13\") | .result" "$work/late.json")" ok \
        "module 3: a finish OK naming the end after a repeated acknowledgement"
    cmp -s "$work/expected.image" "$work/late.bin" || fail "module 3: image not stored"

    log="$TESTBED_LOGS/module-5.log"
    set +e
    LANSCOPE_HISTORY="$work/h5.jsonl" timeout 30 "$CLI" update 192.0.2.15 \
        "$work/image_APP.s19" > /dev/null 2> "$work/err5"
    rc=$?
    set -e
    expect_eq "$rc" 1 "a module that declines midway"
    grep -qF "The module declined the rest of the update after 4700 of" "$work/err5" ||
        fail "module 5: $(cat "$work/err5")"
    requests=$(grep -c "data #" "$log" || true)
    (( requests <= 12 )) || fail "module 5 was asked $requests times"
    expect_eq "$(tail -1 "$work/h5.jsonl" | jq -r .result)" failed "module 5: recorded"
'
echo "PASS"
