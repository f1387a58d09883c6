#pragma once

#include <string>

namespace lanscope {

// Asks the user for a user name and password; false when they cancel.
class CredentialsSource {
  public:
    virtual ~CredentialsSource() = default;
    virtual bool askCredentials(std::string& user, std::string& password) = 0;
};

}  // namespace lanscope
