#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutBox;
}

namespace lanscope {

// Product name, version, legal notice and description of this program.
class CAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutBox(QWidget* parent = nullptr);
    ~CAboutBox() override;

  private:
    std::unique_ptr<Ui::CAboutBox> m_ui;
};

}  // namespace lanscope
