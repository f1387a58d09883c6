#include "common/CygwinPath.h"

#include <algorithm>

namespace lanscope {

std::string TranslateCygwinPath(
    const std::string& path,
    const std::function<std::optional<std::string>(const std::string&)>& lookupMount) {
    auto backslashes = [](std::string text) {
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    };
    static const std::string kFerrox = "/ferrox";
    static const std::string kCygdrive = "/cygdrive/";
    if (path.compare(0, kFerrox.size(), kFerrox) == 0 && lookupMount) {
        if (auto native = lookupMount(kFerrox)) {
            return backslashes(*native + path.substr(kFerrox.size()));
        }
    }
    if (path.size() >= 4 && path[0] == '/' && path[1] == '/' && path[3] == '/') {
        return std::string(1, path[2]) + ":" + backslashes(path.substr(3));
    }
    if (path.compare(0, kCygdrive.size(), kCygdrive) == 0 && path.size() > kCygdrive.size()) {
        const std::string rest = path.substr(kCygdrive.size());
        return backslashes(rest.substr(0, 1) + ":" + rest.substr(1));
    }
    return path;
}

}  // namespace lanscope
