#include "xserver.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace orvella::test {

TXServer::TXServer() {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        Why = "pipe failed";
        return;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        Why = "fork failed";
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        // Its own process group, so that nothing sent to the test's group reaches it.
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, 0);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
        }
        const std::string fd = std::to_string(pipeFds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                 "1024x768x24", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Pid = pid;
    ::close(pipeFds[1]);
    // Xvfb writes the display number and a newline once it takes connections.
    std::string number;
    pollfd wait{pipeFds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos) {
        if (::poll(&wait, 1, 10000) <= 0) break;
        char buffer[16];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, size_t(n));
    }
    ::close(pipeFds[0]);
    if (number.find('\n') == std::string::npos) {
        Why = "Xvfb did not start (is it installed?)";
        return;
    }
    Display.push_back(':');
    Display.append(number, 0, number.find('\n'));
}

TXServer::~TXServer() {
    if (Pid <= 0) return;
    ::kill(Pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(Pid, &status, WNOHANG) == Pid) return;
        ::usleep(20000);
    }
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, &status, 0);
}

} // namespace orvella::test
