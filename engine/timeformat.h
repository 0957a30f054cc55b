#pragma once
// Times as the user reads them, the same in the window and in the batch tool.

#include <cstdint>
#include <string>

namespace orvella {

// Milliseconds as minutes (at least two digits) ":" seconds (two digits) "." milliseconds (three
// digits): 0 gives "00:00.000", 75500 gives "01:15.500", 6000000 gives "100:00.000".
std::string FormatTime(uint64_t milliseconds);

} // namespace orvella
