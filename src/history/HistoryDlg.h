#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "history/HistoryReport.h"
#include "widgets/Services.h"

namespace Ui {
class HistoryDlg;
}

namespace lanscope {

// One module's service history: its updates, saved images and settings
// writes, newest first, in the columns the command line prints; saved as
// CSV or JSON for the plant's records.
class HistoryDlg : public QDialog {
    Q_OBJECT

  public:
    // The module on `line` of the module list; its events are read from
    // the services' history file.
    HistoryDlg(AppServices& services, const std::string& line, QWidget* parent = nullptr);
    ~HistoryDlg() override;

    const std::vector<HistoryRow>& rows() const { return m_rows; }

  private:
    void load(const std::string& mac);
    void showRows();
    void showNotice(const std::string& text);
    void onSaveClicked();

    std::unique_ptr<Ui::HistoryDlg> m_ui;
    AppServices& m_services;
    std::vector<HistoryRow> m_rows;
};

}  // namespace lanscope
