#pragma once
// The records that tangra-qv-plugin-scan writes while it examines plug-in
// files, and the reader that turns them back into events.
//
// One record per line, fields separated by tabs, every field escaped so that
// no tab or line break can appear inside it:
//   examining <path>                               a file is about to be examined
//   plugin <path> <name> <vendor> <count>          a description starts...
//   param <index> <name>                           ...one line per parameter...
//   end                                            ...and is complete
//   skipped <path> <reason>                        a file gave no description
//   finished                                       every file was handled
// Lines that do not read as a record are ignored, so stray output cannot
// invent a plug-in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ScannedParameter {
    std::int32_t index = 0;
    std::string name;
    bool operator==(const ScannedParameter&) const = default;
};

// What one plug-in reported, as it reported it.
struct ScannedPlugin {
    std::string path;
    std::string name;
    std::string vendor;
    std::vector<ScannedParameter> parameters;
    bool operator==(const ScannedPlugin&) const = default;
};

struct ScanEvent {
    enum class Kind { Examining, Described, Skipped, Finished };
    Kind kind = Kind::Finished;
    std::string path;       // Examining, Skipped
    std::string reason;     // Skipped
    ScannedPlugin plugin;   // Described
};

namespace ScanProtocol {

// Field escaping: backslash, tab, CR, LF and other control bytes become
// backslash sequences; everything else passes unchanged.
std::string escape(std::string_view field);
// False when `text` holds an unknown or cut-off escape sequence.
bool unescape(std::string_view text, std::string& out);

std::string examiningRecord(std::string_view path);
std::string skippedRecord(std::string_view path, std::string_view reason);
// The plugin, param... and end lines of one description.
std::string describedRecord(const ScannedPlugin& plugin);
std::string finishedRecord();

// Longest line the reader keeps; longer ones are dropped as noise.
constexpr std::size_t kMaxLineLength = 1 << 20;
// Most parameters one description may announce.
constexpr std::int32_t kMaxParameters = 100000;

}  // namespace ScanProtocol

// Reads records from a byte stream that arrives in arbitrary pieces. Pure:
// no input or output of its own, so it can be fed anything.
class CScanRecordReader {
public:
    // Appends `bytes` and returns the events of every line completed by them.
    std::vector<ScanEvent> feed(std::string_view bytes);
    // Lines ignored so far because they were not valid records.
    std::size_t ignoredLines() const { return ignored_; }

private:
    void line(std::string_view text, std::vector<ScanEvent>& out);

    std::string pending_;
    bool discarding_ = false;  // inside an over-long line
    bool inPlugin_ = false;
    std::int32_t expected_ = 0;
    ScannedPlugin current_;
    std::size_t ignored_ = 0;
};

// Every event of a complete output, in order.
std::vector<ScanEvent> parseScanOutput(std::string_view output);
