#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "common/CredentialsSource.h"

namespace Ui {
class CPassDlg;
}

namespace lanscope {

// Asks for the user name and password a module wants before an update.
class CPassDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CPassDlg(QWidget* parent = nullptr);
    ~CPassDlg() override;

    // The module refused what it was given last: the window says so above
    // the empty fields.
    void showRefusal();

    // What was typed, taken on OK (8-bit texts); empty until then.
    const std::string& userName() const { return m_strUserName; }
    const std::string& password() const { return m_strPassword; }

  public slots:
    void accept() override;

  private:
    std::unique_ptr<Ui::CPassDlg> m_ui;
    std::string m_strUserName;
    std::string m_strPassword;
};

// The credentials question of an update run, owned by the active window.
class PassDlgCredentials : public CredentialsSource {
  public:
    bool askCredentials(std::string& user, std::string& password) override;
    bool askCredentialsAgain(std::string& user, std::string& password) override;

  private:
    bool ask(std::string& user, std::string& password, bool refused);
};

}  // namespace lanscope
