#include <gtest/gtest.h>

#include "SimModule.h"

namespace lanscope {
namespace {

sim::ModuleIdentity Identity() {
    sim::ModuleIdentity identity;
    identity.address = MakeIpv4(192, 0, 2, 11);
    identity.name = "First";
    identity.name2 = "Second";
    return identity;
}

std::vector<std::uint8_t> Request(std::uint8_t type) {
    return {'Q', 'A', 'R', 'N', type};
}

TEST(SimModule, AnswersADiscoveryRequestInTheModuleLayout) {
    sim::SimModule module(Identity());
    const auto reaction = module.handle(Request('R'));
    ASSERT_TRUE(reaction.reply);
    const auto reply = DecodeReply(*reaction.reply, MakeIpv4(192, 0, 2, 11));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->line, "[02-4C-53-00-00-01]\t192.0.2.11\t\tFirst\tSecond");
    EXPECT_EQ(reply->record.length(), 148u);
}

TEST(SimModule, IgnoresRepliesAndUnknownTypes) {
    sim::SimModule module(Identity());
    const auto reply = module.buildReply();
    EXPECT_FALSE(module.handle(reply).reply);
    EXPECT_FALSE(module.handle(Request('X')).reply);
    EXPECT_FALSE(module.handle(std::vector<std::uint8_t>{'Q'}).reply);
}

TEST(SimModule, AppliesAWriteForItsOwnHardwareAddressOnly) {
    sim::SimModule module(Identity());
    auto record = DecodeReply(module.buildReply(), MakeIpv4(192, 0, 2, 11))->record;
    record.setAddress(MakeIpv4(192, 0, 2, 99));
    record.setDns(MakeIpv4(192, 0, 2, 53));

    ModuleRecord other = record;
    other.setMac({1, 2, 3, 4, 5, 6});
    auto reaction = module.handle(BuildConfigurationWrite(other));
    EXPECT_FALSE(reaction.change);
    EXPECT_EQ(module.record().address(), MakeIpv4(192, 0, 2, 11));

    reaction = module.handle(BuildConfigurationWrite(record));
    ASSERT_TRUE(reaction.change);
    EXPECT_EQ(reaction.change->oldAddress, MakeIpv4(192, 0, 2, 11));
    EXPECT_EQ(reaction.change->newAddress, MakeIpv4(192, 0, 2, 99));
    EXPECT_EQ(module.record().dns(), MakeIpv4(192, 0, 2, 53));
    // The bytes the workstation does not interpret came back unchanged.
    EXPECT_EQ(reaction.log.find("changed"), std::string::npos) << reaction.log;
}

}  // namespace
}  // namespace lanscope
