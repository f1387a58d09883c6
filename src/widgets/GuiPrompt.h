#pragma once

#include "common/Prompt.h"

class QWidget;

namespace lanscope {

// Message boxes, owned by the given window or else by the window the user is
// working in. A busy cursor shown around the question is lifted while the box
// is up and put back afterwards.
class GuiPrompt : public Prompt {
  public:
    explicit GuiPrompt(QWidget* owner = nullptr) : m_owner(owner) {}

    void message(const std::string& text, const std::string& caption, PromptIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override;

  private:
    QWidget* owner() const;

    QWidget* m_owner;
};

}  // namespace lanscope
