#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "common/Text.h"

namespace lanscope {

// Where texts of the windows become the 8-bit strings the rest of the program
// passes to the system and to modules (file names, credentials), and back:
// the active code page on Windows, as the narrow Win32 calls and the modules'
// other tools take them; UTF-8 elsewhere.
inline std::string ToEightBit(const QString& text) {
#ifdef _WIN32
    return text.toLocal8Bit().toStdString();
#else
    return text.toStdString();
#endif
}

inline QString FromEightBit(const std::string& text) {
#ifdef _WIN32
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
#else
    return QString::fromStdString(text);
#endif
}

// A text of the program's own as the windows show it: the message tables and
// what the core reports are the same 8-bit text the module list shows.
inline QString UiText(std::string_view text) {
    return QString::fromStdString(EightBitToUtf8(text));
}

}  // namespace lanscope
