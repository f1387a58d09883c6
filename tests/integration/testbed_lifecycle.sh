#!/usr/bin/env bash
# The test bed hands back the command's exit code and removes all it made,
# also when the command fails.
source "$(dirname "$0")/common.sh"
before=$(ip netns list | wc -l)
set +e
"$TESTBED" --modules 2 -- bash -c 'ip -br addr show eth0 | grep -q 192.0.2.1/24 && exit 7'
rc=$?
set -e
expect_eq "$rc" 7 "exit code of the command"
expect_eq "$(ip netns list | wc -l)" "$before" "namespaces left behind"

set +e
"$TESTBED" --modules 1 --segments 3 -- true 2>/dev/null
rc=$?
set -e
[[ $rc -ne 0 ]] || fail "a bad option was accepted"
echo "PASS"
