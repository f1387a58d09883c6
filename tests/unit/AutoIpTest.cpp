#include <gtest/gtest.h>

#include "config/AutoIp.h"
#include "support/RecordingPrompt.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

struct RecordingSender : ConfigurationSender {
    std::vector<ModuleRecord> sent;
    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override {
        sent.push_back(record);
        return kConfigurationWriteSize;
    }
};

TEST(AutoIpAddressFor, AddsTenOrTakesTenAwayNear255) {
    const std::pair<Ipv4, Ipv4> cases[] = {
        {MakeIpv4(192, 168, 1, 5), MakeIpv4(192, 168, 1, 15)},
        {MakeIpv4(10, 0, 0, 244), MakeIpv4(10, 0, 0, 254)},
        {MakeIpv4(10, 0, 0, 245), MakeIpv4(10, 0, 0, 235)},
        {MakeIpv4(10, 0, 0, 255), MakeIpv4(10, 0, 0, 245)},
        {MakeIpv4(10, 0, 0, 0), MakeIpv4(10, 0, 0, 10)},
    };
    for (auto [host, module] : cases) {
        EXPECT_EQ(AutoIpAddressFor(host), module) << FormatIpv4(host);
    }
}

ModuleRecord Record() {
    ModuleRecord record;
    record.setLength(148);
    record.setAddress(MakeIpv4(192, 0, 2, 40));
    record.setMask(MakeIpv4(255, 255, 255, 0));
    record.setGateway(MakeIpv4(192, 0, 2, 1));
    record.setDns(MakeIpv4(192, 0, 2, 53));
    record.bytes[50] = 0x77;
    return record;
}

TEST(AutoIpRefusal, OnlyTheOneModuleThatAnswersMayBeGivenAnAddress) {
    const Ipv4 chosen = MakeIpv4(192, 0, 2, 11);
    struct Module {
        MacAddress mac;
        Ipv4 address;
    };
    struct Case {
        const char* name;
        std::vector<Module> modules;
        const char* refusal;  // a part of it; empty: allowed
    };
    const Case cases[] = {
        {"alone", {{test::kMacA, MakeIpv4(169, 254, 3, 4)}}, ""},
        {"alone, with the address already", {{test::kMacA, chosen}}, ""},
        {"beside another",
         {{test::kMacA, MakeIpv4(169, 254, 3, 4)}, {test::kMacB, MakeIpv4(192, 0, 2, 12)}},
         "2 modules answered"},
        {"beside the one that has it",
         {{test::kMacA, MakeIpv4(169, 254, 3, 4)}, {test::kMacB, chosen}},
         "It would give 192.0.2.11, which 00-00-00-00-00-02 already has."},
    };
    for (const Case& c : cases) {
        ModuleList list;
        for (const Module& module : c.modules) {
            AddReply(list, test::MakeReply(module.mac, module.address, "n", "m"), module.address);
        }
        std::size_t row = 0;
        while (list.record(row).mac() != test::kMacA) {
            ++row;
        }
        const std::string refusal = AutoIpRefusal(list, row, chosen);
        if (std::string(c.refusal).empty()) {
            EXPECT_EQ(refusal, "") << c.name;
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.name << ": " << refusal;
        }
    }
}

TEST(OtherModuleAt, AModulesOwnStaleLineIsNotAnotherModule) {
    // A answered from .20 before it moved to .21, and its old line is still
    // listed; B has .22, and C .20 as well in the last case.
    const Ipv4 old = MakeIpv4(192, 0, 2, 20);
    const Ipv4 taken = MakeIpv4(192, 0, 2, 22);
    ModuleList list;
    AddReply(list, test::MakeReply(test::kMacA, old, "a", "m"), old);
    AddReply(list, test::MakeReply(test::kMacA, MakeIpv4(192, 0, 2, 21), "a", "m"),
             MakeIpv4(192, 0, 2, 21));
    AddReply(list, test::MakeReply(test::kMacB, taken, "b", "m"), taken);
    const auto rowOf = [&list](const MacAddress& mac, Ipv4 address) {
        for (std::size_t row = 0; row < list.size(); ++row) {
            if (list.record(row).mac() == mac && list.record(row).address() == address) {
                return row;
            }
        }
        return list.size();
    };
    const std::size_t a = rowOf(test::kMacA, MakeIpv4(192, 0, 2, 21));
    EXPECT_EQ(OtherModuleAt(list, a, old), std::nullopt);
    EXPECT_EQ(OtherModuleAt(list, a, taken), rowOf(test::kMacB, taken));
    AddReply(list, test::MakeReply(test::kMacC, old, "c", "m"), old);
    EXPECT_EQ(OtherModuleAt(list, rowOf(test::kMacA, MakeIpv4(192, 0, 2, 21)), old),
              rowOf(test::kMacC, old));
}

TEST(AutoIpUpdate, OnYesSendsHostPlusTenWithClassBMaskKeepingTheRest) {
    ModuleRecord record = Record();
    test::RecordingPrompt prompt;
    prompt.answers = {true};
    RecordingSender sender;
    EXPECT_TRUE(AutoIpUpdate(record, {MakeIpv4(192, 168, 1, 5)}, prompt, sender, false));
    EXPECT_EQ(record.address(), MakeIpv4(192, 168, 1, 15));
    EXPECT_EQ(record.mask(), MakeIpv4(255, 255, 0, 0));
    EXPECT_EQ(record.gateway(), MakeIpv4(192, 0, 2, 1));
    EXPECT_EQ(record.dns(), MakeIpv4(192, 0, 2, 53));
    EXPECT_EQ(record.bytes[50], 0x77);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0], record);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "Are you sure you want to change this LAN card's IP Configuration?");
    EXPECT_EQ(prompt.shown[0].caption, "Auto IP Update");
}

TEST(AutoIpUpdate, ConnectedDirectlyAsksTheOtherQuestion) {
    ModuleRecord record = Record();
    test::RecordingPrompt prompt;
    prompt.answers = {true};
    RecordingSender sender;
    EXPECT_TRUE(AutoIpUpdate(record, {MakeIpv4(10, 0, 0, 1)}, prompt, sender, true));
    EXPECT_EQ(prompt.shown.at(0).text,
              "The system needs to change this LAN card's IP Configuration since you are "
              "connected directly.\nBe sure to reenable DHCP when reconnecting this to a DHCP "
              "configured network.");
}

TEST(AutoIpUpdate, NoOrNotExactlyOneAddressSendsNothingAndKeepsTheRecord) {
    const ModuleRecord original = Record();
    for (const std::vector<Ipv4>& hosts :
         {std::vector<Ipv4>{}, std::vector<Ipv4>{MakeIpv4(10, 0, 0, 1), MakeIpv4(10, 0, 1, 1)}}) {
        ModuleRecord record = original;
        test::RecordingPrompt prompt;
        RecordingSender sender;
        EXPECT_FALSE(AutoIpUpdate(record, hosts, prompt, sender, false));
        EXPECT_TRUE(sender.sent.empty());
        EXPECT_EQ(record, original);
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text,
                  "You must be connected only with a cross over cable for the system to be able\n"
                  "to automatically be able to determine the correct IP address. Please "
                  "disconnect all\nLAN connections");
        EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);
    }
    ModuleRecord record = original;
    test::RecordingPrompt prompt;
    prompt.answers = {false};
    RecordingSender sender;
    EXPECT_FALSE(AutoIpUpdate(record, {MakeIpv4(10, 0, 0, 1)}, prompt, sender, false));
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(record, original);
}

TEST(LoadedSettings, DhcpModuleShowsAllZeros) {
    ModuleRecord record = Record();
    EXPECT_EQ(LoadedSettings(record),
              (NetworkSettings{MakeIpv4(192, 0, 2, 40), MakeIpv4(255, 255, 255, 0),
                               MakeIpv4(192, 0, 2, 1), MakeIpv4(192, 0, 2, 53)}));
    record.setAddress(0);
    EXPECT_EQ(LoadedSettings(record), NetworkSettings{});
}

}  // namespace
}  // namespace lanscope
