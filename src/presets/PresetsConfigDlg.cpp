#include "presets/PresetsConfigDlg.h"

#include "discovery/ListLine.h"
#include "presets/FormFiller.h"
#include "presets/Messages.h"
#include "presets/PresetsDlg.h"
#include "ui_PresetsConfigDlg.h"
#include "widgets/EightBitText.h"

namespace lanscope {

CPresetsConfigDlg::CPresetsConfigDlg(const std::string& line, Prompt& prompt,
                                     SettingsStore& settings, FileChooser& files,
                                     CredentialsSource& credentials, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CPresetsConfigDlg>()),
      m_prompt(prompt),
      m_settings(settings),
      m_files(files),
      m_credentials(credentials),
      m_strIPAddress(PresetsAddressFromLine(line)) {
    m_ui->setupUi(this);
    setWindowTitle(UiText(messages::kPresetsConfigTitle) + QStringLiteral(" - ") +
                   UiText(m_strIPAddress));
    // Room for the title with its address and for a long path.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("M")) * 34);

    connect(m_ui->selectFileButton, &QPushButton::clicked, this, &CPresetsConfigDlg::onSelectFile);
    connect(m_ui->writePresetsButton, &QPushButton::clicked, this,
            &CPresetsConfigDlg::onWritePresets);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    m_strFileName = m_settings.LoadPresetsFile();
    m_ui->fileName->setText(FromEightBit(m_strFileName));
}

CPresetsConfigDlg::~CPresetsConfigDlg() = default;

void CPresetsConfigDlg::onSelectFile() {
    const auto chosen = m_files.choosePresetFile();
    if (!chosen) {
        return;
    }
    m_strFileName = *chosen;
    m_ui->fileName->setText(FromEightBit(*chosen));
    m_settings.SavePresetsFile(*chosen);
}

void CPresetsConfigDlg::onWritePresets() {
    m_bLeaveOpen = m_ui->leaveOpenCheck->isChecked();
    CPresetsDlg filler(m_strIPAddress, m_strFileName, !m_bLeaveOpen, m_prompt, m_credentials, this);
    filler.exec();
}

}  // namespace lanscope
