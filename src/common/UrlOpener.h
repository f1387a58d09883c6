#pragma once

#include <string>

namespace lanscope {

// Opens a web address in the user's browser.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    // False when no browser could be started.
    virtual bool open(const std::string& url) = 0;
};

}  // namespace lanscope
