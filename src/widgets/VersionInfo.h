#pragma once

#include <string>

namespace lanscope {

// What the about box shows, read from the program's version information.
struct VersionInfo {
    std::string productName;
    std::string companyName;
    std::string legalCopyright;
    std::string fileDescription;
    std::string productVersion;  // "major.minor.patch"
};

VersionInfo ReadVersionInfo();

// The about box's three lines beside the product name.
inline std::string VersionLine(const VersionInfo& info) {
    return "Version " + info.productVersion;
}
inline std::string LegalLine(const VersionInfo& info) {
    return info.legalCopyright + " " + info.companyName;
}

}  // namespace lanscope
