#include <gtest/gtest.h>

#include "discovery/Diagnosis.h"

namespace lanscope {
namespace {

TEST(FirewallFinding, ReadsWhatDropsTheModulesPort) {
    struct Case {
        const char* nft;
        const char* iptables;
        const char* finding;  // a part of it; "" for none
    };
    const Case cases[] = {
        {"", "", ""},
        // nftables: default drop without an exception, with one, and a rule
        // that drops the port itself (in a set).
        {"table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
         "  ct state established accept\n }\n}\n",
         "", "nftables: incoming traffic is dropped by default"},
        {"table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
         "  udp dport 20034 accept\n }\n}\n",
         "", ""},
        {"table inet filter {\n chain input {\n  type filter hook input priority 0; policy "
         "accept;\n"
         "  udp dport { 53, 20034 } drop\n }\n}\n",
         "", "nftables drops UDP port 20034 (udp dport { 53, 20034 } drop)"},
        // A rule in the output chain or for another port is no matter.
        {"table inet filter {\n chain output {\n  type filter hook output priority 0;\n"
         "  udp dport 20034 drop\n }\n chain input {\n  type filter hook input priority 0;\n"
         "  udp dport 200345 drop\n }\n}\n",
         "", ""},
        // iptables.
        {"", "-P INPUT DROP\n-P FORWARD DROP\n-P OUTPUT ACCEPT\n",
         "iptables: incoming traffic is dropped by default"},
        {"", "-P INPUT DROP\n-A INPUT -p udp -m udp --dport 20034 -j ACCEPT\n", ""},
        {"", "-P INPUT ACCEPT\n-A INPUT -p udp -m multiport --dports 53,20034 -j REJECT\n",
         "iptables drops UDP port 20034"},
        {"", "-A INPUT -p tcp -m tcp --dport 20034 -j DROP\n", ""},
        // The first rule that matches decides, and jumps are followed (as
        // ufw's chains are).
        {"",
         "-P INPUT ACCEPT\n-A INPUT -p udp --dport 20034 -j DROP\n"
         "-A INPUT -p udp --dport 20034 -j ACCEPT\n",
         "iptables drops UDP port 20034"},
        {"",
         "-P INPUT DROP\n-N ufw-user-input\n-A INPUT -j ufw-user-input\n"
         "-A ufw-user-input -p udp -m udp --dport 20034 -j ACCEPT\n",
         ""},
        {"table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
         "  jump allowed\n }\n chain allowed {\n  udp dport 20034 accept\n }\n}\n",
         "", ""},
    };
    for (const Case& c : cases) {
        const std::string finding = FirewallFinding(c.nft, c.iptables, 20034);
        if (std::string(c.finding).empty()) {
            EXPECT_EQ(finding, "") << c.nft << c.iptables;
        } else {
            EXPECT_NE(finding.find(c.finding), std::string::npos) << finding;
        }
    }
}

TEST(InAnySubnet, AModuleOutsideEveryInterfaceIsFound) {
    HostInterface a;
    a.address = MakeIpv4(192, 0, 2, 1);
    a.mask = MakeIpv4(255, 255, 255, 128);
    HostInterface b = a;
    b.address = MakeIpv4(192, 0, 2, 129);
    EXPECT_TRUE(InAnySubnet(MakeIpv4(192, 0, 2, 140), {a, b}));
    EXPECT_FALSE(InAnySubnet(MakeIpv4(192, 0, 2, 140), {a}));
    EXPECT_FALSE(InAnySubnet(MakeIpv4(10, 1, 2, 3), {a, b}));
}

}  // namespace
}  // namespace lanscope
