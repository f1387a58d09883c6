#!/usr/bin/env bash
# The module list and network settings windows (offscreen) against simulated
# modules in test beds.
source "$(dirname "$0")/common.sh"
tests="$BIN/lanscope_testbed_gui_tests"
export QT_QPA_PLATFORM=offscreen
"$TESTBED" --modules 3 -- "$tests" \
    --gtest_filter='GuiInTestbed.ListsEverySimulatedModule:GuiInTestbed.NewAddressFromTheSettingsWindowShowsAfterSearch'
"$TESTBED" --modules 1 --address 1 192.0.2.30 -- "$tests" \
    --gtest_filter='GuiInTestbed.AutoIpGivesTheOnlyModuleTheWorkstationAddressPlusTen'
echo "PASS"
