#!/usr/bin/env bash
# The simulated module's web pages over HTTP in the test bed: basic login,
# the administrator's form, a user's empty form, and submissions recorded.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export work
"$TESTBED" --modules 2 \
    --module 1 "--http-port 80 --http-admin admin:pw --http-user guest:g --http-post-log $work/posts" \
    --module 2 "--http-port 80 --http-fault no-rule-frame" \
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
    curl -s http://192.0.2.12/configframes.htm | grep -q "src=\"status.htm\"" ||
        fail "no frame without a rule"
'
echo "PASS"
