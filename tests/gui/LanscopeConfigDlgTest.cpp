#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "config/LanscopeConfigDlg.h"
#include "support/GuiSupport.h"
#include "support/Replies.h"
#include "widgets/IpAddressEdit.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

struct RecordingSender : ConfigurationSender {
    std::vector<ModuleRecord> sent;
    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override {
        sent.push_back(record);
        return kConfigurationWriteSize;
    }
};

struct ConfigWindow {
    test::RecordingPrompt prompt;
    RecordingSender sender;
    ModuleList list;
    ModuleRecord record;
    std::unique_ptr<CLanscopeConfigDlg> window;

    explicit ConfigWindow(Ipv4 address = MakeIpv4(192, 0, 2, 11)) {
        record.setLength(148);
        record.setAddress(address);
        record.setMask(MakeIpv4(255, 255, 255, 0));
        record.setGateway(MakeIpv4(192, 0, 2, 1));
        record.setDns(MakeIpv4(192, 0, 2, 53));
        record.setMac(test::kMacA);
        window = std::make_unique<CLanscopeConfigDlg>(
            prompt, [] { return std::vector<Ipv4>{MakeIpv4(192, 0, 2, 1)}; }, &list);
        window->SetModule(sender, record);
        window->show();
    }

    IpAddressEdit* edit(const char* name) {
        return window->findChild<IpAddressEdit*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // Types into one field of an address control, as a person would.
    void type(const char* control, int field, const QString& text) {
        QLineEdit* line = edit(control)->field(field);
        line->selectAll();
        QTest::keyClicks(line, text);
    }
};

TEST(ConfigWindow, ShowsTheModulesSettingsWithStaticDisabled) {
    ConfigWindow w;
    EXPECT_EQ(w.window->findChild<QLabel*>("macValue")->text(), "0a-1B-2C-3D-4E-5F");
    EXPECT_EQ(w.edit("ipEdit")->value(), MakeIpv4(192, 0, 2, 11));
    EXPECT_EQ(w.edit("dnsEdit")->value(), MakeIpv4(192, 0, 2, 53));
    EXPECT_TRUE(w.button("dhcpButton")->isEnabled());
    EXPECT_FALSE(w.button("staticButton")->isEnabled());
    EXPECT_EQ(w.button("autoIpButton")->toolTip(),
              "Set up IP information to match this computer. Disabled if more than one LAN "
              "module exists.");
    test::Screenshot(w.window.get(), "network-settings");
}

TEST(ConfigWindow, DhcpModuleShowsZerosAndCannotBeSwitchedToDhcp) {
    ConfigWindow w(0);
    for (const char* name : {"ipEdit", "maskEdit", "gatewayEdit", "dnsEdit"}) {
        EXPECT_EQ(w.edit(name)->value(), 0u) << name;
    }
    EXPECT_FALSE(w.button("dhcpButton")->isEnabled());
}

TEST(ConfigWindow, EditingAFieldAndBackDisablesStaticAgain) {
    ConfigWindow w;
    w.type("ipEdit", 3, "12");
    EXPECT_TRUE(w.button("staticButton")->isEnabled());
    w.type("ipEdit", 3, "11");
    EXPECT_FALSE(w.button("staticButton")->isEnabled());
    w.type("gatewayEdit", 0, "10");
    EXPECT_TRUE(w.button("staticButton")->isEnabled());
}

TEST(ConfigWindow, AnOctetAbove255IsRefusedAsItIsTypedSoWhatShowsIsWhatIsSent) {
    ConfigWindow w;
    w.type("ipEdit", 3, "300");
    EXPECT_EQ(w.edit("ipEdit")->field(3)->text(), "30");
    w.type("dnsEdit", 0, "256");
    EXPECT_EQ(w.edit("dnsEdit")->field(0)->text(), "25");
    w.prompt.answers = {true};
    QTest::mouseClick(w.button("staticButton"), Qt::LeftButton);
    ASSERT_EQ(w.sender.sent.size(), 1u);
    EXPECT_EQ(w.sender.sent[0].address(), MakeIpv4(192, 0, 2, 30));
    EXPECT_EQ(w.sender.sent[0].dns(), MakeIpv4(25, 0, 2, 53));
}

TEST(ConfigWindow, DhcpSendsZeroAddressWithTheMaskGatewayAndDnsOnScreen) {
    ConfigWindow w;
    w.type("maskEdit", 2, "0");
    w.type("dnsEdit", 3, "99");
    QTest::mouseClick(w.button("dhcpButton"), Qt::LeftButton);
    ASSERT_EQ(w.sender.sent.size(), 1u);
    const ModuleRecord& sent = w.sender.sent[0];
    EXPECT_EQ(sent.address(), 0u);
    EXPECT_EQ(sent.mask(), MakeIpv4(255, 255, 0, 0));
    EXPECT_EQ(sent.gateway(), MakeIpv4(192, 0, 2, 1));
    EXPECT_EQ(sent.dns(), MakeIpv4(192, 0, 2, 99));
    EXPECT_EQ(w.record, sent);  // edited in place
    EXPECT_EQ(w.window->result(), QDialog::Accepted);
    EXPECT_FALSE(w.window->isVisible());
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(ConfigWindow, StaticAsksFirstAndNoSendsNothingAndKeepsTheEdits) {
    ConfigWindow w;
    w.type("ipEdit", 3, "60");
    w.prompt.answers = {false};
    QTest::mouseClick(w.button("staticButton"), Qt::LeftButton);
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_EQ(w.prompt.shown[0].text,
              "Are you sure you want to change this LAN Card's IP Configuration?");
    EXPECT_EQ(w.prompt.shown[0].caption, "Update");
    EXPECT_TRUE(w.sender.sent.empty());
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_EQ(w.edit("ipEdit")->value(), MakeIpv4(192, 0, 2, 60));

    w.prompt.answers = {true};
    QTest::mouseClick(w.button("staticButton"), Qt::LeftButton);
    ASSERT_EQ(w.sender.sent.size(), 1u);
    EXPECT_EQ(w.sender.sent[0].address(), MakeIpv4(192, 0, 2, 60));
    EXPECT_EQ(w.window->result(), QDialog::Accepted);
}

TEST(ConfigWindow, CloseAndCancelNeverSend) {
    for (const char* name : {"closeButton", "cancelButton"}) {
        ConfigWindow w;
        w.type("ipEdit", 3, "60");
        QTest::mouseClick(w.button(name), Qt::LeftButton);
        EXPECT_TRUE(w.sender.sent.empty()) << name;
        EXPECT_FALSE(w.window->isVisible()) << name;
        EXPECT_EQ(w.record.address(), MakeIpv4(192, 0, 2, 11)) << name;
    }
}

TEST(ConfigWindow, AutoIpIsOfferedOnlyWhileTheListHoldsOneModule) {
    ConfigWindow w;
    QPushButton* autoIp = w.button("autoIpButton");
    EXPECT_FALSE(autoIp->isEnabled());
    AddReply(w.list, test::MakeReply(test::kMacA, 1, "a", ""), 1);
    AddReply(w.list, test::MakeReply(test::kMacB, 2, "b", ""), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !autoIp->isEnabled(); }, 2000));
    w.list.remove(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return autoIp->isEnabled(); }, 2000));

    w.prompt.answers = {true};
    QTest::mouseClick(autoIp, Qt::LeftButton);
    ASSERT_EQ(w.sender.sent.size(), 1u);
    EXPECT_EQ(w.sender.sent[0].address(), MakeIpv4(192, 0, 2, 11));
    EXPECT_EQ(w.sender.sent[0].mask(), MakeIpv4(255, 255, 0, 0));
    EXPECT_EQ(w.window->result(), QDialog::Accepted);
}

TEST(ConfigWindow, AutoIpAnsweredNoStillClosesWithOk) {
    ConfigWindow w;
    AddReply(w.list, test::MakeReply(test::kMacA, 1, "a", ""), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.button("autoIpButton")->isEnabled(); }, 2000));
    w.prompt.answers = {false};
    QTest::mouseClick(w.button("autoIpButton"), Qt::LeftButton);
    EXPECT_TRUE(w.sender.sent.empty());
    EXPECT_EQ(w.window->result(), QDialog::Accepted);
    EXPECT_FALSE(w.window->isVisible());
}

// The address typed in is the one another listed module answers from: the
// user hears which module has it before the usual question, and No (the
// default) sends nothing.
TEST(ConfigWindow, AnAddressAnotherListedModuleHasGoesOutOnlyWhenTheUserInsists) {
    test::RecordingPrompt prompt;
    RecordingSender sender;
    ModuleList list;
    const Ipv4 boilerAt = MakeIpv4(192, 0, 2, 11);
    const Ipv4 pumpAt = MakeIpv4(192, 0, 2, 12);
    AddReply(list, test::MakeReply(test::kMacA, boilerAt, "Boiler", ""), boilerAt);
    AddReply(list, test::MakeReply(test::kMacB, pumpAt, "Pump", ""), pumpAt);
    CLanscopeConfigDlg window(
        prompt, [] { return std::vector<Ipv4>{MakeIpv4(192, 0, 2, 1)}; }, &list);
    window.SetModule(sender, list.record(*list.findPrefix("[0a")));
    auto* staticButton = window.findChild<QPushButton*>(QStringLiteral("staticButton"));

    std::vector<std::string> askedFirst;
    bool openAfterNo = false;
    QTimer::singleShot(0, &window, [&] {
        QLineEdit* last = window.findChild<IpAddressEdit*>(QStringLiteral("ipEdit"))->field(3);
        last->selectAll();
        QTest::keyClicks(last, "12");
        QTest::mouseClick(staticButton, Qt::LeftButton);  // no answer: the default
        for (const auto& shown : prompt.shown) {
            askedFirst.push_back(shown.caption + ": " + shown.text);
        }
        openAfterNo = window.isVisible() && sender.sent.empty();
        prompt.shown.clear();
        prompt.answers = {true, true};
        QTest::mouseClick(staticButton, Qt::LeftButton);
    });
    QTimer::singleShot(5000, &window, [&window] { window.done(42); });
    EXPECT_EQ(window.exec(), QDialog::Accepted);

    ASSERT_EQ(askedFirst.size(), 1u);
    for (const char* part : {"Update: ", "192.0.2.12", "00-00-00-00-00-02 (Pump)"}) {
        EXPECT_NE(askedFirst[0].find(part), std::string::npos) << part << " in " << askedFirst[0];
    }
    EXPECT_TRUE(openAfterNo);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text,
              "Are you sure you want to change this LAN Card's IP Configuration?");
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].address(), pumpAt);
    EXPECT_EQ(sender.sent[0].mac(), test::kMacA);
}

}  // namespace
}  // namespace lanscope
