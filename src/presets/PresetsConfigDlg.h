#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "common/CredentialsSource.h"
#include "common/FileChooser.h"
#include "common/Prompt.h"
#include "settings/SettingsStore.h"

namespace Ui {
class CPresetsConfigDlg;
}

namespace lanscope {

// "Presets Configuration": the preset file to write into the module of a
// list line, and the button that writes it.
class CPresetsConfigDlg : public QDialog {
    Q_OBJECT

  public:
    CPresetsConfigDlg(const std::string& line, Prompt& prompt, SettingsStore& settings,
                      FileChooser& files, CredentialsSource& credentials,
                      QWidget* parent = nullptr);
    ~CPresetsConfigDlg() override;

    // The preset file the window shows: the remembered one, or the one chosen
    // since.
    const std::string& fileName() const { return m_strFileName; }

  private:
    void onSelectFile();
    void onWritePresets();

    std::unique_ptr<Ui::CPresetsConfigDlg> m_ui;
    Prompt& m_prompt;
    SettingsStore& m_settings;
    FileChooser& m_files;
    CredentialsSource& m_credentials;
    std::string m_strFileName;
    bool m_bLeaveOpen = true;
    std::string m_strIPAddress;
};

}  // namespace lanscope
