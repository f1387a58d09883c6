#!/usr/bin/env bash
# The module list, network settings and update windows (offscreen) against
# simulated modules in test beds.
source "$(dirname "$0")/common.sh"
tests="$BIN/lanscope_testbed_gui_tests"
export QT_QPA_PLATFORM=offscreen
"$TESTBED" --modules 3 -- "$tests" \
    --gtest_filter='GuiInTestbed.ListsEverySimulatedModule:GuiInTestbed.NewAddressFromTheSettingsWindowShowsAfterSearch'
"$TESTBED" --modules 1 --address 1 192.0.2.30 -- "$tests" \
    --gtest_filter='GuiInTestbed.AutoIpGivesTheOnlyModuleTheWorkstationAddressPlusTen'

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
head -c 262144 /dev/urandom > "$work/image.bin"
srec_cat "$work/image.bin" -binary -offset 0x8000 -o "$work/image_APP.s19" -motorola \
    -address-length=4
export LANSCOPE_TEST_IMAGE="$work/image_APP.s19"
export LANSCOPE_TEST_EXPECTED="$work/image.bin"
export LANSCOPE_TEST_RECEIVED="$work/received.bin"
"$TESTBED" --modules 3 \
    --module 1 "--fw-credentials admin:secret --fw-duplicate-data 5,50,400 --fw-image-out $work/received.bin" \
    --module 2 "--reply-delay 20" \
    --module 3 "--fw-verdict declined" \
    -- "$tests" --gtest_filter='GuiInTestbed.Update*:GuiInTestbed.Cancel*:GuiInTestbed.AutoUpdate*'

# The window program started with options updates at once and ends with 0
# once the module has the image, without "Save Complete" (an unanswered box
# would keep it open until the time-out). However the shell split the line,
# and whatever arguments Qt would have taken for itself, the options mean what
# was typed.
mkdir -p "$work/my files"
cp "$work/image_APP.s19" "$work/my files/image_APP.s19"
cat > "$work/auto.sh" <<'SCRIPT'
set -euo pipefail
source "$INTEGRATION_DIR/common.sh"
export LANSCOPE_SETTINGS="$work/settings.ini"
export LANSCOPE_HISTORY="$work/history.jsonl"
# A name of its own for the one-instance rule, apart from other tests.
export USER="gui-in-testbed-$$"
image="$work/image_APP.s19"
cases=(
    '-F$image -I192.0.2.11 -A'
    '-a -i192.0.2.11 -f$image'
    '"-I 192.0.2.11" -F$image -A'
    '"-F$image -A" -I192.0.2.11'
    '"-F$image -I192.0.2.11 -A"'
    '-F"$work/my files/image_APP.s19" -I192.0.2.11 -A'
    '-style fusion -reverse -F$image -I192.0.2.11 -A'
)
for options in "${cases[@]}"; do
    eval "arguments=($options)"
    rm -f "$work/auto.bin"
    set +e
    timeout 60 "$BIN/lanscope" "${arguments[@]}" 2>/dev/null
    rc=$?
    set -e
    expect_eq "$rc" 0 "exit code of lanscope $options"
    cmp -s "$work/auto.bin" "$work/image.bin" || fail "$options: the module did not store the image"
done
# Each run is in the service history as the window program's, start and
# outcome.
expect_eq "$(grep -c "\"result\":\"ok\"" "$LANSCOPE_HISTORY")" "${#cases[@]}" "updates recorded"
expect_eq "$(grep -c "\"program\":\"window\"" "$LANSCOPE_HISTORY")" "$((2 * ${#cases[@]}))" \
    "events of the window program"
# History=0 keeps the window from recording.
printf "[Settings]\nHistory=0\n" > "$work/off.ini"
lines=$(wc -l < "$LANSCOPE_HISTORY")
LANSCOPE_SETTINGS="$work/off.ini" timeout 60 "$BIN/lanscope" -F"$image" -I192.0.2.11 -A 2>/dev/null
expect_eq "$(wc -l < "$LANSCOPE_HISTORY")" "$lines" "history lines with History=0"
SCRIPT
export BIN work INTEGRATION_DIR="$here"
"$TESTBED" --modules 1 --module 1 "--fw-duplicate --fw-image-out $work/auto.bin" -- \
    bash "$work/auto.sh"
echo "PASS"
