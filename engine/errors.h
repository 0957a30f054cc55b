#pragma once
// The exception type of the engine and the codecs: it carries the system's own message text,
// which the operation runner shows to the user unchanged.

#include <stdexcept>
#include <string>

namespace orvella {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Formats the last OS error (errno) as "System Error.  Code: %d.\r\n%s", or
// "A call to an OS function failed" when errno is 0.
std::string SystemErrorText(int errorCode);

// Throws Exception with SystemErrorText(errno).
[[noreturn]] void RaiseLastOSError();

} // namespace orvella
