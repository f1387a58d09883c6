#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "update/AutoUpdateOptions.h"

namespace lanscope {
namespace {

TEST(AutoUpdateOptions, ReadsEachOptionInAnyOrderAndCase) {
    const struct {
        const char* text;
        bool autoUpdate;
        std::optional<std::string> file;
        std::optional<Ipv4> address;
    } cases[] = {
        {"-F/tmp/a_APP.s19 -I192.0.2.11 -A", true, "/tmp/a_APP.s19", MakeIpv4(192, 0, 2, 11)},
        {"-a -i10.1.2.3 -f/x_APP.s19", true, "/x_APP.s19", MakeIpv4(10, 1, 2, 3)},
        {"-r", false, std::nullopt, std::nullopt},
        // A file name ends only at white space: the -A behind it is part of it.
        {"-F/x_APP.s19-A", false, "/x_APP.s19-A", std::nullopt},
        // A "-" inside a value starts no option.
        {"-F/my-files/-Ax_APP.s19", false, "/my-files/-Ax_APP.s19", std::nullopt},
        {"-F\"/My Files/x_APP.s19\" -A", true, "/My Files/x_APP.s19", std::nullopt},
        {"-F\"/open", false, "/open", std::nullopt},
        {"-I 192.0.2.11 -A", true, std::nullopt, MakeIpv4(192, 0, 2, 11)},
        {"-I192.0.2.300", false, std::nullopt, 0u},  // a part above 255: invalid
        // Fewer than four parts, or an empty one, is a typing error.
        {"-I10.1 -A", true, std::nullopt, 0u},
        {"-I192.0.2 -A", true, std::nullopt, 0u},
        {"-I192.0..11", false, std::nullopt, 0u},
        // The file in an argument of its own.
        {"-F /tmp/a_APP.s19 -A", true, "/tmp/a_APP.s19", std::nullopt},
        {"-F -A", true, "", std::nullopt},
        // Options in quotes as a whole, as Windows users quote arguments.
        {"\"-FC:\\My Files\\x_APP.s19\" -A", true, "C:\\My Files\\x_APP.s19", std::nullopt},
        {"\"-I 192.0.2.11\" \"-F/a b/x -A_APP.s19\"", false, "/a b/x -A_APP.s19",
         MakeIpv4(192, 0, 2, 11)},
        {"-Q -", false, std::nullopt, std::nullopt},
        {"-F", false, "", std::nullopt},
    };
    for (const auto& c : cases) {
        const AutoUpdateOptions options = ReadAutoUpdateOptions(c.text);
        EXPECT_EQ(options.autoUpdate, c.autoUpdate) << c.text;
        EXPECT_EQ(options.imageFile, c.file) << c.text;
        EXPECT_EQ(options.address, c.address) << c.text;
    }
}

TEST(AutoUpdateOptions, DottedQuadsReadLoosely) {
    EXPECT_EQ(ParseDottedQuadLoose("10.1.2.3"), MakeIpv4(10, 1, 2, 3));
    EXPECT_EQ(ParseDottedQuadLoose("10.1.2.3.99"), MakeIpv4(10, 1, 2, 3));  // four dots end it
    EXPECT_EQ(ParseDottedQuadLoose("1x0.1.2.3"), MakeIpv4(10, 1, 2, 3));    // others passed over
    EXPECT_EQ(ParseDottedQuadLoose("10.1.2.3-A"), MakeIpv4(10, 1, 2, 3));
    EXPECT_EQ(ParseDottedQuadLoose("10.1 2.3"), 0u);
    EXPECT_EQ(ParseDottedQuadLoose("192.0.2"), 0u);
    EXPECT_EQ(ParseDottedQuadLoose("192.0.2."), 0u);
    EXPECT_EQ(ParseDottedQuadLoose("10.1.2.2550"), 0u);
    EXPECT_EQ(ParseDottedQuadLoose(""), 0u);
}

TEST(AutoUpdateOptions, UpdateChecksComeInOrder) {
    const auto dir = std::filesystem::temp_directory_path() / "lanscope-check-test";
    std::filesystem::create_directories(dir);
    const std::string upper = (dir / "x_APP.S19").string();
    const std::string text = (dir / "x.txt").string();
    std::ofstream(upper) << "S9030000FC\n";
    std::ofstream(text) << "\n";
    const Ipv4 module = MakeIpv4(192, 0, 2, 11);
    using C = UpdateRequestCheck;
    EXPECT_EQ(CheckUpdateRequest(0, "", true, ""), C::InvalidAddress);
    EXPECT_EQ(CheckUpdateRequest(module, upper, false, ""), C::Ok);
    EXPECT_EQ(CheckUpdateRequest(module, (dir / "missing.s19").string(), false, ""), C::ImageFile);
    EXPECT_EQ(CheckUpdateRequest(module, text, false, ""), C::ImageFile);
    EXPECT_EQ(CheckUpdateRequest(module, "", true, ""), C::ImageFile);
    EXPECT_EQ(CheckUpdateRequest(module, upper, true, ""), C::SaveFile);
    EXPECT_EQ(CheckUpdateRequest(module, upper, true, (dir / "." / "x_APP.S19").string()),
              C::SaveFile);
    EXPECT_EQ(CheckUpdateRequest(module, upper, true, (dir / "out.bin").string()), C::Ok);
    std::filesystem::remove_all(dir);
}

// However the shell split what the user typed, the window reads the options
// that were meant.
TEST(AutoUpdateOptions, ArgumentsJoinToWhatWasTyped) {
    const std::string file = "/tmp/pump_APP.s19";
    const std::string blanks = "/tmp/My Files/pump_APP.s19";
    const std::string dashed = "/tmp/pump -Alpha/x_APP.s19";
    const Ipv4 module = MakeIpv4(192, 0, 2, 11);
    const struct {
        std::vector<std::string> arguments;
        std::optional<std::string> file;
        std::optional<Ipv4> address;
        bool autoUpdate;
    } cases[] = {
        {{"-F" + file, "-I192.0.2.11", "-A"}, file, module, true},
        {{"-I 192.0.2.11", "-F" + file, "-A"}, file, module, true},
        {{"-F" + file + " -A", "-I192.0.2.11"}, file, module, true},
        {{"-F" + file + " -I192.0.2.11 -A"}, file, module, true},
        {{" -f" + file + "  -a "}, file, std::nullopt, true},
        {{"-F" + blanks, "-A"}, blanks, std::nullopt, true},
        {{"-F" + blanks + " -I 192.0.2.11 -A"}, blanks, module, true},
        // A file that exists wins over an option look-alike inside its name.
        {{"-F" + dashed, "-I192.0.2.11"}, dashed, module, false},
        {{"-F" + dashed + " -I192.0.2.11 -A"}, dashed, module, true},
        // Quotes typed for the window itself are left as they are.
        {{"-F\"" + blanks + "\"", "-A"}, blanks, std::nullopt, true},
        {{"-I192.0.2.11"}, std::nullopt, module, false},
        // "-F" and its file as two arguments.
        {{"-F", file, "-A"}, file, std::nullopt, true},
        {{"-f", blanks, "-I", "192.0.2.11"}, blanks, module, false},
    };
    const auto isFile = [&](const std::string& name) { return name == blanks || name == dashed; };
    for (const auto& c : cases) {
        const std::string line = JoinCommandLine(c.arguments, isFile);
        const AutoUpdateOptions options = ReadAutoUpdateOptions(line);
        EXPECT_EQ(options.imageFile, c.file) << line;
        EXPECT_EQ(options.address, c.address) << line;
        EXPECT_EQ(options.autoUpdate, c.autoUpdate) << line;
    }
    EXPECT_EQ(JoinCommandLine({}, isFile), "");
}

TEST(AutoUpdateOptions, RawWindowsLinesLoseOnlyTheProgramName) {
    const struct {
        const char* raw;
        const char* text;
    } cases[] = {
        {"lanscope.exe -A", "-A"},
        {"\"C:\\Program Files\\Lanscope\\lanscope.exe\"  \"-I 192.0.2.11\" -A",
         "\"-I 192.0.2.11\" -A"},
        {"\"C:\\a b\\lanscope.exe\"-A", "-A"},
        {"lanscope.exe", ""},
        {"\"unterminated -A", ""},
        {"", ""},
        // Started by a program that gave the options alone.
        {"-FC:\\x_APP.s19 -A", "-FC:\\x_APP.s19 -A"},
        {" \"-FC:\\My Files\\x_APP.s19\" -A", "\"-FC:\\My Files\\x_APP.s19\" -A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SkipProgramName(c.raw), c.text) << c.raw;
    }
    // A program whose name starts as an option does is still its name.
    EXPECT_EQ(SkipProgramName("-LANSCOPE -A", "C:\\tools\\-lanscope.exe"), "-A");
    EXPECT_EQ(SkipProgramName("-lanscope.exe -A", "C:\\tools\\-Lanscope.EXE"), "-A");
    EXPECT_EQ(SkipProgramName("-lanscope -A", "C:\\tools\\lanscope.exe"), "-lanscope -A");
    // What the window reads from the raw text of a quoted option.
    const AutoUpdateOptions options =
        ReadAutoUpdateOptions(SkipProgramName("lanscope.exe \"-I 192.0.2.11\" -A"));
    EXPECT_EQ(options.address, MakeIpv4(192, 0, 2, 11));
    EXPECT_TRUE(options.autoUpdate);
}

}  // namespace
}  // namespace lanscope
