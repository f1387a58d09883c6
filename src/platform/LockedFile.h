#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace lanscope {

// A file that several programs append whole lines to and read at the same
// time, as the operating system keeps it. Paths are UTF-8 on every system
// (Windows' wide names, not its code page, so a user folder with any name
// works). `noun` names the file in every message ("the service history").
//
// Only a regular file of its own is read or written: a link (a symbolic link,
// a Windows reparse point) is refused rather than followed, and so is
// anything that is not a file (a FIFO or a device would hold the program for
// good). The file is kept to its owner (0600, in folders made 0700 on
// POSIX systems).

// Appends one whole line (its '\n' included) so that several programs at
// once and a power loss leave only whole lines behind: the folder is made
// when missing, the file opened for appending and locked, the line written
// with one call and flushed to the disk before the lock is let go. A line
// cut short by a full disk is taken back, and a line cut by an earlier power
// loss is ended first, so the next line is never glued to a damaged one.
// The error names the file and the system's reason.
Result<void> AppendLockedLine(const std::string& path, std::string_view line,
                              std::chrono::milliseconds lockWait, const std::string& noun);

// Reads the file under a shared lock (so a line being appended is not seen
// half written), handing it to `feed` block by block. False when the file
// does not exist (nothing was fed).
Result<bool> ReadLockedFile(const std::string& path,
                            const std::function<void(std::string_view block)>& feed,
                            std::chrono::milliseconds lockWait, const std::string& noun);

}  // namespace lanscope
