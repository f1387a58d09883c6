#include "update/UpdateDlg.h"

#include <QApplication>
#include <chrono>

#include "ui_UpdateDlg.h"

namespace lanscope {

CUpdateDlg::CUpdateDlg(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                       EventLoop& loop, QWidget* parent, UpdateEndpoints endpoints,
                       std::chrono::milliseconds tick)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CUpdateDlg>()),
      m_session(std::move(settings), prompt, credentials, loop,
                QApplication::applicationName().toStdString(), endpoints, tick) {
    m_ui->setupUi(this);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CUpdateDlg::reject);
    m_session.changed = [this] { onChanged(); };
}

CUpdateDlg::~CUpdateDlg() {
    m_session.changed = nullptr;
}

int CUpdateDlg::shownProgress() const {
    return m_ui->progress->value();
}

void CUpdateDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_opened) {
        return;
    }
    m_opened = true;
    m_ui->progress->setValue(0);
    m_session.start();  // a run that ended has asked to close already
}

void CUpdateDlg::onChanged() {
    m_ui->progress->setValue(m_session.progress());
    if (m_session.outcome() == UpdateOutcome::Running) {
        return;
    }
    // Posted: the run may be inside a reply from the socket right now.
    const bool ok = m_session.outcome() == UpdateOutcome::Ok;
    QMetaObject::invokeMethod(
        this, [this, ok] { QDialog::done(ok ? QDialog::Accepted : QDialog::Rejected); },
        Qt::QueuedConnection);
}

void CUpdateDlg::reject() {
    // Cancel, Escape or the close box: nothing more goes to the module.
    m_session.cancel();
}

}  // namespace lanscope
