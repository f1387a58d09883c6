#pragma once

#include <cstdarg>
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

#if defined(__GNUC__)
#define LANSCOPE_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define LANSCOPE_PRINTF_FORMAT
#endif

// Fills a printf-style message text. Called with a literal format only (the
// message functions in each Messages.h), so the compiler checks the arguments.
inline std::string FormatText(const char* format, ...) LANSCOPE_PRINTF_FORMAT;

inline std::string FormatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

}  // namespace lanscope
