#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "common/Result.h"

namespace lanscope {

// Takes a file lock, but waits for it only so long: a program that holds it
// for good (a reader stuck on a network share) must not stop the work, and
// the systems' own lock calls wait either for good or not at all. So the
// lock is asked for again in short steps. `tryOnce` asks once without
// waiting: true when taken, false when another program holds it, an error
// for anything else. `busyCode` is the system's number for a held lock;
// `noun` names the file in the message ("the service history").
template <typename TryOnce>
Result<void> LockWithin(TryOnce tryOnce, const std::string& path, std::chrono::milliseconds wait,
                        int busyCode, const std::string& noun) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        Result<bool> taken = tryOnce();
        if (!taken) {
            return taken.error();
        }
        if (*taken) {
            return {};
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            const std::string held = wait.count() % 1000 == 0
                                         ? std::to_string(wait.count() / 1000) + " s"
                                         : std::to_string(wait.count()) + " ms";
            return Error{busyCode, "cannot lock " + noun + " " + path +
                                       ": another program has held its lock for " + held};
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

}  // namespace lanscope
