#pragma once

#include <string>
#include <string_view>

#include "common/Ipv4.h"

namespace lanscope {

// The parts of one module line, as the reply brought them: the list keeps
// them beside the line's text so that nobody has to cut the text apart again
// (a TAB inside a module name would move text from one name into the next).
struct ListFields {
    std::string mac;      // "[0a-1B-2C-3D-4E-5F]", as the line begins
    std::string address;  // the address the module answered from, dotted
    std::string dhcp;     // "DHCP" when the module has its address from DHCP, else empty
    std::string name;     // bytes as received, TABs included
    std::string name2;
};

// The line text the list shows and sorts by: the five parts joined by TABs.
std::string JoinListLine(const ListFields& fields);

// The readers below are for a window that is handed only a line's text.

// Names may themselves hold TABs; the first three columns never do, so the
// first name runs to the next TAB and the second name takes the rest.
ListFields SplitListLine(std::string_view line);

// The address column of a list line: the text after the first TAB (and any
// TABs that follow it) up to the next TAB; empty when no TAB follows.
std::string AddressColumn(std::string_view line);

// The last column (text after the last TAB), which the list shows as the
// second name.
std::string LastColumn(std::string_view line);

// What follows the last run of three spaces in a line (empty without one):
// the module picker's line tip.
std::string TextAfterThreeSpaces(std::string_view line);

// What the software update window takes from a line of the module list: the
// address (the DHCP column if it holds one, else the address column; each
// "."-separated part's leading digits as one byte) and the description for
// an image file header (the second-to-last ","-separated item of the last
// column, empty without a ",").
struct ListLineTarget {
    Ipv4 address = 0;
    std::string description;
};
ListLineTarget ReadListLine(std::string_view line);

// A module's description in its second name: the second-to-last
// ","-separated item (empty without a ",").
std::string ModuleDescription(std::string_view name2);
// The firmware version a description gives, as an image file's header
// records it: what follows its first ")", or all of it without one.
std::string DescriptionVersion(std::string_view description);

// The module address the presets window takes from a list line: the text
// between the first and the second tab (empty without two tabs).
std::string PresetsAddressFromLine(std::string_view line);

}  // namespace lanscope
