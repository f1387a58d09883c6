#include "config/IdFindDlg.h"

#include <QShortcut>
#include <QTreeView>

#include "config/Messages.h"
#include "ui_IdFindDlg.h"
#include "widgets/EightBitText.h"
#include "widgets/ModuleListModel.h"
#include "widgets/ModuleListView.h"

namespace lanscope {

CIdFindDlg::CIdFindDlg(Prompt& prompt, EventLoop& loop, FerroxEndpoints endpoints, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CIdFindDlg>()),
      m_discovery(prompt, loop, endpoints) {
    m_ui->setupUi(this);
    setWindowTitle(UiText(messages::kFindTitle));
    m_ui->okButton->setToolTip(UiText(messages::kTipFindOk));
    m_ui->cancelButton->setToolTip(UiText(messages::kTipFindCancel));
    m_ui->searchAgainButton->setToolTip(UiText(messages::kTipSearchAgain));
    m_view = std::make_unique<ModuleListView>(
        *m_ui->list, m_discovery.list(),
        [](std::string_view line) { return TextAfterThreeSpaces(line); },
        UiText(messages::kTipFindList));
    m_view->model().setHeaders({QStringLiteral("MAC"), QStringLiteral("IP"), QStringLiteral("DHCP"),
                                QStringLiteral("Location"), QString()});
    connect(m_view.get(), &ModuleListView::lineActivated, this, &CIdFindDlg::accept);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CIdFindDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CIdFindDlg::reject);
    connect(m_ui->searchAgainButton, &QPushButton::clicked, this, &CIdFindDlg::onSearchAgain);
    // F1 is taken and does nothing here.
    new QShortcut(QKeySequence(Qt::Key_F1), this);

    // A failed bind is shown by the socket; the window opens with an empty list.
    m_discovery.open();
    (void)m_discovery.request();
}

CIdFindDlg::~CIdFindDlg() {
    m_view.reset();
}

void CIdFindDlg::onSearchAgain() {
    m_discovery.list().clear();
    (void)m_discovery.request();
}

void CIdFindDlg::accept() {
    if (m_discovery.list().selection()) {
        m_selectedAddress = ParseDottedQuad(SelectedAddressText(m_discovery.list()));
    }
    QDialog::accept();
}

void CIdFindDlg::done(int result) {
    // The update socket takes the port right after this window.
    m_discovery.close();
    QDialog::done(result);
}

}  // namespace lanscope
