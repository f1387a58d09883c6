#include "widgets/VersionInfo.h"

#include "common/Version.h"

namespace lanscope {

VersionInfo ReadVersionInfo() {
    VersionInfo info;
    info.productName = version::kProductName;
    info.companyName = version::kCompanyName;
    info.legalCopyright = version::kLegalCopyright;
    info.fileDescription = version::kFileDescription;
    info.productVersion = std::to_string(version::kVersionMajor) + "." +
                          std::to_string(version::kVersionMinor) + "." +
                          std::to_string(version::kVersionPatch);
    return info;
}

}  // namespace lanscope
