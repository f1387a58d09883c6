// 8-bit texts on Windows are in the active code page, whatever it is.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/Text.h"
#include "platform/Console.h"

namespace lanscope {
namespace {

TEST(CodePage, TextsThatAreNotUtf8AreReadInTheActiveCodePage) {
    UseSystemCodePage();
    // 0xE4 and 0x80: "ä" and "€" in Western Europe, "д" and "Ђ" in Cyrillic.
    const std::string name = "Pump \xE4\x80";
    switch (GetACP()) {
        case 1252:
            EXPECT_EQ(EightBitToUtf8(name), "Pump \xC3\xA4\xE2\x82\xAC");
            break;
        case 1251:
            EXPECT_EQ(EightBitToUtf8(name), "Pump \xD0\xB4\xD0\x82");
            break;
        default:
            GTEST_SKIP() << "no expectation for code page " << GetACP();
    }
    // UTF-8 stays as it is.
    EXPECT_EQ(EightBitToUtf8("Pump \xC3\xA4"), "Pump \xC3\xA4");
    SetEightBitDecoder(nullptr);
}

}  // namespace
}  // namespace lanscope
