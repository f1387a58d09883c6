#include "settings/RegistrySettingsBackend.h"

#include <windows.h>

#include <vector>

namespace lanscope {

namespace {

constexpr const char* kRootPath = "SOFTWARE\\Tessmar\\AutoUpdate\\";
constexpr const char* kSubkey = "Settings";

// The root key with full access, created when missing. A user without write
// rights on the machine's hive still reads what an administrator stored
// (writes are lost, as they always were): for reads, read access will do.
// Null on any failure.
HKEY OpenSettingsKey(bool forWriting) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRootPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        return key;
    }
    if (!forWriting &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRootPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        return key;
    }
    return nullptr;
}

HKEY OpenSubkey(HKEY root, bool create) {
    HKEY key = nullptr;
    LONG rc = create ? RegCreateKeyExA(root, kSubkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr)
                     : RegOpenKeyExA(root, kSubkey, 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS && !create) {
        rc = RegOpenKeyExA(root, kSubkey, 0, KEY_READ, &key);
    }
    return rc == ERROR_SUCCESS ? key : nullptr;
}

void Write(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    HKEY root = OpenSettingsKey(true);
    if (!root) {
        return;
    }
    if (HKEY sub = OpenSubkey(root, true)) {
        RegSetValueExA(sub, name.c_str(), 0, type, data, size);
        RegCloseKey(sub);
    }
    RegCloseKey(root);
}

}  // namespace

std::uint32_t RegistrySettingsBackend::readDword(const std::string& name, std::uint32_t fallback) {
    HKEY root = OpenSettingsKey(false);
    if (!root) {
        return fallback;
    }
    std::uint32_t value = fallback;
    if (HKEY sub = OpenSubkey(root, false)) {
        DWORD data = 0;
        DWORD size = sizeof data;
        if (RegQueryValueExA(sub, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data),
                             &size) == ERROR_SUCCESS) {
            value = data;
        }
        RegCloseKey(sub);
    }
    RegCloseKey(root);
    return value;
}

std::string RegistrySettingsBackend::readString(const std::string& name,
                                                const std::string& fallback) {
    HKEY root = OpenSettingsKey(false);
    if (!root) {
        return fallback;
    }
    std::string value = fallback;
    if (HKEY sub = OpenSubkey(root, false)) {
        DWORD size = 0;
        if (RegQueryValueExA(sub, name.c_str(), nullptr, nullptr, nullptr, &size) ==
            ERROR_SUCCESS) {
            std::vector<char> data(size);
            if (RegQueryValueExA(sub, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
                value.assign(data.data(), size);
                if (const auto zero = value.find('\0'); zero != std::string::npos) {
                    value.resize(zero);
                }
            }
        }
        RegCloseKey(sub);
    }
    RegCloseKey(root);
    return value;
}

void RegistrySettingsBackend::writeDword(const std::string& name, std::uint32_t value) {
    const DWORD data = value;
    Write(name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

void RegistrySettingsBackend::writeString(const std::string& name, const std::string& value) {
    Write(name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
          static_cast<DWORD>(value.size() + 1));
}

}  // namespace lanscope
