#!/usr/bin/env bash
# A second start of the window program brings the first one forward and ends
# with exit code 0 (-1 when it was asked to update at once: nothing was
# updated); the first goes on. This holds from the first moment of
# the first start, also while it shows a message before its window opens.
source "$(dirname "$0")/common.sh"
export BIN
"$TESTBED" --modules 0 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    export QT_QPA_PLATFORM=offscreen LANSCOPE_SETTINGS="$(mktemp)"
    # A name of its own for the one-instance rule, apart from other tests.
    export USER="single-instance-$$"
    pids=()
    trap "kill \${pids[*]} 2>/dev/null || true" EXIT
    second_start_ends() {  # WHEN [EXIT-CODE ARGUMENTS...]
        "$BIN/lanscope" 2>/dev/null &
        local first=$!
        pids+=("$first")
        # Wait until the first instance listens for later starts.
        for _ in $(seq 1 100); do
            if ss -xl | grep -q "lanscope-"; then break; fi
            sleep 0.1
        done
        set +e
        timeout 20 "$BIN/lanscope" "${@:3}" 2>/dev/null
        local rc=$?
        set -e
        expect_eq "$rc" "${2:-0}" "exit code of a second start ${*:3} $1"
        kill -0 "$first" || fail "the first instance ended"
        kill "$first"; wait "$first" 2>/dev/null || true
    }
    second_start_ends "while the first shows its window"
    second_start_ends "while the first shows its window" 0 -I192.0.2.11
    second_start_ends "while the first shows its window" 255 -F/tmp/x_APP.s19 -I192.0.2.11 -a

    # While the first start still shows its bind error (port 20034 taken, no
    # window yet), a second start must find the name taken all the same.
    python3 -c "import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((\"\", 20034))
time.sleep(60)" &
    pids+=($!)
    for _ in $(seq 1 50); do ss -Huln "sport = :20034" | grep -q . && break; sleep 0.1; done
    second_start_ends "during the first one'"'"'s start-up"
'

# --help and --version alone answer on stdout without a window or a display.
for option in --help --version; do
    out="$(env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY timeout 20 "$BIN/lanscope" "$option")" ||
        fail "lanscope $option ended with $?"
    [[ -n "$out" ]] || fail "lanscope $option printed nothing"
done
grep -q -- "-A" <<<"$(env -u DISPLAY "$BIN/lanscope" --help)" || fail "--help does not name -A"
# -A still waits on a message box after a failure: the help points unattended
# work to the command line.
grep -q "unattended work use lanscope-cli update" <<<"$(env -u DISPLAY "$BIN/lanscope" --help | tr -s ' \n' ' ')" ||
    fail "--help does not point unattended work to lanscope-cli update"
grep -qx "lanscope [0-9.]*" <<<"$(env -u DISPLAY "$BIN/lanscope" --version)" ||
    fail "--version is no version line"
echo "PASS"
