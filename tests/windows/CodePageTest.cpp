// 8-bit texts on Windows are in the active code page, whatever it is.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "common/Text.h"
#include "platform/Console.h"
#include "update/ImageFile.h"

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

TEST(CodePage, AnImageFileIsSavedUnderItsNameInTheActiveCodePage) {
    UseSystemCodePage();
    // "\xE4\xE0\x80": "äà€" in Western Europe, "даЂ" in Cyrillic.
    std::wstring expected;
    switch (GetACP()) {
        case 1252:
            expected = L"\u00E4\u00E0\u20AC.bin";
            break;
        case 1251:
            expected = L"\u0434\u0430\u0402.bin";
            break;
        default:
            GTEST_SKIP() << "no expectation for code page " << GetACP();
    }
    const auto dir = std::filesystem::temp_directory_path() / "lanscope-code-page";
    std::filesystem::create_directories(dir);
    char folder[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, dir.c_str(), -1, folder, MAX_PATH, nullptr, nullptr);
    UpdateImage image;
    image.block.assign(9, 7);
    image.length = 8;
    const std::string name = std::string(folder) + "\\\xE4\xE0\x80.bin";
    const auto first = SaveImageFile(name, image, "M (C) 1");
    ASSERT_TRUE(first.ok()) << first.error().text;
    ASSERT_TRUE(SaveImageFile(name, image, "M (C) 2").ok());  // over the first
    EXPECT_EQ(std::filesystem::file_size(dir / expected), 108u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    std::filesystem::remove_all(dir);
    SetEightBitDecoder(nullptr);
    SetPathDecoder(nullptr);
}

}  // namespace
}  // namespace lanscope
