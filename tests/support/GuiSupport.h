#pragma once

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/QtEventLoop.h"
#include "settings/IniSettingsBackend.h"
#include "support/RecordingPrompt.h"
#include "widgets/Services.h"

namespace lanscope::test {

// With LANSCOPE_SCREENSHOTS=DIR, saves a picture of the window as DIR/NAME.png
// so anyone can look at what a person would see.
inline void Screenshot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("LANSCOPE_SCREENSHOTS");
    if (dir.isEmpty() || window == nullptr) {
        return;
    }
    QDir().mkpath(dir);
    window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Runs `handler` on the next modal window that becomes active (once), the way
// a person answers a window that pops up. `handler` must close it.
class ModalHandler {
  public:
    explicit ModalHandler(std::function<void(QWidget*)> handler,
                          QWidget* ignore = QApplication::activeModalWidget())
        : m_handler(std::move(handler)), m_ignore(ignore) {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != m_ignore && modal->isVisible()) {
                m_timer.stop();
                m_handled = true;
                Screenshot(modal, modal->objectName());
                m_handler(modal);
            }
        });
        m_timer.start();
    }
    bool handled() const { return m_handled; }

  private:
    std::function<void(QWidget*)> m_handler;
    QWidget* m_ignore;
    QTimer m_timer;
    bool m_handled = false;
};

inline void Click(QWidget* window, const char* buttonName) {
    auto* button = window->findChild<QPushButton*>(QString::fromLatin1(buttonName));
    if (button == nullptr) {
        throw std::runtime_error(std::string("no button ") + buttonName);
    }
    button->click();
}

struct RecordingUrlOpener : UrlOpener {
    std::vector<std::string> opened;
    bool browserMissing = false;
    bool open(const std::string& url) override {
        opened.push_back(url);
        return !browserMissing;
    }
};

// A test that opens no file dialog and is asked for no credentials.
struct NoDialogs : FileChooser, CredentialsSource {
    std::optional<std::string> chooseImageFile(const std::string&) override { return {}; }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> choosePresetFile() override { return {}; }
    std::optional<std::string> chooseListFile() override { return {}; }
    bool askCredentials(std::string&, std::string&) override { return false; }
};

// Everything a window needs, with settings in a private file.
struct GuiServices {
    GuiServices() {
        services.files = &noDialogs;
        services.credentials = &noDialogs;
    }

    QTemporaryDir dir;
    IniSettingsBackend backend{dir.path() + QStringLiteral("/settings.ini")};
    SettingsStore settings{backend};
    RecordingPrompt prompt;
    RecordingUrlOpener urlOpener;
    NoDialogs noDialogs;
    std::vector<Ipv4> hosts{MakeIpv4(10, 0, 0, 5)};
    AppServices services{prompt, settings, urlOpener, QtEventLoop::instance(),
                         [this] { return hosts; }};
};

}  // namespace lanscope::test
