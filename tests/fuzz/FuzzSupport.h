#pragma once
// Shared helpers of the fuzz targets. A target checks properties of what the
// code under test returns, not only that it survives: a broken property
// prints what was expected and aborts, which libFuzzer (and the replay
// driver of the normal test suite) report as a failure.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

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

// The fuzzer's choice of where a byte stream is cut into pieces: the first
// byte says how many cuts (0..15), each of the next bytes how long its piece
// is (0..255, so empty pieces too); what is left of the input after them is
// the stream, and its rest after the last chosen piece is one more piece.
struct Pieces {
    const uint8_t* stream = nullptr;
    size_t size = 0;
    std::vector<std::pair<size_t, size_t>> parts;  // offset and length in `stream`
};

inline Pieces cutInput(const uint8_t* data, size_t size) {
    Pieces p;
    size_t cuts = size > 0 ? data[0] % 16 : 0;
    size_t header = size > 0 ? 1 : 0;
    cuts = std::min(cuts, size - header);
    const uint8_t* lengths = data + header;
    header += cuts;
    p.stream = data + header;
    p.size = size - header;
    size_t at = 0;
    for (size_t i = 0; i < cuts; ++i) {
        const size_t n = std::min<size_t>(lengths[i], p.size - at);
        p.parts.emplace_back(at, n);
        at += n;
    }
    p.parts.emplace_back(at, p.size - at);
    return p;
}

// An in-memory file, rewritten for every input: the readers under test take
// paths, and a real file per execution would make the disk the bottleneck.
class MemoryFile {
public:
    explicit MemoryFile(const char* name) {
        fd = ::memfd_create(name, 0);
        if (fd < 0) fail(__FILE__, __LINE__, "memfd_create", "no in-memory file");
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    void set(const uint8_t* data, size_t size) {
        FUZZ_CHECK(::ftruncate(fd, 0) == 0, "truncate");
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0, "write");
            done += static_cast<size_t>(n);
        }
    }
    void set(const std::vector<uint8_t>& bytes) { set(bytes.data(), bytes.size()); }
    std::string path;

private:
    int fd = -1;
};

}  // namespace fuzzsupport

// Every target also names a few inputs that reach deep into its parser (valid
// dumps of each device and the like). libFuzzer starts from them, and the
// normal test suite checks the target's properties on them every run.
std::vector<std::vector<uint8_t>> fuzzSeeds();
