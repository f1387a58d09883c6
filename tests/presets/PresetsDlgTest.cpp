// The form-filling window against the simulated module's web pages, in a
// test bed (tests/integration/presets_in_testbed.sh starts it there).
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <fstream>

#include "presets/PresetsDlg.h"
#include "support/GuiSupport.h"

namespace lanscope {
namespace {

struct ScriptedLogin : CredentialsSource {
    ScriptedLogin(std::string u, std::string p) : user(std::move(u)), password(std::move(p)) {}
    std::string user;
    std::string password;
    int asked = 0;
    bool askCredentials(std::string& u, std::string& p) override {
        ++asked;
        if (user.empty()) {
            return false;
        }
        u = user;
        p = password;
        return true;
    }
};

// Runs the window until it closes or `done` holds (then closes it).
int RunWindow(CPresetsDlg& window, const std::function<bool()>& done = {}) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done && done()) {
            window.reject();
        }
    });
    poll.start(50);
    QTimer::singleShot(30000, &window, [&] { window.done(42); });  // never hangs the suite
    return window.exec();
}

std::string WritePreset(QTemporaryDir& dir, const std::string& text) {
    const std::string path = dir.filePath(QStringLiteral("test.prs")).toStdString();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const std::string kInjection = "'\";</script><img src=x onerror=alert(1)>\u2028";

TEST(PresetsInTestbed, FillsTheFormAsDataAndListsWhatItCouldNotWrite) {
    QTemporaryDir dir;
    const std::string preset =
        WritePreset(dir, "// a preset\nip = 10.0.0.1\nspeed = 2\nhostname = " + kInjection +
                             "\npassword = secret\nnotes = n\nlabel = changed\nmissing = x\n");
    test::RecordingPrompt prompt;
    ScriptedLogin login("admin", "pw");
    PresetsRunState state;
    CPresetsDlg window("192.0.2.11", preset, false, prompt, login, nullptr, state);
    bool filled = false;
    QObject::connect(&window, &CPresetsDlg::formFilled, [&] { filled = true; });
    RunWindow(window, [&] { return filled && !prompt.shown.empty(); });
    ASSERT_TRUE(filled);
    EXPECT_GE(login.asked, 1);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "Your presets have been loaded. However, you must verify the values and press "
              "'Submit' before they will take affect.\n\nUnable to find the following "
              "fields:\n\n\tpassword\n\tnotes\n\tmissing\n");
    test::Screenshot(&window, "presets-filled");
}

TEST(PresetsInTestbed, LoginFailuresAndFormFaultsEndWithTheirMessages) {
    QTemporaryDir dir;
    const std::string preset = WritePreset(dir, "ip = 10.0.0.1\n");
    const struct {
        const char* address;
        std::string user;
        const char* message;
    } cases[] = {
        {"192.0.2.12", "", "Unable to display the page. Authentication issues"},
        {"192.0.2.11", "guest", "You have not logged in as administrator."},
        {"192.0.2.13", "", "Unable to find the form."},
        {"192.0.2.14", "", "Unable to display the page. Please ensure accessibility"},
        {"192.0.2.99", "", "Unable to display the page. Please ensure accessibility"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompt prompt;
        ScriptedLogin login(c.user, c.user == "guest" ? "g" : "");
        PresetsRunState state;
        CPresetsDlg window(c.address, preset, false, prompt, login, nullptr, state);
        EXPECT_EQ(RunWindow(window), QDialog::Rejected) << c.address;
        if (prompt.shown.size() != 1u) {
            ADD_FAILURE() << c.address << ": " << prompt.shown.size() << " messages";
            continue;
        }
        EXPECT_EQ(prompt.shown[0].text.rfind(c.message, 0), 0u)
            << c.address << ": " << prompt.shown[0].text;
    }
}

}  // namespace
}  // namespace lanscope
