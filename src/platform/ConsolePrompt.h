#pragma once

#include <iosfwd>

#include "common/Prompt.h"

namespace lanscope {

// Prompts for programs without windows: messages go to the error stream as
// "Caption: text"; questions take the given answer (from --yes) or, when there
// is none, the question's default.
class ConsolePrompt : public Prompt {
  public:
    explicit ConsolePrompt(std::ostream& err, bool assumeYes = false)
        : m_err(err), m_assumeYes(assumeYes) {}

    void message(const std::string& text, const std::string& caption, PromptIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override;

    int messageCount() const { return m_messages; }

  private:
    std::ostream& m_err;
    bool m_assumeYes;
    int m_messages = 0;
};

}  // namespace lanscope
