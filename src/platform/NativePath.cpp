#include "platform/NativePath.h"

#ifdef _WIN32
#include <windows.h>

#include <array>

#include "common/CygwinPath.h"
#include "common/Text.h"
#else
#include <cstdlib>
#endif

namespace lanscope {

#ifdef _WIN32
namespace {

// The native folder of a Cygwin mount point. The key is only read: a missing
// mount table is no reason to create one.
std::optional<std::string> CygwinMount(const std::string& mountPoint) {
    const std::string key = "SOFTWARE\\Cygnus Solutions\\Cygwin\\mounts v2\\" + mountPoint;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    char value[255] = {};
    DWORD size = sizeof value - 1;
    const LONG rc =
        RegQueryValueExA(handle, "native", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(value, strnlen(value, size));
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

}  // namespace

std::string NativePath(const std::string& path) {
    return TranslateCygwinPath(path, CygwinMount);
}

std::optional<std::string> CodePageNameAsUtf8(const std::string& name) {
    // The program's path decoder reads the active code page.
    return Utf8(FileSystemPath(name).wstring());
}

std::string EnvironmentText(const char* name) {
    const std::string ascii(name);
    const std::wstring wideName(ascii.begin(), ascii.end());
    std::array<wchar_t, 32768> value{};
    const DWORD size =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (size == 0 || size >= value.size()) {
        return {};
    }
    return Utf8(std::wstring(value.data(), size));
}
#else
std::string NativePath(const std::string& path) {
    return path;
}

std::optional<std::string> CodePageNameAsUtf8(const std::string& /*name*/) {
    return std::nullopt;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}
#endif

}  // namespace lanscope
