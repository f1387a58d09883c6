#include "presets/PresetsDlg.h"

#include <QApplication>
#include <QAuthenticator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "common/Text.h"
#include "platform/Console.h"
#include "presets/Messages.h"
#include "widgets/EightBitText.h"

namespace lanscope {

namespace {

constexpr int kAborted = -3;  // a load that a newer navigation replaced

// Where the browser's own error page stands in for a page that failed.
constexpr char kErrorPageScheme[] = "chrome-error:";

// How long after its content a document whose load never ends is taken as
// complete: long enough for the pages' own load-time scripts on a slow
// module, well inside a quiet run's deadline.
constexpr int kLoadFallbackMilliseconds = 3000;

QString Caption() {
    return QApplication::applicationName();
}

// Preset names and values as the pages get them: in the active code page on
// Windows, where the files are written; elsewhere UTF-8, read as
// Windows-1252 where it is not (a file brought over from Windows).
QString PresetText(const std::string& text) {
#ifdef _WIN32
    return FromEightBit(text);
#else
    return QString::fromStdString(EightBitToUtf8(text));
#endif
}

// A JavaScript expression that evaluates to `value`: the JSON text handed to
// JSON.parse as a string literal, so preset values stay data and never
// become code, whatever characters they hold.
QString JsonArgument(const QJsonValue& value) {
    QJsonArray wrapper;
    if (value.isArray()) {
        wrapper.append(
            QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)));
    } else {
        wrapper.append(
            QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)));
    }
    QByteArray literal = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
    literal = literal.mid(1, literal.size() - 2);  // the one string of the array
    return QStringLiteral("JSON.parse(") + QString::fromUtf8(literal) + QLatin1Char(')');
}

// One text as a JavaScript expression.
QString TextArgument(const QString& text) {
    return JsonArgument(QJsonArray{text}) + QStringLiteral("[0]");
}

// A page script of the resources: a function expression to be called. One
// that is missing is a broken build, and an empty script would only show up as
// a form that never fills: stop at once, in every build, and say which.
QString PageScript(const char* name) {
    QFile file(QStringLiteral(":/presets/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("The page script %s is missing from the program's resources.", name);
    }
    return QString::fromUtf8(file.readAll());
}

// What the engine is told about its sandbox in this process.
BrowserEngineStart CurrentEngineStart() {
    BrowserEngineStart start;
    start.superuser = RunsAsSuperuser();
    start.sandboxDisabled = qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX");
    if (qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
        start.chromiumFlags = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").toStdString();
    }
    for (const QString& argument : QCoreApplication::arguments()) {
        start.arguments.push_back(argument.toStdString());
    }
    return start;
}

// A click on a link, a form sent, back, forward or reload: the user's own
// only right after the user's own input in the browser, since a page's script
// can click a link or send a form as well (the browser names them alike).
FormFiller::Cause CauseOf(QWebEnginePage::NavigationType type, bool afterUserInput) {
    switch (type) {
        case QWebEnginePage::NavigationTypeRedirect:
            return FormFiller::Cause::Redirect;
        case QWebEnginePage::NavigationTypeLinkClicked:
        case QWebEnginePage::NavigationTypeFormSubmitted:
        case QWebEnginePage::NavigationTypeBackForward:
        case QWebEnginePage::NavigationTypeReload:
            return afterUserInput ? FormFiller::Cause::User : FormFiller::Cause::Page;
        default:
            return FormFiller::Cause::Page;
    }
}

QJsonObject AnswerOf(const QVariant& result) {
    if (result.typeId() != QMetaType::QString) {
        return {};
    }
    return QJsonDocument::fromJson(result.toString().toUtf8()).object();
}

}  // namespace

// The browser page of one form-filling window: every navigation of every
// frame goes through the window's rules, and a script in every frame reports
// its completed document on the console with a token of the window's own.
class FillerPage : public QWebEnginePage {
  public:
    FillerPage(QWebEngineProfile* profile, CPresetsDlg* window)
        : QWebEnginePage(profile, window), m_window(window) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool) override {
        return m_window->onBeforeNavigate(url, CauseOf(type, m_window->afterUserInput()));
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override {
        if (message.startsWith(m_window->m_token)) {
            const QString url = message.mid(m_window->m_token.size());
            // Never inside the browser's own call.
            QMetaObject::invokeMethod(
                m_window, [window = m_window, url] { window->onDocumentComplete(url); },
                Qt::QueuedConnection);
        }
    }

  private:
    CPresetsDlg* m_window;
};

CPresetsDlg::CPresetsDlg(std::string ipAddress, std::string presetsFile, bool quiet, Prompt& prompt,
                         CredentialsSource& credentials, QWidget* parent, PresetsRunState& state)
    : QDialog(parent),
      m_strIPAddress(std::move(ipAddress)),
      m_strPresetsFile(std::move(presetsFile)),
      m_bQuiet(quiet),
      m_prompt(prompt),
      m_credentials(credentials),
      m_state(state),
      m_filler(m_strIPAddress, state) {
    setWindowTitle(UiText(messages::kPresetsTitle));
    resize(860, 540);
    // The browser's input widgets come and go with its pages: watch them all.
    QCoreApplication::instance()->installEventFilter(this);
    if (m_bQuiet) {
        setAttribute(Qt::WA_DontShowOnScreen);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    QMetaObject::invokeMethod(this, &CPresetsDlg::initialise, Qt::QueuedConnection);
    // Started where it would refuse, the engine ends the whole program at
    // once: it is not started at all, and initialise() says why.
    m_engineRefused = BrowserEngineRefuses(CurrentEngineStart());
    if (m_engineRefused) {
        return;
    }
    // Off the record and its own: a failed login is not remembered into the
    // next window.
    m_profile = new QWebEngineProfile(this);
    m_page = new FillerPage(m_profile, this);
    m_token = QStringLiteral("lanscope-document-complete-%1:")
                  .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    QWebEngineScript complete;
    complete.setName(QStringLiteral("lanscope-document-complete"));
    // From the start of every document, so that its listeners come first.
    complete.setInjectionPoint(QWebEngineScript::DocumentCreation);
    complete.setRunsOnSubFrames(true);
    // In a world of its own: the page's scripts can neither silence the
    // reports nor see the token to fake one.
    complete.setWorldId(QWebEngineScript::ApplicationWorld);
    complete.setSourceCode(
        PageScript("DocumentComplete.js") +
        QStringLiteral("(%1, %2);")
            .arg(TextArgument(m_token), QString::number(kLoadFallbackMilliseconds)));
    m_page->scripts().insert(complete);
    connect(m_page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& url, QAuthenticator* authenticator) {
                // What is typed for the module is for the module: a frame of
                // another host, or a page the module sends the browser to,
                // gets a cancelled login and nobody is asked.
                std::string user;
                std::string password;
                if (m_closing ||
                    !m_filler.isModuleAddress(url.toString(QUrl::RemoveUserInfo).toStdString()) ||
                    !m_credentials.askCredentials(user, password)) {
                    *authenticator = QAuthenticator();  // no credentials: the login fails
                    return;
                }
                authenticator->setUser(FromEightBit(user));
                authenticator->setPassword(FromEightBit(password));
            });
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                // A module that cannot be reached; not an HTTP answer (a login page
                // is one) and not a load our own redirect replaced.
                if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
                    info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                    info.errorCode() != kAborted && m_pendingRedirects == 0) {
                    // Not inside the browser's own signal.
                    QMetaObject::invokeMethod(
                        this, [this] { exitWith(m_filler.loadFailed().message); },
                        Qt::QueuedConnection);
                }
            });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this, [this] {
        // The page is dead: nothing more will load or complete in it.
        QMetaObject::invokeMethod(
            this, [this] { exitWith(m_filler.loadFailed().message); }, Qt::QueuedConnection);
    });
    m_browser = new QWebEngineView(this);
    m_browser->setObjectName(QStringLiteral("browser"));
    m_browser->setPage(m_page);
    layout->addWidget(m_browser);
}

bool CPresetsDlg::afterUserInput() const {
    return m_lastUserInput && std::chrono::steady_clock::now() - *m_lastUserInput < kUserInputReach;
}

bool CPresetsDlg::eventFilter(QObject* watched, QEvent* event) {
    // Input the system delivers (not made up by a page) to the browser.
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) && event->spontaneous() &&
        m_browser != nullptr) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && (widget == m_browser || m_browser->isAncestorOf(widget))) {
            m_lastUserInput = std::chrono::steady_clock::now();
        }
    }
    return QDialog::eventFilter(watched, event);
}

CPresetsDlg::~CPresetsDlg() {
    QCoreApplication::instance()->removeEventFilter(this);
    // Deleting the page answers its pending scripts with empty results; none
    // of them may act on a window that is going.
    m_closing = true;
    // The page goes before its profile.
    delete m_browser;
    delete m_page;
}

void CPresetsDlg::done(int result) {
    m_closing = true;
    ClearFields();
    QDialog::done(result);
}

bool CPresetsDlg::ClearFields() {
    m_Fields.clear();
    m_state.formFilled = false;
    return true;
}

bool CPresetsDlg::LoadPresets() {
    ClearFields();
    auto fields = LoadPresetFile(m_strPresetsFile, m_prompt, Caption().toStdString());
    if (!fields) {
        m_prompt.message(fields.error().text, Caption().toStdString(), PromptIcon::Exclamation);
        ClearFields();
        return false;
    }
    m_Fields = std::move(fields).value();
    return true;
}

void CPresetsDlg::initialise() {
    if (m_engineRefused) {
        m_prompt.message(messages::kBrowserRefusesRoot, Caption().toStdString(),
                         PromptIcon::Exclamation);
        hide();
        exitWith(nullptr);
        return;
    }
    if (m_strIPAddress.empty()) {
        m_prompt.message(messages::kNoIpAddress, Caption().toStdString(), PromptIcon::Exclamation);
        hide();
        exitWith(nullptr);
        return;
    }
    if (!LoadPresets()) {
        hide();
        exitWith(nullptr);
        return;
    }
    if (m_bQuiet) {
        // Nobody can close a window that never shows.
        QTimer::singleShot(m_quietDeadline, this,
                           [this] { exitWith(m_filler.loadFailed().message); });
    }
    navigate(m_filler.indexUrl());
}

void CPresetsDlg::navigate(const std::string& url) {
    if (!m_closing) {
        m_page->load(QUrl(QString::fromStdString(url)));
    }
}

bool CPresetsDlg::onBeforeNavigate(const QUrl& url, FormFiller::Cause cause) {
    if (m_closing) {
        return false;
    }
    ++m_navigations;
    const auto next = m_filler.beforeNavigate(url.toString().toStdString(), cause);
    switch (next.action) {
        case FormFiller::Navigation::Action::Proceed:
            return true;
        case FormFiller::Navigation::Action::Redirect:
            // Never load from inside the browser's own call: queued.
            ++m_pendingRedirects;
            QMetaObject::invokeMethod(
                this,
                [this, target = next.url] {
                    --m_pendingRedirects;
                    navigate(target);
                },
                Qt::QueuedConnection);
            return false;
        case FormFiller::Navigation::Action::Fail:
            QMetaObject::invokeMethod(
                this, [this, message = next.message] { exitWith(message); }, Qt::QueuedConnection);
            return false;
    }
    return false;
}

void CPresetsDlg::onDocumentComplete(const QString& url) {
    if (m_closing) {
        return;
    }
    if (url.startsWith(QLatin1String(kErrorPageScheme))) {
        onErrorPageComplete(url);
        return;
    }
    const auto document = m_filler.documentComplete(url.toStdString());
    if (document.action == FormFiller::Document::Action::Fail) {
        exitWith(document.message);
        return;
    }
    if (document.action != FormFiller::Document::Action::InspectForm) {
        return;
    }
    QJsonArray names;
    for (const tagField& field : m_Fields) {
        names.append(PresetText(field.strName));
    }
    // The values go to the document looked into, whatever completes
    // meanwhile (another frame, a page of another host).
    const int navigations = m_navigations;
    runFormScript(QStringLiteral("inspect"), url, names,
                  [this, navigations, url](const QVariant& result) {
                      onFormInspected(result, navigations, url);
                  });
}

void CPresetsDlg::onErrorPageComplete(const QString& url) {
    // The browser does not always report the failed load that its error page
    // stands for (a load that overtakes another can leave it unsaid); the
    // error page itself completes all the same. Only the page's own (a
    // frame's error page is not the module's), and only for a failure to
    // reach the module: an HTTP answer without a page of its own reads
    // "HTTP ERROR 404", the network's failures are named by their ERR_ code.
    static const QString script = QStringLiteral(
        "(function (url) {"
        "  var code = document.querySelector('.error-code');"
        "  return location.href === url && code !== null &&"
        "      /^ERR_/.test(code.textContent.trim());"
        "})(%1);");
    const int navigations = m_navigations;
    m_page->runJavaScript(script.arg(TextArgument(url)), QWebEngineScript::ApplicationWorld,
                          [this, navigations](const QVariant& unreachable) {
                              // Not when a load of ours has replaced it since.
                              if (!m_closing && unreachable.toBool() &&
                                  navigations == m_navigations && m_pendingRedirects == 0) {
                                  exitWith(m_filler.loadFailed().message);
                              }
                          });
}

void CPresetsDlg::runFormScript(const QString& operation, const QString& url,
                                const QJsonArray& data, std::function<void(const QVariant&)> done) {
    static const QString script = PageScript("ConfigForm.js");
    m_page->runJavaScript(
        script + QStringLiteral("(%1, %2, %3);")
                     .arg(TextArgument(operation), TextArgument(url), JsonArgument(data)),
        QWebEngineScript::ApplicationWorld, std::move(done));
}

FormFiller::Reached CPresetsDlg::reachedOf(const QJsonObject& answer, int navigations) const {
    const auto reached = FormFiller::ReachedFromWord(
        answer.value(QStringLiteral("reached")).toString().toStdString());
    return reached ? *reached : FormFiller::Unanswered(navigations != m_navigations);
}

void CPresetsDlg::onFormInspected(const QVariant& result, int navigations, const QString& url) {
    if (m_closing) {
        return;
    }
    const QJsonObject report = AnswerOf(result);
    FormFiller::FormReport form;
    form.reached = reachedOf(report, navigations);
    form.elementCount = report.value(QStringLiteral("elementCount")).toInt();
    for (const QJsonValue& element : report.value(QStringLiteral("elements")).toArray()) {
        const QJsonObject info = element.toObject();
        form.elements.push_back({info.value(QStringLiteral("exists")).toBool(),
                                 info.value(QStringLiteral("type")).toString().toStdString(),
                                 info.value(QStringLiteral("options")).toInt()});
    }
    const auto step = m_filler.formInspected(m_Fields, form);
    if (step.action == FormFiller::FormStep::Action::Fail) {
        exitWith(step.message);
        return;
    }
    if (step.action != FormFiller::FormStep::Action::Fill) {
        return;
    }
    QJsonArray writes;
    for (const auto& write : step.writes) {
        writes.append(QJsonObject{
            {QStringLiteral("name"), PresetText(write.name)},
            {QStringLiteral("index"), write.kind == FormFiller::Write::Kind::SelectedIndex},
            {QStringLiteral("value"), PresetText(write.value)}});
    }
    const int writtenAfter = m_navigations;
    runFormScript(QStringLiteral("write"), url, writes,
                  [this, writtenAfter, summary = step.summary](const QVariant& written) {
                      onFormWritten(written, writtenAfter, summary);
                  });
}

void CPresetsDlg::onFormWritten(const QVariant& result, int navigations,
                                const std::string& summary) {
    if (m_closing) {
        return;
    }
    const auto written = m_filler.formWritten(reachedOf(AnswerOf(result), navigations));
    if (written.action == FormFiller::Written::Action::Fail) {
        exitWith(written.message);
        return;
    }
    if (written.action == FormFiller::Written::Action::Retry) {
        return;  // the next completed form gets the values
    }
    emit formFilled();
    if (m_bQuiet) {
        // Nobody can see, check or submit a window that never shows; it is
        // done once the form is filled.
        exitWith(nullptr);
        return;
    }
    m_prompt.message(summary, Caption().toStdString(), PromptIcon::Exclamation);
}

void CPresetsDlg::exitWith(const char* message) {
    if (m_closing) {
        return;
    }
    m_closing = true;
    if (message != nullptr) {
        m_prompt.message(message, Caption().toStdString(), PromptIcon::Exclamation);
    }
    ClearFields();
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

}  // namespace lanscope
