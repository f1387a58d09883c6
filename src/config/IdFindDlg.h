#pragma once

#include <QDialog>
#include <memory>

#include "common/Ipv4.h"
#include "discovery/DiscoverySession.h"

namespace Ui {
class CIdFindDlg;
}

namespace lanscope {

class ModuleListView;

// "Find LAN Module": the modules that answer on the segment, from a
// discovery of the window's own, to pick the one to update.
class CIdFindDlg : public QDialog {
    Q_OBJECT

  public:
    CIdFindDlg(Prompt& prompt, EventLoop& loop, FerroxEndpoints endpoints = {},
               QWidget* parent = nullptr);
    ~CIdFindDlg() override;

    // The result: the chosen module's address after OK with a selected line,
    // else what the opener set before.
    Ipv4 selectedAddress() const { return m_selectedAddress; }
    void setSelectedAddress(Ipv4 address) { m_selectedAddress = address; }

    DiscoverySession& discovery() { return m_discovery; }

  public slots:
    void accept() override;
    void done(int result) override;

  private:
    void onSearchAgain();

    std::unique_ptr<Ui::CIdFindDlg> m_ui;
    Ipv4 m_selectedAddress = 0;
    DiscoverySession m_discovery;
    std::unique_ptr<ModuleListView> m_view;
};

}  // namespace lanscope
