#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace lanscope {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Module names and other 8-bit texts as UTF-8 for display: text that is valid
// UTF-8 stays as it is; anything else is read as Windows-1252, the code page
// such texts are written in on Western Windows systems. The bytes themselves
// stay untouched wherever they go back to a module or into a file.
std::string EightBitToUtf8(std::string_view bytes);

// The platform layer may name another code page for what is not UTF-8 (the
// active code page on Windows, where the texts come from the same system).
// The decoder gets text that is not valid UTF-8 and returns UTF-8.
// Process-wide on purpose, like the code page it stands for: set once at
// start-up, before any thread, and never again.
using EightBitDecoder = std::string (*)(std::string_view bytes);
void SetEightBitDecoder(EightBitDecoder decoder);

// A file name as the rest of the program passes it (8-bit: the active code
// page on Windows) made a path the file system functions take. Windows'
// narrow names are not what std::filesystem makes of a narrow string, so the
// platform layer names the conversion there; elsewhere it is the bytes.
// Process-wide on purpose, as the code page is: set once at start-up.
using PathDecoder = std::filesystem::path (*)(const std::string& name);
void SetPathDecoder(PathDecoder decoder);
std::filesystem::path FileSystemPath(const std::string& name);

// EightBitToUtf8 field by field, for a line of fields from different sources
// (a list line's names may each be in another encoding).
std::string EightBitFieldsToUtf8(std::string_view line, char separator);

// UTF-8 text as a terminal should get it from a file it did not write:
// control characters, which a terminal acts on instead of showing (C0, DEL
// and C1: colours, cursor moves, titles), become escapes ("\t", "\r",
// "\x1b", "\u009b"); everything else stays as it is.
std::string EscapeControlCharacters(std::string_view utf8);

// How many characters UTF-8 text holds (a byte that starts no well-formed
// sequence counts as one).
std::size_t CountCharacters(std::string_view utf8);

// The first `count` characters of UTF-8 text, never part of one.
std::string CutCharacters(std::string_view utf8, std::size_t count);

// Text without the blanks, tabs and carriage returns around it.
std::string TrimBlanks(std::string_view text);

}  // namespace lanscope
