#include <gtest/gtest.h>

#include "common/HostInterface.h"
#include "common/Text.h"

namespace lanscope {
namespace {

TEST(EightBitText, ValidUtf8StaysAndAnythingElseReadsAsWindows1252) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"Pump 2", "Pump 2"},
        {"Ger\xC3\xA4t", "Ger\xC3\xA4t"},                      // UTF-8 already
        {"Ger\xE4t", "Ger\xC3\xA4t"},                          // 1252 a-umlaut
        {"\x80 \x9F \xFF", "\xE2\x82\xAC \xC5\xB8 \xC3\xBF"},  // euro, Y-diaeresis, y-diaeresis
        {"\x81\x8D", "\xC2\x81\xC2\x8D"},                      // undefined: C1 controls
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                      // overlong '/' is not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},      // a surrogate is not either
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
        {"\xC3", "\xC3\x83"},                                              // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EightBitToUtf8(c.bytes), c.shown) << c.bytes;
        EXPECT_TRUE(IsValidUtf8(EightBitToUtf8(c.bytes)));
    }
}

TEST(EightBitText, TheWholeWindows1252HighTableAndLinesFieldByField) {
    const char32_t expected[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                   0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    for (int i = 0; i < 32; ++i) {
        const std::string shown = EightBitToUtf8(std::string(1, static_cast<char>(0x80 + i)));
        // Decode the one character back.
        char32_t c = 0;
        if (shown.size() == 2) {
            c = ((shown[0] & 0x1F) << 6) | (shown[1] & 0x3F);
        } else if (shown.size() == 3) {
            c = ((shown[0] & 0x0F) << 12) | ((shown[1] & 0x3F) << 6) | (shown[2] & 0x3F);
        }
        EXPECT_EQ(c, expected[i]) << "byte " << 0x80 + i;
    }
    EXPECT_EQ(EightBitFieldsToUtf8("Ger\xC3\xA4t\tS\xFC"
                                   "d\t",
                                   '\t'),
              "Ger\xC3\xA4t\tS\xC3\xBC"
              "d\t");
}

TEST(EightBitText, CutsAndCountsWholeCharacters) {
    const std::string text = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a, ä, €, emoji, z
    EXPECT_EQ(CountCharacters(text), 5u);
    EXPECT_EQ(CutCharacters(text, 0), "");
    EXPECT_EQ(CutCharacters(text, 2), "a\xC3\xA4");
    EXPECT_EQ(CutCharacters(text, 4), "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(CutCharacters(text, 79), text);
}

TEST(EightBitText, ControlCharactersBecomeEscapesForATerminal) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text, = and \\ stay", "plain text, = and \\ stay"},
        {"a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"\x1b[31mred\x1b]0;title\x07", "\\x1b[31mred\\x1b]0;title\\x07"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7f"},
        {"csi\xC2\x9B"
         "2J, nel\xC2\x85",
         "csi\\u009b2J, nel\\u0085"},                                      // C1 as UTF-8
        {"\xC2\xA0\xC3\xA4\xE2\x82\xAC", "\xC2\xA0\xC3\xA4\xE2\x82\xAC"},  // no-break space, ä, €
        {"cut\xC2", "cut\xC2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControlCharacters(c.text), c.shown) << c.shown;
    }
}

TEST(LanInterfaces, OnlyUpRunningBroadcastInterfacesWithAddressResolutionCount) {
    const auto make = [](const char* name, bool up, bool running, bool broadcast, bool loopback,
                         bool noArp) {
        HostInterface host;
        host.name = name;
        host.up = up;
        host.running = running;
        host.broadcast = broadcast;
        host.loopback = loopback;
        host.noArp = noArp;
        return host;
    };
    const std::vector<HostInterface> all = {
        make("lo", true, true, false, true, false),
        make("eth0", true, true, true, false, false),
        make("eth1-unplugged", true, false, true, false, false),
        make("tun0", true, true, false, false, true),
        make("wg0", true, true, false, false, true),
        make("dummy0", true, true, true, false, true),
        make("docker0-empty", true, false, true, false, false),
        make("eth2-down", false, false, true, false, false),
        make("wlan0", true, true, true, false, false),
    };
    std::vector<std::string> names;
    for (const HostInterface& host : LanInterfaces(all)) {
        names.push_back(host.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"eth0", "wlan0"}));
    // The reason the diagnosis gives for each one left out.
    std::vector<std::string> reasons;
    for (const HostInterface& host : all) {
        reasons.push_back(SkipReason(host));
    }
    EXPECT_EQ(reasons,
              (std::vector<std::string>{
                  "loopback", "", "no carrier", "not broadcast-capable", "not broadcast-capable",
                  "no address resolution (a dummy or tunnel)", "no carrier", "down", ""}));
}

}  // namespace
}  // namespace lanscope
