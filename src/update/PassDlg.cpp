#include "update/PassDlg.h"

#include <QApplication>
#include <QLayout>
#include <algorithm>

#include "ui_PassDlg.h"
#include "update/Messages.h"
#include "widgets/EightBitText.h"

namespace lanscope {

CPassDlg::CPassDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CPassDlg>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CPassDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->refusedLabel->setText(QString::fromUtf8(messages::kCredentialsRefused));
    m_ui->refusedLabel->hide();
}

void CPassDlg::showRefusal() {
    m_ui->refusedLabel->show();
    // The window is made for the two fields; the wrapped line above them
    // needs its own room, or the fields and the line share too little.
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    resize(width(), std::max(height(), needed));
}

CPassDlg::~CPassDlg() = default;

void CPassDlg::accept() {
    m_strUserName = ToEightBit(m_ui->userName->text());
    m_strPassword = ToEightBit(m_ui->password->text());
    QDialog::accept();
}

bool PassDlgCredentials::askCredentials(std::string& user, std::string& password) {
    return ask(user, password, false);
}

bool PassDlgCredentials::askCredentialsAgain(std::string& user, std::string& password) {
    return ask(user, password, true);
}

bool PassDlgCredentials::ask(std::string& user, std::string& password, bool refused) {
    // Owned by the progress window, so it never opens beneath a window that
    // stays on top.
    CPassDlg dialog(QApplication::activeModalWidget());
    if (refused) {
        dialog.showRefusal();
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    user = dialog.userName();
    password = dialog.password();
    return true;
}

}  // namespace lanscope
