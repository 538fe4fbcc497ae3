#pragma once
// Reading a crash report in the reporter process.
#include <string>
#include <vector>

namespace report {

// What a crash report or a recovery notice says about the modified
// templates: the files they were saved to and the names of those that could
// not be saved. Only a file of this user's own, not a link, is read.
struct RecoveryList {
    std::vector<std::string> recovered;
    std::vector<std::string> lost;
    bool empty() const { return recovered.empty() && lost.empty(); }
};
RecoveryList recoveryListIn(const std::string& path);
std::vector<std::string> recoveredFilesIn(const std::string& reportPath);

// Appends a "Symbolised backtrace" section naming the function, file and line
// of each frame (through binutils' addr2line), when the report has none yet.
// False when nothing could be added.
bool symbolizeCrashReport(const std::string& reportPath);

}  // namespace report
