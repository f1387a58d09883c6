#include "update/AutoUpdateOptions.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/Text.h"

namespace lanscope {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t NextSpace(std::string_view text, std::size_t from) {
    while (from < text.size() && !IsSpace(text[from])) {
        ++from;
    }
    return from;
}

bool IsOptionLetter(char c) {
    const char lower = Lower(c);
    return lower == 'a' || lower == 'f' || lower == 'i' || lower == 'r';
}

std::string_view TrimSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool HasSpace(std::string_view text) {
    for (const char c : text) {
        if (IsSpace(c)) {
            return true;
        }
    }
    return false;
}

// "-F" + value, in quotes when the value holds blanks.
std::string FileOption(std::string_view letter, std::string_view value) {
    std::string option = "-" + std::string(letter);
    if (HasSpace(value)) {
        return option + '"' + std::string(value) + '"';
    }
    return option + std::string(value);
}

// Where the option after `from` starts: white space, then "-" and a letter.
std::size_t NextOption(std::string_view text, std::size_t from) {
    for (std::size_t i = from + 1; i + 1 < text.size(); ++i) {
        if (text[i] == '-' && IsSpace(text[i - 1]) && IsOptionLetter(text[i + 1])) {
            return i;
        }
    }
    return text.size();
}

void AppendArgument(std::string& line, std::string_view argument,
                    const std::function<bool(const std::string&)>& isFile) {
    auto append = [&line](std::string_view piece) {
        if (!line.empty()) {
            line += ' ';
        }
        line += piece;
    };
    if (!HasSpace(argument) || argument.find('"') != std::string_view::npos) {
        append(argument);
        return;
    }
    std::size_t at = 0;
    while (at < argument.size() && IsSpace(argument[at])) {
        ++at;
    }
    while (at < argument.size()) {
        const bool fileOption =
            argument[at] == '-' && at + 1 < argument.size() && Lower(argument[at + 1]) == 'f';
        if (fileOption && isFile) {
            // A file name may hold blanks and even " -A"-like parts: the
            // longest stretch up to an option that names an existing file.
            std::vector<std::size_t> ends;
            for (std::size_t end = NextOption(argument, at);; end = NextOption(argument, end)) {
                ends.push_back(end);
                if (end >= argument.size()) {
                    break;
                }
            }
            bool named = false;
            for (auto end = ends.rbegin(); end != ends.rend() && !named; ++end) {
                const std::string name(TrimSpace(argument.substr(at + 2, *end - at - 2)));
                if (HasSpace(name) && isFile(name)) {
                    append(FileOption(argument.substr(at + 1, 1), name));
                    at = *end;
                    named = true;
                }
            }
            if (named) {
                continue;
            }
        }
        const std::size_t next = NextOption(argument, at);
        const std::string_view piece = TrimSpace(argument.substr(at, next - at));
        if (fileOption) {
            append(FileOption(piece.substr(1, 1), TrimSpace(piece.substr(2))));
        } else {
            append(piece);
        }
        at = next;
    }
}

// A program's file name, without its folder and its ".exe", in lower case.
std::string ProgramStem(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    std::string stem;
    for (const char c : path) {
        stem += Lower(c);
    }
    if (stem.size() > 4 && stem.ends_with(".exe")) {
        stem.resize(stem.size() - 4);
    }
    return stem;
}

bool NamesProgram(std::string_view word, std::string_view programPath) {
    return !programPath.empty() && ProgramStem(word) == ProgramStem(programPath);
}

}  // namespace

std::string_view SkipProgramName(std::string_view raw, std::string_view programPath) {
    std::size_t at = 0;
    while (at < raw.size() && IsSpace(raw[at])) {
        ++at;
    }
    const std::size_t start = at;
    std::string_view name;
    if (at < raw.size() && raw[at] == '"') {
        const std::size_t close = raw.find('"', at + 1);
        at = close == std::string_view::npos ? raw.size() : close + 1;
        name = raw.substr(start + 1,
                          (close == std::string_view::npos ? raw.size() : close) - start - 1);
    } else {
        at = NextSpace(raw, at);
        name = raw.substr(start, at - start);
    }
    if (!name.empty() && name.front() == '-' && !NamesProgram(name, programPath)) {
        return raw.substr(start);  // options only: no program name in front
    }
    while (at < raw.size() && IsSpace(raw[at])) {
        ++at;
    }
    return raw.substr(at);
}

std::string JoinCommandLine(const std::vector<std::string>& arguments,
                            const std::function<bool(const std::string&)>& isFile) {
    std::string line;
    bool fileNext = false;
    for (const std::string& argument : arguments) {
        const std::string_view word = TrimSpace(argument);
        if (fileNext && HasSpace(word) && word.find('"') == std::string_view::npos) {
            // The file of a "-F" typed on its own: its blanks are the name's.
            line += " \"" + std::string(word) + '"';
        } else {
            AppendArgument(line, argument, isFile);
        }
        fileNext = word.size() == 2 && word[0] == '-' && Lower(word[1]) == 'f';
    }
    return line;
}

Ipv4 ParseDottedQuadLoose(std::string_view text) {
    std::uint64_t result = 0;
    std::uint32_t part = 0;
    bool digits = false;  // in the current part
    int dots = 0;
    bool started = false;
    for (const char c : text) {
        if (IsSpace(c) && !started) {
            continue;  // blanks between the letter and the address
        }
        started = true;
        if (IsDigit(c)) {
            part = part * 10 + static_cast<std::uint32_t>(c - '0');
            digits = true;
            if (part > 255) {
                return 0;
            }
        } else if (c == '.') {
            if (!digits) {
                return 0;
            }
            result = (result << 8) + part;
            part = 0;
            digits = false;
            if (++dots == 4) {
                return static_cast<Ipv4>(result);
            }
        } else if (IsSpace(c) || c == '-') {
            break;
        }
    }
    if (dots < 3 || !digits) {
        return 0;
    }
    return static_cast<Ipv4>((result << 8) | part);
}

AutoUpdateOptions ReadAutoUpdateOptions(std::string_view text) {
    AutoUpdateOptions options;
    std::size_t at = 0;
    while ((at = text.find('-', at)) != std::string_view::npos && at + 1 < text.size()) {
        std::size_t value = at + 2;
        std::size_t resume = NextSpace(text, at + 1);
        // "-FC:\My Files\x_APP.s19" in quotes as a whole, as Windows users
        // quote an argument: the option runs to the closing quote.
        const bool quoted = at > 0 && text[at - 1] == '"' && (at == 1 || IsSpace(text[at - 2]));
        const std::size_t closing = quoted ? text.find('"', at) : std::string_view::npos;
        if (quoted) {
            resume = closing == std::string_view::npos ? text.size() : closing + 1;
        }
        switch (Lower(text[at + 1])) {
            case 'a':
                options.autoUpdate = true;
                break;
            case 'f':
                if (quoted) {
                    const std::size_t end = std::min(closing, text.size());
                    options.imageFile =
                        std::string(TrimSpace(text.substr(value, end - std::min(value, end))));
                    break;
                }
                // "-F <file>", as a shell hands it over in two arguments; a
                // "-" there is the next option, not a file.
                if (value < text.size() && IsSpace(text[value])) {
                    std::size_t word = value;
                    while (word < text.size() && IsSpace(text[word])) {
                        ++word;
                    }
                    if (word < text.size() && text[word] != '-') {
                        value = word;
                        resume = NextSpace(text, word);
                    }
                }
                if (value < text.size() && text[value] == '"') {
                    const std::size_t close = text.find('"', value + 1);
                    const std::size_t end = close == std::string_view::npos ? text.size() : close;
                    options.imageFile = std::string(text.substr(value + 1, end - value - 1));
                    resume = end == text.size() ? end : end + 1;
                } else {
                    // The letter is no white space, so the name ends at or after `value`.
                    options.imageFile = std::string(text.substr(value, resume - value));
                }
                break;
            case 'i':
                options.address = ParseDottedQuadLoose(text.substr(value));
                break;
            case 'r':
                options.restart = true;
                break;
            default:
                break;
        }
        at = resume;
    }
    return options;
}

UpdateRequestCheck CheckUpdateRequest(Ipv4 address, const std::string& imageFile, bool saveToFile,
                                      const std::string& saveFile) {
    if (address == 0) {
        return UpdateRequestCheck::InvalidAddress;
    }
    std::error_code error;
    std::string extension = std::filesystem::path(imageFile).extension().string();
    for (char& c : extension) {
        c = Lower(c);
    }
    if (imageFile.empty() || extension != ".s19" ||
        !std::filesystem::exists(FileSystemPath(imageFile), error)) {
        return UpdateRequestCheck::ImageFile;
    }
    if (saveToFile) {
        // Writing the image file over its own source would destroy it.
        if (saveFile.empty() || std::filesystem::equivalent(FileSystemPath(imageFile),
                                                            FileSystemPath(saveFile), error)) {
            return UpdateRequestCheck::SaveFile;
        }
    }
    return UpdateRequestCheck::Ok;
}

}  // namespace lanscope
