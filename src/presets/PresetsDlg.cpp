#include "presets/PresetsDlg.h"

#include <QApplication>
#include <QAuthenticator>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "common/Text.h"
#include "platform/EightBitText.h"
#include "presets/Messages.h"
#include "settings/SettingsStore.h"
#include "update/FileChooser.h"

namespace lanscope {

namespace {

constexpr int kAborted = -3;  // a load that a newer navigation replaced

QString Caption() {
    return QApplication::applicationName();
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

// Finds the document of the completed frame (by its address) below `w`.
const char* const kFindDocument = R"JS(
function lanscopeFind(w, url) {
  try { if (w.location.href === url) { return w.document; } } catch (e) {}
  for (var i = 0; i < w.frames.length; ++i) {
    var found = lanscopeFind(w.frames[i], url);
    if (found) { return found; }
  }
  return null;
}
function lanscopeFirst(item) {
  return item && item.length !== undefined && !item.tagName ? item[0] : item;
}
)JS";

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
        return m_window->onBeforeNavigate(url, type == NavigationTypeRedirect);
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
    setWindowTitle(QString::fromLatin1(messages::kPresetsTitle));
    resize(860, 540);
    if (m_bQuiet) {
        setAttribute(Qt::WA_DontShowOnScreen);
    }
    // Off the record and its own: a failed login is not remembered into the
    // next window.
    m_profile = new QWebEngineProfile(this);
    m_page = new FillerPage(m_profile, this);
    m_token = QStringLiteral("lanscope-document-complete-%1:")
                  .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    QWebEngineScript ready;
    ready.setName(QStringLiteral("lanscope-document-complete"));
    ready.setInjectionPoint(QWebEngineScript::DocumentReady);
    ready.setRunsOnSubFrames(true);
    // In a world of its own: the page's scripts can neither silence the
    // reports nor see the token to fake one.
    ready.setWorldId(QWebEngineScript::ApplicationWorld);
    ready.setSourceCode(
        QStringLiteral("(function(){var token=%1;function report(){console.log(token+"
                       "location.href);}if(document.readyState==='complete'){report();}"
                       "else{window.addEventListener('load',report);}})();")
            .arg(JsonArgument(QJsonArray{m_token}) + QStringLiteral("[0]")));
    m_page->scripts().insert(ready);
    connect(m_page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator) {
                std::string user;
                std::string password;
                if (m_closing || !m_credentials.askCredentials(user, password)) {
                    *authenticator = QAuthenticator();  // no credentials: the login fails
                    return;
                }
                authenticator->setUser(QString::fromStdString(user));
                authenticator->setPassword(QString::fromStdString(password));
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
    m_browser = new QWebEngineView(this);
    m_browser->setObjectName(QStringLiteral("browser"));
    m_browser->setPage(m_page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_browser);
    QMetaObject::invokeMethod(this, &CPresetsDlg::initialise, Qt::QueuedConnection);
}

CPresetsDlg::~CPresetsDlg() {
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
        ClearFields();
        return false;
    }
    m_Fields = std::move(*fields);
    return true;
}

void CPresetsDlg::initialise() {
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
    navigate(m_filler.indexUrl());
}

void CPresetsDlg::navigate(const std::string& url) {
    if (!m_closing) {
        m_page->load(QUrl(QString::fromStdString(url)));
    }
}

bool CPresetsDlg::onBeforeNavigate(const QUrl& url, bool serverRedirect) {
    if (m_closing) {
        return false;
    }
    const auto next = m_filler.beforeNavigate(url.toString().toStdString(), serverRedirect);
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
        names.append(QString::fromStdString(EightBitToUtf8(field.strName)));
    }
    const QString script =
        QString::fromLatin1(kFindDocument) +
        QStringLiteral(
            "(function(url, names){var doc=lanscopeFind(window, url);"
            "var report={documentFound:!!doc, formFound:false, elementCount:0, elements:[]};"
            "if(!doc||!doc.forms){return JSON.stringify(report);}"
            "var form=doc.forms.namedItem('frmConfig');"
            "if(!(form instanceof doc.defaultView.HTMLFormElement)){return JSON.stringify(report);}"
            "report.formFound=true; report.elementCount=form.elements.length;"
            "names.forEach(function(name){var el=lanscopeFirst(form.elements.namedItem(name));"
            "report.elements.push(el?{exists:true,type:String(el.type),"
            "options:el.options?el.options.length:0}:{exists:false,type:'',options:0});});"
            "return JSON.stringify(report);})(%1, %2);")
            .arg(JsonArgument(QJsonArray{url}) + QStringLiteral("[0]"), JsonArgument(names));
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                          [this, url](const QVariant& result) {
                              m_inspectedUrl = url;
                              onFormInspected(result);
                          });
}

void CPresetsDlg::onFormInspected(const QVariant& result) {
    if (m_closing || !result.isValid()) {
        return;
    }
    const QJsonObject report = QJsonDocument::fromJson(result.toString().toUtf8()).object();
    FormFiller::FormReport form;
    form.documentFound = report.value(QStringLiteral("documentFound")).toBool();
    form.formFound = report.value(QStringLiteral("formFound")).toBool();
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
            {QStringLiteral("name"), QString::fromStdString(EightBitToUtf8(write.name))},
            {QStringLiteral("index"), write.kind == FormFiller::Write::Kind::SelectedIndex},
            {QStringLiteral("value"), QString::fromStdString(EightBitToUtf8(write.value))}});
    }
    // Properties, not attributes: an attribute only changes the default a
    // form is reset to. No change or input events fire.
    const QString script =
        QString::fromLatin1(kFindDocument) +
        QStringLiteral(
            "(function(url, writes){var doc=lanscopeFind(window, url);"
            "var form=doc&&doc.forms.namedItem('frmConfig'); if(!form){return false;}"
            "writes.forEach(function(w){var el=lanscopeFirst(form.elements.namedItem(w.name));"
            "if(!el){return;} if(w.index){el.selectedIndex=parseInt(w.value,10);}"
            "else{el.value=w.value;}}); return true;})(%1, %2);")
            .arg(JsonArgument(QJsonArray{m_inspectedUrl}) + QStringLiteral("[0]"),
                 JsonArgument(writes));
    const std::string summary = step.summary;
    m_page->runJavaScript(
        script, QWebEngineScript::ApplicationWorld, [this, summary](const QVariant& written) {
            if (m_closing) {
                return;
            }
            if (!written.toBool()) {
                // The page was replaced before the values went in: the next
                // completed form gets them.
                m_state.formFilled = false;
                return;
            }
            emit formFilled();
            if (m_bQuiet) {
                // Nobody can see, check or submit a window that never shows;
                // it is done once the form is filled.
                exitWith(nullptr);
                return;
            }
            m_prompt.message(summary, Caption().toStdString(), PromptIcon::Exclamation);
        });
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

CPresetsConfigDlg::CPresetsConfigDlg(const std::string& line, Prompt& prompt,
                                     SettingsStore& settings, FileChooser& files,
                                     CredentialsSource& credentials, QWidget* parent)
    : QDialog(parent),
      m_strIPAddress(PresetsAddressFromLine(line)),
      m_prompt(prompt),
      m_settings(settings),
      m_files(files),
      m_credentials(credentials) {
    setWindowTitle(QStringLiteral("Presets Configuration - ") +
                   QString::fromStdString(EightBitToUtf8(m_strIPAddress)));
    auto* group = new QGroupBox(QStringLiteral("Configure the Default Values"), this);
    auto* fileCaption = new QLabel(QStringLiteral("File Name:"), group);
    m_fileLabel = new QLabel(group);
    m_fileLabel->setObjectName(QStringLiteral("fileName"));
    m_fileLabel->setWordWrap(true);
    auto* select = new QPushButton(QStringLiteral("Select File..."), group);
    select->setObjectName(QStringLiteral("selectFileButton"));
    auto* write = new QPushButton(QStringLiteral("&Write Presets"), group);
    write->setObjectName(QStringLiteral("writePresetsButton"));
    m_leaveOpen = new QCheckBox(QStringLiteral("&Leave Open for Modification"), group);
    m_leaveOpen->setChecked(true);
    m_leaveOpen->setVisible(false);
    auto* close = new QPushButton(QStringLiteral("C&lose"), group);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), group);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* help = new QPushButton(QStringLiteral("&Help"), group);
    help->setVisible(false);
    for (QPushButton* button : {select, write, cancel, help}) {
        button->setAutoDefault(false);
    }
    auto* left = new QVBoxLayout;
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileCaption);
    fileRow->addWidget(select);
    fileRow->addStretch();
    left->addLayout(fileRow);
    left->addWidget(m_fileLabel);
    left->addWidget(write, 0, Qt::AlignLeft);
    auto* right = new QVBoxLayout;
    right->addWidget(close);
    right->addWidget(cancel);
    right->addStretch();
    auto* columns = new QHBoxLayout(group);
    columns->addLayout(left, 1);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    // Room for the title with its address and for a long path.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("M")) * 34);

    connect(select, &QPushButton::clicked, this, &CPresetsConfigDlg::onSelectFile);
    connect(write, &QPushButton::clicked, this, &CPresetsConfigDlg::onWritePresets);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_strFileName = m_settings.LoadPresetsFile();
    m_fileLabel->setText(QString::fromStdString(EightBitToUtf8(m_strFileName)));
}

void CPresetsConfigDlg::onSelectFile() {
    const auto chosen = m_files.choosePresetFile();
    if (!chosen) {
        return;
    }
    m_strFileName = *chosen;
    m_fileLabel->setText(FromEightBit(*chosen));
    m_settings.SavePresetsFile(*chosen);
}

void CPresetsConfigDlg::onWritePresets() {
    m_bLeaveOpen = m_leaveOpen->isChecked();
    CPresetsDlg filler(m_strIPAddress, m_strFileName, !m_bLeaveOpen, m_prompt, m_credentials, this);
    filler.exec();
}

}  // namespace lanscope
