#include "platform/ConsoleCredentials.h"

#include <ostream>

#include "platform/Console.h"

namespace lanscope {

bool ConsoleCredentials::askCredentials(std::string& user, std::string& password) {
    if (m_asked++ == 0 && m_user) {
        user = *m_user;
        password = m_password.value_or(std::string());
        return true;
    }
    if (!IsTerminal(ConsoleStream::Input)) {
        m_err << (m_asked == 1 ? "The module asks for a user name and password: give --user and "
                                 "--password.\n"
                               : "The module did not accept the user name and password.\n");
        return false;
    }
    m_err << "The module asks for a user name and password.\nUser Name: " << std::flush;
    if (!ReadInputLine(user, false)) {
        return false;
    }
    m_err << "Password: " << std::flush;
    return ReadInputLine(password, true);
}

}  // namespace lanscope
