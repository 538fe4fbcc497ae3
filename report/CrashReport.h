#pragma once
// Reading a crash report in the reporter process.
#include <string>
#include <vector>

namespace report {

// The files the crashed process saved its modified templates to.
std::vector<std::string> recoveredFilesIn(const std::string& reportPath);

// Appends a "Symbolised backtrace" section naming the function, file and line
// of each frame (through binutils' addr2line), when the report has none yet.
// False when nothing could be added.
bool symbolizeCrashReport(const std::string& reportPath);

}  // namespace report
