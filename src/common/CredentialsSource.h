#pragma once

#include <string>

namespace lanscope {

// Asks the user for a user name and password; false when none are given.
class CredentialsSource {
  public:
    virtual ~CredentialsSource() = default;
    virtual bool askCredentials(std::string& user, std::string& password) = 0;
    // The same question after the module refused the ones it was given, so
    // that it can say so.
    virtual bool askCredentialsAgain(std::string& user, std::string& password) {
        return askCredentials(user, password);
    }
    // After an ask that gave none: why, when the user had no say (nobody to
    // ask, as without a terminal), as the source has told it; empty when the
    // user chose to give none.
    virtual std::string whyNotGiven() const { return {}; }
};

}  // namespace lanscope
