#include "widgets/LanscopeHelpDlg.h"

#include <QKeyEvent>

#include "ui_LanscopeHelpDlg.h"

namespace lanscope {

CLanscopeHelpDlg::CLanscopeHelpDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CLanscopeHelpDlg>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CLanscopeHelpDlg::~CLanscopeHelpDlg() = default;

void CLanscopeHelpDlg::setHelpText(const std::string& text) {
    // The texts separate lines with CR LF; the edit wants plain line feeds.
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_ui->helpText->setPlainText(shown);
}

QString CLanscopeHelpDlg::shownText() const {
    return m_ui->helpText->toPlainText();
}

bool CLanscopeHelpDlg::event(QEvent* event) {
    // F1 here is answered as handled and opens nothing more.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            event->accept();
            return true;
        }
    }
    return QDialog::event(event);
}

void ShowHelp(QWidget* parent, const std::string& text) {
    CLanscopeHelpDlg help(parent);
    help.setHelpText(text);
    help.exec();
}

}  // namespace lanscope
