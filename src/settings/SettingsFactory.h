#pragma once

#include <memory>

#include "settings/SettingsStore.h"

namespace lanscope {

// Where the window program keeps its settings: the machine-wide registry key
// on Windows (shared with the modules' other tools), an INI file elsewhere.
std::unique_ptr<SettingsBackend> OpenSettingsBackend();

}  // namespace lanscope
