#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "discovery/ListExport.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

constexpr Ipv4 kSender = MakeIpv4(192, 0, 2, 7);

// One module in a list as its reply from kSender makes it.
struct OneModule {
    ModuleList list;
    OneModule(const std::string& name, const std::string& name2, Ipv4 reported) {
        AddReply(list, test::MakeReply(test::kMacA, reported, name, name2), kSender);
    }
};

TEST(ListExport, EachModuleIsOneCsvLineAndOneJsonObjectWithItsNamesInUtf8) {
    struct Case {
        const char* what;
        std::string name;
        std::string name2;
        Ipv4 reported;        // 0: the module has its address from DHCP
        std::string csvLine;  // up to the record's settings
        std::string jsonName;
        std::string jsonName2;
    };
    const Case cases[] = {
        {"plain names", "Pump", "Hall 2", kSender, "0a-1B-2C-3D-4E-5F,192.0.2.7,false,Pump,Hall 2",
         "Pump", "Hall 2"},
        {"a comma", "Pump, north", "x", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"Pump, north\",x", "Pump, north", "x"},
        {"quotes", "Say \"hi\"", "\"", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"Say \"\"hi\"\"\",\"\"\"\"", "Say \"hi\"", "\""},
        {"line ends", "two\r\nlines", "a\nb", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"two\r\nlines\",\"a\nb\"", "two\r\nlines", "a\nb"},
        {"Windows-1252 names", "Ger\xE4t",
         "S\xFC"
         "d \x80",
         kSender, "0a-1B-2C-3D-4E-5F,192.0.2.7,false,Ger\u00E4t,S\u00FCd \u20AC", "Ger\u00E4t",
         "S\u00FCd \u20AC"},
        // A spreadsheet would run these as formulas; inside, they are text.
        {"formulas", "=HYPERLINK(\"http://x\")", "+1", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"'=HYPERLINK(\"\"http://x\"\")\",\"'+1\"",
         "=HYPERLINK(\"http://x\")", "+1"},
        {"more formulas", "-2+3", "@SUM(A1)", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"'-2+3\",\"'@SUM(A1)\"", "-2+3", "@SUM(A1)"},
        {"a carriage return first", "\rx", "a=b-c", kSender,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,false,\"'\rx\",a=b-c", "\rx", "a=b-c"},
        {"a DHCP module: the address it answered from", "Pump", "x", 0,
         "0a-1B-2C-3D-4E-5F,192.0.2.7,true,Pump,x", "Pump", "x"},
    };
    const std::string header =
        "mac,address,dhcp,name,name2,record_length,record_address,record_mask,record_gateway,"
        "record_dns\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OneModule module(c.name, c.name2, c.reported);
        const std::string recordAddress = FormatIpv4(c.reported);
        EXPECT_EQ(ModuleListCsv(module.list),
                  header + c.csvLine + ",148," + recordAddress + ",0.0.0.0,0.0.0.0,0.0.0.0\r\n");

        const auto json = nlohmann::json::parse(ModuleListJson(module.list));
        ASSERT_EQ(json.size(), 1u);
        EXPECT_EQ(json[0]["mac"], "0a-1B-2C-3D-4E-5F");
        EXPECT_EQ(json[0]["address"], "192.0.2.7");
        EXPECT_EQ(json[0]["dhcp"], c.reported == 0);
        EXPECT_EQ(json[0]["name"], c.jsonName);
        EXPECT_EQ(json[0]["name2"], c.jsonName2);
        EXPECT_EQ(json[0]["line"], "[0a-1B-2C-3D-4E-5F]\t192.0.2.7\t" +
                                       std::string(c.reported == 0 ? "DHCP" : "") + "\t" +
                                       c.jsonName + "\t" + c.jsonName2);
        EXPECT_EQ(json[0]["record"]["address"], recordAddress);
    }
}

TEST(ListExport, JsonGivesTheFirmwareTheSecondNameDescribes) {
    const OneModule module("Pump", "LAN board, (PC42) 1.05, 0815", kSender);
    const auto json = nlohmann::json::parse(ModuleListJson(module.list));
    EXPECT_EQ(json[0]["description"], "(PC42) 1.05");
    EXPECT_EQ(json[0]["version"], "1.05");
}

TEST(ListExport, ModulesFollowTheListOrderAndCopiedLinesSkipRowsThatAreGone) {
    ModuleList list;
    AddReply(list, test::MakeReply(test::kMacA, kSender, "A\xE4", "x"), kSender);
    AddReply(list, test::MakeReply(test::kMacB, kSender, "B", "y"), kSender);
    const auto json = nlohmann::json::parse(ModuleListJson(list));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["name"], "B");
    EXPECT_EQ(json[1]["name"], "A\u00E4");
    // Written module by module, the text is still what one dump of the whole
    // array prints.
    EXPECT_EQ(ModuleListJson(list), json.dump(2) + "\n");
    EXPECT_EQ(ModuleListJson(ModuleList{}), "[]\n");
    EXPECT_EQ(ModuleLinesText(list, {1, 7}), "[0a-1B-2C-3D-4E-5F]\t192.0.2.7\t\tA\u00E4\tx\n");
}

}  // namespace
}  // namespace lanscope
