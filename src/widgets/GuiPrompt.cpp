#include "widgets/GuiPrompt.h"

#include <QApplication>
#include <QMessageBox>

#include "common/Text.h"
#include "widgets/EightBitText.h"

namespace lanscope {

namespace {

QMessageBox::Icon ToIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Stop:
            return QMessageBox::Critical;
        case PromptIcon::Exclamation:
        default:
            return QMessageBox::Warning;
    }
}

// Lifts every override cursor for the life of the object.
class NormalCursor {
  public:
    NormalCursor() {
        while (QApplication::overrideCursor() != nullptr) {
            m_cursors.push_back(*QApplication::overrideCursor());
            QApplication::restoreOverrideCursor();
        }
    }
    ~NormalCursor() {
        for (auto it = m_cursors.rbegin(); it != m_cursors.rend(); ++it) {
            QApplication::setOverrideCursor(*it);
        }
    }

  private:
    QList<QCursor> m_cursors;
};

}  // namespace

QWidget* GuiPrompt::owner() const {
    // The window the user is working in owns the box, so the box opens above
    // it even when that window stays on top of all others.
    if (m_owner != nullptr) {
        return m_owner;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

void GuiPrompt::message(const std::string& text, const std::string& caption, PromptIcon icon) {
    NormalCursor normal;
    QMessageBox box(ToIcon(icon), QString::fromStdString(caption), UiText(text), QMessageBox::Ok,
                    owner());
    // Texts carry names from modules and files: never markup a module could
    // dress a box up with.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool GuiPrompt::askYesNo(const std::string& text, const std::string& caption, bool defaultYes) {
    NormalCursor normal;
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), UiText(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace lanscope
