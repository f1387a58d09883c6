#include "platform/ConsolePrompt.h"

#include <ostream>

namespace lanscope {

namespace {

// Message texts end in their own line breaks at times; one is enough.
std::string Trimmed(const std::string& text) {
    auto end = text.find_last_not_of(" \r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

void ConsolePrompt::message(const std::string& text, const std::string& caption, PromptIcon) {
    ++m_messages;
    m_err << caption << ": " << Trimmed(text) << '\n' << std::flush;
}

bool ConsolePrompt::askYesNo(const std::string& text, const std::string& caption, bool defaultYes) {
    const bool answer = m_assumeYes || defaultYes;
    m_err << caption << ": " << Trimmed(text) << (answer ? " [yes]" : " [no]") << '\n'
          << std::flush;
    return answer;
}

}  // namespace lanscope
