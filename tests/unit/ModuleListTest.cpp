#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "discovery/ModuleList.h"
#include "support/CaseNames.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

using test::kMacA;
using test::kMacB;
using test::kMacC;
using test::MakeReply;

std::unique_ptr<ModuleRecord> Record(std::uint32_t repeats = 0) {
    auto record = std::make_unique<ModuleRecord>();
    record->setRepeatCount(repeats);
    return record;
}

std::vector<std::string> Texts(const ModuleList& list) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < list.size(); ++i) {
        texts.push_back(list.text(i));
    }
    return texts;
}

TEST(ModuleList, KeepsLinesSortedIgnoringLetterCase) {
    ModuleList list;
    for (const char* text : {"[0c]", "[0A]", "[0b]", "[0a]", "[00]"}) {
        list.insert(text, Record());
    }
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"[00]", "[0A]", "[0a]", "[0b]", "[0c]"}));
}

TEST(ModuleList, SelectionStaysOnItsLineWhenOthersComeAndGo) {
    ModuleList list;
    list.insert("b", Record());
    list.setSelection(0);
    list.insert("a", Record());
    EXPECT_EQ(list.selection(), 1u);
    EXPECT_EQ(list.selectedText(), "b");
    list.insert("c", Record());
    EXPECT_EQ(list.selectedText(), "b");
    list.remove(0);
    EXPECT_EQ(list.selectedText(), "b");
    list.remove(0);
    EXPECT_FALSE(list.selection());
    EXPECT_EQ(list.selectedRecord(), nullptr);
    EXPECT_EQ(list.selectedText(), "");
}

TEST(ModuleList, PrefixSearchIgnoresCaseAndFindsTheFirstMatch) {
    ModuleList list;
    for (const char* text : {"[AA]\tx", "[ab]\t1", "[AB]\t2", "[ac]"}) {
        list.insert(text, Record());
    }
    EXPECT_EQ(list.findPrefix("[ab]"), 1u);
    EXPECT_EQ(list.findPrefix("[AB]\t2"), 2u);
    EXPECT_EQ(list.findPrefix("[ab]\t2"), 2u);
    EXPECT_EQ(list.findPrefix("[a"), 0u);
    EXPECT_FALSE(list.findPrefix("[ab]\t3"));
    EXPECT_FALSE(list.findPrefix("[ad]"));
    EXPECT_EQ(list.findPrefix(""), 0u);
}

TEST(ModuleList, SweepKeepsRepeatedLinesWithCountResetAndRemovesTheRest) {
    ModuleList list;
    list.insert("1", Record(0));
    list.insert("2", Record(3));
    list.insert("3", Record(0));
    list.setSelection(2);
    EXPECT_EQ(list.sweep(), 2u);
    EXPECT_EQ(Texts(list), std::vector<std::string>{"2"});
    EXPECT_EQ(list.record(0).repeatCount(), 0u);
    EXPECT_FALSE(list.selection());
    EXPECT_EQ(list.sweep(), 1u);  // not repeated since the last sweep
    EXPECT_TRUE(list.empty());
}

TEST(AddReply, NewLineOwnsARecordAndTheFirstLineGetsSelected) {
    ModuleList list;
    EXPECT_EQ(AddReply(list, MakeReply(kMacB, 5, "B", "b"), 5), AddReplyOutcome::Added);
    EXPECT_EQ(list.selection(), 0u);
    EXPECT_EQ(list.record(0).mac(), kMacB);
    EXPECT_EQ(list.record(0).repeatCount(), 0u);

    // A line sorting before the selected one: the selection stays on its line.
    EXPECT_EQ(AddReply(list, MakeReply(kMacA, 6, "A", "a"), 6), AddReplyOutcome::Added);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.selectedRecord()->mac(), kMacB);
}

TEST(AddReply, RepeatsCountWithoutChangingLineOrRecord) {
    ModuleList list;
    const auto reply = MakeReply(kMacA, 5, "Name", "Second");
    ASSERT_EQ(AddReply(list, reply, 5), AddReplyOutcome::Added);
    const ModuleRecord before = list.record(0);
    const std::string line = list.text(0);

    auto changed = reply;
    changed[5 + 20] = 0x77;  // an uninterpreted byte differs: same line
    EXPECT_EQ(AddReply(list, changed, 5), AddReplyOutcome::Repeated);
    // The new line is a leading part of the old one, in another case.
    EXPECT_EQ(AddReply(list, MakeReply(kMacA, 5, "NAME", "Sec"), 5), AddReplyOutcome::Repeated);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.text(0), line);
    EXPECT_EQ(list.record(0).repeatCount(), 2u);
    ModuleRecord withoutCount = list.record(0);
    withoutCount.setRepeatCount(0);
    EXPECT_EQ(withoutCount, before);
}

TEST(AddReply, AChangedColumnAddsASecondLine) {
    ModuleList list;
    AddReply(list, MakeReply(kMacA, 5, "Name", "Second"), 5);
    EXPECT_EQ(AddReply(list, MakeReply(kMacA, 5, "Name", "Second longer"), 5),
              AddReplyOutcome::Added);
    EXPECT_EQ(AddReply(list, MakeReply(kMacA, 0, "Name", "Second"), 5), AddReplyOutcome::Added);
    EXPECT_EQ(list.size(), 3u);
}

TEST(AddReply, ATabInTheFirstNameStaysInTheFirstName) {
    ModuleList list;
    AddReply(list, MakeReply(kMacA, 5, "Hall\tEast", "Second"), 5);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.fields(0).name, "Hall\tEast");
    EXPECT_EQ(list.fields(0).name2, "Second");
    EXPECT_EQ(list.fields(0).dhcp, "");
}

TEST(AddReply, IgnoresWhatIsNotAModuleReply) {
    ModuleList list;
    const auto request = BuildDiscoveryRequest();
    EXPECT_EQ(AddReply(list, request, 1), AddReplyOutcome::Ignored);
    EXPECT_TRUE(list.empty());
}

TEST(AddReply, SearchScenarioKeepsOnlyTheRepeatedSecondLine) {
    ModuleList list;
    const auto a = MakeReply(kMacA, 1, "a", "");
    const auto b = MakeReply(kMacB, 2, "b", "");
    const auto c = MakeReply(kMacC, 3, "c", "");
    AddReply(list, a, 1);
    AddReply(list, b, 2);
    AddReply(list, c, 3);
    AddReply(list, b, 2);
    list.sweep();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.record(0).mac(), kMacB);
    EXPECT_EQ(list.record(0).repeatCount(), 0u);
}

// Search sweeps the list and the modules answer again, in any order: the
// selection follows the module the user chose, not a row.
struct SweepCase {
    const char* name;
    // "A", "B", "C": that module answers; "C moved": C answers from another
    // address (a line of its own); "pick X": the user selects X's first line
    // ("pick none": clears the selection);
    // "sweep"; "end": the wait for the selected module is over.
    std::vector<std::string> steps;
    std::optional<MacAddress> selected;  // at the end
};

class SelectionAcrossSweep : public testing::TestWithParam<SweepCase> {};

TEST_P(SelectionAcrossSweep, StaysWithTheChosenModuleWhileItAnswers) {
    const std::map<char, MacAddress> macs{{'A', kMacA}, {'B', kMacB}, {'C', kMacC}};
    ModuleList list;
    for (const std::string& step : GetParam().steps) {
        if (step == "sweep") {
            list.sweep();
        } else if (step == "end") {
            list.endSelectionWait();
        } else if (step == "pick none") {
            list.setSelection(std::nullopt);
        } else if (step.starts_with("pick ")) {
            const MacAddress mac = macs.at(step.back());
            for (std::size_t row = 0; row < list.size(); ++row) {
                if (list.record(row).mac() == mac) {
                    list.setSelection(row);
                    break;
                }
            }
        } else {
            const Ipv4 from = step.ends_with("moved") ? 99 : 1;
            AddReply(list, MakeReply(macs.at(step[0]), from, step.substr(0, 1), ""), from);
        }
    }
    const ModuleRecord* selected = list.selectedRecord();
    EXPECT_EQ(selected ? std::optional<MacAddress>(selected->mac()) : std::nullopt,
              GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(
    Search, SelectionAcrossSweep,
    testing::Values(SweepCase{"selected module answers last",
                              {"A", "B", "C", "pick C", "sweep", "A", "B", "C"},
                              kMacC},
                    SweepCase{"others answer and the module is not back yet",
                              {"A", "B", "C", "pick C", "sweep", "A", "B"},
                              std::nullopt},
                    SweepCase{"module answers from a new address",
                              {"A", "C", "pick C", "sweep", "A", "C moved"},
                              kMacC},
                    SweepCase{"module's other line survived and repeats",
                              {"B", "C", "pick C", "C moved", "C moved", "sweep", "B", "C moved"},
                              kMacC},
                    SweepCase{"module gone: the first line is selected",
                              {"A", "B", "C", "pick C", "sweep", "A", "B", "end"},
                              kMacB},
                    SweepCase{"module back after the wait: the first line stays",
                              {"A", "B", "C", "pick C", "sweep", "A", "B", "end", "C"},
                              kMacB},
                    SweepCase{"the user's pick during the wait stands",
                              {"A", "C", "pick C", "sweep", "A", "pick A", "C"},
                              kMacA},
                    SweepCase{"nothing selected: the first answer is",
                              {"C", "A", "pick none", "sweep", "A", "C"},
                              kMacA},
                    SweepCase{"a repeated selected line keeps its selection",
                              {"A", "C", "pick C", "C", "sweep", "A"},
                              kMacC}),
    test::CaseName());

TEST(SelectedAddressText, AddressOfSelectedLineOrTheNoAddressMark) {
    ModuleList list;
    EXPECT_EQ(SelectedAddressText(list), "0.0.0.1");
    AddReply(list, MakeReply(kMacA, MakeIpv4(10, 1, 2, 3), "n", "m"), MakeIpv4(10, 1, 2, 3));
    EXPECT_EQ(SelectedAddressText(list), "10.1.2.3");
    AddReply(list, MakeReply(kMacB, 0, "n", "m"), MakeIpv4(10, 9, 9, 9));
    list.setSelection(list.findPrefix("[00-00"));
    EXPECT_EQ(SelectedAddressText(list), "10.9.9.9");
    list.setSelection(std::nullopt);
    EXPECT_EQ(SelectedAddressText(list), "0.0.0.1");
}

struct RecordingListener : ModuleListListener {
    std::vector<std::string> events;
    void lineAboutToBeInserted(std::size_t row) override { add("+?", row); }
    void lineInserted(std::size_t row) override { add("+", row); }
    void lineAboutToBeRemoved(std::size_t row) override { add("-?", row); }
    void lineRemoved(std::size_t row) override { add("-", row); }
    void selectionChanged() override { events.push_back("sel"); }
    void add(const char* what, std::size_t row) { events.push_back(what + std::to_string(row)); }
};

TEST(ModuleList, TellsItsListenerEveryRowChangeInOrder) {
    ModuleList list;
    RecordingListener listener;
    list.setListener(&listener);
    list.insert("b", Record());
    list.setSelection(0);
    list.insert("a", Record());
    list.remove(1);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"+?0", "+0", "sel", "+?0", "+0", "sel",
                                                         "-?1", "-1", "sel"}));
}

}  // namespace
}  // namespace lanscope
