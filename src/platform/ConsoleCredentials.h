#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "update/UpdateRun.h"

namespace lanscope {

// Credentials for programs without windows: the ones given on the command
// line first; when the module asks (again), the terminal, with the password
// not echoed; without a terminal the request fails with a clear message.
class ConsoleCredentials : public CredentialsSource {
  public:
    ConsoleCredentials(std::ostream& err, std::optional<std::string> user,
                       std::optional<std::string> password)
        : m_err(err), m_user(std::move(user)), m_password(std::move(password)) {}

    bool askCredentials(std::string& user, std::string& password) override;

  private:
    std::ostream& m_err;
    std::optional<std::string> m_user;
    std::optional<std::string> m_password;
    int m_asked = 0;
};

}  // namespace lanscope
