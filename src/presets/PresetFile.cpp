#include "presets/PresetFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <system_error>

#include "common/Text.h"
#include "presets/Messages.h"

namespace lanscope {

namespace {

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<tagField> ReadPresets(std::string_view text, const PresetFormatQuestion& question) {
    std::vector<tagField> fields;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);  // otherwise the first name would never match
    }
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t feed = text.find('\n', start);
        const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        std::string_view line = text.substr(start, end - start);
        start = feed == std::string_view::npos ? text.size() : feed + 1;
        ++number;
        if (feed != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);  // part of the line end
        }
        const std::string_view whole = line;
        if (const std::size_t comment = line.find("//"); comment != std::string_view::npos) {
            line = line.substr(0, comment);
            line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
            if (line.empty()) {
                continue;
            }
        }
        const std::size_t equals = line.find('=');
        if (line.empty() || equals == std::string_view::npos) {
            if (!question(number, whole)) {
                break;
            }
            continue;
        }
        const std::string_view name = TrimSpaces(line.substr(0, equals));
        std::string value(TrimSpaces(line.substr(equals + 1)));
        if (name.empty() || value.empty()) {
            continue;
        }
        for (const tagField& earlier : fields) {
            if (value == earlier.strName) {
                value = earlier.strValue;
            }
        }
        fields.push_back({std::string(name), std::move(value)});
    }
    return fields;
}

std::optional<std::string> ReadPresetText(const std::string& path) {
    std::error_code error;
    // A folder opens and reads as empty on some systems; it is no preset.
    if (path.empty() || !std::filesystem::is_regular_file(FileSystemPath(path), error)) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return std::nullopt;
    }
    return text;
}

Result<std::vector<tagField>> LoadPresetFile(const std::string& path, Prompt& prompt,
                                             const std::string& caption) {
    try {
        const auto text = ReadPresetText(path);
        if (!text) {
            return Error{0, messages::kPresetFileAccessError};
        }
        return ReadPresets(*text, [&](std::size_t, std::string_view) {
            return prompt.askYesNo(messages::kPresetFormatQuestion, caption, true);
        });
    } catch (const std::exception&) {
        // Memory exhausted, or anything else that ends reading early.
        return Error{0, messages::kPresetFormatError};
    }
}

}  // namespace lanscope
