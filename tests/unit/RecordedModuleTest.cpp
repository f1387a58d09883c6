#include <gtest/gtest.h>

#include "support/CaseNames.h"
#include "update/RecordedModule.h"

namespace lanscope {
namespace {

struct RecordedCase {
    const char* name;
    HistoryModule chosen;
    Ipv4 chosenAddress;
    Ipv4 address;
    HistoryModule recorded;
};

class RecordedModuleOfUpdate : public testing::TestWithParam<RecordedCase> {};

TEST_P(RecordedModuleOfUpdate, NamesTheChosenModuleOnlyAtItsOwnAddress) {
    const RecordedCase& c = GetParam();
    EXPECT_EQ(RecordedModule(c.chosen, c.chosenAddress, c.address), c.recorded);
}

const HistoryModule kPump{"02-4C-53-00-00-01", "192.0.2.11", "Pump", "Hall"};

INSTANTIATE_TEST_SUITE_P(
    Window, RecordedModuleOfUpdate,
    testing::Values(RecordedCase{"address kept", kPump, MakeIpv4(192, 0, 2, 11),
                                 MakeIpv4(192, 0, 2, 11), kPump},
                    RecordedCase{"address changed to another module's",
                                 kPump,
                                 MakeIpv4(192, 0, 2, 11),
                                 MakeIpv4(192, 0, 2, 12),
                                 {"", "192.0.2.12", "", ""}},
                    RecordedCase{"no module chosen (started on its own)",
                                 {},
                                 0,
                                 MakeIpv4(192, 0, 2, 12),
                                 {"", "192.0.2.12", "", ""}},
                    // The line's module answered from 127.0.0.1 but the window was given
                    // another address column; the window's address is what is recorded.
                    RecordedCase{"address shown as the window had it",
                                 {"02-4C-53-00-00-01", "127.0.0.1", "Pump", ""},
                                 MakeIpv4(192, 0, 2, 11),
                                 MakeIpv4(192, 0, 2, 11),
                                 {"02-4C-53-00-00-01", "192.0.2.11", "Pump", ""}}),
    test::CaseName());

}  // namespace
}  // namespace lanscope
