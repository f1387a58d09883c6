#pragma once

#include <cstdio>
#include <string>

namespace lanscope {

enum class PromptIcon { Exclamation, Question, Information, Stop };

// Everything the user must act on goes through here, so the window program can
// show a message box, the command line can print, and tests can record and
// answer.
class Prompt {
  public:
    virtual ~Prompt() = default;

    virtual void message(const std::string& text, const std::string& caption,
                         PromptIcon icon = PromptIcon::Exclamation) = 0;
    virtual bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) = 0;
};

// Fills one of the program's printf-style message texts.
template <class... Args>
std::string FormatText(const char* format, Args... args) {
    const int size = std::snprintf(nullptr, 0, format, args...);
    if (size <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

}  // namespace lanscope
