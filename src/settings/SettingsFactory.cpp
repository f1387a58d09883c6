#include "settings/SettingsFactory.h"

#ifdef _WIN32
#include "settings/RegistrySettingsBackend.h"
#else
#include "settings/IniSettingsBackend.h"
#endif

namespace lanscope {

std::unique_ptr<SettingsBackend> OpenSettingsBackend() {
#ifdef _WIN32
    return std::make_unique<RegistrySettingsBackend>();
#else
    return std::make_unique<IniSettingsBackend>();
#endif
}

}  // namespace lanscope
