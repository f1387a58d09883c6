#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "common/CredentialsSource.h"

namespace lanscope {

// The terminal a person answers at: whether there is one, and a line typed
// there (hidden: not echoed).
struct TerminalInput {
    std::function<bool()> present;
    std::function<bool(std::string& line, bool hidden)> readLine;
};
// This process's standard input.
TerminalInput StandardInput();

// Credentials for programs without windows: the ones given on the command
// line first; when the module asks (again), the terminal, with the password
// not echoed and the user name asked only when none was given; without a
// terminal the request fails with a clear message.
class ConsoleCredentials : public CredentialsSource {
  public:
    ConsoleCredentials(std::ostream& err, std::optional<std::string> user,
                       std::optional<std::string> password,
                       TerminalInput terminal = StandardInput())
        : m_err(err),
          m_user(std::move(user)),
          m_password(std::move(password)),
          m_terminal(std::move(terminal)) {}

    bool askCredentials(std::string& user, std::string& password) override;
    bool askCredentialsAgain(std::string& user, std::string& password) override;
    std::string whyNotGiven() const override { return m_why; }

  private:
    bool ask(std::string& user, std::string& password, bool again);

    std::ostream& m_err;
    std::optional<std::string> m_user;
    std::optional<std::string> m_password;
    TerminalInput m_terminal;
    int m_asked = 0;
    std::string m_why;
};

}  // namespace lanscope
