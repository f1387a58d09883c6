#include "update/UpdateDlg.h"

#include <QApplication>
#include <chrono>

#include "platform/NativePath.h"
#include "ui_UpdateDlg.h"

namespace lanscope {

namespace {

std::uint32_t MillisecondClock() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

CUpdateDlg::CUpdateDlg(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                       QWidget* parent, UpdateEndpoints endpoints, std::chrono::milliseconds tick)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CUpdateDlg>()),
      m_prompt(prompt),
      m_endpoints(endpoints),
      m_module(settings.moduleAddress),
      m_run(std::move(settings), prompt, credentials, QApplication::applicationName().toStdString(),
            MillisecondClock, NativePath) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/lanscope.png")));
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CUpdateDlg::reject);
    m_timer.setInterval(tick);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_run.onTick(); });
    m_run.changed = [this] { onChanged(); };
    m_run.wakeAfter = [this](std::uint32_t ms) {
        QTimer::singleShot(static_cast<int>(ms), this, [this] { m_run.onWake(); });
    };
}

CUpdateDlg::~CUpdateDlg() {
    m_run.changed = nullptr;
    m_run.wakeAfter = nullptr;
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
    m_timer.start();
    m_ui->progress->setValue(0);
    if (m_run.open() != UpdateOutcome::Running) {
        return;  // onChanged has asked to close
    }
    m_socket = std::make_unique<FerroxUpdateSocket>(
        [this](std::span<const std::uint8_t> reply) { m_run.onReply(reply); }, m_module, m_prompt,
        QApplication::applicationName().toStdString(), m_endpoints);
    m_run.beginTransfer(*m_socket);
}

void CUpdateDlg::onChanged() {
    m_ui->progress->setValue(m_run.progress());
    if (m_run.outcome() == UpdateOutcome::Running) {
        return;
    }
    m_timer.stop();
    // Posted: the run may be inside a reply from the socket right now.
    const bool ok = m_run.outcome() == UpdateOutcome::Ok;
    QMetaObject::invokeMethod(
        this, [this, ok] { QDialog::done(ok ? QDialog::Accepted : QDialog::Rejected); },
        Qt::QueuedConnection);
}

void CUpdateDlg::reject() {
    // Cancel, Escape or the close box: nothing more goes to the module.
    m_run.cancel();
}

}  // namespace lanscope
