#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class CLanscopeHelpDlg;
}

namespace lanscope {

// Shows one fixed help text chosen by the window that opens it.
class CLanscopeHelpDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CLanscopeHelpDlg(QWidget* parent = nullptr);
    ~CLanscopeHelpDlg() override;

    void setHelpText(const std::string& text);
    QString shownText() const;

  protected:
    bool event(QEvent* event) override;

  private:
    std::unique_ptr<Ui::CLanscopeHelpDlg> m_ui;
};

// Opens the help window modally with the given text.
void ShowHelp(QWidget* parent, const std::string& text);

}  // namespace lanscope
