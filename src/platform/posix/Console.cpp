#include "platform/Console.h"

#include <pwd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace lanscope {

bool IsTerminal(ConsoleStream stream) {
    const int fd = stream == ConsoleStream::Input    ? STDIN_FILENO
                   : stream == ConsoleStream::Output ? STDOUT_FILENO
                                                     : STDERR_FILENO;
    return isatty(fd) != 0;
}

bool ReadInputLine(std::string& line, bool hidden) {
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
    if (ok && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return ok;
}

std::string CurrentUserName() {
    // The login's name as the session gives it (tests give each program a
    // name of its own), else the account's.
    if (const char* name = std::getenv("USER"); name != nullptr && *name != '\0') {
        return name;
    }
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : "";
}

bool RunsAsSuperuser() {
    return getuid() == 0 || geteuid() == 0;
}

void UseSystemCodePage() {}

void UseUtf8Console() {}

void UseOneLineEndPerLine() {}

}  // namespace lanscope
