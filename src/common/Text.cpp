#include "common/Text.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace lanscope {

namespace {

// Windows-1252 0x80-0x9F; the five bytes the code page leaves undefined map
// to the C1 control of the same number, as Windows itself does.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at `i`, or 0.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // overlong
        if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;  // overlong
        if (lead == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

namespace {
std::atomic<EightBitDecoder> g_decoder{nullptr};
std::atomic<PathDecoder> g_pathDecoder{nullptr};
}  // namespace

void SetEightBitDecoder(EightBitDecoder decoder) {
    g_decoder = decoder;
}

void SetPathDecoder(PathDecoder decoder) {
    g_pathDecoder = decoder;
}

std::filesystem::path FileSystemPath(const std::string& name) {
    if (const PathDecoder decoder = g_pathDecoder.load()) {
        return decoder(name);
    }
    return std::filesystem::path(name);
}

std::string EightBitToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    if (const EightBitDecoder decoder = g_decoder.load()) {
        return decoder(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b >= 0x80 && b < 0xA0) {
            AppendUtf8(out, kWindows1252High[b - 0x80]);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string EscapeControlCharacters(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(utf8[i]);
        if (b == '\t') {
            out += "\\t";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
        } else if (b == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<std::uint8_t>(utf8[i + 1]) >= 0x80 &&
                   static_cast<std::uint8_t>(utf8[i + 1]) < 0xA0) {
            const auto c1 = static_cast<std::uint8_t>(utf8[++i]);
            out += "\\u00";
            out.push_back(kHex[c1 >> 4]);
            out.push_back(kHex[c1 & 0xF]);
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

std::string EightBitFieldsToUtf8(std::string_view line, char separator) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(separator, start);
        out +=
            EightBitToUtf8(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return out;
        }
        out.push_back(separator);
        start = end + 1;
    }
}

namespace {

// Byte offset after the first `count` characters (or the end).
std::size_t OffsetAfter(std::string_view utf8, std::size_t count, std::size_t& counted) {
    std::size_t end = 0;
    for (counted = 0; counted < count && end < utf8.size(); ++counted) {
        const std::size_t length = SequenceLength(utf8, end);
        end += length == 0 ? 1 : length;
    }
    return end;
}

}  // namespace

std::size_t CountCharacters(std::string_view utf8) {
    std::size_t counted = 0;
    OffsetAfter(utf8, utf8.size(), counted);
    return counted;
}

std::string CutCharacters(std::string_view utf8, std::size_t count) {
    std::size_t counted = 0;
    return std::string(utf8.substr(0, OffsetAfter(utf8, count, counted)));
}

std::string TrimBlanks(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

}  // namespace lanscope
