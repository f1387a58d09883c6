// The window program against simulated modules, run inside a test bed
// (tests/integration/gui_in_testbed.sh starts it there).
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

#include "app/LanscopeDlg.h"
#include "platform/HostInterfaces.h"
#include "support/GuiSupport.h"
#include "update/AutoUpdateDlg.h"
#include "widgets/IpAddressEdit.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

struct TestbedWindow : test::GuiServices {
    std::unique_ptr<CLanscopeDlg> window;

    TestbedWindow() {
        services.hostAddresses = HostIpv4Addresses;
        window = std::make_unique<CLanscopeDlg>(services);
        window->show();
    }
    ModuleList& list() { return window->moduleList(); }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // Presses Search every 1.5 s until a line begins with `prefix`.
    bool searchUntilListed(const std::string& prefix, std::chrono::seconds limit = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            QTest::mouseClick(button("searchButton"), Qt::LeftButton);
            if (QTest::qWaitFor([&] { return list().findPrefix(prefix).has_value(); }, 1500)) {
                return true;
            }
        }
        return false;
    }
    void selectModule(const std::string& mac) { list().setSelection(list().findPrefix(mac)); }
};

TEST(GuiInTestbed, ListsEverySimulatedModule) {
    TestbedWindow w;
    const auto expected = static_cast<std::size_t>(qEnvironmentVariableIntValue("TESTBED_MODULES"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.list().size() == expected; }, 10000))
        << w.list().size();
    EXPECT_EQ(w.list().text(0),
              "[02-4C-53-00-00-01]\t192.0.2.11\t\tLAN Module 1\tSimulated module");
    test::Screenshot(w.window.get(), "testbed-module-list");
}

TEST(GuiInTestbed, NewAddressFromTheSettingsWindowShowsAfterSearch) {
    TestbedWindow w;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.list().findPrefix("[02-4C-53-00-00-02]").has_value(); }, 10000));
    w.selectModule("[02-4C-53-00-00-02]");
    w.prompt.answers = {true};
    test::ModalHandler handler([](QWidget* settings) {
        QLineEdit* last = settings->findChild<IpAddressEdit*>("ipEdit")->field(3);
        last->selectAll();
        QTest::keyClicks(last, "60");
        test::Click(settings, "staticButton");
    });
    QTest::mouseClick(w.button("configurationButton"), Qt::LeftButton);
    ASSERT_TRUE(handler.handled());
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_EQ(w.prompt.shown[0].caption, "Update");
    EXPECT_TRUE(w.searchUntilListed("[02-4C-53-00-00-02]\t192.0.2.60\t\t"));
    // The old line went with the sweep.
    EXPECT_FALSE(w.list().findPrefix("[02-4C-53-00-00-02]\t192.0.2.12"));
}

TEST(GuiInTestbed, AutoIpGivesTheOnlyModuleTheWorkstationAddressPlusTen) {
    TestbedWindow w;
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.list().size() == 1; }, 10000));
    ASSERT_EQ(HostIpv4Addresses(), std::vector<Ipv4>{MakeIpv4(192, 0, 2, 1)});
    w.prompt.answers = {true};
    test::ModalHandler handler([](QWidget* settings) {
        // The rule enables the button for a list of exactly one module.
        test::Click(settings, "autoIpButton");
    });
    QTest::mouseClick(w.button("configurationButton"), Qt::LeftButton);
    ASSERT_TRUE(handler.handled());
    ASSERT_TRUE(w.searchUntilListed("[02-4C-53-00-00-01]\t192.0.2.11\t\t"));
    const ModuleRecord& record =
        w.list().record(*w.list().findPrefix("[02-4C-53-00-00-01]\t192.0.2.11"));
    EXPECT_EQ(record.mask(), MakeIpv4(255, 255, 0, 0));
}

}  // namespace
}  // namespace lanscope

#include <QFile>
#include <QLineEdit>
#include <QProgressBar>

#include "update/PassDlg.h"
#include "update/UpdateDlg.h"

namespace lanscope {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int DataRequestsLogged(const QString& log) {
    return static_cast<int>(ReadAll(log).count("data #"));
}

TEST(GuiInTestbed, UpdateWindowLoadsTheImageWithCredentials) {
    test::RecordingPrompt prompt;
    PassDlgCredentials credentials;
    UpdateRunSettings settings;
    settings.imageFile = qEnvironmentVariable("LANSCOPE_TEST_IMAGE").toStdString();
    settings.moduleAddress = MakeIpv4(192, 0, 2, 11);
    settings.restart = true;
    CUpdateDlg window(settings, prompt, credentials, QtEventLoop::instance());
    test::ModalHandler handler(
        [](QWidget* pass) {
            pass->findChild<QLineEdit*>("userName")->setText("admin");
            pass->findChild<QLineEdit*>("password")->setText("secret");
            EXPECT_EQ(pass->findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
            test::Click(pass, "okButton");
        },
        &window);
    QTimer::singleShot(0, [&] { test::Screenshot(&window, "update-status"); });
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_TRUE(handler.handled());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(window.shownProgress(), 100);
    const QByteArray expected = ReadAll(qEnvironmentVariable("LANSCOPE_TEST_EXPECTED"));
    ASSERT_FALSE(expected.isEmpty());
    // Reported done only once the module has stored it, duplicated replies
    // or not.
    EXPECT_EQ(ReadAll(qEnvironmentVariable("LANSCOPE_TEST_RECEIVED")), expected);
}

// Started with -A as the program's main window: a module that declines the
// update gives "Update Failed", and the window stays open with its entries.
TEST(GuiInTestbed, AutoUpdateThatFailsKeepsTheWindowOpen) {
    test::GuiServices shared;
    const std::string file = qEnvironmentVariable("LANSCOPE_TEST_IMAGE").toStdString();
    CAutoUpdateDlg window("-F" + file + " -I192.0.2.13 -A", shared.services, nullptr, true);
    bool openAfterwards = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!shared.prompt.shown.empty()) {
            poll.stop();
            QTest::qWait(100);
            openAfterwards = window.isVisible();
            window.reject();
        }
    });
    poll.start(20);
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    ASSERT_EQ(shared.prompt.shown.size(), 1u);
    EXPECT_EQ(shared.prompt.shown[0].text, "Update Failed");
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(window.imageFile(), file);
}

TEST(GuiInTestbed, CancelDuringTheTransferSendsNothingMore) {
    test::RecordingPrompt prompt;
    PassDlgCredentials credentials;
    UpdateRunSettings settings;
    settings.imageFile = qEnvironmentVariable("LANSCOPE_TEST_IMAGE").toStdString();
    settings.moduleAddress = MakeIpv4(192, 0, 2, 12);
    CUpdateDlg window(settings, prompt, credentials, QtEventLoop::instance());
    const QString log = qEnvironmentVariable("TESTBED_LOGS") + "/module-2.log";
    int atCancel = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (atCancel < 0 && window.shownProgress() >= 5) {
            test::Click(&window, "cancelButton");
            atCancel = 0;
        }
    });
    poll.start(10);
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    ASSERT_EQ(atCancel, 0);
    QTest::qWait(300);
    const int settled = DataRequestsLogged(log);
    EXPECT_GT(settled, 0);
    QTest::qWait(1500);
    EXPECT_EQ(DataRequestsLogged(log), settled);
    EXPECT_TRUE(prompt.shown.empty());
}

}  // namespace
}  // namespace lanscope
