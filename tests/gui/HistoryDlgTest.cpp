#include <gtest/gtest.h>
#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <fstream>

#include "app/LanscopeDlg.h"
#include "config/LanscopeConfigDlg.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "support/GuiSupport.h"
#include "support/ListHistory.h"
#include "support/Replies.h"
#include "widgets/IpAddressEdit.h"
#include "widgets/Messages.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

// Answers "Save as…" with the file the test names.
struct SaveTo : test::NoDialogs {
    std::optional<std::string> path;
    std::optional<std::string> chooseListFile() override { return path; }
};

// The module list window on loopback with its service history in a file.
struct HistoryWindow : test::GuiServices {
    std::string historyPath = (dir.path() + QStringLiteral("/history.jsonl")).toStdString();
    FileHistoryRecorder recorder{historyPath, {"bench-3", "tech", "window"}, true};
    SaveTo files;
    UdpSocket peer = [] {
        auto socket = std::move(UdpSocket::open().value());
        (void)socket.bind(kLoopback, 0);
        return socket;
    }();
    std::unique_ptr<CLanscopeDlg> window;

    HistoryWindow() {
        services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, peer.localPort().value()};
        services.requestPause = 100ms;
        services.history = &recorder;
        services.historyFile = historyPath;
        services.files = &files;
        window = std::make_unique<CLanscopeDlg>(services);
        window->show();
    }

    void reply(const MacAddress& mac, const std::string& name) {
        (void)peer.sendTo(test::MakeReply(mac, kLoopback, name, "Cellar"), kLoopback,
                          window->socket()->localPort());
    }
    bool waitForLines(std::size_t count) {
        return QTest::qWaitFor([&] { return window->moduleList().size() == count; });
    }
    QTreeView* list() { return window->findChild<QTreeView*>(QStringLiteral("list")); }
    std::vector<HistoryEvent> events() {
        auto reading = ReadHistoryFile(historyPath);
        EXPECT_TRUE(reading);
        return reading ? reading->events : std::vector<HistoryEvent>{};
    }
};

TEST(HistoryWindow, StaticSettingsWrittenThroughTheSettingsWindowAreRecorded) {
    HistoryWindow w;
    w.reply(test::kMacA, "Boiler");
    ASSERT_TRUE(w.waitForLines(1));
    w.prompt.answers = {true};
    test::ModalHandler handler([](QWidget* settings) {
        QLineEdit* field = settings->findChild<IpAddressEdit*>(QStringLiteral("ipEdit"))->field(3);
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("77"));
        QTest::mouseClick(settings->findChild<QPushButton*>(QStringLiteral("staticButton")),
                          Qt::LeftButton);
    });
    QTest::mouseClick(w.window->findChild<QPushButton*>(QStringLiteral("configurationButton")),
                      Qt::LeftButton);
    ASSERT_TRUE(handler.handled());

    const auto events = w.events();
    ASSERT_EQ(events.size(), 1u);
    const HistoryEvent& event = events[0];
    EXPECT_EQ(event.action, HistoryAction::Settings);
    // Sent, not confirmed: the window does not ask the module back.
    EXPECT_EQ(event.result, HistoryResult::Sent);
    EXPECT_EQ(event.program, "window");
    EXPECT_EQ(event.module.mac, "0a-1B-2C-3D-4E-5F");
    EXPECT_EQ(event.module.address, "127.0.0.1");
    EXPECT_EQ(event.module.name, "Boiler");
    ASSERT_TRUE(event.settings);
    EXPECT_EQ(event.settings->before.ip, "127.0.0.1");
    EXPECT_EQ(event.settings->after.ip, "127.0.0.77");
    EXPECT_FALSE(event.settings->verified);
    // Only the question was asked: the history was written.
    EXPECT_EQ(w.prompt.shown.size(), 1u);
}

// Each button of the settings window records its write, and a history that
// cannot be written is said once, after the write.
TEST(HistoryWindow, EveryWriteOfTheSettingsWindowIsRecordedAndAFailureToRecordIsSaid) {
    struct Case {
        const char* button;
        std::deque<bool> answers;
        const char* after;
        bool dhcp;
    };
    const Case cases[] = {
        {"staticButton", {true}, "192.0.2.60", false},
        {"dhcpButton", {}, "0.0.0.0", true},
        {"autoIpButton", {true}, "192.0.2.11", false},
    };
    for (const Case& c : cases) {
        struct Sender : ConfigurationSender {
            int sent = 0;
            Result<std::size_t> SendConfiguration(const ModuleRecord&) override {
                ++sent;
                return kConfigurationWriteSize;
            }
        } sender;
        test::RecordingPrompt prompt;
        prompt.answers = c.answers;
        test::ListHistory history;
        history.failure = Error{28, "No space left on device"};
        ModuleList list;
        AddReply(list, test::MakeReply(test::kMacA, MakeIpv4(192, 0, 2, 11), "Boiler", ""), 1);
        ModuleRecord record = list.record(0);
        record.setMask(MakeIpv4(255, 255, 255, 0));
        CLanscopeConfigDlg window(
            prompt, [] { return std::vector<Ipv4>{MakeIpv4(192, 0, 2, 1)}; }, &list);
        window.SetModule(sender, record);
        window.recordTo(&history, HistoryModuleOfLine(list.text(0)));
        window.show();
        QLineEdit* field = window.findChild<IpAddressEdit*>(QStringLiteral("ipEdit"))->field(3);
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("60"));
        auto* button = window.findChild<QPushButton*>(QString::fromLatin1(c.button));
        ASSERT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); })) << c.button;
        QTest::mouseClick(button, Qt::LeftButton);

        EXPECT_EQ(sender.sent, 1) << c.button;
        ASSERT_EQ(history.events.size(), 1u) << c.button;
        const HistoryEvent& event = history.events[0];
        EXPECT_EQ(event.result, HistoryResult::Sent) << c.button;
        EXPECT_EQ(event.module.name, "Boiler") << c.button;
        EXPECT_EQ(event.settings->before.ip, "192.0.2.11") << c.button;
        EXPECT_EQ(event.settings->after.ip, c.after) << c.button;
        EXPECT_EQ(event.settings->after.dhcp, c.dhcp) << c.button;
        ASSERT_FALSE(prompt.shown.empty()) << c.button;
        EXPECT_EQ(prompt.shown.back().text,
                  messages::HistoryNotWrittenText("No space left on device"))
            << c.button;
    }
}

// Writes one event to the history as a program of that time would have.
void Append(const std::string& path, const char* id, const MacAddress& mac, const char* time,
            HistoryAction action, HistoryResult result) {
    HistoryEvent event;
    event.id = id;
    event.time = time;
    event.action = action;
    event.result = result;
    event.module = HistoryModuleOf(mac, kLoopback, "Boiler", "Cellar");
    if (action == HistoryAction::Settings) {
        event.settings = HistorySettings{{}, {false, "127.0.0.9", "255.0.0.0", "0.0.0.0", ""}, {}};
    } else {
        event.update = HistoryUpdate{"PC42_APP.s19", 0x400, 16, 0xABCD, "PC42", true, 0, 0};
    }
    ASSERT_TRUE(AppendHistoryLine(path, FormatHistoryLine(event)));
}

TEST(HistoryWindow, HistoryFromTheListsMenuShowsTheModulesEventsNewestFirstAndSavesThem) {
    HistoryWindow w;
    using A = HistoryAction;
    using R = HistoryResult;
    Append(w.historyPath, "1", test::kMacA, "2026-12-08T10:00:00.000Z", A::Settings, R::Ok);
    Append(w.historyPath, "2", test::kMacA, "2026-12-08T11:00:00.000Z", A::Update, R::Started);
    Append(w.historyPath, "3", test::kMacB, "2026-12-08T12:00:00.000Z", A::Update, R::Ok);
    std::ofstream(w.historyPath, std::ios::app) << "{\"time\": cut short\n";
    Append(w.historyPath, "4", test::kMacA, "2026-12-08T12:30:00.000Z", A::Update, R::Started);
    Append(w.historyPath, "4", test::kMacA, "2026-12-08T12:31:00.000Z", A::Update, R::Failed);
    w.reply(test::kMacB, "Pump");
    w.reply(test::kMacA, "Boiler");
    ASSERT_TRUE(w.waitForLines(2));
    const QString csv = w.dir.path() + QStringLiteral("/boiler.csv");
    w.files.path = csv.toStdString();

    std::vector<QStringList> shown;
    QString notice;
    test::ModalHandler handler([&](QWidget* history) {
        auto* table = history->findChild<QTreeWidget*>(QStringLiteral("events"));
        for (int row = 0; row < table->topLevelItemCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column) {
                cells << table->topLevelItem(row)->text(column);
            }
            shown.push_back(cells);
        }
        notice = history->findChild<QLabel*>(QStringLiteral("noticeLabel"))->text();
        test::Click(history, "saveButton");
        test::Click(history, "closeButton");
    });
    // A right click on the module's line, and History… in its menu.
    QTimer menuWatch;
    menuWatch.setInterval(20);
    QObject::connect(&menuWatch, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        menuWatch.stop();
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QStringLiteral("historyAction")) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        menu->close();
    });
    menuWatch.start();
    QTreeView* list = w.list();
    const QPoint line = list->visualRect(list->model()->index(1, 3)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, line);
    // The menu the system asks for after a right click (the test's clicks
    // reach the widgets without the system's window in between).
    QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, line,
                                  list->viewport()->mapToGlobal(line));
    QApplication::sendEvent(list->viewport(), &menuRequest);
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled(); }));

    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (QStringList{"2026-12-08T12:30:00.000Z", "0a-1B-2C-3D-4E-5F 127.0.0.1",
                                     "update", "failed", "0x0000ABCD"}));
    EXPECT_EQ(shown[1][0], "2026-12-08T11:00:00.000Z");
    EXPECT_EQ(shown[1][3], "no outcome recorded");
    EXPECT_EQ(shown[2][0], "2026-12-08T10:00:00.000Z");
    EXPECT_EQ(shown[2][2], "settings");
    EXPECT_TRUE(notice.contains(QStringLiteral("line 4"))) << notice.toStdString();

    std::ifstream file(csv.toStdString());
    std::vector<std::string> lines;
    for (std::string text; std::getline(file, text);) {
        lines.push_back(text);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("time,finished,mac,address,name,name2,action,result,", 0), 0u);
    EXPECT_EQ(lines[1].rfind("2026-12-08T12:30:00.000Z,2026-12-08T12:31:00.000Z,0a-1B-2C", 0), 0u)
        << lines[1];
    EXPECT_EQ(lines[3].rfind("2026-12-08T10:00:00.000Z,", 0), 0u) << lines[3];
    EXPECT_TRUE(w.prompt.shown.empty());
}

}  // namespace
}  // namespace lanscope
