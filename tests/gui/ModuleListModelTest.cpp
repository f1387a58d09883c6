#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <functional>

#include "support/Replies.h"
#include "widgets/ModuleListModel.h"

namespace lanscope {
namespace {

// Collects what the model tester finds, so that a broken rule fails the test
// with the tester's own words instead of ending the program.
class ModelTesterFindings {
  public:
    ModelTesterFindings() : m_previous(qInstallMessageHandler(&collect)) { s_current = this; }
    ~ModelTesterFindings() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    // What was found since the last call.
    std::string take() {
        const std::string found = m_found.join(QLatin1Char('\n')).toStdString();
        m_found.clear();
        return found;
    }

  private:
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (s_current != nullptr && qstrcmp(context.category, "qt.modeltest") == 0) {
            if (type != QtDebugMsg) {
                s_current->m_found << text;
            }
            return;
        }
        if (s_current != nullptr && s_current->m_previous != nullptr) {
            s_current->m_previous(type, context, text);
        }
    }

    // The message handler is a plain function: it finds the collector here.
    inline static ModelTesterFindings* s_current = nullptr;
    QtMessageHandler m_previous;
    QStringList m_found;
};

std::vector<std::uint8_t> ReplyFrom(std::uint8_t last) {
    return test::MakeReply({0, 0, 0, 0, 0, last}, kLoopback, "n", "m");
}

TEST(ModuleListModel, FollowsEveryChangeOfTheListUnderTheModelTester) {
    ModuleList list;
    ModuleListModel model(list);
    ModelTesterFindings findings;
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy selectionChanges(&model, &ModuleListModel::listSelectionChanged);

    const auto add = [&](std::uint8_t last) { AddReply(list, ReplyFrom(last), kLoopback); };
    struct Step {
        const char* what;
        std::function<void()> change;
        QStringList macs;  // the first column, top to bottom
        std::optional<std::size_t> selected;
        bool selectionSignalled;
    };
    const Step steps[] = {
        {"the first reply is selected", [&] { add(0x30); }, {"[00-00-00-00-00-30]"}, 0, true},
        {"a line sorted in before the selection moves it",
         [&] { add(0x10); },
         {"[00-00-00-00-00-10]", "[00-00-00-00-00-30]"},
         1,
         true},
        {"one sorted in between",
         [&] { add(0x20); },
         {"[00-00-00-00-00-10]", "[00-00-00-00-00-20]", "[00-00-00-00-00-30]"},
         2,
         true},
        {"a line after the selection leaves it",
         [&] { add(0x40); },
         {"[00-00-00-00-00-10]", "[00-00-00-00-00-20]", "[00-00-00-00-00-30]",
          "[00-00-00-00-00-40]"},
         2,
         false},
        {"a repeat adds no line",
         [&] { add(0x20); },
         {"[00-00-00-00-00-10]", "[00-00-00-00-00-20]", "[00-00-00-00-00-30]",
          "[00-00-00-00-00-40]"},
         2,
         false},
        {"the user selects another line",
         [&] { list.setSelection(3); },
         {"[00-00-00-00-00-10]", "[00-00-00-00-00-20]", "[00-00-00-00-00-30]",
          "[00-00-00-00-00-40]"},
         3,
         true},
        {"removing a line before the selection moves it",
         [&] { list.remove(0); },
         {"[00-00-00-00-00-20]", "[00-00-00-00-00-30]", "[00-00-00-00-00-40]"},
         2,
         true},
        {"a sweep keeps the repeated line only",
         [&] { list.sweep(); },
         {"[00-00-00-00-00-20]"},
         std::nullopt,
         true},
        {"clearing empties the model", [&] { list.clear(); }, {}, std::nullopt, false},
        {"a reply to an empty list is selected again",
         [&] { add(0x50); },
         {"[00-00-00-00-00-50]"},
         0,
         true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        selectionChanges.clear();
        step.change();
        QStringList macs;
        for (int row = 0; row < model.rowCount(); ++row) {
            macs << model.index(row, 0).data().toString();
        }
        EXPECT_EQ(macs, step.macs);
        EXPECT_EQ(list.selection(), step.selected);
        EXPECT_EQ(!selectionChanges.isEmpty(), step.selectionSignalled);
        EXPECT_EQ(findings.take(), "");
    }
}

}  // namespace
}  // namespace lanscope
