#include "update/AutoUpdateDlg.h"

#include <QApplication>
#include <QMetaObject>
#include <QShortcut>
#include <filesystem>

#include "config/IdFindDlg.h"
#include "discovery/ListLine.h"
#include "platform/NativePath.h"
#include "ui_AutoUpdateDlg.h"
#include "update/AutoUpdateOptions.h"
#include "update/Messages.h"
#include "update/RecordedModule.h"
#include "update/UpdateDlg.h"
#include "widgets/AboutBox.h"
#include "widgets/EightBitText.h"
#include "widgets/LanscopeHelpDlg.h"
#include "widgets/Messages.h"
#include "widgets/QtFileChooser.h"

namespace lanscope {

CAutoUpdateDlg::CAutoUpdateDlg(const std::string& text, AppServices& services, QWidget* parent,
                               bool standAlone)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CAutoUpdateDlg>()),
      m_services(services),
      m_bStandAlone(standAlone) {
    m_ui->setupUi(this);
    const Ipv4 stored = m_services.settings.LoadIPAddr();
    if (!text.empty()) {
        if (m_bStandAlone) {
            const AutoUpdateOptions options = ReadAutoUpdateOptions(text);
            m_bAuto = options.autoUpdate;
            m_bRestart = options.restart;
            if (options.imageFile) {
                m_strFileName = *options.imageFile;
            }
            const Ipv4 address = options.address.value_or(stored);
            if (address != 0) {
                m_address = address;
            }
        } else {
            const ListLineTarget target = ReadListLine(text);
            m_address = target.address;
            m_description = target.description;
            m_module = HistoryModuleOfLine(text);
            m_moduleAddress = m_address;
        }
    }

    m_ui->updateButton->setToolTip(UiText(messages::kTipUpdateButton));
    m_ui->exitButton->setToolTip(UiText(messages::kTipQuit));
    m_ui->helpButton->setToolTip(UiText(messages::kTipMoreHelp));
    m_ui->fileEdit->setToolTip(UiText(messages::kTipFileName));
    m_ui->browseButton->setToolTip(UiText(messages::kTipBrowse));
    m_ui->rebootCheck->setToolTip(UiText(messages::kTipReboot));
    m_ui->findButton->setToolTip(UiText(messages::kTipFind));

    connect(m_ui->updateButton, &QPushButton::clicked, this, &CAutoUpdateDlg::RunUpdate);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CAutoUpdateDlg::onHelp);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CAutoUpdateDlg::onBrowse);
    connect(m_ui->saveBrowseButton, &QPushButton::clicked, this, &CAutoUpdateDlg::onSaveBrowse);
    // Toggled, not clicked: a screen reader or the keyboard sets the box too.
    connect(m_ui->saveCheck, &QCheckBox::toggled, this, &CAutoUpdateDlg::onSaveToggled);
    connect(m_ui->findButton, &QPushButton::clicked, this, &CAutoUpdateDlg::onFind);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CAutoUpdateDlg::onHelp);

    membersToControls();
    if (m_bStandAlone) {
        m_menu = InstallWindowMenu(
            *this, m_services.settings.LoadSetting(setting_names::kAlwaysOnTopAutoUpdate) != 0);
        connect(m_menu.about, &QAction::triggered, this, [this] {
            CAboutBox about(this);
            about.exec();
        });
        m_ui->findButton->setVisible(true);
    }
    setWindowTitle(UiText(messages::kMainTitle));
}

CAutoUpdateDlg::~CAutoUpdateDlg() {
    if (m_menu.alwaysOnTop != nullptr) {
        m_services.settings.SaveSetting(setting_names::kAlwaysOnTopAutoUpdate,
                                        m_menu.alwaysOnTop->isChecked() ? 1 : 0);
    }
}

#ifdef Q_OS_WIN
bool CAutoUpdateDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (HandleWindowMenuCommand(m_menu, message)) {
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

void CAutoUpdateDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_opened) {
        return;
    }
    m_opened = true;
    if (m_bAuto) {
        // Once the window is on screen, never from inside its opening.
        QMetaObject::invokeMethod(this, &CAutoUpdateDlg::RunUpdate, Qt::QueuedConnection);
    }
}

void CAutoUpdateDlg::controlsToMembers() {
    m_strFileName = ToEightBit(m_ui->fileEdit->text());
    m_bRestart = m_ui->rebootCheck->isChecked();
    m_strSaveFile = ToEightBit(m_ui->saveEdit->text());
    m_bSave = m_ui->saveCheck->isChecked();
}

void CAutoUpdateDlg::membersToControls() {
    m_ui->fileEdit->setText(FromEightBit(m_strFileName));
    m_ui->rebootCheck->setChecked(m_bRestart);
    m_ui->saveEdit->setText(FromEightBit(m_strSaveFile));
    m_ui->saveCheck->setChecked(m_bSave);
    m_ui->saveEdit->setEnabled(m_bSave);
    m_ui->saveBrowseButton->setEnabled(m_bSave);
    m_ui->ipEdit->setValue(m_address);
}

void CAutoUpdateDlg::message(const char* text) {
    m_services.prompt.message(text, QApplication::applicationName().toStdString(),
                              PromptIcon::Exclamation);
}

void CAutoUpdateDlg::RunUpdate() {
    controlsToMembers();
    m_address = m_ui->ipEdit->value();
    // The names as they will be opened (Cygwin spellings on Windows).
    const UpdateRequestCheck check = CheckUpdateRequest(m_address, NativePath(m_strFileName),
                                                        m_bSave, NativePath(m_strSaveFile));
    if (check == UpdateRequestCheck::InvalidAddress) {
        message(messages::kInvalidIpAddress);
        return;
    }
    m_services.settings.SaveIPAddr(m_address);
    if (check != UpdateRequestCheck::Ok) {
        m_services.prompt.message(messages::kFileNameInvalid, messages::kFileNameInvalidCaption,
                                  PromptIcon::Information);
        (check == UpdateRequestCheck::ImageFile ? m_ui->fileEdit : m_ui->saveEdit)->setFocus();
        return;
    }

    UpdateRunSettings settings;
    settings.imageFile = m_strFileName;
    settings.moduleAddress = m_address;
    settings.restart = m_bRestart;
    settings.description = m_description;
    settings.saveToFile = m_bSave;
    settings.saveFile = m_strSaveFile;
    CUpdateDlg progress(settings, m_services.prompt, *m_services.credentials, m_services.loop, this,
                        m_services.updateEndpoints, m_services.updateTick);
    progress.session().recordTo(m_services.history,
                                RecordedModule(m_module, m_moduleAddress, m_address));
    const bool done = progress.exec() == QDialog::Accepted;
    if (m_services.history != nullptr) {
        if (const auto failure = m_services.history->takeFailure()) {
            message(messages::HistoryNotWrittenText(failure->text).c_str());
        }
    }
    if (done) {
        if (!m_bAuto) {
            m_services.settings.SaveFileDir(m_strFileName);
            message(messages::kSaveComplete);
        }
        closeWith(QDialog::Accepted);
    } else {
        message(messages::kUpdateFailed);
    }
}

void CAutoUpdateDlg::closeWith(int result) {
    // Posted: this may run inside the window's own opening or a button click.
    QMetaObject::invokeMethod(
        this, [this, result] { done(result); }, Qt::QueuedConnection);
}

void CAutoUpdateDlg::onBrowse() {
    FileChooser& files = *m_services.files;
    const auto chosen = files.chooseImageFile(m_services.settings.LoadFileDir());
    if (!chosen) {
        return;
    }
    m_ui->fileEdit->setText(FromEightBit(*chosen));
    m_services.settings.SaveFileDir(*chosen);
    m_fileTitle = std::filesystem::path(*chosen).stem().string();
}

void CAutoUpdateDlg::onSaveBrowse() {
    FileChooser& files = *m_services.files;
    const auto chosen = files.chooseSaveFile(m_services.settings.LoadFileDir(), m_fileTitle);
    if (!chosen) {
        return;
    }
    m_ui->saveEdit->setText(FromEightBit(*chosen));
    m_services.settings.SaveFileDir(*chosen);
}

void CAutoUpdateDlg::onSaveToggled() {
    m_bSave = m_ui->saveCheck->isChecked();
    m_ui->saveEdit->setEnabled(m_bSave);
    m_ui->saveBrowseButton->setEnabled(m_bSave);
}

void CAutoUpdateDlg::onFind() {
    controlsToMembers();
    CIdFindDlg picker(m_services.prompt, m_services.loop, m_services.endpoints, this);
    picker.setSelectedAddress(1);  // reads as 0.0.0.1 when nothing is picked
    if (picker.exec() != QDialog::Accepted) {
        return;
    }
    const Ipv4 address = picker.selectedAddress();
    if (address == 0) {
        message(messages::kIpNotSet);
        return;
    }
    m_services.settings.SaveIPAddr(address);
    m_address = address;
    // The picker's list stays after it closes: the chosen line names the
    // module (none when OK came without a selection).
    const ModuleList& chosen = picker.discovery().list();
    m_module =
        chosen.selection() ? HistoryModuleOf(chosen.fields(*chosen.selection())) : HistoryModule{};
    m_moduleAddress = address;
    membersToControls();
}

void CAutoUpdateDlg::onHelp() {
    ShowHelp(this, messages::kUpdateHelp);
}

}  // namespace lanscope
