#pragma once

#include <string>

#include "common/CredentialsSource.h"
#include "common/FileChooser.h"
#include "common/Prompt.h"
#include "settings/SettingsStore.h"

class QWidget;

namespace lanscope {

// The presets windows and the browser engine they need live in a module of
// their own, which the window program loads when they first open: a start
// that never shows them neither loads the engine nor makes the graphics
// context it shares.
struct PresetsOpening {
    QWidget* owner;
    const std::string& line;  // the module list's line
    Prompt& prompt;
    SettingsStore& settings;
    FileChooser& files;
    CredentialsSource& credentials;
};

// The module's one entry: shows "Presets Configuration" for the line and
// returns when it closes.
using OpenPresetsFunction = void (*)(const PresetsOpening& opening);
inline constexpr char kOpenPresetsSymbol[] = "lanscope_open_presets";
// The module's file name, without the system's suffix.
inline constexpr char kPresetsModuleName[] = "lanscope-presets";

}  // namespace lanscope
