#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "common/Result.h"
#include "history/History.h"

namespace lanscope {

// The service history's file: a locked file of lines (platform/LockedFile.h
// says how it is kept; paths are UTF-8 on every system).

// How long a writer or reader waits for another program's lock before it
// gives up (a reader stuck on a network share must not hold the update or
// the window for good).
inline constexpr std::chrono::milliseconds kHistoryLockWait{5000};

// Appends one whole line (its '\n' included) so that several programs at
// once and a power loss leave only whole lines behind: the folder is made
// when missing, the file opened for appending and locked, the line written
// with one call and flushed to the disk before the lock is let go. A line
// cut short by a full disk is taken back, and a line cut by an earlier power
// loss is ended first, so the next event is never glued to a damaged one.
// The error names the file and the system's reason.
Result<void> AppendHistoryLine(const std::string& path, std::string_view line,
                               std::chrono::milliseconds lockWait = kHistoryLockWait);

// Reads a history file under a shared lock (so a line being appended is not
// seen half written), in blocks through the core's reader. A file that does
// not exist yet reads as an empty history. `keep` as HistoryReader's.
Result<HistoryReading> ReadHistoryFile(const std::string& path, HistoryKeep keep = {},
                                       std::chrono::milliseconds lockWait = kHistoryLockWait);
// The same, handing each event kept to `take` as it is read (HistoryReader's):
// the reading then holds the warnings only.
Result<HistoryReading> ReadHistoryFile(const std::string& path, HistoryKeep keep, HistoryTake take,
                                       std::chrono::milliseconds lockWait = kHistoryLockWait);

// A file name as the program passes it (8-bit: the active code page on
// Windows) as the history records it, in UTF-8: on Windows decoded from the
// code page; elsewhere, where names are bytes, with the bytes UTF-8 cannot
// hold escaped (EscapeHistoryFileName), so the file can still be found.
std::string HistoryFileNameText(const std::string& name);

// This user's history file (LANSCOPE_HISTORY, or the user's data folder);
// empty when the environment names no place for it.
std::string ThisUsersHistoryFile();

}  // namespace lanscope
