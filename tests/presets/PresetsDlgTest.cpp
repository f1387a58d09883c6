// The form-filling window against the simulated module's web pages, in a
// test bed (tests/integration/presets_in_testbed.sh starts it there).
#include <gtest/gtest.h>
#include <QApplication>
#include <QAuthenticator>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/Console.h"
#include "presets/Messages.h"
#include "presets/PresetsConfigDlg.h"
#include "presets/PresetsDlg.h"
#include "support/GuiSupport.h"
#include "support/KeyboardWalk.h"
#include "update/PassDlg.h"

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
    // Only against a hang: far beyond what any window here takes on a busy
    // machine, so it never decides a result, and a hanging window fails its
    // own test instead of stopping the suite.
    QTimer::singleShot(std::chrono::minutes(1), &window, [&] { window.done(42); });
    return window.exec();
}

std::string WritePreset(QTemporaryDir& dir, const std::string& text) {
    const std::string path = dir.filePath(QStringLiteral("test.prs")).toStdString();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// What the page's own form holds now, as JSON (read in the page's world).
nlohmann::json ReadForm(CPresetsDlg& window, const char* expression) {
    QVariant held;
    bool read = false;
    window.browser()->page()->runJavaScript(QString::fromLatin1(expression),
                                            [&](const QVariant& value) {
                                                held = value;
                                                read = true;
                                            });
    if (!QTest::qWaitFor([&] { return read; })) {
        return {};
    }
    return nlohmann::json::parse(held.toString().toStdString(), nullptr, false);
}

// A simulated module's log in the test bed, or nothing outside it.
std::string ModuleLog(int module) {
    const QString logs = qEnvironmentVariable("TESTBED_LOGS");
    if (logs.isEmpty()) {
        return {};
    }
    std::ifstream file(QStringLiteral("%1/module-%2.log").arg(logs).arg(module).toStdString());
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// One form-filling window on a preset of its own, with what it needs around
// it: the prompt it shows its messages in, the login it is given.
struct FillerRun {
    QTemporaryDir dir;
    test::RecordingPrompt prompt;
    ScriptedLogin login;
    PresetsRunState state;
    std::unique_ptr<CPresetsDlg> window;
    FillerRun(const std::string& address, const std::string& preset, bool quiet = false,
              std::string user = "admin", std::string password = "pw")
        : login(std::move(user), std::move(password)),
          window(std::make_unique<CPresetsDlg>(address, WritePreset(dir, preset), quiet, prompt,
                                               login, nullptr, state)) {}
};

const std::string kInjection = "'\";</script><img src=x onerror=alert(1)>\u2028";

TEST(PresetsInTestbed, FillsTheFormAsDataAndListsWhatItCouldNotWrite) {
    QTemporaryDir dir;
    const std::string preset =
        WritePreset(dir, "// a preset\nip = 10.0.0.1\nspeed = 2\nhostname = " + kInjection +
                             "\npassword = secret\nnotes = n\nlabel = changed\nmissing = x\n");
    test::RecordingPrompt prompt;
    PassDlgCredentials login;  // the credentials window, answered as a person would
    PresetsRunState state;
    CPresetsDlg window("192.0.2.11", preset, false, prompt, login, nullptr, state);
    bool filled = false;
    int logins = 0;
    QObject::connect(&window, &CPresetsDlg::formFilled, [&] { filled = true; });
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* pass = qobject_cast<CPassDlg*>(QApplication::activeModalWidget());
        if (pass != nullptr && pass->isVisible()) {
            ++logins;
            pass->findChild<QLineEdit*>(QStringLiteral("userName"))->setText("admin");
            pass->findChild<QLineEdit*>(QStringLiteral("password"))->setText("pw");
            test::Click(pass, "okButton");
        }
    });
    answer.start(20);
    RunWindow(window, [&] { return filled && !prompt.shown.empty(); });
    ASSERT_TRUE(filled);
    EXPECT_GE(logins, 1);
    // What the page's own form now holds (read in the page's world).
    QVariant held;
    bool read = false;
    window.browser()->page()->runJavaScript(
        QStringLiteral(
            "(function(){var d=window.frames[0].document, f=d.forms.namedItem('frmConfig');"
            "var labels=f.elements.namedItem('label');"
            "return JSON.stringify({ip:f.elements.namedItem('ip').value,"
            "host:f.elements.namedItem('hostname').value,"
            "speed:f.elements.namedItem('speed').selectedIndex,"
            "label:[labels[0].value, labels[1].value], images:d.images.length});})()"),
        [&](const QVariant& value) {
            held = value;
            read = true;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return read; }));
    const auto values = nlohmann::json::parse(held.toString().toStdString());
    EXPECT_EQ(values["ip"], "10.0.0.1");
    EXPECT_EQ(values["host"], kInjection);  // byte for byte, as data
    EXPECT_EQ(values["speed"], 2);
    EXPECT_EQ(values["label"], nlohmann::json::array({"changed", "second"}));  // the first only
    EXPECT_EQ(values["images"], 0);  // nothing of the value became markup
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
        // The configuration frame loads beside a frame that sends the
        // browser round: whichever is first, it may be filled (and its
        // summary shown) before the round ends the window.
        bool mayFillFirst = false;
    } cases[] = {
        {"192.0.2.12", "", "Unable to display the page. Authentication issues"},
        {"192.0.2.11", "guest", "You have not logged in as administrator."},
        {"192.0.2.13", "", "Unable to find the form."},
        {"192.0.2.14", "", "Unable to display the page. Please ensure accessibility", true},
        {"192.0.2.99", "", "Unable to display the page. Please ensure accessibility"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompt prompt;
        ScriptedLogin login(c.user, c.user == "guest" ? "g" : "");
        PresetsRunState state;
        CPresetsDlg window(c.address, preset, false, prompt, login, nullptr, state);
        EXPECT_EQ(RunWindow(window), QDialog::Rejected) << c.address;
        if (c.mayFillFirst && prompt.shown.size() == 2u &&
            prompt.shown[0].text.rfind(messages::kPresetsLoaded, 0) == 0) {
            prompt.shown.erase(prompt.shown.begin());
        }
        if (prompt.shown.size() != 1u) {
            ADD_FAILURE() << c.address << ": " << prompt.shown.size() << " messages";
            continue;
        }
        EXPECT_EQ(prompt.shown[0].text.rfind(c.message, 0), 0u)
            << c.address << ": " << prompt.shown[0].text;
    }
}

TEST(PresetsInTestbed, QuietModeFillsAndClosesWithoutTheSummary) {
    FillerRun run("192.0.2.11", "ip = 10.0.0.9\n", true);
    CPresetsDlg& window = *run.window;
    test::RecordingPrompt& prompt = run.prompt;
    bool filled = false;
    QObject::connect(&window, &CPresetsDlg::formFilled, [&] { filled = true; });
    EXPECT_EQ(RunWindow(window), QDialog::Rejected);  // closes by itself once filled
    EXPECT_TRUE(filled);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST(PresetsInTestbed, TheCredentialsGoToTheModuleAloneNotToAFrameOfAnotherHost) {
    // Module 5's frame page shows a page of module 6, which asks for a login.
    FillerRun run("192.0.2.15", "ip = 10.0.0.5\n");
    CPresetsDlg& window = *run.window;
    // Heard after the window's own handler: what it answered.
    std::vector<std::pair<QString, bool>> challenges;
    QObject::connect(window.browser()->page(), &QWebEnginePage::authenticationRequired,
                     [&](const QUrl& url, QAuthenticator* authenticator) {
                         challenges.emplace_back(url.host(), !authenticator->isNull());
                     });
    bool filled = false;
    QObject::connect(&window, &CPresetsDlg::formFilled, [&] { filled = true; });
    const auto foreignAsked = [&] {
        return std::any_of(challenges.begin(), challenges.end(),
                           [](const auto& c) { return c.first == "192.0.2.16"; });
    };
    RunWindow(window, [&] { return filled && foreignAsked(); });
    EXPECT_TRUE(filled);
    ASSERT_TRUE(foreignAsked());
    for (const auto& [host, answered] : challenges) {
        EXPECT_EQ(answered, host == "192.0.2.15") << host.toStdString();
    }
    EXPECT_GE(run.login.asked, 1);
    EXPECT_EQ(static_cast<std::size_t>(run.login.asked),
              std::count_if(challenges.begin(), challenges.end(),
                            [](const auto& c) { return c.first == "192.0.2.15"; }));
    // What module 6 itself saw: asked for its page, never with a login.
    const std::string seen = ModuleLog(6);
    if (!seen.empty()) {
        EXPECT_NE(seen.find("http GET /config.htm -> 401"), std::string::npos) << seen;
        EXPECT_EQ(seen.find("with authorization"), std::string::npos) << seen;
    }
}

TEST(PresetsInTestbed, PagesThatHideTheirFormOrTheirLoadAreFilledAllTheSame) {
    QTemporaryDir dir;
    const std::string preset = WritePreset(dir, "ip = 10.0.0.7\nspeed = 1\n");
    const struct {
        const char* address;
        const char* page;
    } cases[] = {
        {"192.0.2.17", "elements named forms, readyState, elements, namedItem"},
        {"192.0.2.18", "a load event kept from every other listener"},
        {"192.0.2.19", "an image that never arrives, so no load event at all"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompt prompt;
        ScriptedLogin login("", "");
        PresetsRunState state;
        CPresetsDlg window(c.address, preset, false, prompt, login, nullptr, state);
        bool filled = false;
        QObject::connect(&window, &CPresetsDlg::formFilled, [&] { filled = true; });
        RunWindow(window, [&] {
            if (!filled || prompt.shown.empty()) {
                return false;
            }
            const auto form =
                ReadForm(window,
                         "(function(){var d=window.frames[0].document;"
                         "return JSON.stringify({ip:d.querySelector('[name=ip]').value,"
                         "speed:d.querySelector('[name=speed]').selectedIndex});})()");
            EXPECT_EQ(form, nlohmann::json::parse(R"({"ip":"10.0.0.7","speed":1})")) << c.page;
            return true;
        });
        EXPECT_TRUE(filled) << c.page;
        if (prompt.shown.size() != 1u) {
            ADD_FAILURE() << c.page << ": " << prompt.shown.size() << " messages";
            continue;
        }
        EXPECT_EQ(prompt.shown[0].text, messages::kPresetsLoaded) << c.page;
    }
}

// Links followed after the form was filled: `byUser` with the user's own
// key press in the browser before each (then none counts), else by the page's
// script alone (each counts, so a page cannot loop for ever). How many were
// followed before the window ended, and what it showed.
struct LinksFollowed {
    int followed = 0;
    bool open = false;
    std::vector<std::string> shown;
};
// Whether the page shows a frame page loaded to its end, with its
// configuration frame, that is not the one marked before the last link was
// clicked: the page the window sends the browser back to. Asked of the page
// itself: the browser's own load signals can miss the end of that load, when
// it has begun before the link it replaces was reported stopped.
const char* const kBackOnTheFramePage =
    "(function(){var f=window.frames[0];"
    "return !window.lanscopeTestLeft && document.readyState==='complete' && !!f &&"
    " f.location.pathname==='/config.htm' && f.document.readyState==='complete';})()";

LinksFollowed FollowLinks(bool byUser) {
    FillerRun run("192.0.2.11", "ip = 10.0.0.1\n");
    CPresetsDlg& window = *run.window;
    QWebEnginePage* page = window.browser()->page();
    LinksFollowed result;
    // The page's answers can come while the window is being destroyed, after
    // what they would act on is gone.
    const auto over = std::make_shared<bool>(false);
    // The person at the window types until the link has been followed, so
    // the link is always just after the user's input, however long the
    // browser takes to act on it.
    const auto press = [&] {
        QWidget* input = window.browser()->focusProxy() != nullptr ? window.browser()->focusProxy()
                                                                   : window.browser();
        QTest::keyClick(input, Qt::Key_Shift);
    };
    QTimer typing;
    typing.setInterval(100);
    QObject::connect(&typing, &QTimer::timeout, press);
    QTimer looking;
    looking.setSingleShot(true);
    looking.setInterval(50);
    std::function<void()> click;
    QObject::connect(&looking, &QTimer::timeout, [&, over] {
        page->runJavaScript(QString::fromLatin1(kBackOnTheFramePage),
                            [&, over](const QVariant& back) {
                                if (*over || !window.isVisible()) {
                                    return;
                                }
                                if (!back.toBool()) {
                                    looking.start();
                                    return;
                                }
                                ++result.followed;
                                click();
                            });
    });
    // More links than the pages' own redirects may take; each one leads off
    // the form and is sent back to the frame page.
    click = [&] {
        typing.stop();
        if (!window.isVisible()) {
            return;
        }
        if (result.followed > FormFiller::kMaxRedirects) {
            result.open = true;
            window.reject();
            return;
        }
        if (byUser) {
            press();
            typing.start();
        }
        page->runJavaScript(
            QStringLiteral("window.lanscopeTestLeft=true; var a=document.createElement('a');"
                           "a.href='/status.htm'; document.documentElement.appendChild(a);"
                           "a.click();"));
        looking.start();
    };
    // The first link once the form is filled and its summary shown.
    run.prompt.whileShown = [&] {
        if (run.prompt.shown.size() == 1) {
            QTimer::singleShot(0, &window, click);
        }
    };
    RunWindow(window);
    *over = true;
    typing.stop();
    looking.stop();
    for (const auto& shown : run.prompt.shown) {
        result.shown.push_back(shown.text);
    }
    return result;
}

TEST(PresetsInTestbed, TheUsersOwnLinksNeverEndTheWindow) {
    const LinksFollowed links = FollowLinks(true);
    EXPECT_EQ(links.followed, FormFiller::kMaxRedirects + 1);
    EXPECT_TRUE(links.open);
    EXPECT_EQ(links.shown.size(), 1u);  // the summary alone
}

TEST(PresetsInTestbed, APageThatFollowsLinksByItselfReachesTheLimit) {
    const LinksFollowed links = FollowLinks(false);
    EXPECT_FALSE(links.open);
    EXPECT_LE(links.followed, FormFiller::kMaxRedirects);
    ASSERT_EQ(links.shown.size(), 2u);  // the summary, then why the window ended
}

TEST(PresetsInTestbed, ARendererThatEndsEndsTheWindowWithTheAccessibilityMessage) {
    FillerRun run("192.0.2.11", "ip = 10.0.0.1\n");
    CPresetsDlg& window = *run.window;
    test::RecordingPrompt& prompt = run.prompt;
    bool killed = false;
    const int result = RunWindow(window, [&] {
        if (!killed && !prompt.shown.empty()) {
            killed = ::kill(static_cast<pid_t>(window.browser()->page()->renderProcessPid()),
                            SIGKILL) == 0;
        }
        return false;
    });
    EXPECT_TRUE(killed);
    EXPECT_EQ(result, QDialog::Rejected);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, messages::kNotAccessible);
}

TEST(PresetsInTestbed, AQuietRunWhosePageNeverCompletesGivesUp) {
    QTemporaryDir dir;
    QTcpServer silent;  // takes the connection, never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    test::RecordingPrompt prompt;
    ScriptedLogin login("", "");
    PresetsRunState state;
    CPresetsDlg window("127.0.0.1:" + std::to_string(silent.serverPort()),
                       WritePreset(dir, "ip = 10.0.0.1\n"), true, prompt, login, nullptr, state);
    window.setQuietDeadline(std::chrono::milliseconds(500));
    EXPECT_EQ(RunWindow(window), QDialog::Rejected);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, messages::kNotAccessible);
}

// The browser's own error page in place of the frame page. A module that
// cannot be reached ends the window even when the browser never reports the
// failed load (it can leave it unsaid when loads overtake each other); an
// HTTP answer without a page of its own (a missing page, a refused login)
// leaves the window open, as a page the module sends does.
TEST(PresetsInTestbed, TheBrowsersErrorPageEndsTheWindowOnlyForAModuleThatCannotBeReached) {
    const struct {
        const char* answer;  // none: nothing listens
    } cases[] = {
        {nullptr},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"m\"\r\n"
         "Content-Length: 0\r\n\r\n"},
    };
    for (const auto& c : cases) {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        const std::string address = "127.0.0.1:" + std::to_string(server.serverPort());
        if (c.answer == nullptr) {
            server.close();
        }
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, [socket, &c] {
                    socket->readAll();
                    socket->write(c.answer);
                    socket->disconnectFromHost();
                });
            }
        });
        FillerRun run(address, "ip = 10.0.0.1\n", false, "", "");
        QWebEnginePage* page = run.window->browser()->page();
        bool answered = false;
        if (c.answer == nullptr) {
            page->blockSignals(true);  // the failed load goes unreported
        } else {
            QObject::connect(
                page, &QWebEnginePage::loadingChanged, [&](const QWebEngineLoadingInfo& info) {
                    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus) {
                        return;
                    }
                    // After the window has looked at the error page.
                    QMetaObject::invokeMethod(
                        page,
                        [&] {
                            page->runJavaScript(QStringLiteral("1"),
                                                QWebEngineScript::ApplicationWorld,
                                                [&](const QVariant&) { answered = true; });
                        },
                        Qt::QueuedConnection);
                });
        }
        const int result = RunWindow(*run.window, [&] { return answered; });
        EXPECT_EQ(result, QDialog::Rejected) << address;
        if (c.answer == nullptr) {
            ASSERT_EQ(run.prompt.shown.size(), 1u);
            EXPECT_EQ(run.prompt.shown[0].text, messages::kNotAccessible);
        } else {
            EXPECT_TRUE(answered) << c.answer;
            EXPECT_TRUE(run.prompt.shown.empty()) << c.answer;
        }
    }
}

// Sets or clears an environment variable for one scope.
class EnvironmentOverride {
  public:
    EnvironmentOverride(const char* name, const char* value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value == nullptr) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~EnvironmentOverride() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(PresetsWindow, AsRootWithTheSandboxOnItSaysWhyInsteadOfEndingTheProgram) {
    if (!RunsAsSuperuser()) {
        GTEST_SKIP() << "only the superuser meets the refusal";
    }
    // As the product runs: nothing tells the engine to do without its sandbox.
    EnvironmentOverride sandbox("QTWEBENGINE_DISABLE_SANDBOX", nullptr);
    EnvironmentOverride flags("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    FillerRun run("192.0.2.11", "ip = 10.0.0.1\n", false, "", "");
    CPresetsDlg& window = *run.window;
    test::RecordingPrompt& prompt = run.prompt;
    EXPECT_EQ(window.browser(), nullptr);
    EXPECT_EQ(RunWindow(window), QDialog::Rejected);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, messages::kBrowserRefusesRoot);
}

TEST(PresetsWindow, APresetFileThatCannotBeReadIsSaidAndEndsTheWindow) {
    test::RecordingPrompt prompt;
    ScriptedLogin login("", "");
    PresetsRunState state;
    CPresetsDlg window("192.0.2.11", "/nonexistent/pump.prs", false, prompt, login, nullptr, state);
    EXPECT_EQ(RunWindow(window), QDialog::Rejected);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, messages::kPresetFileAccessError);
    EXPECT_EQ(prompt.shown[0].caption, "lanscope");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);
    EXPECT_EQ(login.asked, 0);
}

struct NoFiles : FileChooser {
    std::optional<std::string> preset;
    std::optional<std::string> chooseImageFile(const std::string&) override { return {}; }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> chooseListFile() override { return list; }
    std::optional<std::string> list;
    std::optional<std::string> choosePresetFile() override { return preset; }
};

TEST(PresetsWindow, TakesTheAddressFromTheLineAndRemembersTheChosenFile) {
    test::GuiServices shared;
    NoFiles files;
    ScriptedLogin login("", "");
    shared.settings.SavePresetsFile("/old/gone.prs");
    {
        CPresetsConfigDlg window("[02-4c-53-00-00-01]\t192.0.2.11\t\tn\tx", shared.prompt,
                                 shared.settings, files, login);
        EXPECT_EQ(window.windowTitle(), "Presets Configuration - 192.0.2.11");
        EXPECT_EQ(window.fileName(), "/old/gone.prs");
        files.preset = "/new/pump.prs";
        test::Click(&window, "selectFileButton");
        window.reject();  // Cancel: the choice is kept all the same
    }
    EXPECT_EQ(shared.settings.LoadPresetsFile(), "/new/pump.prs");
    CPresetsConfigDlg noAddress("[02-4c-53-00-00-01]", shared.prompt, shared.settings, files,
                                login);
    EXPECT_EQ(noAddress.windowTitle(), "Presets Configuration - ");
    test::Click(&noAddress, "writePresetsButton");
    ASSERT_EQ(shared.prompt.shown.size(), 1u);
    EXPECT_EQ(shared.prompt.shown[0].text, "No IP address given. Failing.");
    test::Screenshot(&noAddress, "presets-window");
}

TEST(PresetsWindow, EnterPressesTheFocusedButton) {
    test::GuiServices shared;
    NoFiles files;
    ScriptedLogin login("", "");
    CPresetsConfigDlg window("[02-4c-53-00-00-01]\t192.0.2.11\t\tn\tx", shared.prompt,
                             shared.settings, files, login);
    test::ExpectEnterPressesTheFocusedButton(window, "presets window");
}

}  // namespace
}  // namespace lanscope
