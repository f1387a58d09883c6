#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "update/UpdateSession.h"

namespace Ui {
class CUpdateDlg;
}

namespace lanscope {

// "Update Status": one update run with its progress and a Cancel button. It
// ends with OK when the module confirmed the update (or the file was
// written), with Cancel otherwise.
class CUpdateDlg : public QDialog {
    Q_OBJECT

  public:
    CUpdateDlg(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
               EventLoop& loop, QWidget* parent = nullptr, UpdateEndpoints endpoints = {},
               std::chrono::milliseconds tick = std::chrono::seconds(1));
    ~CUpdateDlg() override;

    UpdateSession& session() { return m_session; }
    int shownProgress() const;

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onChanged();

    std::unique_ptr<Ui::CUpdateDlg> m_ui;
    UpdateSession m_session;
    bool m_opened = false;
};

}  // namespace lanscope
