#include <gtest/gtest.h>

#include "discovery/ListLine.h"

namespace lanscope {
namespace {

TEST(ListLine, ListLinesGiveAddressAndDescription) {
    const struct {
        const char* line;
        Ipv4 address;
        const char* description;
    } cases[] = {
        {"[02-4c-53-00-00-01]\t192.0.2.11\t\tPump\tHall 2", MakeIpv4(192, 0, 2, 11), ""},
        {"[02-4c-53-00-00-01]\t192.0.2.11\tDHCP\tPump\tA, (PC42) 1.05, x", MakeIpv4(192, 0, 2, 11),
         " (PC42) 1.05"},
        {"[m]\t192.0.2.11\t10.0.0.7\tPump\ta,b", MakeIpv4(10, 0, 0, 7), "a"},
        {"[m]\t300.1x.2.\t\tn\t,", MakeIpv4(44, 1, 2, 0), ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        const ListLineTarget target = ReadListLine(c.line);
        EXPECT_EQ(target.address, c.address) << c.line;
        EXPECT_EQ(target.description, c.description) << c.line;
    }
}

TEST(ListLine, TheVersionFollowsTheDescriptionsFirstParenthesis) {
    const struct {
        const char* description;
        const char* version;
    } cases[] = {
        {" (PC42) 1.05", " 1.05"},
        {"PC42) 2.0 (beta)", " 2.0 (beta)"},
        {"1.07", "1.07"},  // no ")": all of it, as the image file's header has it
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescriptionVersion(c.description), c.version) << c.description;
    }
}

}  // namespace
}  // namespace lanscope
