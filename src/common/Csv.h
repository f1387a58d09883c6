#pragma once

#include <string>
#include <string_view>

namespace lanscope {

// One field of comma-separated values (RFC 4180): quoted only when it holds a
// comma, a quote or a line end, quotes doubled inside. A spreadsheet takes a
// cell that starts with "=", "+", "-", "@", a tab or a carriage return for a
// formula, and module names are whatever answers on the network: such a cell
// gets an apostrophe in front, inside quotes, which spreadsheets show as
// text. Numbers and addresses are written as they are, never through here.
inline std::string CsvField(std::string_view text) {
    const bool formula =
        !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = formula ? "\"'" : "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace lanscope
