#pragma once
// Talks to the simulated unit through its control socket (TQV_SIM_CONTROL),
// and starts further units for tests that unplug one.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

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


// A second simulated unit under a JACK client name of its own (TQV_SIM, in
// the fixture's state folder), started and stopped by a test; stopped at the
// latest when it goes, so that a failed check leaves no unit running behind.
class SpareUnit {
public:
    explicit SpareUnit(std::string clientName) : name(std::move(clientName)) {
        const char* state = std::getenv("TQV_SIM_STATE");
        dir = std::string(state ? state : ".") + "/" + name;
        control = dir + ".sock";
    }
    ~SpareUnit() { stop(); }
    SpareUnit(const SpareUnit&) = delete;
    SpareUnit& operator=(const SpareUnit&) = delete;

    // True once the unit answers (its ports are then active and listed).
    bool start() {
        const char* sim = std::getenv("TQV_SIM");
        if (!sim) return false;
        pid = ::fork();
        if (pid == 0) {
            ::execl(sim, sim, "run", "--name", name.c_str(), "--dir", dir.c_str(), "--control", control.c_str(),
                    "--log", (dir + ".log").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (tell("status").rfind("ok", 0) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    std::string tell(const std::string& command) { return unit(command, control.c_str()); }

    std::string name, dir, control;

private:
    pid_t pid = -1;
};
