// The loader against the tools firmware engineers use: files made by srec_cat
// from known binaries, images compared byte for byte with what objcopy makes
// of the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "update/SRecordImage.h"
#include "update/SRecordLoader.h"

namespace lanscope {
namespace {

namespace fs = std::filesystem;

class SRecordTools : public testing::Test {
  protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() / ("lanscope-srec-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // A binary of pseudo-random bytes, the same for every run.
    std::string binary(const std::string& name, std::size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::ofstream file(path(name), std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            file.put(static_cast<char>(random() & 0xFF));
        }
        return path(name);
    }

    static void Run(const std::string& command) {
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    static std::vector<std::uint8_t> Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Loads `srec` and checks it against objcopy: same bytes from the base,
    // then zeros to the aligned end; the checksum computed independently.
    void ExpectSameAsObjcopy(const std::string& srec, std::uint32_t base) {
        const std::string bin = srec + ".objcopy.bin";
        Run("objcopy -I srec -O binary '" + srec + "' '" + bin + "'");
        std::vector<std::uint8_t> expected = Read(bin);
        ASSERT_FALSE(expected.empty());
        while ((base + expected.size()) % 4 != 0) {
            expected.push_back(0);
        }

        const auto image = LoadSRecordImage(srec);
        ASSERT_TRUE(image) << (image ? "" : image.error().messages.at(0));
        EXPECT_EQ(image->base, base);
        ASSERT_EQ(image->length, expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image->block.begin()))
            << "image differs from objcopy's";
        EXPECT_EQ(image->block[image->length], 0);

        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < expected.size(); i += 4) {
            std::uint8_t word[4] = {};
            for (std::size_t j = 0; j < 4 && i + j < expected.size(); ++j) {
                word[j] = expected[i + j];
            }
            sum += (std::uint32_t(word[0]) << 24) + (std::uint32_t(word[1]) << 16) +
                   (std::uint32_t(word[2]) << 8) + word[3];
        }
        EXPECT_EQ(image->checksum, sum);
    }

    fs::path m_dir;
};

struct Layout {
    int addressLength;  // 2: S1, 3: S2, 4: S3
    int bytesPerRecord;
    std::uint32_t base;
    std::size_t size;
};

class SRecordLayouts : public SRecordTools, public testing::WithParamInterface<Layout> {};

TEST_P(SRecordLayouts, LoadLikeObjcopy) {
    const Layout& layout = GetParam();
    const std::string in = binary("in.bin", layout.size, layout.base ^ layout.size);
    const std::string srec = path("image_APP.s19");
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%X", layout.base);
    Run("srec_cat '" + in + "' -binary -offset " + offset + " -o '" + srec +
        "' -motorola -address-length=" + std::to_string(layout.addressLength) +
        " -obs=" + std::to_string(layout.bytesPerRecord) + " -header 'LM42 platform'");
    ExpectSameAsObjcopy(srec, layout.base);
}

INSTANTIATE_TEST_SUITE_P(Files, SRecordLayouts,
                         testing::Values(Layout{2, 16, 0x1000, 4000}, Layout{2, 32, 0x0003, 777},
                                         Layout{3, 20, 0x012345, 10000},
                                         Layout{3, 64, 0x010001, 4097},
                                         Layout{4, 32, 0x08000000, 65536},
                                         Layout{4, 250, 0x20000002, 30001},
                                         Layout{4, 1, 0x400, 300}));

TEST_F(SRecordTools, LowerCaseDigitsAndHeaderPlatform) {
    const std::string in = binary("in.bin", 5000, 7);
    const std::string upper = path("upper.s19");
    const std::string lower = path("lower_APP.s19");
    Run("srec_cat '" + in + "' -binary -offset 0x4000 -o '" + upper +
        "' -motorola -address-length=3 -header 'PLATFORM-X'");
    Run("tr 'ABCDEF' 'abcdef' < '" + upper + "' > '" + lower + "'");
    ExpectSameAsObjcopy(lower, 0x4000);
    // The header line's hexadecimal text, exactly as it stands.
    std::ifstream file(upper);
    std::string firstLine;
    std::getline(file, firstLine);
    const auto image = LoadSRecordImage(upper);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->platform, firstLine.substr(2, firstLine.find_first_of("\r\n") - 2));
}

TEST_F(SRecordTools, CountRecordsAndDataAfterTheTerminationRecord) {
    const std::string a = binary("a.bin", 3000, 1);
    const std::string b = binary("b.bin", 2000, 2);
    const std::string first = path("first.s19");
    const std::string second = path("second.s19");
    // The first part ends with S5 and S9; the second follows it, without header.
    Run("srec_cat '" + a + "' -binary -offset 0x1000 -o '" + first +
        "' -motorola -address-length=2 -execution-start-address=0x1000");
    Run("srec_cat '" + b +
        "' -binary -offset 0x1BB8 -o - -motorola -address-length=2 | grep -v "
        "'^S0' > '" +
        second + "'");
    const std::string both = path("both_APP.s19");
    Run("cat '" + first + "' '" + second + "' > '" + both + "'");
    Run("grep -q '^S9' '" + first + "' && grep -q '^S5' '" + first + "'");

    const auto image = LoadSRecordImage(both);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->length, 5000u);
    EXPECT_EQ(std::vector<std::uint8_t>(image->block.begin(), image->block.begin() + 3000),
              Read(a));
    EXPECT_EQ(std::vector<std::uint8_t>(image->block.begin() + 3000, image->block.begin() + 5000),
              Read(b));
    EXPECT_GE(image->recordCounts[5], 1u);
    EXPECT_GE(image->recordCounts[9], 1u);
}

TEST_F(SRecordTools, SmallGapsAreZeroFilledLikeObjcopy) {
    const std::string a = binary("a.bin", 1000, 3);
    const std::string b = binary("b.bin", 1000, 4);
    const std::string c = binary("c.bin", 999, 5);
    const std::string srec = path("gaps_APP.s19");
    // Gaps of 5 and 1 bytes; the image ends unaligned before padding.
    Run("srec_cat '" + a + "' -binary -offset 0x2000 '" + b + "' -binary -offset 0x23ED '" + c +
        "' -binary -offset 0x27D6 -o '" + srec + "' -motorola -address-length=2");
    ExpectSameAsObjcopy(srec, 0x2000);
}

}  // namespace
}  // namespace lanscope
