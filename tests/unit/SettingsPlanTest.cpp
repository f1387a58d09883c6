#include <gtest/gtest.h>

#include "config/SettingsPlan.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

TEST(SettingsPlan, ReadsRowsAndSaysWhatIsWrongWithEach) {
    const auto plan = ReadSettingsPlan(
        "# plant hall 3\r\n"
        "MAC, IP, Mask, Gateway, DNS\r\n"
        "02-4c-53-00-00-01,192.0.2.50,255.255.255.0,192.0.2.1,192.0.2.53\r\n"
        "02:4C:53:00:00:02,192.0.2.51,,,\r\n"
        "\r\n"
        "02-4c-53-00-00-03,192.0.2.300,,,\r\n"
        "not-a-mac,192.0.2.52,,,\r\n"
        "02-4c-53-00-00-04,,,,\r\n");
    ASSERT_TRUE(plan.ok()) << plan.error().text;
    ASSERT_EQ(plan->rows.size(), 5u);
    EXPECT_EQ(plan->rows[0].error, "");
    EXPECT_EQ(plan->rows[0].change.gateway, MakeIpv4(192, 0, 2, 1));
    EXPECT_EQ(plan->rows[1].error, "");
    EXPECT_EQ(plan->rows[1].change.address, MakeIpv4(192, 0, 2, 51));
    EXPECT_FALSE(plan->rows[1].change.mask);  // kept as the module has it
    EXPECT_EQ(plan->rows[2].line, 6u);
    EXPECT_EQ(plan->rows[2].error, "not an IPv4 address in ip: \"192.0.2.300\"");
    EXPECT_EQ(plan->rows[3].error, "not a hardware address: \"not-a-mac\"");
    EXPECT_EQ(plan->rows[4].error, "no settings to write");

    const auto dhcp =
        ReadSettingsPlan("dhcp,mac\nyes,02-4c-53-00-00-01\nmaybe,02-4c-53-00-00-02\n");
    ASSERT_EQ(dhcp->rows.size(), 2u);
    EXPECT_TRUE(dhcp->rows[0].change.dhcp);
    EXPECT_EQ(dhcp->rows[1].error, "dhcp must be yes or no: \"maybe\"");

    // A spreadsheet's byte order mark and its rows of empty cells.
    const auto sheet = ReadSettingsPlan("\xEF\xBB\xBFmac,dhcp\r\n02-4c-53-00-00-01,no\r\n,\r\n");
    ASSERT_TRUE(sheet.ok());
    ASSERT_EQ(sheet->rows.size(), 1u);
    // "Not DHCP" and nothing else: the module stays as it is.
    EXPECT_EQ(sheet->rows[0].error, "");
    EXPECT_TRUE(sheet->rows[0].leaveAsIs);

    const auto mask = ReadSettingsPlan("mac,mask\n02-4c-53-00-00-01,255.0.255.0\n");
    EXPECT_EQ(mask->rows.at(0).error, "not a network mask (ones, then zeros): \"255.0.255.0\"");

    EXPECT_NE(ReadSettingsPlan("mac,ip,color\n").error().text.find("unknown column \"color\""),
              std::string::npos);
    EXPECT_NE(ReadSettingsPlan("ip,mask\n").error().text.find("no \"mac\" column"),
              std::string::npos);
    EXPECT_NE(ReadSettingsPlan("\n# nothing\n").error().text.find("empty"), std::string::npos);
}

TEST(SettingsPlan, AListSavedFromTheWindowReadsBack) {
    const auto plan = ReadSettingsPlan(
        "mac,address,dhcp,name,name2,record_length,record_address,record_mask,record_gateway,"
        "record_dns\r\n"
        "02-4C-53-00-00-01,192.0.2.11,false,Pump,Hall,148,192.0.2.11,255.255.255.0,192.0.2.1,"
        "192.0.2.53\r\n"
        "02-4C-53-00-00-02,192.0.2.99,true,Fan,Roof,148,0.0.0.0,255.255.255.0,0.0.0.0,"
        "0.0.0.0\r\n");
    ASSERT_TRUE(plan.ok()) << plan.error().text;
    ASSERT_EQ(plan->rows.size(), 2u);
    EXPECT_EQ(plan->rows[0].error, "");
    EXPECT_EQ(plan->rows[0].change.address, MakeIpv4(192, 0, 2, 11));
    EXPECT_EQ(plan->rows[0].change.mask, MakeIpv4(255, 255, 255, 0));
    EXPECT_EQ(plan->rows[0].change.dns, MakeIpv4(192, 0, 2, 53));
    // On DHCP: the address it was given is DHCP's, not a static one.
    EXPECT_EQ(plan->rows[1].error, "");
    EXPECT_TRUE(plan->rows[1].change.dhcp);

    // Names that look like formulas are saved defused; they are passed over.
    const auto defused = ReadSettingsPlan(
        "mac,address,dhcp,name,name2\r\n"
        "02-4C-53-00-00-01,192.0.2.11,false,\"'=1+2\",\"'-,x\"\r\n");
    ASSERT_TRUE(defused.ok()) << defused.error().text;
    EXPECT_EQ(defused->rows.at(0).error, "");
    EXPECT_EQ(defused->rows.at(0).change.address, MakeIpv4(192, 0, 2, 11));
}

TEST(SettingsPlan, AWriteChangesOnlyWhatTheRowNames) {
    ModuleRecord record;
    record.setAddress(MakeIpv4(192, 0, 2, 11));
    record.setMask(MakeIpv4(255, 255, 255, 0));
    record.setGateway(MakeIpv4(192, 0, 2, 1));
    SettingsChange change;
    change.address = MakeIpv4(192, 0, 2, 99);
    const ModuleRecord written = ApplySettings(record, change);
    EXPECT_EQ(written.address(), MakeIpv4(192, 0, 2, 99));
    EXPECT_EQ(written.mask(), record.mask());
    EXPECT_EQ(written.gateway(), record.gateway());
    EXPECT_FALSE(HasSettings(record, written));
    EXPECT_TRUE(HasSettings(written, written));
    change.dhcp = true;
    EXPECT_EQ(ApplySettings(record, change).address(), 0u);
}

TEST(SettingsPlan, NoRowLeavesTwoModulesWithOneAddress) {
    // A answers from .11, B from .12; C does not answer.
    ModuleList answering;
    AddReply(answering, test::MakeReply(test::kMacA, MakeIpv4(192, 0, 2, 11), "n", "m"),
             MakeIpv4(192, 0, 2, 11));
    AddReply(answering, test::MakeReply(test::kMacB, MakeIpv4(192, 0, 2, 12), "n", "m"),
             MakeIpv4(192, 0, 2, 12));
    const std::string a = "0a-1b-2c-3d-4e-5f,";
    const std::string c = "00-00-00-00-00-03,";
    struct Case {
        const char* name;
        std::string rows;  // below "mac,ip,dhcp"
        bool force;
        std::vector<std::string> errors;  // a part of each row's; empty: it stands
    };
    const std::string takenByB = "192.0.2.12 is taken by the module 00-00-00-00-00-02";
    const Case cases[] = {
        {"another module's address", a + "192.0.2.12,\n", false, {takenByB}},
        {"... with --force", a + "192.0.2.12,\n", true, {""}},
        {"its own address again", a + "192.0.2.11,\n", false, {""}},
        {"one address in two rows",
         a + "192.0.2.50,\n" + c + "192.0.2.50,\n",
         false,
         {"192.0.2.50 is given in line 3 as well", "192.0.2.50 is given in line 2 as well"}},
        {"... with --force", a + "192.0.2.50,\n" + c + "192.0.2.50,\n", true, {"", ""}},
        {"one module in two rows",
         a + "192.0.2.50,\n" + a + ",yes\n",
         true,
         {"the hardware address is named in line 3 as well",
          "the hardware address is named in line 2 as well"}},
        {"0.0.0.0, which would mean DHCP", a + "0.0.0.0,\n", true, {"0.0.0.0 is no address"}},
        {"an address of a module that goes to DHCP",
         "00-00-00-00-00-02,,yes\n" + a + "192.0.2.12,\n",
         false,
         {"", takenByB}},
        {"a module that does not answer", c + "192.0.2.12,\n", false, {""}},
    };
    for (const Case& k : cases) {
        auto plan = ReadSettingsPlan("mac,ip,dhcp\n" + k.rows);
        ASSERT_TRUE(plan.ok()) << k.name;
        RefuseAddressConflicts(*plan, answering, k.force);
        ASSERT_EQ(plan->rows.size(), k.errors.size()) << k.name;
        for (std::size_t i = 0; i < k.errors.size(); ++i) {
            const std::string& error = plan->rows[i].error;
            if (k.errors[i].empty()) {
                EXPECT_EQ(error, "") << k.name;
            } else {
                EXPECT_NE(error.find(k.errors[i]), std::string::npos) << k.name << ": " << error;
            }
        }
    }
}

}  // namespace
}  // namespace lanscope
