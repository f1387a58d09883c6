#pragma once

#include <cstdint>
#include <string>

#include "common/Ipv4.h"

namespace lanscope {

// Where remembered values live: the machine's registry on Windows, an INI file
// elsewhere. Every failure is silent: reads give the default, writes are lost.
class SettingsBackend {
  public:
    virtual ~SettingsBackend() = default;
    virtual std::uint32_t readDword(const std::string& name, std::uint32_t fallback) = 0;
    virtual std::string readString(const std::string& name, const std::string& fallback) = 0;
    virtual void writeDword(const std::string& name, std::uint32_t value) = 0;
    virtual void writeString(const std::string& name, const std::string& value) = 0;
};

namespace setting_names {
inline constexpr const char* kIpAddr = "IPAddr";
inline constexpr const char* kFileDir = "FileDir";
inline constexpr const char* kPresetsFile = "PresetsFile";
inline constexpr const char* kAlwaysOnTopLanscope = "AlwaysOnTop_Lanscope";
inline constexpr const char* kAlwaysOnTopAutoUpdate = "AlwaysOnTop_AutoUpdate";
inline constexpr const char* kShowPresets = "ShowPresets";
inline constexpr const char* kHistory = "History";
}  // namespace setting_names

// The accessors the windows use; nothing is cached, every call goes to the
// backend.
class SettingsStore {
  public:
    explicit SettingsStore(SettingsBackend& backend) : m_backend(backend) {}

    Ipv4 LoadIPAddr() { return m_backend.readDword(setting_names::kIpAddr, 0); }
    void SaveIPAddr(Ipv4 address) { m_backend.writeDword(setting_names::kIpAddr, address); }
    std::string LoadFileDir() { return m_backend.readString(setting_names::kFileDir, {}); }
    void SaveFileDir(const std::string& path) {
        m_backend.writeString(setting_names::kFileDir, path);
    }
    std::string LoadPresetsFile() { return m_backend.readString(setting_names::kPresetsFile, {}); }
    void SavePresetsFile(const std::string& path) {
        m_backend.writeString(setting_names::kPresetsFile, path);
    }
    std::uint32_t LoadSetting(const std::string& name) { return m_backend.readDword(name, 0); }
    // The service history is kept unless History=0 turns it off.
    bool LoadHistoryEnabled() { return m_backend.readDword(setting_names::kHistory, 1) != 0; }
    void SaveSetting(const std::string& name, std::uint32_t value) {
        m_backend.writeDword(name, value);
    }

  private:
    SettingsBackend& m_backend;
};

}  // namespace lanscope
