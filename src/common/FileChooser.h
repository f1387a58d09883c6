#pragma once

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace lanscope {

// The windows' file dialogs (the update window's image files, the
// presets window's preset file, the module list's and the history's exports),
// behind an interface so tests can answer them.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // An S-record image file ("Application Files", *_APP.s19); starts in the
    // folder of `initialPath` when it is not empty. Nothing when cancelled.
    virtual std::optional<std::string> chooseImageFile(const std::string& initialPath) = 0;
    // Where to write an image file (*.bin, default extension "bin"), proposing
    // `proposedName`; an existing file is confirmed before it is chosen.
    virtual std::optional<std::string> chooseSaveFile(const std::string& initialPath,
                                                      const std::string& proposedName) = 0;
    // An existing preset file ("Preset Files", *.prs).
    virtual std::optional<std::string> choosePresetFile() = 0;
    // Where to save a list, the module list or a module's history (*.csv or
    // *.json, default extension "csv"); an existing file is confirmed first.
    virtual std::optional<std::string> chooseListFile() = 0;
};

// Whether a name from chooseListFile asks for JSON (".json" in any case);
// anything else is written as CSV.
inline bool IsJsonListFile(std::string_view path) {
    constexpr std::string_view kSuffix = ".json";
    return path.size() >= kSuffix.size() &&
           std::equal(
               kSuffix.begin(), kSuffix.end(), path.end() - kSuffix.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace lanscope
