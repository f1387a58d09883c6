#include "platform/NativePath.h"

#ifdef _WIN32
#include <windows.h>

#include "update/CygwinPath.h"
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

}  // namespace

std::string NativePath(const std::string& path) {
    return TranslateCygwinPath(path, CygwinMount);
}
#else
std::string NativePath(const std::string& path) {
    return path;
}
#endif

}  // namespace lanscope
