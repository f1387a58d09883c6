#include "platform/ConsoleCredentials.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace lanscope {

namespace {

bool ReadLine(std::string& line, bool hidden) {
    termios saved{};
    const bool restore = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (restore) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << '\n';
    }
    return ok;
}

}  // namespace

bool ConsoleCredentials::askCredentials(std::string& user, std::string& password) {
    if (m_asked++ == 0 && m_user) {
        user = *m_user;
        password = m_password.value_or(std::string());
        return true;
    }
    if (!isatty(STDIN_FILENO)) {
        m_err << (m_asked == 1 ? "The module asks for a user name and password: give --user and "
                                 "--password.\n"
                               : "The module did not accept the user name and password.\n");
        return false;
    }
    m_err << "The module asks for a user name and password.\nUser Name: " << std::flush;
    if (!ReadLine(user, false)) {
        return false;
    }
    m_err << "Password: " << std::flush;
    return ReadLine(password, true);
}

}  // namespace lanscope
