#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "app/LanscopeDlg.h"
#include "app/Messages.h"
#include "config/LanscopeConfigDlg.h"
#include "support/GuiSupport.h"
#include "support/Replies.h"
#include "update/Messages.h"
#include "widgets/GuiPrompt.h"
#include "widgets/IpAddressEdit.h"
#include "widgets/LanscopeHelpDlg.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;
using test::MakeReply;

// The window on loopback: its requests go to `peer`, replies come from the test.
struct MainWindow : test::GuiServices {
    UdpSocket peer = [] {
        auto socket = std::move(UdpSocket::open().value());
        (void)socket.bind(kLoopback, 0);
        return socket;
    }();
    std::unique_ptr<CLanscopeDlg> window;

    explicit MainWindow(std::chrono::milliseconds emptyHintDelay = 10s) {
        services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, peer.localPort().value()};
        services.requestPause = 100ms;
        services.emptyHintDelay = emptyHintDelay;
        window = std::make_unique<CLanscopeDlg>(services);
        window->show();
    }

    // A module's reply arriving over the network at the window's socket.
    void reply(const MacAddress& mac, const std::string& name, const std::string& name2 = "x") {
        (void)peer.sendTo(MakeReply(mac, kLoopback, name, name2), kLoopback,
                          window->socket()->localPort());
    }
    bool waitForLines(std::size_t count) {
        return QTest::qWaitFor([&] { return window->moduleList().size() == count; });
    }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QTreeView* list() { return window->findChild<QTreeView*>(QStringLiteral("list")); }
};

TEST(MainWindow, ListsRepliesInFiveColumnsAndSelectsTheFirst) {
    MainWindow w;
    w.reply(test::kMacB, "Pump", "Hall 2");
    w.reply(test::kMacA, "Boiler", "Cellar");
    ASSERT_TRUE(w.waitForLines(2));
    QAbstractItemModel* model = w.list()->model();
    EXPECT_EQ(model->columnCount(), 5);
    // Sorted by hardware address: [00-...] before [0a-...].
    EXPECT_EQ(model->index(0, 0).data().toString(), "[00-00-00-00-00-02]");
    EXPECT_EQ(model->index(1, 0).data().toString(), "[0a-1B-2C-3D-4E-5F]");
    EXPECT_EQ(model->index(1, 1).data().toString(), "127.0.0.1");
    EXPECT_EQ(model->index(1, 2).data().toString(), "");
    EXPECT_EQ(model->index(1, 3).data().toString(), "Boiler");
    EXPECT_EQ(model->index(0, 4).data().toString(), "Hall 2");
    // The first line that arrived was selected; it stays selected when a
    // line sorts in after it.
    EXPECT_EQ(w.window->moduleList().selectedText().substr(0, 19), "[00-00-00-00-00-02]");
    EXPECT_EQ(w.list()->selectionModel()->selectedRows().value(0).row(), 0);
    test::Screenshot(w.window.get(), "module-list");
}

TEST(MainWindow, NameColumnsShareTheWidthByWhatTheyHold) {
    MainWindow w;
    const QString longName = QStringLiteral("Boiler room controller, north wing");
    w.reply(test::kMacA, longName.toStdString(), "Hall");
    ASSERT_TRUE(w.waitForLines(1));
    QTreeView* list = w.list();
    const QFontMetrics metrics = list->fontMetrics();
    const int needed = metrics.horizontalAdvance(longName);
    // The window's width around the list, and the columns before the names
    // (both as wide as the system's fonts make them).
    const int around = w.window->width() - list->viewport()->width();
    const int before = list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2);
    // Wide enough for both: the first name is not cut.
    w.window->resize(around + before + needed + metrics.horizontalAdvance("Hall") * 3,
                     w.window->height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->columnWidth(3) > needed; }))
        << list->columnWidth(3) << " for " << needed;
    test::Screenshot(w.window.get(), QStringLiteral("list-names"));
    // Too narrow for both: the second name keeps a share of its own.
    w.reply(test::kMacB, "Pump", std::string(80, 'W'));
    ASSERT_TRUE(w.waitForLines(2));
    w.window->resize(around + before + needed, w.window->height());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const int room = list->viewport()->width() - before;
        return list->columnWidth(3) < room && list->columnWidth(3) < needed &&
               list->horizontalScrollBar()->maximum() == 0;
    })) << list->columnWidth(3)
        << " of " << list->viewport()->width() - before;
}

TEST(MainWindow, PresetsShowOnlyWhenAskedForAndBuiltIn) {
    test::GuiServices shared;
    shared.services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, 9};
    const auto presetsShown = [&] {
        CLanscopeDlg window(shared.services);
        window.show();
        return window.findChild<QPushButton*>(QStringLiteral("presetsButton"))->isVisible();
    };
    EXPECT_FALSE(presetsShown());
    shared.settings.SaveSetting("ShowPresets", 1);
    // A program built without the browser engine has no presets window.
    EXPECT_FALSE(presetsShown());
    shared.services.openPresets = [](QWidget*, const std::string&) {};
    EXPECT_TRUE(presetsShown());
}

TEST(MainWindow, SearchKeepsOnlyTheLineThatWasRepeated) {
    MainWindow w;
    w.reply(test::kMacA, "a");
    w.reply(test::kMacB, "b");
    w.reply(test::kMacC, "c");
    ASSERT_TRUE(w.waitForLines(3));
    w.reply(test::kMacB, "b");
    const auto repeated = [&] {
        ModuleList& list = w.window->moduleList();
        return list.record(*list.findPrefix("[00-00-00-00-00-02]")).repeatCount() == 1;
    };
    ASSERT_TRUE(QTest::qWaitFor(repeated));
    QTest::mouseClick(w.button("searchButton"), Qt::LeftButton);
    ASSERT_EQ(w.window->moduleList().size(), 1u);
    EXPECT_EQ(w.window->moduleList().record(0).mac(), test::kMacB);
    EXPECT_EQ(w.window->moduleList().record(0).repeatCount(), 0u);
}

TEST(MainWindow, SearchSendsAnotherDiscoveryRequest) {
    MainWindow w;
    std::array<std::uint8_t, 64> buffer{};
    int requests = 0;
    auto countRequests = [&] {
        while (w.peer.receiveFrom(buffer).ok()) {
            ++requests;
        }
        return requests;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return countRequests() == 1; }));
    // Wait for the thread to pause after its first request, then search.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.window->requestThread()->GetStatus() == CRequestThread::kStatusPaused; }));
    QTest::mouseClick(w.button("searchButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return countRequests() == 2; }));
}

TEST(MainWindow, ButtonsFollowTheSelectionAtTheNextTimerTick) {
    MainWindow w;
    w.reply(test::kMacA, "a");
    ASSERT_TRUE(w.waitForLines(1));
    QPushButton* web = w.button("webInterfaceButton");
    QPushButton* config = w.button("configurationButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return web->isEnabled(); }, 3000));

    w.list()->selectionModel()->clearSelection();
    EXPECT_FALSE(w.window->moduleList().selection());
    EXPECT_TRUE(web->isEnabled());  // not before the tick
    EXPECT_TRUE(QTest::qWaitFor([&] { return !web->isEnabled() && !config->isEnabled(); }, 3000));
    EXPECT_TRUE(w.button("searchButton")->isEnabled());
    EXPECT_TRUE(w.button("helpButton")->isEnabled());

    QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {},
                      w.list()->visualRect(w.list()->model()->index(0, 1)).center());
    EXPECT_EQ(w.window->moduleList().selection(), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return web->isEnabled() && config->isEnabled(); }, 3000));
}

TEST(MainWindow, EnterOpensTheSelectedModulesPageAndKeepsTheWindowOpen) {
    MainWindow w;
    w.reply(test::kMacA, "a");
    ASSERT_TRUE(w.waitForLines(1));
    QTest::keyClick(w.window.get(), Qt::Key_Return);
    QTest::keyClick(w.list(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(w.urlOpener.opened,
              (std::vector<std::string>{"http://127.0.0.1", "http://127.0.0.1"}));
    EXPECT_TRUE(w.window->isVisible());

    const QRect row = w.list()->visualRect(w.list()->model()->index(0, 0));
    QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(w.list()->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(w.urlOpener.opened.size(), 3u);
}

TEST(MainWindow, WebInterfaceWithoutSelectionOpensNothing) {
    MainWindow w;
    QTest::keyClick(w.window.get(), Qt::Key_Return);
    EXPECT_TRUE(w.urlOpener.opened.empty());
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(MainWindow, ModuleWithoutAddressGetsOneThenItsPageOpens) {
    MainWindow w;
    // A module shown at 0.0.0.1 needs an address before its page can open.
    AddReply(w.window->moduleList(), MakeReply(test::kMacA, MakeIpv4(0, 0, 0, 1), "n", "m"),
             MakeIpv4(0, 0, 0, 1));
    w.prompt.answers = {true};
    // While the window waits, the module answers from its new address and
    // the user selects that line.
    QTimer::singleShot(300, [&] {
        AddReply(w.window->moduleList(), MakeReply(test::kMacA, MakeIpv4(10, 0, 0, 15), "n", "m"),
                 MakeIpv4(10, 0, 0, 15));
        w.window->moduleList().setSelection(
            w.window->moduleList().findPrefix("[0a-1B-2C-3D-4E-5F]\t10."));
    });
    w.window->OpenWebInterface();
    EXPECT_EQ(w.urlOpener.opened, std::vector<std::string>{"http://10.0.0.15"});
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_EQ(w.prompt.shown[0].caption, "Auto IP Update");

    // The configuration write went out with the workstation address + 10.
    std::array<std::uint8_t, 512> buffer{};
    bool sawWrite = false;
    while (auto received = w.peer.receiveFrom(buffer)) {
        if (received->size == kConfigurationWriteSize) {
            sawWrite = true;
            EXPECT_EQ(Ipv4FromBytes(buffer.data() + 5 + ModuleRecord::kAddressOffset),
                      MakeIpv4(10, 0, 0, 15));
        }
    }
    EXPECT_TRUE(sawWrite);
}

TEST(MainWindow, AlwaysOnTopSurvivesARestart) {
    test::GuiServices shared;
    shared.services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, 9};
    {
        CLanscopeDlg window(shared.services);
        window.show();
        EXPECT_FALSE(window.alwaysOnTopAction()->isChecked());
        window.alwaysOnTopAction()->trigger();
        EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(window.isVisible());
        window.reject();
    }
    EXPECT_EQ(shared.settings.LoadSetting("AlwaysOnTop_Lanscope"), 1u);
    {
        CLanscopeDlg window(shared.services);
        EXPECT_TRUE(window.alwaysOnTopAction()->isChecked());
        EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        window.alwaysOnTopAction()->trigger();
        window.reject();
    }
    EXPECT_EQ(shared.settings.LoadSetting("AlwaysOnTop_Lanscope"), 0u);
}

// A person toggles the item while the window runs as the program's main
// window; nothing may end that modal run but Exit.
TEST(MainWindow, AlwaysOnTopRestacksUnderTheModalLoopAndExitStoresTheLastState) {
    MainWindow w;
    CLanscopeDlg* window = w.window.get();
    const QRect place = window->geometry();
    std::vector<bool> onTop;
    bool exitClicked = false;
    std::function<void(int)> step = [&](int n) {
        if (n < 3) {
            window->alwaysOnTopAction()->trigger();
            onTop.push_back(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
                            window->isVisible() && window->geometry() == place);
            QTimer::singleShot(30, window, [&step, n] { step(n + 1); });
        } else {
            exitClicked = true;
            test::Click(window, "exitButton");
        }
    };
    QTimer::singleShot(0, window, [&step] { step(0); });
    EXPECT_EQ(window->exec(), QDialog::Rejected);
    EXPECT_TRUE(exitClicked) << "the modal run ended before Exit";
    EXPECT_EQ(onTop, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(w.settings.LoadSetting("AlwaysOnTop_Lanscope"), 1u);
}

TEST(MainWindow, EnterPressesTheFocusedButtonAndAnywhereElseOpensThePage) {
    MainWindow w;
    w.reply(test::kMacA, "a");
    ASSERT_TRUE(w.waitForLines(1));
    CLanscopeDlg* window = w.window.get();
    bool reachedExit = false;
    QTimer::singleShot(0, window, [&] {
        QApplication::setActiveWindow(window);
        w.list()->setFocus();
        QTest::keyClick(w.list(), Qt::Key_Return);
        // Tab on from the list to Exit, as a person would, then Enter.
        for (int i = 0; i < 12 && QApplication::focusWidget() != w.button("exitButton"); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        reachedExit = QApplication::focusWidget() == w.button("exitButton");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTimer::singleShot(5000, window, [window] { window->done(42); });  // Enter did not close it
    EXPECT_EQ(window->exec(), QDialog::Rejected);
    EXPECT_TRUE(reachedExit);
    EXPECT_EQ(w.urlOpener.opened, std::vector<std::string>{"http://127.0.0.1"});
}

TEST(MainWindow, WithoutABrowserTheUserIsToldTheAddress) {
    MainWindow w;
    w.urlOpener.browserMissing = true;
    w.reply(test::kMacA, "a");
    ASSERT_TRUE(w.waitForLines(1));
    test::Click(w.window.get(), "webInterfaceButton");
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_NE(w.prompt.shown[0].text.find("http://127.0.0.1"), std::string::npos);
}

TEST(MainWindow, NamesThatAreNotUtf8ShowAsWindows1252AndTheTipCutsWholeCharacters) {
    MainWindow w;
    // "Gerät Süd" in Windows-1252, and a UTF-8 name of 100 two-byte letters.
    w.reply(test::kMacA, "Ger\xE4t",
            "S\xFC"
            "d \x80");
    std::string umlauts;
    for (int i = 0; i < 100; ++i) {
        umlauts += "\xC3\xA4";
    }
    w.reply(test::kMacB, "b", umlauts);
    ASSERT_TRUE(w.waitForLines(2));
    QAbstractItemModel* model = w.list()->model();
    EXPECT_EQ(model->index(1, 3).data().toString(), QString::fromUtf8("Ger\u00E4t"));
    EXPECT_EQ(model->index(1, 4).data().toString(), QString::fromUtf8("S\u00FCd \u20AC"));
    QHelpEvent event(QEvent::ToolTip, w.list()->visualRect(model->index(0, 0)).center(), QPoint());
    QApplication::sendEvent(w.list()->viewport(), &event);
    EXPECT_EQ(QToolTip::text(), QString(79, QChar(0xE4)));
}

// Owned, a box or window opens above its owner even when the owner stays on
// top of everything; without an owner it may open beneath it.
TEST(MainWindow, BoxesAndWindowsBelongToTheWindowTheUserIsIn) {
    MainWindow w;
    std::vector<QWidget*> owners;
    const auto record = [&](QWidget* modal) {
        owners.push_back(modal->parentWidget());
        static_cast<QDialog*>(modal)->done(QDialog::Rejected);
    };
    {
        test::ModalHandler handler(record);
        test::Click(w.window.get(), "helpButton");
    }
    {
        test::ModalHandler handler(record);
        w.window->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    }
    GuiPrompt prompt;
    QDialog inner(w.window.get());
    QTimer::singleShot(0, &inner, [&] {
        test::ModalHandler handler(record, &inner);
        prompt.message("text", "lanscope", PromptIcon::Exclamation);
        inner.reject();
    });
    inner.exec();
    EXPECT_EQ(owners, (std::vector<QWidget*>{w.window.get(), w.window.get(), &inner}));
}

TEST(MainWindow, BoxesShowNamesFromModulesAndFilesAsTheyAre) {
    // A platform name a module reports, with markup that would read as a
    // verdict of our own.
    const std::string text = "Device platform = [<h1>Update complete</h1><!--]";
    GuiPrompt prompt;
    for (const bool question : {false, true}) {
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        test::ModalHandler handler([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shown = box->text();
            format = box->textFormat();
            box->done(QMessageBox::No);
        });
        if (question) {
            (void)prompt.askYesNo(text, "lanscope", false);
        } else {
            prompt.message(text, "lanscope", PromptIcon::Exclamation);
        }
        ASSERT_TRUE(handler.handled());
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(shown.toStdString(), text);
    }
}

struct ListFile : FileChooser {
    std::optional<std::string> path;
    std::optional<std::string> chooseImageFile(const std::string&) override { return {}; }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> choosePresetFile() override { return {}; }
    std::optional<std::string> chooseListFile() override { return path; }
};

TEST(MainWindow, TheListIsCopiedAndSavedAsCsvOrJson) {
    MainWindow w;
    ListFile files;
    w.services.files = &files;
    w.reply(test::kMacA, "Pump, \"big\"", "Hall 2");
    w.reply(test::kMacB, "Boiler", "Cellar");
    ASSERT_TRUE(w.waitForLines(2));
    w.window->moduleList().setSelection(1);
    w.list()->findChild<QAction*>(QStringLiteral("copyAction"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "[0a-1B-2C-3D-4E-5F]\t127.0.0.1\t\tPump, \"big\"\tHall 2\n");

    const QString dir = w.dir.path();
    files.path = (dir + "/list.json").toStdString();
    w.list()->findChild<QAction*>(QStringLiteral("saveListAction"))->trigger();
    std::ifstream jsonFile(*files.path);
    const auto modules = nlohmann::json::parse(jsonFile);
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[1]["mac"], "0a-1B-2C-3D-4E-5F");
    EXPECT_EQ(modules[1]["name"], "Pump, \"big\"");
    EXPECT_EQ(modules[1]["record"]["length"], 148);

    files.path = (dir + "/list.csv").toStdString();
    w.list()->findChild<QAction*>(QStringLiteral("saveListAction"))->trigger();
    std::ifstream csvFile(*files.path);
    std::string header, first, second;
    std::getline(csvFile, header);
    std::getline(csvFile, first);
    std::getline(csvFile, second);
    EXPECT_EQ(header.rfind("mac,address,dhcp,name,name2,", 0), 0u);
    EXPECT_EQ(
        second.rfind("0a-1B-2C-3D-4E-5F,127.0.0.1,false,\"Pump, \"\"big\"\"\",Hall 2,148,", 0), 0u)
        << second;
}

TEST(MainWindow, ListToolTipShowsTheSecondNameCutTo79Characters) {
    MainWindow w;
    const std::string longName(100, 'n');
    w.reply(test::kMacA, "a", longName);
    w.reply(test::kMacB, "b", "short");
    ASSERT_TRUE(w.waitForLines(2));
    auto tipAt = [&](QPoint pos) {
        QHelpEvent event(QEvent::ToolTip, pos, w.list()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(w.list()->viewport(), &event);
        return QToolTip::text();
    };
    const auto center = [&](int row) {
        return w.list()->visualRect(w.list()->model()->index(row, 0)).center();
    };
    EXPECT_EQ(tipAt(center(0)), "short");
    EXPECT_EQ(tipAt(center(1)).toStdString(), longName.substr(0, 79));
    // Markup in a name is shown, not followed.
    w.reply(test::kMacC, "c", "<b>Update complete</b>");
    ASSERT_TRUE(w.waitForLines(3));
    const QString marked = tipAt(center(1));
    EXPECT_TRUE(marked.contains("&lt;b&gt;Update complete&lt;/b&gt;")) << marked.toStdString();
    EXPECT_EQ(tipAt(QPoint(5, w.list()->viewport()->height() - 3)),
              "List of LAN cards on current network");
    EXPECT_EQ(w.button("exitButton")->toolTip(), "Exit this program");
}

TEST(MainWindow, AnEmptyListPointsToTheDiagnosisUntilTheFirstReply) {
    MainWindow w(50ms);
    const auto hint = [&] { return w.window->findChild<QLabel*>(QStringLiteral("emptyHint")); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return hint() != nullptr && hint()->isVisible(); }));
    EXPECT_EQ(hint()->text(), "No module answered. Run lanscope-cli doctor for a diagnosis.");
    // Not a line: nothing to count, select or open, and the area's tip stays.
    EXPECT_EQ(w.list()->model()->rowCount(), 0);
    const QPoint onHint = hint()->geometry().center();
    QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {}, onHint);
    QTest::mouseDClick(w.list()->viewport(), Qt::LeftButton, {}, onHint);
    EXPECT_TRUE(w.list()->selectionModel()->selectedRows().isEmpty());
    EXPECT_TRUE(w.urlOpener.opened.empty());
    QHelpEvent tip(QEvent::ToolTip, onHint, w.list()->viewport()->mapToGlobal(onHint));
    QApplication::sendEvent(w.list()->viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), "List of LAN cards on current network");

    w.reply(test::kMacA, "Pump");
    ASSERT_TRUE(w.waitForLines(1));
    EXPECT_FALSE(hint()->isVisible());
    // A later search that empties the list brings it back no more. The hint
    // only ever comes on a timer of the hint's delay; Qt fires timers in the
    // order they fall due, so one started now with twice that delay (room
    // for a coarse timer's slack) fires after any the search could start.
    QTest::mouseClick(w.button("searchButton"), Qt::LeftButton);
    ASSERT_EQ(w.window->moduleList().size(), 0u);
    bool due = false;
    QTimer::singleShot(2 * w.services.emptyHintDelay, [&] { due = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return due; }));
    EXPECT_FALSE(hint()->isVisible());
}

TEST(MainWindow, HelpShowsTheTextAndF1InsideOpensNothingMore) {
    MainWindow w;
    QString shown;
    int nested = 0;
    test::ModalHandler handler([&](QWidget* modal) {
        auto* help = qobject_cast<CLanscopeHelpDlg*>(modal);
        if (help == nullptr) {
            ADD_FAILURE() << "not the help window";
            modal->close();
            return;
        }
        shown = help->shownText();
        // Whatever F1 opens, at once or through a posted event, is seen and
        // closed here: by this handler while it runs modal, or as the active
        // window once the call posted after the key has come through.
        test::ModalHandler over(
            [&](QWidget* opened) {
                ++nested;
                opened->close();
            },
            help);
        QTest::keyClick(help, Qt::Key_F1);
        bool settled = false;
        QMetaObject::invokeMethod(
            help, [&] { settled = true; }, Qt::QueuedConnection);
        EXPECT_TRUE(QTest::qWaitFor([&] { return settled; }));
        if (QApplication::activeModalWidget() != help) {
            ++nested;
        }
        test::Click(help, "okButton");
    });
    QTest::mouseClick(w.button("helpButton"), Qt::LeftButton);
    ASSERT_TRUE(handler.handled());
    const QStringList lines = shown.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("1. Select a Module"));
    EXPECT_TRUE(lines[3].isEmpty());
    EXPECT_TRUE(lines[4].startsWith("Note: If connecting using a cross cable"));
    EXPECT_EQ(nested, 0);
}

TEST(HelpWindow, EveryTextCanBeReadToTheEnd) {
    std::string longText;
    for (int line = 1; line <= 60; ++line) {
        longText += "Line " + std::to_string(line) + "\r\n";
    }
    for (const std::string& text :
         {std::string(messages::kMainHelp), std::string(messages::kUpdateHelp), longText}) {
        CLanscopeHelpDlg help;
        help.setHelpText(text);
        help.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
        test::Screenshot(&help, QStringLiteral("help"));
        QScrollBar* bar = help.findChild<QPlainTextEdit*>()->verticalScrollBar();
        // Either all of it shows, or the rest is a scroll away.
        EXPECT_TRUE(bar->maximum() == 0 || bar->isVisible()) << text;
    }
}

TEST(MainWindow, AboutBoxShowsNameVersionLegalNoticeAndDescription) {
    MainWindow w;
    QStringList texts;
    bool iconShown = false;
    test::ModalHandler handler([&](QWidget* about) {
        for (const char* name : {"productName", "versionLine", "legalLine", "description"}) {
            texts << about->findChild<QLabel*>(QString::fromLatin1(name))->text();
        }
        // The program's icon is built into the program, not looked up.
        iconShown = !about->findChild<QLabel*>(QStringLiteral("icon"))->pixmap().isNull() &&
                    !about->windowIcon().isNull();
        test::Click(about, "okButton");
    });
    w.window->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    ASSERT_TRUE(handler.handled());
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(iconShown);
    EXPECT_EQ(texts[0], "Korvane Network Utility");
    EXPECT_EQ(texts[1], "Version 0.0.1");
    EXPECT_TRUE(texts[2].startsWith("Copyright (C) ")) << texts[2].toStdString();
    EXPECT_TRUE(texts[2].endsWith(" Korvane")) << texts[2].toStdString();
    EXPECT_EQ(texts[3], "Locate and configure LAN Modules");
    EXPECT_EQ(w.window->windowTitle(), "Korvane Network Utility 0.1d");
}

TEST(MainWindow, ConfigurationOpensTheSettingsOfTheSelectedModule) {
    MainWindow w;
    w.reply(test::kMacA, "a");
    ASSERT_TRUE(w.waitForLines(1));
    QString mac;
    test::ModalHandler handler([&](QWidget* modal) {
        mac = modal->findChild<QLabel*>(QStringLiteral("macValue"))->text();
        test::Click(modal, "cancelButton");
    });
    QTest::mouseClick(w.button("configurationButton"), Qt::LeftButton);
    ASSERT_TRUE(handler.handled());
    EXPECT_EQ(mac, "0a-1B-2C-3D-4E-5F");
}

// Search empties the list and the modules answer again, the chosen one not
// first: the selection comes back to it, and Configuration acts on it; when
// it no longer answers, the first line is selected as for a new list.
TEST(MainWindow, SearchKeepsTheSelectionOnTheChosenModuleWhileItAnswers) {
    MainWindow w;
    std::vector<MacAddress> answering{test::kMacA, test::kMacB, test::kMacC};
    QTimer modules;
    QObject::connect(&modules, &QTimer::timeout, [&] {
        std::array<std::uint8_t, 64> request{};
        while (w.peer.receiveFrom(request).ok()) {
            for (const MacAddress& mac : answering) {
                w.reply(mac, "m");
            }
        }
    });
    modules.start(10);
    CLanscopeDlg* window = w.window.get();
    ModuleList& list = window->moduleList();
    const auto selectedMac = [&] {
        const ModuleRecord* record = list.selectedRecord();
        return record ? std::optional<MacAddress>(record->mac()) : std::nullopt;
    };
    const auto search = [&] {
        (void)QTest::qWaitFor(
            [&] { return window->requestThread()->GetStatus() == CRequestThread::kStatusPaused; });
        QTest::mouseClick(w.button("searchButton"), Qt::LeftButton);
    };

    bool backOnC = false;
    QString configured;
    std::optional<MacAddress> afterCWentAway;
    QTimer::singleShot(0, window, [&] {
        if (!w.waitForLines(3)) {
            test::Click(window, "exitButton");
            return;
        }
        const QModelIndex c =
            w.list()->model()->index(static_cast<int>(*list.findPrefix("[00-00-00-00-00-03]")), 1);
        QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {},
                          w.list()->visualRect(c).center());
        search();
        backOnC = QTest::qWaitFor([&] { return list.size() == 3 && selectedMac() == test::kMacC; });
        (void)QTest::qWaitFor([&] { return w.button("configurationButton")->isEnabled(); }, 3000);
        test::ModalHandler handler([&](QWidget* modal) {
            configured = modal->findChild<QLabel*>(QStringLiteral("macValue"))->text();
            test::Click(modal, "cancelButton");
        });
        QTest::mouseClick(w.button("configurationButton"), Qt::LeftButton);

        answering = {test::kMacA, test::kMacB};
        search();
        (void)QTest::qWaitFor([&] { return list.size() == 2 && selectedMac().has_value(); }, 5000);
        afterCWentAway = selectedMac();
        test::Click(window, "exitButton");
    });
    EXPECT_EQ(window->exec(), QDialog::Rejected);
    EXPECT_TRUE(backOnC) << "selected instead: " << list.selectedText();
    EXPECT_EQ(configured, "00-00-00-00-00-03");
    EXPECT_EQ(afterCWentAway, test::kMacB);  // the first line
}

}  // namespace
}  // namespace lanscope
