#pragma once
// Talks to the simulated unit through its control socket (TQV_SIM_CONTROL).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

inline std::string unit(const std::string& commandLine, const char* socketPath = nullptr) {
    const char* path = socketPath ? socketPath : std::getenv("TQV_SIM_CONTROL");
    if (!path) return "error no TQV_SIM_CONTROL";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path, sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return "error cannot connect";
    }
    const std::string line = commandLine + "\n";
    if (::write(fd, line.data(), line.size()) < 0) return "error write";
    std::string answer;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) answer.append(buf, static_cast<size_t>(n));
    ::close(fd);
    while (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
}

