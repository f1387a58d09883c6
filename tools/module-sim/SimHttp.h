#pragma once

#include <cstdint>
#include <string>

#include "SimWeb.h"

namespace lanscope::sim {

struct HttpSettings {
    WebOptions web;
    std::string bind;
    std::uint16_t port = 0;
    // Each form submission is appended here; empty: nowhere.
    std::string postLog;
    bool verbose = false;
};

// Serves the module's web pages on threads of their own for the rest of the
// process. False (with the reason on stderr) when the port cannot be had.
bool ServePages(const HttpSettings& settings);

}  // namespace lanscope::sim
