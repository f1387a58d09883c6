#!/usr/bin/env bash
# The simulated module's web pages over HTTP in the test bed: basic login,
# the administrator's form, a user's empty form, submissions recorded, what
# gets in without an administrator, bodies too long to keep or of no
# declared length, request paths logged as text, and pages that stay on the
# module itself unless asked otherwise.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export work
"$TESTBED" --modules 4 \
    --module 1 "--http-port 80 --http-bind 192.0.2.11 --http-admin admin:pw --http-user guest:g --http-post-log $work/posts" \
    --module 2 "--http-port 80 --http-bind 0.0.0.0 --http-open --http-fault no-rule-frame" \
    --module 3 "--http-port 80 --http-bind 0.0.0.0" \
    --module 4 "--http-port 80" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    for _ in $(seq 1 50); do curl -s -o /dev/null http://192.0.2.11/ && break; sleep 0.1; done
    status() { curl -s -o /dev/null -w "%{http_code}" "$@"; }
    expect_eq "$(status http://192.0.2.11/config.htm)" 401 "without a login"
    expect_eq "$(status -u admin:wrong http://192.0.2.11/config.htm)" 401 "a wrong password"
    expect_eq "$(status http://192.0.2.11/loginerror.htm)" 200 "the login-error page"
    admin=$(curl -s -u admin:pw http://192.0.2.11/config.htm)
    grep -q "name=\"frmConfig\"" <<<"$admin" || fail "no frmConfig for the administrator"
    grep -q "name=\"speed\"" <<<"$admin" || fail "no select in the form"
    guest=$(curl -s -u guest:g http://192.0.2.11/config.htm)
    grep -q "<form name=\"frmConfig\" method=\"post\" action=\"config.htm\"></form>" <<<"$guest" ||
        fail "the user does not get an empty form"
    curl -s -o /dev/null -u admin:pw -d "ip=10.0.0.1&speed=2" http://192.0.2.11/config.htm
    expect_eq "$(cat "$work/posts")" "ip=10.0.0.1&speed=2" "recorded submission"
    head -c 70000 /dev/zero | tr "\0" a >"$work/long"
    expect_eq "$(status -u admin:pw -H "Content-Type: application/octet-stream" \
        --data-binary @"$work/long" http://192.0.2.11/config.htm)" 413 "a body too long to keep"
    expect_eq "$(cat "$work/posts")" "ip=10.0.0.1&speed=2" "submissions after the long body"
    # A body the server would have to read to the end of the connection, or in
    # chunks of any number, is refused at once, and so is a declared length
    # too long to keep, before any of the body arrives.
    status_of_head() {  # REQUEST-HEAD: the status line of the answer, whatever follows the head
        local line
        exec 3<>/dev/tcp/192.0.2.11/80
        printf "%b" "$1" >&3
        line=$(timeout 5 head -n 1 <&3 | tr -d "\r" || true)
        exec 3>&-
        echo "$line"
    }
    post="POST /config.htm HTTP/1.1\r\nHost: 192.0.2.11\r\n"
    expect_eq "$(status_of_head "$post\r\nip=10.0.0.9")" "HTTP/1.1 411 Length Required" \
        "a body of no length"
    expect_eq "$(status_of_head "${post}Transfer-Encoding: chunked\r\n\r\n5\r\nip=10\r\n")" \
        "HTTP/1.1 411 Length Required" "a chunked body"
    expect_eq "$(status_of_head "${post}Content-Length: 99999999999\r\n\r\nip=")" \
        "HTTP/1.1 413 Payload Too Large" "a declared length too long to keep"
    expect_eq "$(cat "$work/posts")" "ip=10.0.0.1&speed=2" "submissions after the refused bodies"
    # What a request names is logged as text: it writes no line of its own.
    status "http://192.0.2.11/x%0Alanscope-module-sim:%20forged%1B%5C" >/dev/null
    grep -qF "GET /x\x0alanscope-module-sim: forged\x1b\x5c -> 401" "$TESTBED_LOGS/module-1.log" ||
        fail "the request path is not logged escaped"
    ! grep -q "^lanscope-module-sim: forged" "$TESTBED_LOGS/module-1.log" ||
        fail "a request wrote a log line"
    curl -s http://192.0.2.12/configframes.htm | grep -q "src=\"status.htm\"" ||
        fail "no frame without a rule"
    curl -s http://192.0.2.12/config.htm | grep -q "name=\"speed\"" ||
        fail "open pages do not give the whole form"
    # Without an administrator or open pages nobody gets in, whatever is sent.
    for login in "" "-u admin:pw" "-u :" "-u guest:g"; do
        expect_eq "$(status $login http://192.0.2.13/config.htm)" 401 "no administrator ($login)"
    done
    # Module 4 serves on its loopback only: nothing for the workstation.
    for _ in $(seq 1 50); do
        grep -q "listening on UDP" "$TESTBED_LOGS/module-4.log" && break
        sleep 0.1
    done
    grep -q "listening on UDP" "$TESTBED_LOGS/module-4.log" || fail "module 4 did not start"
    expect_eq "$(status http://192.0.2.14/index.htm || true)" 000 "pages of the default address"
'
echo "PASS"
