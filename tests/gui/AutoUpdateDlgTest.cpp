#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/LanscopeDlg.h"
#include "config/IdFindDlg.h"
#include "support/GuiSupport.h"
#include "support/ListHistory.h"
#include "support/Replies.h"
#include "update/AutoUpdateDlg.h"
#include "widgets/IpAddressEdit.h"
#include "widgets/QtFileChooser.h"

namespace lanscope {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct ScriptedFiles : FileChooser {
    std::optional<std::string> image;
    std::optional<std::string> save;
    std::string proposed;
    std::optional<std::string> chooseImageFile(const std::string&) override { return image; }
    std::optional<std::string> chooseSaveFile(const std::string&,
                                              const std::string& name) override {
        proposed = name;
        return save;
    }
    std::optional<std::string> chooseListFile() override { return list; }
    std::optional<std::string> list;
    std::optional<std::string> choosePresetFile() override { return std::nullopt; }
};

// A module peer on loopback for the picker, and an S-record file.
struct UpdateWindow : test::GuiServices {
    UdpSocket peer = [] {
        auto socket = std::move(UdpSocket::open().value());
        (void)socket.bind(kLoopback, 0);
        return socket;
    }();
    ScriptedFiles files;
    fs::path image = fs::path(dir.path().toStdString()) / "pump_APP.s19";

    UpdateWindow() {
        services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, peer.localPort().value()};
        services.files = &files;
        std::ofstream(image) << "S107100001020304DE\n";
    }
    std::unique_ptr<CAutoUpdateDlg> open(const std::string& text, bool standAlone) {
        auto window = std::make_unique<CAutoUpdateDlg>(text, services, nullptr, standAlone);
        window->show();
        return window;
    }
    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const auto& shown : prompt.shown) {
            texts.push_back(shown.text);
        }
        return texts;
    }
};

template <class T>
T* Child(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

TEST(UpdateWindow, FromAListLineTakesAddressAndDescriptionWithoutWindowMenu) {
    UpdateWindow w;
    w.settings.SaveSetting("AlwaysOnTop_AutoUpdate", 1);
    {
        auto window =
            w.open("[02-4c-53-00-00-01]\t192.0.2.12\tDHCP\tPump\tHall, (PC42) 1.05, x", false);
        EXPECT_EQ(Child<IpAddressEdit>(window.get(), "ipEdit")->value(), MakeIpv4(192, 0, 2, 12));
        EXPECT_EQ(window->description(), " (PC42) 1.05");
        EXPECT_EQ(window->alwaysOnTopAction(), nullptr);
        EXPECT_FALSE(Child<QPushButton>(window.get(), "findButton")->isVisible());
        EXPECT_TRUE(Child<QCheckBox>(window.get(), "rebootCheck")->isChecked());
        test::Screenshot(window.get(), "update-window-from-list");
    }
    EXPECT_EQ(w.settings.LoadSetting("AlwaysOnTop_AutoUpdate"), 1u);  // untouched
}

TEST(UpdateWindow, StandAloneReadsItsOptionsAndStoresAlwaysOnTop) {
    UpdateWindow w;
    w.settings.SaveIPAddr(MakeIpv4(192, 0, 2, 99));
    {
        auto window = w.open("-f" + w.image.string(), true);
        EXPECT_EQ(window->moduleAddress(), MakeIpv4(192, 0, 2, 99));  // the stored one
        EXPECT_EQ(Child<QLineEdit>(window.get(), "fileEdit")->text().toStdString(),
                  w.image.string());
        EXPECT_TRUE(Child<QPushButton>(window.get(), "findButton")->isVisible());
        EXPECT_EQ(window->windowTitle(), "Korvane Network Utility 0.1d");
        ASSERT_NE(window->alwaysOnTopAction(), nullptr);
        window->alwaysOnTopAction()->trigger();
        test::Screenshot(window.get(), "update-window-stand-alone");
    }
    EXPECT_EQ(w.settings.LoadSetting("AlwaysOnTop_AutoUpdate"), 1u);
}

TEST(UpdateWindow, UpdateChecksAddressThenFileThenSaveFileWithFocus) {
    UpdateWindow w;
    auto window = w.open("", true);
    window->RunUpdate();
    Child<IpAddressEdit>(window.get(), "ipEdit")->setValue(MakeIpv4(192, 0, 2, 11));
    Child<QLineEdit>(window.get(), "fileEdit")->setText("/nonexistent/x_APP.s19");
    QApplication::setActiveWindow(window.get());
    window->RunUpdate();
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(window.get(), "fileEdit"));
    Child<QLineEdit>(window.get(), "fileEdit")->setText(QString::fromStdString(w.image.string()));
    Child<QCheckBox>(window.get(), "saveCheck")->click();
    EXPECT_TRUE(Child<QLineEdit>(window.get(), "saveEdit")->isEnabled());
    window->RunUpdate();
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(window.get(), "saveEdit"));
    ASSERT_EQ(w.prompt.shown.size(), 3u);
    EXPECT_EQ(w.prompt.shown[0].text, "Invalid IP address");
    for (int i : {1, 2}) {
        EXPECT_EQ(w.prompt.shown[i].text, "File name is invalid or does not exist.");
        EXPECT_EQ(w.prompt.shown[i].caption, "Error");
        EXPECT_EQ(w.prompt.shown[i].icon, PromptIcon::Information);
    }
    EXPECT_EQ(w.settings.LoadIPAddr(), MakeIpv4(192, 0, 2, 11));
    EXPECT_TRUE(window->isVisible());
}

TEST(UpdateWindow, SaveToFileEnablesItsNameHoweverItIsSet) {
    UpdateWindow w;
    auto window = w.open("", false);
    auto* check = Child<QCheckBox>(window.get(), "saveCheck");
    auto* name = Child<QLineEdit>(window.get(), "saveEdit");
    auto* browse = Child<QPushButton>(window.get(), "saveBrowseButton");
    // A screen reader presses the box through its accessible action; a
    // keyboard shortcut or a script toggles it.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(check);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    const std::vector<std::function<void()>> ways{
        [&] {
            accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        },
        [&] { check->toggle(); },
        [&] { QTest::mouseClick(check, Qt::LeftButton); },
    };
    for (const auto& set : ways) {
        set();
        EXPECT_EQ(name->isEnabled(), check->isChecked());
        EXPECT_EQ(browse->isEnabled(), check->isChecked());
        set();
        EXPECT_EQ(name->isEnabled(), check->isChecked());
        EXPECT_EQ(browse->isEnabled(), check->isChecked());
    }
}

TEST(UpdateWindow, BrowseOffersApplicationFilesOfAnyCaseUnderTheirPlainPattern) {
    test::GuiServices w;
    const fs::path dir = fs::path(w.dir.path().toStdString());
    for (const char* name : {"a_APP.s19", "b_app.S19", "c.s19", "d_APP.bin"}) {
        std::ofstream(dir / name) << "S9030000FC\n";
    }
    QString shownFilter;
    QStringList listed;
    test::ModalHandler handler([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shownFilter = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        auto* model = dialog->findChild<QFileSystemModel*>();
        const QModelIndex folder = model->index(QString::fromStdString(dir.string()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) >= 2; }));
        for (int row = 0; row < model->rowCount(folder); ++row) {
            listed << model->index(row, 0, folder).data().toString();
        }
        dialog->reject();
    });
    QtFileChooser files;
    EXPECT_EQ(files.chooseImageFile((dir / "a_APP.s19").string()), std::nullopt);
    ASSERT_TRUE(handler.handled());
    EXPECT_EQ(shownFilter, "Application Files (*_APP.s19)");
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"a_APP.s19", "b_app.S19"}));
}

TEST(UpdateWindow, SaveToFileWritesTheImageFileShowsSaveCompleteAndCloses) {
    UpdateWindow w;
    const std::string out = (w.image.parent_path() / "pump.bin").string();
    w.files.image = w.image.string();
    w.files.save = out;
    auto window = w.open("[m]\t192.0.2.11\t\tPump\tx,Pump (PC42) 1.05,y", false);
    QTimer::singleShot(0, window.get(), [&] {
        test::Click(window.get(), "browseButton");
        Child<QCheckBox>(window.get(), "saveCheck")->click();
        test::Click(window.get(), "saveBrowseButton");
        test::Click(window.get(), "updateButton");
    });
    QTimer::singleShot(5000, window.get(), [&] { window->done(42); });
    EXPECT_EQ(window->exec(), QDialog::Accepted);
    EXPECT_EQ(w.files.proposed, "pump_APP");
    EXPECT_EQ(w.shownTexts(), std::vector<std::string>{"Save Complete"});
    EXPECT_EQ(fs::file_size(out), 100u + 4u);
    EXPECT_EQ(w.settings.LoadFileDir(), w.image.string());
}

TEST(ModulePicker, ListsRepliesSearchesAgainAndGivesTheChosenAddress) {
    UpdateWindow w;
    CIdFindDlg picker(w.prompt, w.services.loop, w.services.endpoints);
    picker.setSelectedAddress(1);
    picker.show();
    auto* list = Child<QTreeView>(&picker, "list");
    const auto reply = [&](const MacAddress& mac, Ipv4 address) {
        (void)w.peer.sendTo(test::MakeReply(mac, address, "n", "x"), kLoopback,
                            picker.discovery().socket()->localPort());
    };
    std::vector<std::uint8_t> buffer(1500);
    const auto requests = [&] {
        int count = 0;
        while (w.peer.receiveFrom(buffer).ok()) {
            ++count;
        }
        return count;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests() == 1; }));  // one on opening
    reply(test::kMacA, MakeIpv4(192, 0, 2, 11));
    reply(test::kMacB, MakeIpv4(192, 0, 2, 12));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == 2; }));
    // Names too long for the picker's width share it, and both stay in view.
    (void)w.peer.sendTo(
        test::MakeReply(test::kMacC, 1, "Boiler room controller, north wing", "Simulated module"),
        kLoopback, picker.discovery().socket()->localPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == 3; }));
    // (The picker as wide as the columns before the names, and as much more
    // as the names need in all, whatever the fonts.)
    const QFontMetrics metrics = list->fontMetrics();
    picker.resize(picker.width() - list->viewport()->width() + list->columnWidth(0) +
                      list->columnWidth(1) + list->columnWidth(2) +
                      metrics.horizontalAdvance(QStringLiteral("Boiler room controller, north")),
                  picker.height());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return list->header()->length() == list->viewport()->width() &&
               list->horizontalScrollBar()->maximum() == 0;
    })) << list->header()->length()
        << " in " << list->viewport()->width();
    test::Click(&picker, "searchAgainButton");
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests() == 1; }));
    reply(test::kMacB, MakeIpv4(192, 0, 2, 12));
    reply(test::kMacB, MakeIpv4(192, 0, 2, 12));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == 1; }));
    test::Screenshot(&picker, "module-picker");
    const QRect row = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.selectedAddress(), kLoopback);  // where the module answered from
    EXPECT_FALSE(picker.discovery().isOpen());       // the port is free for the update
}

TEST(ModulePicker, FindWithoutASelectionKeepsTheStartingValueAndATakenPortIsReported) {
    UpdateWindow w;
    // Port taken: the picker's own socket cannot bind to it.
    w.services.endpoints.bindPort = w.peer.localPort().value();
    w.services.endpoints.bindAddress = kLoopback;
    auto window = w.open("", true);
    test::ModalHandler handler([](QWidget* picker) {
        EXPECT_EQ(Child<QTreeView>(picker, "list")->model()->rowCount(), 0);
        test::Click(picker, "okButton");
    });
    test::Click(window.get(), "findButton");
    EXPECT_TRUE(handler.handled());
    EXPECT_EQ(window->moduleAddress(), MakeIpv4(0, 0, 0, 1));
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_NE(w.prompt.shown[0].text.find("Error on Bind"), std::string::npos);
}

TEST(MainWindowUpdate, StopsDiscoveryForTheUpdateWindowAndStartsItAgain) {
    UpdateWindow w;
    CLanscopeDlg main(w.services);
    main.show();
    (void)w.peer.sendTo(test::MakeReply(test::kMacA, MakeIpv4(192, 0, 2, 11), "n", "x"), kLoopback,
                        main.socket()->localPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.moduleList().size() == 1; }));
    bool stoppedMeanwhile = false;
    Ipv4 shownAddress = 0;
    test::ModalHandler handler([&](QWidget* update) {
        stoppedMeanwhile = main.socket() == nullptr && main.requestThread() == nullptr;
        shownAddress = Child<IpAddressEdit>(update, "ipEdit")->value();
        test::Click(update, "exitButton");
    });
    test::Click(&main, "updateSoftwareButton");
    EXPECT_TRUE(handler.handled());
    EXPECT_TRUE(stoppedMeanwhile);
    EXPECT_EQ(shownAddress, kLoopback);
    EXPECT_NE(main.socket(), nullptr);
    EXPECT_EQ(main.moduleList().size(), 1u);
}

// Saves the image from the window under its modal run, as a person would,
// and gives what the service history got.
std::vector<HistoryEvent> SaveRecorded(UpdateWindow& w, CAutoUpdateDlg& window,
                                       const std::function<void()>& before) {
    test::ListHistory history;
    w.services.history = &history;
    w.files.image = w.image.string();
    w.files.save = (w.image.parent_path() / "pump.bin").string();
    QTimer::singleShot(0, &window, [&] {
        before();
        test::Click(&window, "browseButton");
        Child<QCheckBox>(&window, "saveCheck")->click();
        test::Click(&window, "saveBrowseButton");
        test::Click(&window, "updateButton");
    });
    QTimer::singleShot(5000, &window, [&] { window.done(42); });
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    w.services.history = nullptr;
    return history.events;
}

TEST(UpdateWindow, AnAddressTypedOverTheLinesIsRecordedWithoutTheLinesModule) {
    UpdateWindow w;
    auto window = w.open("[02-4C-53-00-00-01]\t192.0.2.11\t\tPump\tx,Pump (PC42) 1.05,y", false);
    const auto events = SaveRecorded(w, *window, [&] {
        QLineEdit* last = Child<IpAddressEdit>(window.get(), "ipEdit")->field(3);
        last->selectAll();
        QTest::keyClicks(last, "12");
    });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].module, (HistoryModule{"", "192.0.2.12", "", ""}));
}

TEST(UpdateWindow, TheModuleFindChoseIsRecordedWithItsNames) {
    UpdateWindow w;
    auto window = w.open("-I192.0.2.11", true);
    const auto events = SaveRecorded(w, *window, [&] {
        test::ModalHandler handler([&](QWidget* modal) {
            auto* picker = qobject_cast<CIdFindDlg*>(modal);
            (void)w.peer.sendTo(test::MakeReply(test::kMacB, 0, "Boiler", "Cellar"), kLoopback,
                                picker->discovery().socket()->localPort());
            auto* list = Child<QTreeView>(picker, "list");
            if (QTest::qWaitFor([&] { return list->model()->rowCount() == 1; })) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(list->model()->index(0, 0)).center());
            }
            test::Click(picker, "okButton");
        });
        test::Click(window.get(), "findButton");
    });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].module,
              (HistoryModule{"00-00-00-00-00-02", "127.0.0.1", "Boiler", "Cellar"}));
}

}  // namespace
}  // namespace lanscope
