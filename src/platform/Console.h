#pragma once

#include <string>

namespace lanscope {

enum class ConsoleStream { Input, Output, Error };

// Whether the stream is a terminal (a console window on Windows) rather than
// a file or a pipe.
bool IsTerminal(ConsoleStream stream);

// One line from standard input without its line end; with `hidden`, and
// when the input is a terminal, what is typed is not shown. The text comes in
// the system's 8-bit encoding: the active code page on Windows (as the
// modules' tools have always sent it), the bytes typed elsewhere.
bool ReadInputLine(std::string& line, bool hidden);

// The name of the user running the program; empty when unknown.
std::string CurrentUserName();

// Whether the program runs with the superuser's rights (real or effective
// user root); never on Windows, where an administrator is another matter.
bool RunsAsSuperuser();

// Reads 8-bit texts that are not UTF-8 (module names, file names) in the
// system's code page: the active one on Windows; elsewhere the core's
// Windows-1252 stays.
void UseSystemCodePage();

// Makes the terminal show the UTF-8 the programs print (Windows consoles
// start with an OEM code page); nothing to do elsewhere.
void UseUtf8Console();

// Makes standard output and standard error carry what the program writes
// byte for byte, but for line ends: on Windows every line ends in CR LF once,
// a line written with CR LF already (a CSV row) included, where the C
// runtime's text mode would make that CR CR LF; nothing to do elsewhere,
// where a line ends as it was written.
void UseOneLineEndPerLine();

}  // namespace lanscope
