#pragma once
// A private X server for the tests that need a real one: Xvfb on a display number it picks itself
// (-displayfd), so that parallel tests never collide. Stopped with the object.

#include <string>
#include <sys/types.h>

namespace orvella::test {

class TXServer {
public:
    // Starts Xvfb and waits up to ten seconds for it to take connections.
    TXServer();
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    bool Running() const { return Pid > 0 && !Display.empty(); }
    // ":N", or empty when the server could not start.
    const std::string& DisplayName() const { return Display; }
    // Why the server is not running.
    const std::string& Failure() const { return Why; }

private:
    pid_t Pid = -1;
    std::string Display;
    std::string Why;
};

} // namespace orvella::test
