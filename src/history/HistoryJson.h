#pragma once

#include <nlohmann/json.hpp>

#include "history/History.h"

namespace lanscope {

// An event as the history file holds it, for the outputs that add to it.
nlohmann::ordered_json HistoryEventJson(const HistoryEvent& event);

// The checksum as the history and `info` write it: "0x0001F2A0".
std::string HistoryHex32(std::uint32_t value);

}  // namespace lanscope
