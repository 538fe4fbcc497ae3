#include "CrashReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "report/PrivateFiles.h"

namespace report {

namespace {

// The lines of a report, read only when the file is this user's own.
std::vector<std::string> linesOf(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<std::string> lines;
    if (!readTrustedFile(path, bytes, error)) return lines;
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Mapping {
    unsigned long long start = 0, end = 0, offset = 0;
    std::string path;
};

std::vector<Mapping> mappingsOf(const std::vector<std::string>& lines) {
    std::vector<Mapping> maps;
    bool inMap = false;
    for (const auto& line : lines) {
        if (line == "Memory map:") {
            inMap = true;
            continue;
        }
        if (!inMap) continue;
        Mapping m;
        char perms[8] = {};
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &m.start, &m.end, perms, &m.offset,
                        &pathAt) < 4 || pathAt <= 0)
            continue;
        m.path = line.substr(static_cast<size_t>(pathAt));
        if (!m.path.empty() && m.path[0] == '/') maps.push_back(m);
    }
    return maps;
}

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

RecoveryList recoveryListIn(const std::string& path) {
    RecoveryList list;
    const std::string recovered = "Recovered: ", lost = "Not recovered: ";
    for (const auto& line : linesOf(path)) {
        if (line.rfind(recovered, 0) == 0) list.recovered.push_back(line.substr(recovered.size()));
        else if (line.rfind(lost, 0) == 0) list.lost.push_back(line.substr(lost.size()));
    }
    return list;
}

std::vector<std::string> recoveredFilesIn(const std::string& reportPath) { return recoveryListIn(reportPath).recovered; }

bool symbolizeCrashReport(const std::string& reportPath) {
    const std::vector<std::string> lines = linesOf(reportPath);
    std::vector<unsigned long long> frames;
    for (const auto& line : lines)
        if (line == "Symbolised backtrace:") return false;  // done before
    bool inTrace = false;
    for (const auto& line : lines) {
        if (line == "Backtrace:") {
            inTrace = true;
            continue;
        }
        if (inTrace && line.empty()) break;
        const auto open = line.rfind("[0x");
        if (inTrace && open != std::string::npos) frames.push_back(std::strtoull(line.c_str() + open + 1, nullptr, 16));
    }
    const std::vector<Mapping> maps = mappingsOf(lines);
    if (frames.empty() || maps.empty()) return false;

    // Each frame as module + offset in the module's file; return addresses
    // point after the call, so look one byte back.
    std::vector<std::string> described(frames.size());
    std::map<std::string, std::vector<std::pair<size_t, unsigned long long>>> byModule;
    for (size_t i = 0; i < frames.size(); ++i) {
        const unsigned long long address = frames[i] - (i > 0 ? 1 : 0);
        for (const auto& m : maps)
            if (address >= m.start && address < m.end) {
                byModule[m.path].push_back({i, address - m.start + m.offset});
                break;
            }
    }
    for (const auto& [module, entries] : byModule) {
        std::string command = "addr2line -C -f -p -e " + shellQuoted(module);
        for (const auto& e : entries) {
            char hex[32];
            std::snprintf(hex, sizeof hex, " 0x%llx", e.second);
            command += hex;
        }
        command += " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) continue;
        char buffer[4096];
        for (const auto& e : entries) {
            if (!std::fgets(buffer, sizeof buffer, pipe)) break;
            std::string text = buffer;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            described[e.first] = text + "  (" + module + ")";
        }
        ::pclose(pipe);
    }
    std::string text = "\nSymbolised backtrace:\n";
    for (size_t i = 0; i < described.size(); ++i)
        text += "#" + std::to_string(i) + " " + (described[i].empty() ? std::string("??") : described[i]) + "\n";
    // Appended only to the file that was read: not through a link, not to another user's file.
    const int fd = ::open(reportPath.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool own = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
    const bool ok = own && writeFully(fd, text.data(), text.size());
    ::close(fd);
    return ok;
}

}  // namespace report
