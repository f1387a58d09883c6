#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "common/Prompt.h"
#include "config/AutoIp.h"
#include "discovery/ModuleList.h"
#include "history/History.h"

namespace Ui {
class CLanscopeConfigDlg;
}

namespace lanscope {

// Edits one module's network settings and sends them as a configuration
// write: new static settings, DHCP, or an address beside this computer's.
class CLanscopeConfigDlg : public QDialog {
    Q_OBJECT

  public:
    // `parentList` is the module list whose size decides whether automatic
    // address selection is offered; null when there is none.
    CLanscopeConfigDlg(Prompt& prompt, std::function<std::vector<Ipv4>()> hostAddresses,
                       const ModuleList* parentList, QWidget* parent = nullptr);
    ~CLanscopeConfigDlg() override;

    void SetModule(ConfigurationSender& socket, ModuleRecord& record);
    // Where the writes of this window are recorded (null: nowhere), and the
    // module as the list shows it.
    void recordTo(HistorySink* history, HistoryModule module);
    bool AutoIpUpdate(bool connectedDirectly);

    const NetworkSettings& loadedSettings() const { return m_loaded; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onFieldChanged();
    void onDhcpClicked();
    void onStaticClicked();
    void onAutoIpClicked();
    void onHelpClicked();
    void updateAutoIpButton();
    NetworkSettings shownSettings() const;
    void writeSettings(const NetworkSettings& settings);
    bool mayTakeAddress(Ipv4 address);
    void tellHistoryFailure();

    std::unique_ptr<Ui::CLanscopeConfigDlg> m_ui;
    Prompt& m_prompt;
    std::function<std::vector<Ipv4>()> m_hostAddresses;
    const ModuleList* m_parentList;
    ConfigurationSender* m_socket = nullptr;
    ModuleRecord* m_record = nullptr;
    NetworkSettings m_loaded;
    HistorySink* m_history = nullptr;
    HistoryModule m_module;
    QTimer m_timer;
    bool m_opened = false;
};

}  // namespace lanscope
