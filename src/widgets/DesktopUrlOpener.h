#pragma once

#include "common/UrlOpener.h"

namespace lanscope {

// The desktop's default browser.
class DesktopUrlOpener : public UrlOpener {
  public:
    bool open(const std::string& url) override;
};

}  // namespace lanscope
