#!/usr/bin/env bash
# The test bed hands back the command's exit code and removes all it made,
# also when the command fails.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
set +e
# The command names its own namespace: other test beds may come and go
# meanwhile, so only this one's namespaces are counted.
"$TESTBED" --modules 2 -- bash -c \
    'ip netns identify > "'"$work"'/ns"; ip -br addr show eth0 | grep -q 192.0.2.1/24 && exit 7'
rc=$?
set -e
expect_eq "$rc" 7 "exit code of the command"
ns=$(cat "$work/ns")
[[ -n "$ns" ]] || fail "the command ran in no named namespace"
expect_eq "$(ip netns list | grep -c "^${ns%-*}-" || true)" 0 "namespaces left behind"

set +e
"$TESTBED" --modules 1 --segments 3 -- true 2>/dev/null
rc=$?
set -e
[[ $rc -ne 0 ]] || fail "a bad option was accepted"
echo "PASS"
