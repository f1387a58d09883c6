#pragma once

#include "common/FileChooser.h"

namespace lanscope {

// The desktop's file dialogs, owned by the window the user is working in.
class QtFileChooser : public FileChooser {
  public:
    std::optional<std::string> chooseImageFile(const std::string& initialPath) override;
    std::optional<std::string> chooseSaveFile(const std::string& initialPath,
                                              const std::string& proposedName) override;
    std::optional<std::string> choosePresetFile() override;
    std::optional<std::string> chooseListFile() override;
};

}  // namespace lanscope
