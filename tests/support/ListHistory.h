#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/History.h"

namespace lanscope::test {

// A service history kept in a list: stamps an id as the file's recorder does,
// and can be told to report a failure to write.
struct ListHistory : HistorySink {
    std::vector<HistoryEvent> events;
    std::optional<Error> failure;

    HistoryEvent record(HistoryEvent event) override {
        if (event.id.empty()) {
            event.id = "t-" + std::to_string(events.size() + 1);
        }
        events.push_back(event);
        return event;
    }
    std::optional<Error> takeFailure() override {
        auto taken = failure;
        failure.reset();
        return taken;
    }
};

}  // namespace lanscope::test
