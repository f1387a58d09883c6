#include "app/LanscopeDlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QShortcut>
#include <QTimer>

#include "app/Messages.h"
#include "common/AtomicFile.h"
#include "config/LanscopeConfigDlg.h"
#include "discovery/ListExport.h"
#include "history/HistoryDlg.h"
#include "ui_LanscopeDlg.h"
#include "update/AutoUpdateDlg.h"
#include "widgets/AboutBox.h"
#include "widgets/EightBitText.h"
#include "widgets/LanscopeHelpDlg.h"
#include "widgets/ModuleListView.h"
#include "widgets/QtFileChooser.h"
#include "widgets/WindowStacking.h"

namespace lanscope {

namespace {

// The busy cursor for as long as the guard lives.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CLanscopeDlg::CLanscopeDlg(AppServices& services, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CLanscopeDlg>()),
      m_services(services),
      m_discovery(services.prompt, services.loop, services.endpoints) {
    m_ui->setupUi(this);

    installWindowMenu();
    setWindowTitle(UiText(messages::kMainTitle));

    m_ui->exitButton->setToolTip(UiText(messages::kTipExit));
    m_ui->helpButton->setToolTip(UiText(messages::kTipHelp));
    m_ui->configurationButton->setToolTip(UiText(messages::kTipConfiguration));
    m_ui->updateSoftwareButton->setToolTip(UiText(messages::kTipUpdate));
    m_ui->webInterfaceButton->setToolTip(UiText(messages::kTipWebInterface));
    m_ui->presetsButton->setToolTip(UiText(messages::kTipPresets));

    m_view = std::make_unique<ModuleListView>(
        *m_ui->list, m_discovery.list(), [](std::string_view line) { return LastColumn(line); },
        UiText(messages::kTipList));
    connect(m_view.get(), &ModuleListView::lineActivated, this, [this] { OpenWebInterface(); });
    QTimer::singleShot(m_services.emptyHintDelay, this,
                       [this] { m_view->showEmptyHint(UiText(messages::kNoModuleHint)); });
    installListMenu();

    connect(m_ui->searchButton, &QPushButton::clicked, this, &CLanscopeDlg::onSearchClicked);
    connect(m_ui->configurationButton, &QPushButton::clicked, this,
            &CLanscopeDlg::onConfigurationClicked);
    connect(m_ui->webInterfaceButton, &QPushButton::clicked, this, [this] { OpenWebInterface(); });
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CLanscopeDlg::onHelpClicked);
    connect(m_ui->updateSoftwareButton, &QPushButton::clicked, this,
            &CLanscopeDlg::onUpdateSoftwareClicked);
    // Hidden unless the settings ask for it (ShowPresets = 1) and the
    // program has the presets window (a build without the browser engine
    // has none).
    m_ui->presetsButton->setVisible(m_services.openPresets &&
                                    m_services.settings.LoadSetting(setting_names::kShowPresets) !=
                                        0);
    connect(m_ui->presetsButton, &QPushButton::clicked, this, [this] {
        if (m_services.openPresets) {
            m_services.openPresets(this, moduleList().selectedText());
        }
    });
    connect(m_ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CLanscopeDlg::onHelpClicked);

    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CLanscopeDlg::UpdateButtons);
    // A module answers a search within the list's own period, or it is gone.
    m_selectionWait.setSingleShot(true);
    m_selectionWait.setInterval(kTimerPeriodMs);
    connect(&m_selectionWait, &QTimer::timeout, this, [this] {
        moduleList().endSelectionWait();
        UpdateButtons();
    });

    StartDiscovery();
}

void CLanscopeDlg::installListMenu() {
    auto* copy = new QAction(QStringLiteral("Copy"), m_ui->list);
    copy->setObjectName(QStringLiteral("copyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    auto* save = new QAction(QStringLiteral("Save list as\u2026"), m_ui->list);
    save->setObjectName(QStringLiteral("saveListAction"));
    auto* history = new QAction(QStringLiteral("History\u2026"), m_ui->list);
    history->setObjectName(QStringLiteral("historyAction"));
    m_ui->list->addAction(copy);
    m_ui->list->addAction(save);
    m_ui->list->addAction(history);
    m_ui->list->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copy, &QAction::triggered, this, [this] {
        std::vector<std::size_t> rows;
        if (const auto row = moduleList().selection()) {
            rows.push_back(*row);
        }
        QGuiApplication::clipboard()->setText(
            QString::fromStdString(ModuleLinesText(moduleList(), rows)));
    });
    connect(save, &QAction::triggered, this, [this] {
        const auto path = m_services.files->chooseListFile();
        if (!path) {
            return;
        }
        const std::string text =
            IsJsonListFile(*path) ? ModuleListJson(moduleList()) : ModuleListCsv(moduleList());
        if (auto written = WriteFileAtomically(*path, text); !written) {
            m_services.prompt.message(messages::ListNotSavedText(*path, written.error().text),
                                      QApplication::applicationName().toStdString(),
                                      PromptIcon::Exclamation);
        }
    });
    connect(history, &QAction::triggered, this, [this] {
        if (!moduleList().selection()) {
            return;
        }
        HistoryDlg window(m_services, moduleList().selectedText(), this);
        window.exec();
    });
}

void CLanscopeDlg::installWindowMenu() {
    m_menu = InstallWindowMenu(
        *this, m_services.settings.LoadSetting(setting_names::kAlwaysOnTopLanscope) != 0);
    m_alwaysOnTop = m_menu.alwaysOnTop;
    connect(m_menu.about, &QAction::triggered, this, &CLanscopeDlg::onAboutTriggered);
}

#ifdef Q_OS_WIN
bool CLanscopeDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (HandleWindowMenuCommand(m_menu, message)) {
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

CLanscopeDlg::~CLanscopeDlg() {
    StopDiscovery();
    m_view.reset();
}

void CLanscopeDlg::StartDiscovery() {
    if (m_discovery.isOpen() || m_thread) {
        StopDiscovery();
    }
    m_discovery.open();
    m_thread = std::make_unique<CRequestThread>(*m_discovery.socket(), m_services.requestPause);
    try {
        m_thread->Start();
    } catch (const CThreadException& error) {
        reportThreadError(error);
    }
    m_timer.start();
}

void CLanscopeDlg::StopDiscovery() {
    m_timer.stop();
    if (FerroxSocket* socket = m_discovery.socket()) {
        socket->ShutdownSend();
    }
    if (m_thread) {
        std::uint32_t exitCode = 0;
        try {
            m_thread->Stop(exitCode, -1);
        } catch (const CThreadException& error) {
            reportThreadError(error);
        }
        m_thread.reset();
    }
    // The thread sent on the socket, so the socket goes last.
    m_discovery.close();
}

void CLanscopeDlg::reportThreadError(const CThreadException& error) {
    m_services.prompt.message(error.message(), QApplication::applicationName().toStdString(),
                              PromptIcon::Exclamation);
}

void CLanscopeDlg::UpdateButtons() {
    const bool selected = moduleList().selection().has_value();
    m_ui->webInterfaceButton->setEnabled(selected);
    m_ui->configurationButton->setEnabled(selected);
    m_ui->presetsButton->setEnabled(selected);
}

void CLanscopeDlg::onSearchClicked() {
    if (m_thread) {
        try {
            m_thread->Resume();
        } catch (const CThreadException& error) {
            reportThreadError(error);
        }
    }
    // Before the answers arrive: whatever did not answer since the last
    // search goes, and comes back when it answers this one.
    moduleList().sweep();
    if (moduleList().awaitingSelection()) {
        m_selectionWait.start();
    }
    UpdateButtons();
}

void CLanscopeDlg::onConfigurationClicked() {
    ModuleRecord* record = moduleList().selectedRecord();
    if (record == nullptr || socket() == nullptr) {
        return;
    }
    CLanscopeConfigDlg config(m_services.prompt, m_services.hostAddresses, &moduleList(), this);
    config.SetModule(*socket(), *record);
    config.recordTo(m_services.history,
                    HistoryModuleOf(moduleList().fields(*moduleList().selection())));
    config.exec();
}

void CLanscopeDlg::onUpdateSoftwareClicked() {
    // The update socket and the picker need the discovery port meanwhile.
    StopDiscovery();
    const std::string line = moduleList().selectedText();
    {
        CAutoUpdateDlg update(line, m_services, this, false);
        update.exec();
    }
    if (!m_closing) {
        StartDiscovery();
    }
}

void CLanscopeDlg::OpenWebInterface() {
    std::string address;
    {
        WaitCursor busy;
        address = SelectedAddressText(moduleList());
        if (address == kNoAddressText) {
            // Without a selected line there is no module to give an address.
            ModuleRecord* record = moduleList().selectedRecord();
            if (record == nullptr || socket() == nullptr) {
                return;
            }
            CLanscopeConfigDlg config(m_services.prompt, m_services.hostAddresses, nullptr);
            config.SetModule(*socket(), *record);
            config.recordTo(m_services.history,
                            HistoryModuleOf(moduleList().fields(*moduleList().selection())));
            if (!config.AutoIpUpdate(true)) {
                return;
            }
            // Replies, timer ticks and clicks go on while the module moves;
            // the page opens once the selected line shows an address.
            while (!m_closing && address == kNoAddressText) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                address = SelectedAddressText(moduleList());
            }
            if (m_closing) {
                return;
            }
        }
    }
    const std::string url = "http://" + address;
    if (!m_services.urlOpener.open(url)) {
        // Without a browser the click would do nothing visible; the address
        // lets the user open the page some other way.
        m_services.prompt.message(messages::NoBrowserText(url),
                                  QApplication::applicationName().toStdString(),
                                  PromptIcon::Exclamation);
    }
}

void CLanscopeDlg::accept() {
    OpenWebInterface();
}

void CLanscopeDlg::keyPressEvent(QKeyEvent* event) {
    // No button is the default: Enter presses the button that has the
    // keyboard focus, and anywhere else it is the dialog's OK command.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == 0) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) {
                button->click();
            }
            return;
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CLanscopeDlg::done(int result) {
    if (!m_closing) {
        m_closing = true;
        StopDiscovery();
        m_services.settings.SaveSetting(setting_names::kAlwaysOnTopLanscope,
                                        m_alwaysOnTop->isChecked() ? 1 : 0);
    }
    QDialog::done(result);
}

void CLanscopeDlg::onHelpClicked() {
    ShowHelp(this, messages::kMainHelp);
}

void CLanscopeDlg::onAboutTriggered() {
    CAboutBox about(this);
    about.exec();
}

}  // namespace lanscope
