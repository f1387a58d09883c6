#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
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
#include "support/KeyboardWalk.h"
#include "support/Replies.h"
#include "update/AutoUpdateDlg.h"
#include "update/Messages.h"
#include "update/PassDlg.h"
#include "update/UpdateDlg.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

struct NoSender : ConfigurationSender {
    Result<std::size_t> SendConfiguration(const ModuleRecord&) override { return 0; }
};

struct NoCredentials : CredentialsSource {
    bool askCredentials(std::string&, std::string&) override { return false; }
};

UdpSocket LoopbackPeer() {
    auto socket = std::move(UdpSocket::open().value());
    (void)socket.bind(kLoopback, 0);
    return socket;
}

TEST(Keyboard, EnterPressesTheFocusedButtonInEveryWindow) {
    test::GuiServices services;
    const std::filesystem::path image =
        std::filesystem::path(services.dir.path().toStdString()) / "pump_APP.s19";
    std::ofstream(image) << "S107100001020304DE\n";
    {
        CAutoUpdateDlg window("-F" + image.string() + " -I192.0.2.11", services.services, nullptr,
                              true);
        test::ExpectEnterPressesTheFocusedButton(window, "software update window");
    }
    {
        // With "Save to file" its own Browse button is on the chain too.
        CAutoUpdateDlg window("", services.services, nullptr, false);
        window.findChild<QCheckBox*>(QStringLiteral("saveCheck"))->click();
        test::ExpectEnterPressesTheFocusedButton(window, "software update window, saving");
    }
    {
        UdpSocket peer = LoopbackPeer();
        CIdFindDlg picker(services.prompt, services.services.loop,
                          FerroxEndpoints{kLoopback, 0, kLoopback, peer.localPort().value()});
        test::ExpectEnterPressesTheFocusedButton(picker, "picker");
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
        test::ExpectEnterPressesTheFocusedButton(settings, "settings window");
    }
    {
        CPassDlg credentials;
        test::ExpectEnterPressesTheFocusedButton(credentials, "credentials window");
    }
    {
        // An update to a module that stays silent keeps the window open.
        UdpSocket silent = LoopbackPeer();
        UpdateRunSettings run;
        run.imageFile = image.string();
        run.moduleAddress = kLoopback;
        NoCredentials credentials;
        CUpdateDlg progress(run, services.prompt, credentials, services.services.loop, nullptr,
                            UpdateEndpoints{kLoopback, 0, silent.localPort().value()}, 1h);
        test::ExpectEnterPressesTheFocusedButton(progress, "progress window");
    }
}

// Typed as a person does: the user name, Tab, the password, Enter. When the
// module asked again, the window says that it refused the last answer.
TEST(Keyboard, TheCredentialsWindowTabsToThePasswordAndSaysWhenTheModuleRefused) {
    for (const bool again : {false, true}) {
        SCOPED_TRACE(again ? "asked again" : "first question");
        PassDlgCredentials source;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CPassDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                ADD_FAILURE() << "no credentials window";
                return;
            }
            shown = QTest::qWaitForWindowActive(dialog);
            const auto* note = dialog->findChild<QLabel*>(QStringLiteral("refusedLabel"));
            EXPECT_EQ(note != nullptr && note->isVisible(), again);
            if (again && note != nullptr) {
                EXPECT_EQ(note->text().toStdString(), messages::kCredentialsRefused);
                // Neither the line nor the fields below it are cut.
                EXPECT_GE(note->height(), note->heightForWidth(note->width()));
                const auto* field = dialog->findChild<QWidget*>(QStringLiteral("userName"));
                EXPECT_GE(field->height(), field->sizeHint().height());
            }
            // The chain itself: some platforms let Tab skip buttons.
            std::vector<std::string> chain;
            for (QWidget* next = QApplication::focusWidget()->nextInFocusChain();
                 next != QApplication::focusWidget() && chain.size() < 10;
                 next = next->nextInFocusChain()) {
                if ((next->focusPolicy() & Qt::TabFocus) != 0 && next->isVisible()) {
                    chain.push_back(next->objectName().toStdString());
                }
            }
            EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "userName");
            EXPECT_EQ(chain, (std::vector<std::string>{"password", "okButton", "cancelButton"}));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("admin"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("secret"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "Enter did not close the window";
                dialog->reject();
            }
        });
        std::string user;
        std::string password;
        const bool given = again ? source.askCredentialsAgain(user, password)
                                 : source.askCredentials(user, password);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(given);
        EXPECT_EQ(user, "admin");
        EXPECT_EQ(password, "secret");
    }
}

}  // namespace
}  // namespace lanscope
