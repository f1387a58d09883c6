#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "presets/PresetFile.h"
#include "support/CaseNames.h"
#include "support/RecordingPrompt.h"

namespace lanscope {
namespace {

struct PresetCase {
    const char* name;
    std::string text;
    std::vector<tagField> fields;
    std::vector<std::size_t> asked;  // lines the format question is asked for
    std::vector<bool> answers = {};  // true: Yes (default when they run out)
};

class PresetFiles : public testing::TestWithParam<PresetCase> {};

TEST_P(PresetFiles, ReadAsTheFormFillerTakesThem) {
    const PresetCase& c = GetParam();
    std::vector<std::size_t> asked;
    const auto fields = ReadPresets(c.text, [&](std::size_t line, std::string_view) {
        const bool answer = asked.size() < c.answers.size() ? c.answers[asked.size()] : true;
        asked.push_back(line);
        return answer;
    });
    EXPECT_EQ(fields, c.fields);
    EXPECT_EQ(asked, c.asked);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PresetFiles,
    testing::Values(
        PresetCase{"empty", "", {}, {}},
        PresetCase{"assignments, CRLF, no last line end",
                   "ip = 10.0.0.1\r\nname=Pump 2",
                   {{"ip", "10.0.0.1"}, {"name", "Pump 2"}},
                   {}},
        PresetCase{"empty lines ask, also the one two final line feeds make",
                   "a=1\n\nb=2\n\n",
                   {{"a", "1"}, {"b", "2"}},
                   {2, 4}},
        PresetCase{"spaces ask, spaces before a comment do not",
                   "   \n   // note\n// whole line\na=1",
                   {{"a", "1"}},
                   {1}},
        PresetCase{"a value is cut at //", "url=http://x\n", {{"url", "http:"}}, {}},
        PresetCase{"empty name or value skipped silently", "a=\n= 5\n =  \n", {}, {}},
        PresetCase{"tabs are kept, only spaces trimmed", "\ta = b\t\n", {{"\ta", "b\t"}}, {}},
        PresetCase{"the second = belongs to the value", "a=b=c\n", {{"a", "b=c"}}, {}},
        PresetCase{"duplicates stay in order", "a=1\na=2\n", {{"a", "1"}, {"a", "2"}}, {}},
        PresetCase{"references to earlier names, case-sensitive",
                   "A=5\nb=A\nc=a\n",
                   {{"A", "5"}, {"b", "5"}, {"c", "a"}},
                   {}},
        PresetCase{"the first of two equal names wins",
                   "A=1\nA=2\nx=A\n",
                   {{"A", "1"}, {"A", "2"}, {"x", "1"}},
                   {}},
        PresetCase{"references are followed in list order",
                   "P=Q\nQ=5\nx=P\n",
                   {{"P", "Q"}, {"Q", "5"}, {"x", "5"}},
                   {}},
        PresetCase{"No keeps what was read and reads nothing more",
                   "a=1\nbad\nb=2\n",
                   {{"a", "1"}},
                   {2},
                   {false}},
        PresetCase{"a byte-order mark is passed over",
                   "\xEF\xBB\xBF"
                   "a=1\n",
                   {{"a", "1"}},
                   {}}),
    test::CaseName());

TEST(PresetFile, AFileThatCannotBeReadIsAnAccessErrorAndAFolderIsNoPreset) {
    test::RecordingPrompt prompt;
    for (const std::string& unreadable :
         {std::string("/nonexistent/x.prs"), std::filesystem::temp_directory_path().string()}) {
        SCOPED_TRACE(unreadable);
        const auto loaded = LoadPresetFile(unreadable, prompt, "lanscope");
        ASSERT_FALSE(loaded);
        EXPECT_EQ(loaded.error().text, "Unable to read data - file access error.");
    }
    // The failure is the caller's to show.
    EXPECT_TRUE(prompt.shown.empty());

    const auto path = std::filesystem::temp_directory_path() / "lanscope-preset-test.prs";
    std::ofstream(path) << "a=1\nbad\nb=2\n";
    prompt.answers = {true};
    const auto fields = LoadPresetFile(path.string(), prompt, "lanscope");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->size(), 2u);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Unable to read data - error in format. Continue?");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace lanscope
