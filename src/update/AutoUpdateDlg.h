#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "history/History.h"
#include "widgets/Services.h"
#include "widgets/WindowStacking.h"

namespace Ui {
class CAutoUpdateDlg;
}

namespace lanscope {

// "Update LAN Module Software": a module's address and an image file, and
// the update of one by the other (or the image file written). Opened from the
// module list with the selected line, or stand-alone as the program's main
// window with the options of its command line.
class CAutoUpdateDlg : public QDialog {
    Q_OBJECT

  public:
    CAutoUpdateDlg(const std::string& text, AppServices& services, QWidget* parent,
                   bool standAlone);
    ~CAutoUpdateDlg() override;

    // The Update button (and -A).
    void RunUpdate();

    // What the window holds, as the next Update would take it.
    Ipv4 moduleAddress() const { return m_address; }
    const std::string& imageFile() const { return m_strFileName; }
    const std::string& description() const { return m_description; }
    bool autoUpdate() const { return m_bAuto; }
    QAction* alwaysOnTopAction() const { return m_menu.alwaysOnTop; }

  protected:
    void showEvent(QShowEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

  private:
    void controlsToMembers();
    void membersToControls();
    void onBrowse();
    void onSaveBrowse();
    void onSaveToggled();
    void onFind();
    void onHelp();
    void message(const char* text);
    void closeWith(int result);

    std::unique_ptr<Ui::CAutoUpdateDlg> m_ui;
    AppServices& m_services;
    std::string m_strFileName;
    std::string m_fileTitle;
    bool m_bRestart = true;
    std::string m_strSaveFile;
    bool m_bSave = false;
    Ipv4 m_address = 0;
    std::string m_description;
    // The module as the list (or the picker) showed it, and the address it
    // came with, for the service history; started on its own the window
    // knows only the address.
    HistoryModule m_module;
    Ipv4 m_moduleAddress = 0;
    bool m_bAuto = false;
    bool m_bStandAlone;
    bool m_opened = false;
    WindowMenu m_menu;
};

}  // namespace lanscope
