#include <gtest/gtest.h>

#include "discovery/Datagrams.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

using test::kMacA;
using test::MakeReply;

constexpr Ipv4 k192_168_1_20 = MakeIpv4(192, 168, 1, 20);

TEST(DecodeReply, StaticModuleGivesFiveColumnsWithEmptyDhcpMark) {
    const auto datagram = MakeReply(kMacA, k192_168_1_20, "A", "B");
    const auto reply = DecodeReply(datagram, k192_168_1_20);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->line, "[0a-1B-2C-3D-4E-5F]\t192.168.1.20\t\tA\tB");
    EXPECT_EQ(reply->record.address(), k192_168_1_20);
    EXPECT_EQ(reply->record.mac(), kMacA);
    EXPECT_EQ(reply->record.repeatCount(), 0u);
}

TEST(DecodeReply, AddressDifferentFromSenderShowsSenderMarkedDhcp) {
    const auto datagram = MakeReply(kMacA, 0, "A", "B");
    const auto reply = DecodeReply(datagram, MakeIpv4(192, 168, 1, 57));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->line, "[0a-1B-2C-3D-4E-5F]\t192.168.1.57\tDHCP\tA\tB");
    EXPECT_EQ(reply->record.address(), 0u);
}

TEST(DecodeReply, EmptyNamesEndTheLineInTwoTabs) {
    const auto reply = DecodeReply(MakeReply(kMacA, 1, "", ""), 1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->line, "[0a-1B-2C-3D-4E-5F]\t0.0.0.1\t\t\t");
}

TEST(DecodeReply, TypeByteIsNotExamined) {
    auto datagram = MakeReply(kMacA, 1, "n", "m");
    datagram[4] = 0xEE;
    EXPECT_TRUE(DecodeReply(datagram, 1));
}

TEST(DecodeReply, WrongMagicOrShortDatagramGivesNothing) {
    auto request = MakeReply(kMacA, 1, "n", "m");
    request[1] = 'A';
    request[2] = 'R';
    request[3] = 'N';  // "QARN": the workstation's own broadcast coming back
    EXPECT_FALSE(DecodeReply(request, 1));

    const auto good = MakeReply(kMacA, 1, "", "");
    for (std::size_t size : {0u, 1u, 4u, 5u, 152u}) {
        EXPECT_FALSE(DecodeReply(std::span(good.data(), size), 1)) << size;
    }
    EXPECT_TRUE(DecodeReply(std::span(good.data(), 153), 1));
}

TEST(DecodeReply, UnterminatedNamesEndAtTheEndOfTheDatagram) {
    auto datagram = MakeReply(kMacA, 1, "", "");
    datagram.resize(153);
    const std::string tail = "FirstName";
    datagram.insert(datagram.end(), tail.begin(), tail.end());
    auto reply = DecodeReply(datagram, 1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name, "FirstName");
    EXPECT_EQ(reply->name2, "");

    datagram.push_back(0);
    datagram.push_back('x');  // second name cut off by the end of the datagram
    reply = DecodeReply(datagram, 1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name2, "x");
    EXPECT_EQ(reply->line, "[0a-1B-2C-3D-4E-5F]\t0.0.0.1\t\tFirstName\tx");
}

struct LengthCase {
    std::uint32_t length;
    std::size_t copied;
};

class DecodeReplyLength : public testing::TestWithParam<LengthCase> {};

TEST_P(DecodeReplyLength, RecordTakesAtMost148BytesAndLeavesTheRestZero) {
    auto datagram = MakeReply(kMacA, 1, "n", "m", GetParam().length);
    for (std::size_t i = 9; i < 153; ++i) {
        datagram[i] = 0xEE;  // everything after the length field is non-zero
    }
    const auto reply = DecodeReply(datagram, 1);
    ASSERT_TRUE(reply);
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        if (i >= ModuleRecord::kRepeatOffset && i < ModuleRecord::kRepeatOffset + 4) {
            EXPECT_EQ(reply->record.bytes[i], 0) << i;  // repeat count starts at 0
        } else if (i < GetParam().copied) {
            EXPECT_EQ(reply->record.bytes[i], datagram[5 + i]) << i;
        } else {
            EXPECT_EQ(reply->record.bytes[i], 0) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DecodeReplyLength,
                         testing::Values(LengthCase{0, 0}, LengthCase{2, 2}, LengthCase{147, 147},
                                         LengthCase{148, 148}, LengthCase{149, 148},
                                         LengthCase{0xFFFFFFFFu, 148}));

TEST(ConfigurationWrite, Is161BytesWithMagicTypeRecordAndZeroTail) {
    ModuleRecord record;
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        record.bytes[i] = static_cast<std::uint8_t>(i + 1);
    }
    record.setLength(148);
    record.setRepeatCount(7);
    const auto write = BuildConfigurationWrite(record);
    ASSERT_EQ(write.size(), 161u);
    EXPECT_EQ(std::string(write.begin(), write.begin() + 5), "QARNW");
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        EXPECT_EQ(write[5 + i], record.bytes[i]) << i;  // the counter travels too
    }
    for (std::size_t i = 153; i < 161; ++i) {
        EXPECT_EQ(write[i], 0) << i;
    }
}

TEST(ConfigurationWrite, CopiesOnlyWhatTheLengthFieldSaysAndNeverMoreThanTheRecord) {
    ModuleRecord record;
    record.bytes.fill(0xEE);
    for (auto [length, copied] : {std::pair{4u, 4u}, std::pair{100u, 100u}, std::pair{149u, 148u},
                                  std::pair{0xFFFFFFFFu, 148u}}) {
        record.setLength(length);
        const auto write = BuildConfigurationWrite(record);
        for (std::size_t i = 5; i < write.size(); ++i) {
            EXPECT_EQ(write[i], i - 5 < copied ? record.bytes[i - 5] : 0) << length << " " << i;
        }
    }
}

TEST(DiscoveryRequest, IsMagicAndR) {
    const auto request = BuildDiscoveryRequest();
    EXPECT_EQ(std::string(request.begin(), request.end()), "QARNR");
}

TEST(ModuleRecordFields, UseNetworkOrderAtTheirOffsets) {
    ModuleRecord record;
    record.setAddress(MakeIpv4(1, 2, 3, 4));
    record.setMask(MakeIpv4(5, 6, 7, 8));
    record.setGateway(MakeIpv4(9, 10, 11, 12));
    record.setDns(MakeIpv4(13, 14, 15, 16));
    record.setLength(148);
    const std::pair<std::size_t, std::uint8_t> expected[] = {
        {3, 148}, {4, 1}, {7, 4}, {8, 5}, {11, 8}, {12, 9}, {15, 12}, {114, 13}, {117, 16}};
    for (auto [offset, value] : expected) {
        EXPECT_EQ(record.bytes[offset], value) << offset;
    }
}

TEST(MacText, FirstGroupLowerCaseOthersUpperCase) {
    EXPECT_EQ(FormatMacBracketed(kMacA), "[0a-1B-2C-3D-4E-5F]");
}

TEST(ParseMac, AcceptsDashesColonsBracketsAndAnyCase) {
    for (const char* text : {"0a-1b-2c-3d-4e-5f", "0A:1B:2C:3D:4E:5F", "[0a-1B-2C-3D-4E-5F]"}) {
        const auto mac = ParseMac(text);
        ASSERT_TRUE(mac) << text;
        EXPECT_EQ(*mac, kMacA) << text;
    }
    for (const char* text : {"", "0a-1b-2c-3d-4e", "0a-1b-2c-3d-4e-5g", "0a-1b:2c-3d-4e-5f",
                             "0a-1b-2c-3d-4e-5f-", "[0a-1b-2c-3d-4e-5f"}) {
        EXPECT_FALSE(ParseMac(text)) << text;
    }
}

TEST(ListLineColumns, AddressColumnStopsAtTheFollowingTab) {
    EXPECT_EQ(AddressColumn("[m]\t10.0.0.1\t\tA\tB"), "10.0.0.1");
    EXPECT_EQ(AddressColumn("[m]\t\t\t10.0.0.1\tx"), "10.0.0.1");  // leading TABs dropped
    EXPECT_EQ(AddressColumn("[m]\t10.0.0.1"), "");                 // no TAB after it
    EXPECT_EQ(AddressColumn("no tabs"), "");
    EXPECT_EQ(LastColumn("[m]\t1\t\tA\tsecond name"), "second name");
    EXPECT_EQ(LastColumn("no tabs"), "");
}

TEST(ListLineColumns, SplitKeepsTabsOfTheSecondName) {
    const auto c = SplitListLine("[m]\t1.2.3.4\tDHCP\tone\ttwo\tthree");
    EXPECT_EQ(c.mac, "[m]");
    EXPECT_EQ(c.address, "1.2.3.4");
    EXPECT_EQ(c.dhcp, "DHCP");
    EXPECT_EQ(c.name, "one");
    EXPECT_EQ(c.name2, "two\tthree");
}

}  // namespace
}  // namespace lanscope
