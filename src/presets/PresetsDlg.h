#pragma once

#include <QDialog>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/CredentialsSource.h"
#include "common/Prompt.h"
#include "presets/FormFiller.h"
#include "presets/PresetFile.h"

class QJsonArray;
class QJsonObject;
class QUrl;
class QWebEngineView;
class QWebEngineProfile;

namespace lanscope {

class FillerPage;

// "Preset Configuration": a module's web pages in an embedded browser, steered
// to its configuration form, which is filled from a preset file and left for
// the user to check and submit.
class CPresetsDlg : public QDialog {
    Q_OBJECT

  public:
    CPresetsDlg(std::string ipAddress, std::string presetsFile, bool quiet, Prompt& prompt,
                CredentialsSource& credentials, QWidget* parent = nullptr,
                PresetsRunState& state = ProgramPresetsState());
    ~CPresetsDlg() override;

    bool ClearFields();
    bool LoadPresets();

  public slots:
    void done(int result) override;

  public:
    // The embedded browser; none when the engine could not be started here.
    QWebEngineView* browser() const { return m_browser; }
    // How long a quiet run may take before it gives up; before exec().
    void setQuietDeadline(std::chrono::milliseconds deadline) { m_quietDeadline = deadline; }

  signals:
    // The form has been written (before the summary shows).
    void formFilled();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class FillerPage;

    void initialise();
    // Whether the user clicked or typed in the browser just now.
    bool afterUserInput() const;
    bool onBeforeNavigate(const QUrl& url, FormFiller::Cause cause);
    void onDocumentComplete(const QString& url);
    void onErrorPageComplete(const QString& url);
    void onFormInspected(const QVariant& result, int navigations, const QString& url);
    void onFormWritten(const QVariant& result, int navigations, const std::string& summary);
    FormFiller::Reached reachedOf(const QJsonObject& answer, int navigations) const;
    // Runs the form script on the document at `url`.
    void runFormScript(const QString& operation, const QString& url, const QJsonArray& data,
                       std::function<void(const QVariant&)> done);
    void exitWith(const char* message);
    void navigate(const std::string& url);

    std::vector<tagField> m_Fields;
    std::string m_strIPAddress;
    std::string m_strPresetsFile;
    bool m_bQuiet;
    Prompt& m_prompt;
    CredentialsSource& m_credentials;
    PresetsRunState& m_state;
    FormFiller m_filler;
    QWebEngineProfile* m_profile = nullptr;
    FillerPage* m_page = nullptr;
    QWebEngineView* m_browser = nullptr;
    QString m_token;
    bool m_closing = false;
    bool m_engineRefused = false;
    int m_pendingRedirects = 0;
    // Navigations asked for so far: a look into a page that fails after
    // another one has begun was overtaken, not refused.
    int m_navigations = 0;
    std::chrono::milliseconds m_quietDeadline = FormFiller::kQuietDeadline;
    // A navigation this soon after the user's input is the user's.
    static constexpr std::chrono::milliseconds kUserInputReach{2000};
    std::optional<std::chrono::steady_clock::time_point> m_lastUserInput;
};

}  // namespace lanscope
