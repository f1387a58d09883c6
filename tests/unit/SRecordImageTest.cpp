#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/CygwinPath.h"
#include "support/CaseNames.h"
#include "support/RecordingPrompt.h"
#include "update/ImageFile.h"
#include "update/SRecordImage.h"
#include "update/SRecordLoader.h"

namespace lanscope {
namespace {

// One record, count and checksum computed here: type, address of `width`
// bytes, data.
std::string Record(int type, std::uint32_t address, int width,
                   const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes;
    for (int i = width - 1; i >= 0; --i) {
        bytes.push_back(static_cast<std::uint8_t>(i >= 4 ? 0 : address >> (8 * i)));
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    const auto count = static_cast<unsigned>(bytes.size() + 1);
    unsigned sum = count;
    std::string text = "S" + std::to_string(type);
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", count);
    text += pair;
    for (std::uint8_t b : bytes) {
        sum += b;
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    std::snprintf(pair, sizeof pair, "%02X", ~sum & 0xFFu);
    text += pair;
    return text + "\r\n";
}

std::string S1(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    return Record(1, address, 2, data);
}

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 1) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return bytes;
}

Result<UpdateImage, LoadFailure> Decode(const std::string& text) {
    ByteBuffer block(text.size() + 1);
    std::memcpy(block.data(), text.data(), text.size());
    block.back() = 0;
    return DecodeSRecordImage(std::move(block));
}

UpdateImage Image(const std::string& text) {
    auto result = Decode(text);
    if (!result) {
        ADD_FAILURE() << "load failed: " << result.error().messages.at(0);
        return {};
    }
    return std::move(result).value();
}

std::vector<std::string> Messages(const std::string& text) {
    auto result = Decode(text);
    return result ? std::vector<std::string>{} : result.error().messages;
}

std::vector<std::uint8_t> Content(const UpdateImage& image) {
    return {image.block.begin(), image.block.begin() + image.length};
}

TEST(SRecordImage, ContiguousRecordsMakeOneImage) {
    const auto image = Image(S1(0x1000, Bytes(16)) + S1(0x1010, Bytes(16, 17)));
    EXPECT_EQ(image.base, 0x1000u);
    EXPECT_EQ(image.length, 32u);
    EXPECT_EQ(Content(image), Bytes(32));
    EXPECT_EQ(image.block.at(32), 0);
}

TEST(SRecordImage, EndIsAlignedToFourWithZerosThatCountInTheChecksum) {
    const auto image = Image(S1(0x2000, {1, 2, 3, 4, 5}));
    EXPECT_EQ(image.length, 8u);
    EXPECT_EQ(Content(image), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(image.checksum, 0x01020304u + 0x05000000u);
}

TEST(SRecordImage, UnalignedBaseKeepsAnUnalignedLength) {
    const auto image = Image(S1(0x2001, {0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(image.base, 0x2001u);
    EXPECT_EQ(image.length, 3u);
    EXPECT_EQ(image.checksum, 0xAABBCC00u);
    // Two bytes short of a word: the missing bytes count as zero.
    EXPECT_EQ(Image(S1(0x2002, {0xAA, 0xBB})).checksum, 0xAABB0000u);
}

TEST(SRecordImage, LowerCaseDigitsLoadLikeUpperCase) {
    std::string text = S1(0x1000, {0xAB, 0xCD, 0xEF, 0xFA});
    std::string lower = text;
    for (std::size_t i = 1; i < lower.size(); ++i) {
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
    }
    EXPECT_EQ(Content(Image(lower)), Content(Image(text)));
}

TEST(SRecordImage, AllDataTypesAndTheirAddressWidths) {
    EXPECT_EQ(Image(Record(2, 0x123456, 3, {1, 2, 3, 4})).base, 0x123456u);
    EXPECT_EQ(Image(Record(3, 0x12345678, 4, {1, 2, 3, 4})).base, 0x12345678u);
    // Five address bytes: only the low 32 bits count.
    const auto s4 = Image(Record(4, 0x89ABCDEF, 5, {9, 8, 7, 6}));
    EXPECT_EQ(s4.base, 0x89ABCDEFu);
    EXPECT_EQ(Content(s4), (std::vector<std::uint8_t>{9, 8, 7, 6, 0}));  // end aligned
}

TEST(SRecordImage, TerminationAndCountRecordsDoNotEndTheScan) {
    const std::string text = S1(0x1000, Bytes(4)) + Record(5, 1, 2, {}) + Record(9, 0x1000, 2, {}) +
                             S1(0x1004, Bytes(4, 5)) + Record(7, 0, 4, {}) + Record(8, 0, 3, {});
    const auto image = Image(text);
    EXPECT_EQ(Content(image), Bytes(8));
    EXPECT_EQ(image.recordCounts[1], 2u);
    EXPECT_EQ(image.recordCounts[5], 1u);
    EXPECT_EQ(image.recordCounts[9], 1u);
}

TEST(SRecordImage, SmallGapIsZeroFilled) {
    const auto image = Image(S1(0x1000, Bytes(16)) + S1(0x1014, {0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(image.length, 24u);
    std::vector<std::uint8_t> expected = Bytes(16);
    expected.insert(expected.end(), {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE});
    EXPECT_EQ(Content(image), expected);
}

TEST(SRecordImage, HeaderLineSetsThePlatformTextAsItStands) {
    EXPECT_EQ(Image("S00600004844521B\n" + S1(0, Bytes(4))).platform, "0600004844521B");
    EXPECT_EQ(Image("S0" + std::string(100, 'A') + "\r" + S1(0, Bytes(4))).platform,
              std::string(79, 'A'));
    // No line end: no platform, nothing read, so no image either.
    EXPECT_EQ(Messages("S00600004844521B"),
              std::vector<std::string>{"The file holds no data record (S1, S2, S3 or S4)."});
    // An S0 that is not at the start is not a header.
    EXPECT_EQ(Image(S1(0, Bytes(4)) + "S00600004844521B\n").platform, "");
}

struct FailureCase {
    const char* name;
    std::string text;
    std::vector<std::string> messages;
};

class SRecordFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(SRecordFailures, AreRefusedWithTheirMessagesInOrder) {
    EXPECT_EQ(Messages(GetParam().text), GetParam().messages) << GetParam().name;
}

// S107100001020304DE with its checksum changed to D0: the bytes sum to 0xF1.
const std::string kChangedChecksumDigit = "S107100001020304D0\n";

INSTANTIATE_TEST_SUITE_P(
    Damage, SRecordFailures,
    testing::Values(
        FailureCase{"checksum",
                    kChangedChecksumDigit,
                    {"Checksum Error f1\n", "S record checksum error \n"}},
        FailureCase{"backwards",
                    S1(0x1000, Bytes(4)) + S1(0x0FF0, Bytes(4)),
                    {"Srecords must be in asending order \n"}},
        FailureCase{"overlap",
                    S1(0x1000, Bytes(16)) + S1(0x100F, Bytes(4)),
                    {"Srecords must be in asending order \n"}},
        FailureCase{"gap beyond the text read",
                    S1(0x1000, Bytes(4)) + S1(0x2000, Bytes(4)),
                    {"Conversion Error \n"}},
        FailureCase{"truncated record",
                    S1(0x1000, Bytes(4)) + "S1071000010203",
                    {"S record on line 2 is cut short: its count needs more digits than the "
                     "line has."}},
        FailureCase{"truncated count",
                    "S1",
                    {"S record on line 1 is cut short: its count needs "
                     "more digits than the line has."}},
        FailureCase{"non-hex digit",
                    "S1071000010G0304E1\n",
                    {"S record on line 1 holds a character that is not a hexadecimal digit."}},
        FailureCase{"count below address width",
                    "S10210ED\n",
                    {"S record on line 1 is too short for its address: count 2."}},
        FailureCase{"no data record",
                    Record(5, 0, 2, {}) + Record(9, 0, 2, {}),
                    {"The file holds no data record (S1, S2, S3 or S4)."}},
        FailureCase{"end beyond 32 bits",
                    Record(3, 0xFFFFFFFE, 4, {1}),
                    {"The image ends at address 0x100000000 or beyond, past the 32-bit "
                     "addresses a LAN card can take."}},
        FailureCase{"empty", "", {"The file holds no data record (S1, S2, S3 or S4)."}},
        // Records with an address and no byte: a run would send empty data.
        FailureCase{"data records without bytes",
                    Record(1, 0x1001, 2, {}) + Record(3, 0x1004, 4, {}),
                    {"The file's data records hold no data byte."}}),
    test::CaseName());

TEST(SRecordImage, GapUpToTheReadPositionIsAllowed) {
    // The second record's first data character sits at offset 20 + 8 = 28 of
    // the text; a gap that places its data at image offset 28 still fits.
    const std::string first = S1(0x1000, Bytes(4));  // 20 characters with CR LF
    ASSERT_EQ(first.size(), 20u);
    EXPECT_EQ(Image(first + S1(0x1000 + 28, {7})).length, 32u);
    EXPECT_EQ(Messages(first + S1(0x1000 + 29, {7})),
              std::vector<std::string>{"Conversion Error \n"});
}

// The finish request names the end in 32 bits: the last image that fits ends
// one word below the top (one that ends at the top is refused, see above).
TEST(SRecordImage, ImageAtTheTopOfTheAddressSpace) {
    const auto image = Image(Record(3, 0xFFFFFFECu, 4, Bytes(16)));
    EXPECT_EQ(image.length, 16u);
    EXPECT_EQ(image.end(), 0xFFFFFFFCull);
}

TEST(SRecordImage, RecordEndingTheFileRightAfterAGapStaysInsideItsBlock) {
    // No line end after the last record: the aligned end reaches past the text.
    std::string text = S1(0x1000, Bytes(4)) + S1(0x1000 + 28, {7});
    text.resize(text.size() - 2);
    const auto image = Image(text);
    EXPECT_EQ(image.length, 32u);
    EXPECT_GE(image.block.size(), 33u);
    EXPECT_EQ(image.block[32], 0);
}

// Large enough for the decoding to be split between two threads: S3 records
// of 32 bytes, 80 characters each, record i on line i + 1; the split falls
// at the start of record kSplitRecord.
constexpr std::size_t kLargeRecords = 65536;
constexpr std::size_t kSplitRecord = kLargeRecords / 2 + 1;

// The records from `gapAt` on lie 4 bytes further up. Written here rather
// than with Record(): a few million formatted digits would slow every run.
std::string LargeText(std::size_t gapAt = kLargeRecords) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(kLargeRecords * 80);
    const auto put = [&](unsigned byte, unsigned& sum) {
        sum += byte;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0Fu];
    };
    for (std::size_t i = 0; i < kLargeRecords; ++i) {
        const auto address = static_cast<std::uint32_t>(i * 32 + (i >= gapAt ? 4 : 0));
        unsigned sum = 0;
        text += "S3";
        put(37, sum);
        for (int shift = 24; shift >= 0; shift -= 8) {
            put((address >> shift) & 0xFFu, sum);
        }
        for (unsigned k = 0; k < 32; ++k) {
            put((i + k) & 0xFFu, sum);
        }
        unsigned ignored = 0;
        put(~sum & 0xFFu, ignored);
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> NotHexOnLine(std::size_t line) {
    return {"S record on line " + std::to_string(line) +
            " holds a character that is not a hexadecimal digit."};
}

TEST(SRecordImage, LargeFileIsOneImageWithOrWithoutAGapInItsSecondHalf) {
    for (const std::size_t gapAt : {kLargeRecords, kSplitRecord, kLargeRecords * 3 / 4}) {
        std::vector<std::uint8_t> expected;
        for (std::size_t i = 0; i < kLargeRecords; ++i) {
            if (i == gapAt) {
                expected.insert(expected.end(), 4, 0);
            }
            const auto bytes = Bytes(32, static_cast<std::uint8_t>(i));
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        const auto image = Image(LargeText(gapAt));
        EXPECT_EQ(Content(image), expected) << gapAt;
        EXPECT_EQ(image.recordCounts[3], kLargeRecords) << gapAt;
        EXPECT_EQ(image.checksum, ImageChecksum(image.bytes())) << gapAt;
    }
}

TEST(SRecordImage, LargeFileTellsTheFirstDamageInFileOrder) {
    const auto withBadDigit = [](std::string text, std::size_t record) {
        text[record * 80 + 12] = 'G';
        return text;
    };
    const std::string text = LargeText();
    for (const std::size_t second : {kSplitRecord, kLargeRecords * 3 / 4}) {
        EXPECT_EQ(Messages(withBadDigit(text, second)), NotHexOnLine(second + 1));
        EXPECT_EQ(Messages(withBadDigit(withBadDigit(text, kLargeRecords / 4), second)),
                  NotHexOnLine(kLargeRecords / 4 + 1));
    }
    // The record before the split with a count that runs over its line end
    // and across the split.
    std::string across = text;
    across.replace((kSplitRecord - 1) * 80 + 2, 2, "45");
    EXPECT_EQ(Messages(across), NotHexOnLine(kSplitRecord));
}

TEST(TranslateCygwinPath, FollowsTheCygwinRules) {
    const auto mounts = [](const std::string& point) -> std::optional<std::string> {
        if (point == "/ferrox") {
            return "d:/tools/ferrox";
        }
        return std::nullopt;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"/cygdrive/c/work/a_APP.s19", "c:\\work\\a_APP.s19"},
        {"//c/work/a_APP.s19", "c:\\work\\a_APP.s19"},
        {"/cygdrive/d/img/x_APP.s19", "d:\\img\\x_APP.s19"},
        {"c:\\work\\a_APP.s19", "c:\\work\\a_APP.s19"},
        {"/ferrox/images/a.s19", "d:\\tools\\ferrox\\images\\a.s19"},
        {"/home/tech/a.s19", "/home/tech/a.s19"},
        {"/cygdrive/", "/cygdrive/"},
        {"//c", "//c"},
        {"/cygdrive/e/" + std::string(400, 'x'), "e:\\" + std::string(400, 'x')},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(TranslateCygwinPath(path, mounts), expected) << path;
    }
    // Without a mount entry the later rules apply to /ferrox paths.
    EXPECT_EQ(TranslateCygwinPath("/ferrox/a.s19", {}), "/ferrox/a.s19");
}

struct HeaderCase {
    std::string description;
    std::string code;
    std::string version;
};

class ImageFileHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(ImageFileHeader, HasTheLayoutOfTheSaveFile) {
    UpdateImage image;
    image.base = 0x08001000;
    image.length = 0x00020000;
    image.checksum = 0xA1B2C3D4;
    const auto header = BuildImageFileHeader(image, GetParam().description);
    std::array<std::uint8_t, 100> expected{};
    const std::uint8_t numbers[16] = {1,    0,    0,    0,    0x00, 0x10, 0x00, 0x08,
                                      0x00, 0x00, 0x02, 0x00, 0xD4, 0xC3, 0xB2, 0xA1};
    std::copy(std::begin(numbers), std::end(numbers), expected.begin());
    std::copy(GetParam().code.begin(), GetParam().code.end(), expected.begin() + 16);
    std::copy(GetParam().version.begin(), GetParam().version.end(), expected.begin() + 36);
    EXPECT_EQ(header, expected) << GetParam().description;
    EXPECT_EQ(header[46], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, ImageFileHeader,
    testing::Values(HeaderCase{"Pump (PC42) 1.05", "PC42", " 1.05"},
                    HeaderCase{"X (A) 12345", "A", " 12345"},
                    HeaderCase{"Boiler (CODE) version 2.0.17 build", "CODE", " version 2"},
                    HeaderCase{"no parentheses", "", "no parenth"},
                    HeaderCase{"(" + std::string(30, 'c') + ")v", std::string(19, 'c'), "v"},
                    HeaderCase{"open ( only", "", "open ( onl"},
                    HeaderCase{"before) after", "before", " after"}, HeaderCase{"", "", ""}));

TEST(SaveImageFile, WritesHeaderAndImageAndNeverAPartialFile) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("lanscope-save-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    UpdateImage image = Image(S1(0x1000, Bytes(8)));
    const auto path = (dir / "out.bin").string();
    ASSERT_TRUE(SaveImageFile(path, image, "M (C) 1").ok());
    std::vector<char> written;
    {
        std::ifstream file(path, std::ios::binary);
        written.assign(std::istreambuf_iterator<char>(file), {});
    }
    ASSERT_EQ(written.size(), 108u);
    const auto header = BuildImageFileHeader(image, "M (C) 1");
    EXPECT_TRUE(
        std::equal(header.begin(), header.end(), written.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    EXPECT_EQ(static_cast<std::uint8_t>(written[100]), 1);

    const auto blocked = (dir / "missing-folder" / "out.bin").string();
    const auto saved = SaveImageFile(blocked, image, "");
    ASSERT_FALSE(saved.ok());
    EXPECT_NE(saved.error().text.find("Cannot write the image file"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(blocked));
    std::filesystem::remove_all(dir);
}

TEST(SaveImageFile, ReplacesAFileKeepingItsPermissionsAndWritesThroughALink) {
    namespace fs = std::filesystem;
    const auto dir =
        fs::temp_directory_path() /
        ("lanscope-replace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    const UpdateImage image = Image(S1(0x1000, Bytes(8)));
    const auto target = dir / "pump.bin";
    std::ofstream(target) << "old";
    ASSERT_TRUE(SaveImageFile(target.string(), image, "").ok());
    EXPECT_EQ(fs::file_size(target), 108u);
#ifndef _WIN32
    // Windows keeps no such permissions, and links need rights a user lacks.
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, dir / "link.bin");
    std::ofstream(target) << "old";
    ASSERT_TRUE(SaveImageFile((dir / "link.bin").string(), image, "").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(fs::file_size(target), 108u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
#endif
    fs::remove_all(dir);
}

TEST(LoadSRecordImage, ShowsEachMessageAndCarriesThePlatform) {
    test::RecordingPrompt prompt;
    const auto missing = LoadSRecordImage("/nonexistent/file_APP.s19");
    ASSERT_FALSE(missing);
    ShowLoadFailure(missing.error(), prompt, "lanscope");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Failed to open file");
    EXPECT_EQ(prompt.shown[0].caption, "lanscope");

    const auto path = std::filesystem::temp_directory_path() / "lanscope-load-test_APP.s19";
    {
        std::ofstream file(path, std::ios::binary);
        file << "S0030000FC\n" << kChangedChecksumDigit;
    }
    prompt.shown.clear();
    const auto damaged = LoadSRecordImage(path.string());
    ASSERT_FALSE(damaged);
    ShowLoadFailure(damaged.error(), prompt, "lanscope");
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, "S record checksum error \n");

    {
        std::ofstream file(path, std::ios::binary);
        file << "S0030000FC\n" << S1(0x40, Bytes(4));
    }
    const auto image = LoadSRecordImage(path.string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->platform, "030000FC");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace lanscope
