#include "history/History.h"

#include <array>
#include <istream>

#include "history/HistoryJson.h"

namespace lanscope {

namespace {

// How many bytes the well-formed UTF-8 character at `at` has; 0 when the
// byte there starts none (no overlong forms, no surrogates, nothing above
// U+10FFFF).
std::size_t Utf8CharacterAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    std::size_t size = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        size = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        size = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        size = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < size) {
        return 0;
    }
    for (std::size_t i = 1; i < size; ++i) {
        const unsigned next = byte(at + i);
        if (next < (i == 1 ? low : 0x80u) || next > (i == 1 ? high : 0xBFu)) {
            return 0;
        }
    }
    return size;
}

void Warn(HistoryReading& reading, std::size_t lineNumber, HistoryLineFault fault) {
    reading.warnings.push_back("line " + std::to_string(lineNumber) + ": " +
                               std::string(HistoryLineFaultText(fault)) + ", skipped");
}

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

}  // namespace

std::string EscapeHistoryFileName(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes[at] == '\\') {
            text += "\\\\";
            ++at;
            continue;
        }
        if (const std::size_t size = Utf8CharacterAt(bytes, at); size > 0) {
            text.append(bytes.substr(at, size));
            at += size;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

std::string UnescapeHistoryFileName(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\\') {
            bytes += '\\';
            ++at;
        } else if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' &&
                   HexDigit(text[at + 2]) >= 0 && HexDigit(text[at + 3]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[at + 2]) * 16 + HexDigit(text[at + 3]));
            at += 3;
        } else {
            bytes += text[at];  // a text not written so (an older record) stays as it is
        }
    }
    return bytes;
}

void HistoryReader::feed(std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view piece = text.substr(0, end);
        if (!m_tooLong) {
            if (m_line.size() + piece.size() > kMaxHistoryLineBytes) {
                m_tooLong = true;
                m_line.clear();
                m_line.shrink_to_fit();
            } else if (end != std::string_view::npos && m_line.empty()) {
                // The whole line is in this piece: read it where it lies.
                ++m_lineNumber;
                takeLine(piece);
                text.remove_prefix(end + 1);
                continue;
            } else {
                m_line.append(piece);
            }
        }
        if (end == std::string_view::npos) {
            return;
        }
        ++m_lineNumber;
        if (m_tooLong) {
            Warn(m_reading, m_lineNumber, HistoryLineFault::TooLong);
            m_tooLong = false;
        } else {
            takeLine(m_line);
        }
        m_line.clear();
        text.remove_prefix(end + 1);
    }
}

HistoryReading HistoryReader::finish() {
    if (m_tooLong || !m_line.empty()) {
        m_unterminated = true;
        feed("\n");
    }
    HistoryReading reading = std::move(m_reading);
    m_reading = {};
    m_line.clear();
    m_lineNumber = 0;
    m_unterminated = false;
    return reading;
}

void HistoryReader::takeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) {
        return;
    }
    const HistoryLineFault fault = ReadHistoryEvent(line, m_scratch);
    if (fault == HistoryLineFault::None) {
        if (m_keep && !m_keep(m_scratch)) {
            return;
        }
        if (m_take) {
            m_take(m_scratch);
        } else if (!m_keep) {
            m_reading.events.push_back(std::move(m_scratch));
        } else {
            m_reading.events.push_back(m_scratch);
        }
        return;
    }
    // A last line without its end is what a write cut short leaves.
    Warn(m_reading, m_lineNumber,
         fault == HistoryLineFault::Damaged && m_unterminated ? HistoryLineFault::CutShort : fault);
}

HistoryReading ReadHistory(std::string_view text, HistoryKeep keep) {
    HistoryReader reader(std::move(keep));
    reader.feed(text);
    return reader.finish();
}

HistoryReading ReadHistory(std::istream& in, HistoryKeep keep) {
    HistoryReader reader(std::move(keep));
    std::array<char, 1 << 16> block;
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        reader.feed(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
    }
    return reader.finish();
}

std::string HistoryFilePath(const HistoryEnvironment& environment, HistorySystem system) {
    if (!environment.history.empty()) {
        return environment.history;
    }
    if (system == HistorySystem::Windows) {
        if (environment.localAppData.empty()) {
            return {};
        }
        std::string folder = environment.localAppData;
        if (folder.back() != '\\' && folder.back() != '/') {
            folder += '\\';
        }
        return folder + "Lanscope\\history.jsonl";
    }
    std::string folder;
    if (!environment.xdgDataHome.empty() && environment.xdgDataHome.front() == '/') {
        folder = environment.xdgDataHome;
    } else if (!environment.home.empty()) {
        folder = environment.home;
        if (folder.back() != '/') {
            folder += '/';
        }
        folder += ".local/share";
    } else {
        return {};
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder + "lanscope/history.jsonl";
}

HistoryEvent RecordHistory(HistorySink* sink, HistoryEvent event) {
    return sink != nullptr ? sink->record(std::move(event)) : event;
}

}  // namespace lanscope
