#pragma once

#include "common/UrlOpener.h"

namespace lanscope {

// The desktop's default browser; failures are not reported.
class DesktopUrlOpener : public UrlOpener {
  public:
    void open(const std::string& url) override;
};

}  // namespace lanscope
