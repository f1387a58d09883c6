#!/usr/bin/env bash
# The Windows command-line tool under wine against the Linux simulators: the
# same wire from another system's socket layer. Two segments without a
# default route, a firmware update byte for byte, new settings, the image
# file, and the bind message with Winsock's number.
source "$(dirname "$0")/common.sh"
WINE_RUN="${WINE_RUN:-$root/scripts/wine-run}"
WIN_CLI="${LANSCOPE_WINDOWS_BIN_DIR:-$root/build/windows-cli/bin}/lanscope-cli.exe"
[[ -f $WIN_CLI ]] || fail "$WIN_CLI is missing (cmake --build --preset windows-cli)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export CLI WIN_CLI WINE_RUN work
# Both tools keep their service history in one file here, so that each reads
# what the other wrote.
export LANSCOPE_HISTORY="$work/history.jsonl"

make_image 0x8000

"$TESTBED" --modules 3 --segments 2 \
    --module 1 "--fw-image-out $work/received.bin --fw-platform $platform" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    win() { "$WINE_RUN" "$WIN_CLI" "$@"; }
    if ip route | grep -q "^default"; then fail "the test bed has a default route"; fi

    list=$(win discover --json --wait 1)
    expect_eq "$(jq -r ".[].address" <<<"$list" | sort | paste -sd" ")" \
        "192.0.2.11 192.0.2.13 192.0.2.140" "modules of both segments"

    win update 192.0.2.11 "$work/image_APP.s19" > "$work/update.log"
    cmp "$work/image.bin" "$work/received.bin" || fail "the module holds another image"
    grep -q "^Update complete: 262144 bytes to 192.0.2.11" "$work/update.log" \
        || fail "no success line: $(cat "$work/update.log")"

    win set 02-4c-53-00-00-03 --ip 192.0.2.150 --verify --timeout 10 > /dev/null
    win convert "$work/image_APP.s19" "$work/windows.bin" --description "Pump (PC42) 1.05" \
        > /dev/null
    "$CLI" convert "$work/image_APP.s19" "$work/linux.bin" --description "Pump (PC42) 1.05" \
        > /dev/null
    cmp "$work/linux.bin" "$work/windows.bin" || fail "the image files differ"

    # What the Windows tool prints is what the Linux one prints, byte for
    # byte, but that each line ends in CR LF, once: tables, JSON, CSV (whose
    # CR LF is its own on both), errors.
    crlf() { sed "s/\r\$//; s/\$/\r/"; }
    same_as_linux() {  # WHAT ARGS...
        local what="$1"
        shift
        win "$@" > "$work/out.win" 2> "$work/err.win" || true
        "$CLI" "$@" 2> /dev/null | crlf > "$work/out.linux" || true
        [[ -s $work/out.win ]] || fail "$what: nothing printed"
        cmp "$work/out.linux" "$work/out.win" \
            || fail "$what: $(od -c "$work/out.win" | head -5)"
        if grep -q "$(printf "\r\r")" "$work/out.win" "$work/err.win"; then
            fail "$what: CR CR LF"
        fi
    }
    same_as_linux "the module table" discover --wait 1
    same_as_linux "the module list as JSON" discover --wait 1 --json
    same_as_linux "the image as JSON" info --json "$work/image_APP.s19"
    same_as_linux "the image as a table" info "$work/image_APP.s19"
    same_as_linux "an error as JSON" info --json "$work/missing_APP.s19"
    expect_eq "$(jq -r .exit "$work/out.win")" 1 "the exit code in the error object"
    same_as_linux "the history as CSV" history --csv
    same_as_linux "the history as JSON" history --json
    same_as_linux "the history as a table" history
    # The history file the Windows tool wrote: one LF per line, no CR.
    [[ -s $LANSCOPE_HISTORY ]] || fail "no history written"
    if grep -q "$(printf "\r")" "$LANSCOPE_HISTORY"; then fail "a CR in the history file"; fi

    # One instance holds the port; the next says so with Winsock'"'"'s number.
    win discover --wait 8 > /dev/null &
    holder=$!
    for _ in $(seq 100); do
        ss -Hulpn "sport = :20034" | grep -q . && break
        sleep 0.1
    done
    if win discover --wait 0 > /dev/null 2> "$work/bind.err"; then
        fail "a second discover ran beside the first"
    fi
    grep -q "Error on Bind = 10048 for 0, port maybe used by another application" \
        "$work/bind.err" || fail "no bind message: $(cat "$work/bind.err")"
    wait "$holder"
'
echo "PASS"
