#pragma once

#include <string>
#include <string_view>

namespace lanscope {

// One field of comma-separated values (RFC 4180): quoted only when it holds a
// comma, a quote or a line end, quotes doubled inside.
inline std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace lanscope
