#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "discovery/DiscoverySession.h"
#include "discovery/Thread.h"
#include "widgets/Services.h"
#include "widgets/WindowStacking.h"

class QAction;

namespace Ui {
class CLanscopeDlg;
}

namespace lanscope {

class ModuleListView;

// The main window: the modules of the segment as they answer, and every
// action on a selected module.
class CLanscopeDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTimerPeriodMs = 2000;

    explicit CLanscopeDlg(AppServices& services, QWidget* parent = nullptr);
    ~CLanscopeDlg() override;

    void StartDiscovery();
    void StopDiscovery();
    void UpdateButtons();
    void OpenWebInterface();

    ModuleList& moduleList() { return m_discovery.list(); }
    FerroxSocket* socket() { return m_discovery.socket(); }
    CRequestThread* requestThread() { return m_thread.get(); }
    QAction* alwaysOnTopAction() const { return m_alwaysOnTop; }

  public slots:
    // Enter: the dialog's own OK action opens the web page instead of closing.
    void accept() override;
    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

  private:
    void onSearchClicked();
    void onConfigurationClicked();
    void onUpdateSoftwareClicked();
    void onHelpClicked();
    void onAboutTriggered();
    void reportThreadError(const CThreadException& error);
    void installWindowMenu();
    void installListMenu();

    std::unique_ptr<Ui::CLanscopeDlg> m_ui;
    AppServices& m_services;
    DiscoverySession m_discovery;
    std::unique_ptr<ModuleListView> m_view;
    std::unique_ptr<CRequestThread> m_thread;
    QTimer m_timer;
    // How long a swept selection waits for its module to answer the search.
    QTimer m_selectionWait;
    WindowMenu m_menu;
    QAction* m_alwaysOnTop = nullptr;
    bool m_closing = false;
};

}  // namespace lanscope
