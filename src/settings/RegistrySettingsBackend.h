#pragma once

#include "settings/SettingsStore.h"

namespace lanscope {

// HKEY_LOCAL_MACHINE\SOFTWARE\Tessmar\AutoUpdate\Settings, value names and
// types as the modules' tools have always used them (Windows only).
class RegistrySettingsBackend : public SettingsBackend {
  public:
    std::uint32_t readDword(const std::string& name, std::uint32_t fallback) override;
    std::string readString(const std::string& name, const std::string& fallback) override;
    void writeDword(const std::string& name, std::uint32_t value) override;
    void writeString(const std::string& name, const std::string& value) override;
};

}  // namespace lanscope
