#include "CrashReport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace report {

namespace {

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
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

std::vector<std::string> recoveredFilesIn(const std::string& reportPath) {
    std::vector<std::string> files;
    const std::string prefix = "Recovered: ";
    for (const auto& line : linesOf(reportPath))
        if (line.rfind(prefix, 0) == 0) files.push_back(line.substr(prefix.size()));
    return files;
}

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
    std::ofstream out(reportPath, std::ios::app);
    if (!out) return false;
    out << "\nSymbolised backtrace:\n";
    for (size_t i = 0; i < described.size(); ++i)
        out << "#" << i << " " << (described[i].empty() ? std::string("??") : described[i]) << "\n";
    return static_cast<bool>(out);
}

}  // namespace report
