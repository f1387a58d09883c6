#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Ipv4.h"

namespace lanscope {

// What the command line of the software update window asks for.
struct AutoUpdateOptions {
    bool autoUpdate = false;               // -A: update at once
    std::optional<std::string> imageFile;  // -F
    std::optional<Ipv4> address;           // -I (0 when it names no address)
    bool restart = true;                   // -R (restarting is the default anyway)
};

// Reads -A, -F, -I and -R, in any order and either case. Each option's value
// follows its letter directly (blanks between them are passed over); the next
// option is looked for from the first white space after it, so a "-" inside a
// value starts nothing. A file name runs to white space, or, when it starts
// with a double quote, to the closing quote (paths with blanks); an option in
// double quotes as a whole ("-FC:\My Files\x_APP.s19") runs to its closing
// quote.
AutoUpdateOptions ReadAutoUpdateOptions(std::string_view commandLine);

// The text after the program name in a raw Windows command line: the name
// runs to its closing quote when it starts with one, else to white space.
// A program started by another with a line of options alone gets no name in
// front of them: a first word that starts as an option does ("-") and does
// not name the program file (`programPath`, compared by its file name with
// or without ".exe", letter case ignored) is no program name, and the line
// is read whole.
std::string_view SkipProgramName(std::string_view rawCommandLine,
                                 std::string_view programPath = {});

// One line for ReadAutoUpdateOptions from arguments a shell has split, meaning
// what the user typed: an argument may hold one option with a blank in its
// value ("-I 192.0.2.11", a file name with blanks), several options ("-F<file>
// -A"), or the whole line. Such an argument is split where white space is
// followed by "-" and an option letter, unless the rest of a -F argument names
// an existing file (`isFile`); a file name with blanks gets the quotes the
// reader takes it in. Arguments that hold quotes already pass unchanged.
std::string JoinCommandLine(const std::vector<std::string>& arguments,
                            const std::function<bool(const std::string&)>& isFile);

// A dotted quad from the start of `text`, read leniently: leading blanks and
// characters other than digits, "." and white space are passed over, and four
// "." end it. It stops at white space or "-" (the next option). A part above
// 255, a part without digits or fewer than four parts make the whole address
// 0, which the window refuses as invalid: "192.0.2" is a typing error, not
// 0.192.0.2.
Ipv4 ParseDottedQuadLoose(std::string_view text);

// The checks of the Update button, in the order they are made; the first that
// fails stops the update.
enum class UpdateRequestCheck {
    Ok,
    InvalidAddress,  // 0.0.0.0
    ImageFile,       // missing, empty name, or an extension other than .s19 (any case)
    SaveFile,        // "Save to file" without a name, or naming the image file itself
};
UpdateRequestCheck CheckUpdateRequest(Ipv4 address, const std::string& imageFile, bool saveToFile,
                                      const std::string& saveFile);

}  // namespace lanscope
