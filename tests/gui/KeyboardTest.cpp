#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "config/IdFindDlg.h"
#include "config/LanscopeConfigDlg.h"
#include "support/GuiSupport.h"
#include "support/Replies.h"
#include "update/AutoUpdateDlg.h"
#include "update/PassDlg.h"
#include "update/UpdateDlg.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

struct NoSender : ConfigurationSender {
    void sendConfiguration(const ModuleRecord&) override {}
};

struct NoCredentials : CredentialsSource {
    bool askCredentials(std::string&, std::string&) override { return false; }
};

UdpSocket LoopbackPeer() {
    auto socket = std::move(UdpSocket::open().value());
    (void)socket.bind(kLoopback, 0);
    return socket;
}

// Walks a dialog under exec() as a person at the keyboard does: Tab from one
// control to the next, Enter on each. Every button's clicks are counted
// instead of acted on, so the walk goes through every control of one window.
// Enter on a focused button must press that button; anywhere else it must
// press the window's default button.
void ExpectEnterPressesTheFocusedButton(QDialog& dialog, const char* name) {
    SCOPED_TRACE(name);
    std::map<QPushButton*, int> clicks;
    const auto count = [&clicks](const std::map<QPushButton*, int>& counts, QPushButton* button) {
        const auto found = counts.find(button);
        return found == counts.end() ? 0 : found->second;
    };
    QPushButton* defaultButton = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(button, &QAbstractButton::clicked, &dialog,
                         [&clicks, button] { ++clicks[button]; });
        if (button->isDefault()) {
            defaultButton = button;
        }
    }
    int buttonsPressed = 0;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        std::set<QWidget*> visited;
        for (int step = 0; step < 40; ++step) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr);
            if (!visited.insert(focused).second) {
                break;  // round the whole tab chain
            }
            const auto before = clicks;
            QTest::keyClick(focused, Qt::Key_Return);
            auto* button = qobject_cast<QPushButton*>(focused);
            QPushButton* expected = button != nullptr ? button : defaultButton;
            for (const auto& [pressed, now] : clicks) {
                EXPECT_EQ(now - count(before, pressed), pressed == expected ? 1 : 0)
                    << "Enter on " << focused->objectName().toStdString() << " ("
                    << focused->metaObject()->className() << ") pressed "
                    << pressed->objectName().toStdString();
            }
            if (expected != nullptr && count(clicks, expected) == count(before, expected)) {
                ADD_FAILURE() << "Enter on " << focused->objectName().toStdString()
                              << " pressed nothing";
            }
            buttonsPressed += button != nullptr ? 1 : 0;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        dialog.reject();
    });
    dialog.exec();
    // Every visible, enabled button is on the tab chain and was tried.
    int reachable = 0;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        reachable += button->isVisibleTo(&dialog) && button->isEnabled() ? 1 : 0;
    }
    EXPECT_EQ(buttonsPressed, reachable);
}

TEST(Keyboard, EnterPressesTheFocusedButtonInEveryWindow) {
    test::GuiServices services;
    const std::filesystem::path image =
        std::filesystem::path(services.dir.path().toStdString()) / "pump_APP.s19";
    std::ofstream(image) << "S107100001020304DE\n";
    {
        CAutoUpdateDlg window("-F" + image.string() + " -I192.0.2.11", services.services, nullptr,
                              true);
        ExpectEnterPressesTheFocusedButton(window, "software update window");
    }
    {
        // With "Save to file" its own Browse button is on the chain too.
        CAutoUpdateDlg window("", services.services, nullptr, false);
        window.findChild<QCheckBox*>(QStringLiteral("saveCheck"))->click();
        ExpectEnterPressesTheFocusedButton(window, "software update window, saving");
    }
    {
        UdpSocket peer = LoopbackPeer();
        CIdFindDlg picker(services.prompt,
                          FerroxEndpoints{kLoopback, 0, kLoopback, peer.localPort().value()});
        ExpectEnterPressesTheFocusedButton(picker, "picker");
    }
    {
        NoSender sender;
        ModuleRecord record;
        record.setLength(148);
        record.setAddress(MakeIpv4(192, 0, 2, 11));
        record.setMask(MakeIpv4(255, 255, 255, 0));
        record.setMac(test::kMacA);
        ModuleList list;
        CLanscopeConfigDlg settings(
            services.prompt, [] { return std::vector<Ipv4>{MakeIpv4(192, 0, 2, 1)}; }, &list);
        settings.SetModule(sender, record);
        ExpectEnterPressesTheFocusedButton(settings, "settings window");
    }
    {
        CPassDlg credentials;
        ExpectEnterPressesTheFocusedButton(credentials, "credentials window");
    }
    {
        // An update to a module that stays silent keeps the window open.
        UdpSocket silent = LoopbackPeer();
        UpdateRunSettings run;
        run.imageFile = image.string();
        run.moduleAddress = kLoopback;
        NoCredentials credentials;
        CUpdateDlg progress(run, services.prompt, credentials, nullptr,
                            UpdateEndpoints{kLoopback, 0, silent.localPort().value()}, 1h);
        ExpectEnterPressesTheFocusedButton(progress, "progress window");
    }
}

}  // namespace
}  // namespace lanscope
