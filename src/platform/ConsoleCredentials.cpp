#include "platform/ConsoleCredentials.h"

#include <ostream>

#include "platform/Console.h"

namespace lanscope {

TerminalInput StandardInput() {
    return {[] { return IsTerminal(ConsoleStream::Input); },
            [](std::string& line, bool hidden) { return ReadInputLine(line, hidden); }};
}

bool ConsoleCredentials::askCredentials(std::string& user, std::string& password) {
    return ask(user, password, false);
}

bool ConsoleCredentials::askCredentialsAgain(std::string& user, std::string& password) {
    return ask(user, password, true);
}

bool ConsoleCredentials::ask(std::string& user, std::string& password, bool again) {
    // Whatever the caller says, what was given once has been tried.
    const bool first = m_asked++ == 0 && !again;
    m_why.clear();
    if (first && m_user && m_password) {
        user = *m_user;
        password = *m_password;
        return true;
    }
    if (!m_terminal.present()) {
        if (!first) {
            m_why = "The module did not accept the user name and password.";
        } else if (m_user) {
            m_why =
                "The module asks for a password: give --password, --password-file or "
                "LANSCOPE_PASSWORD.";
        } else {
            m_why = "The module asks for a user name and password: give --user and --password.";
        }
        m_err << m_why << '\n';
        return false;
    }
    // A user name given on the command line is never asked for again, so
    // what is typed next is always the hidden password.
    if (m_user) {
        user = *m_user;
        m_err << (first ? "The module asks for the password of " + user + ".\n"
                        : std::string("The module did not accept the password.\n"))
              << "Password: " << std::flush;
    } else {
        m_err << (first ? "The module asks for a user name and password.\n"
                        : "The module did not accept the user name and password.\n")
              << "User Name: " << std::flush;
        if (!m_terminal.readLine(user, false)) {
            return false;
        }
        m_err << "Password: " << std::flush;
    }
    return m_terminal.readLine(password, true);
}

}  // namespace lanscope
