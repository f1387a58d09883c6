#include "widgets/AboutBox.h"

#include "ui_AboutBox.h"
#include "widgets/VersionInfo.h"

namespace lanscope {

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutBox>()) {
    m_ui->setupUi(this);
    const QIcon icon(QStringLiteral(":/lanscope.png"));
    setWindowIcon(icon);
    m_ui->icon->setPixmap(icon.pixmap(32, 32));
    const VersionInfo info = ReadVersionInfo();
    m_ui->productName->setText(QString::fromStdString(info.productName));
    m_ui->versionLine->setText(QString::fromStdString(VersionLine(info)));
    m_ui->legalLine->setText(QString::fromStdString(LegalLine(info)));
    m_ui->description->setText(QString::fromStdString(info.fileDescription));
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutBox::~CAboutBox() = default;

}  // namespace lanscope
