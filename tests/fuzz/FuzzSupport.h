#pragma once
// Shared helpers of the fuzz targets. A target checks properties of what the
// code under test returns, not only that it survives: a broken property
// prints what was expected and aborts, which libFuzzer (and the replay
// driver of the normal test suite) report as a failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/ByteSequence.h"

#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) ::fuzzsupport::fail(__FILE__, __LINE__, #condition, std::string(what)); \
    } while (0)

namespace fuzzsupport {

[[noreturn]] inline void fail(const char* file, int line, const char* condition, const std::string& what) {
    std::fprintf(stderr, "\n%s:%d: property broken: %s\n  %s\n", file, line, condition, what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline ByteSequence bytesOf(const uint8_t* data, size_t size) {
    return ByteSequence(std::vector<uint8_t>(data, data + size));
}

// The first offset where two byte sequences differ, for failure messages.
inline std::string firstDifference(const ByteSequence& a, const ByteSequence& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    char text[128];
    std::snprintf(text, sizeof text, "sizes %zu and %zu, first difference at byte %zu", a.size(), b.size(), i);
    return text;
}

// A SysEx message the hardware accepts: F0, F7 at the end, no byte of 0x80
// or more in between.
inline bool isCleanSysEx(const ByteSequence& bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xF0 || bytes[bytes.size() - 1] != 0xF7) return false;
    for (size_t i = 1; i + 1 < bytes.size(); ++i)
        if (bytes[i] >= 0x80) return false;
    return true;
}

}  // namespace fuzzsupport

// Every target also names a few inputs that reach deep into its parser (valid
// dumps of each device and the like). libFuzzer starts from them, and the
// normal test suite checks the target's properties on them every run.
std::vector<std::vector<uint8_t>> fuzzSeeds();
