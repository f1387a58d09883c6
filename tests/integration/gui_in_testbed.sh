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
"$TESTBED" --modules 2 \
    --module 1 "--fw-credentials admin:secret --fw-duplicate-data 5,50,400 --fw-image-out $work/received.bin" \
    --module 2 "--reply-delay 20" \
    -- "$tests" --gtest_filter='GuiInTestbed.Update*:GuiInTestbed.Cancel*'
echo "PASS"
