#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Prompt.h"
#include "common/Result.h"

namespace lanscope {

// One name-value pair of a preset file: the form element's name and the
// value it gets. Neither is ever empty.
struct tagField {
    std::string strName;
    std::string strValue;
    bool operator==(const tagField&) const = default;
};

// Answers a line that is neither a comment nor an assignment (1-based line
// number, the line as it stands): true skips it, false stops reading and
// keeps what was read.
using PresetFormatQuestion = std::function<bool(std::size_t line, std::string_view text)>;

// Reads preset text into fields in file order: "//" starts a comment, the
// first "=" splits name and value, spaces (0x20 only) around both are
// trimmed, an empty name or value skips the line, and a value that equals an
// earlier field's name takes that field's value (each earlier field in turn).
// A leading UTF-8 byte-order mark is passed over.
std::vector<tagField> ReadPresets(std::string_view text, const PresetFormatQuestion& question);

// Reads the file at `path` with ReadPresets, asking the format question
// through the prompt (an answer, not a failure). A file that cannot be read
// (missing, a folder, no access) fails with "Unable to read data - file access
// error.", reading that ends early with "Unable to read data - error in
// format."; the caller shows the failure.
Result<std::vector<tagField>> LoadPresetFile(const std::string& path, Prompt& prompt,
                                             const std::string& caption);

// The file's whole text, or nothing when it cannot be read as a file.
std::optional<std::string> ReadPresetText(const std::string& path);

}  // namespace lanscope
