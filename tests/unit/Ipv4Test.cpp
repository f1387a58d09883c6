#include <gtest/gtest.h>

#include "common/Ipv4.h"

namespace lanscope {
namespace {

struct QuadCase {
    const char* text;
    Ipv4 expected;
};

class ParseDottedQuadCases : public testing::TestWithParam<QuadCase> {};

TEST_P(ParseDottedQuadCases, ReadsLikeTheModulesToolsAlwaysHave) {
    EXPECT_EQ(ParseDottedQuad(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseDottedQuadCases,
                         testing::Values(QuadCase{"192.168.1.20", MakeIpv4(192, 168, 1, 20)},
                                         QuadCase{"", 0}, QuadCase{"10", MakeIpv4(0, 0, 0, 10)},
                                         QuadCase{"300.1.1.1", MakeIpv4(44, 1, 1, 1)},
                                         QuadCase{"1.2", MakeIpv4(1, 0, 0, 2)},
                                         QuadCase{" 7. +8.-1.x", MakeIpv4(7, 8, 255, 0)},
                                         QuadCase{"1.2.3.4.5", MakeIpv4(1, 2, 3, 4)},
                                         QuadCase{"a.b.c.d", 0},
                                         QuadCase{"4294967553.0.0.1", MakeIpv4(1, 0, 0, 1)},
                                         QuadCase{"255.255.255.255", 0xFFFFFFFFu}));

TEST(FormatIpv4, PrintsFirstOctetFirst) {
    EXPECT_EQ(FormatIpv4(MakeIpv4(192, 0, 2, 1)), "192.0.2.1");
    EXPECT_EQ(FormatIpv4(0), "0.0.0.0");
}

TEST(ParseIpv4Strict, AcceptsOnlyFourOctetsUpTo255) {
    EXPECT_EQ(ParseIpv4Strict("192.0.2.255"), MakeIpv4(192, 0, 2, 255));
    for (const char* text : {"", "1.2.3", "1.2.3.4.", "256.0.0.1", "1..2.3", " 1.2.3.4", "1.2.3.4x",
                             "0001.2.3.4", "-1.2.3.4"}) {
        EXPECT_FALSE(ParseIpv4Strict(text)) << text;
    }
}

TEST(MaskPrefixLength, CountsContiguousOnesOnly) {
    EXPECT_EQ(MaskPrefixLength(0xFFFFFF00u), 24);
    EXPECT_EQ(MaskPrefixLength(0xFFFFFFFFu), 32);
    EXPECT_EQ(MaskPrefixLength(0), 0);
    EXPECT_EQ(MaskPrefixLength(0xFF00FF00u), -1);
}

}  // namespace
}  // namespace lanscope
