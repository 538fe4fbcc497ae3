// The readers of SysEx files, on arbitrary file content: the first-message
// reader returns exactly the first message at or after the offset, and the
// multi-message reader returns every message of the file once, in order,
// none twice and none missed.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "model/TemplateFile.h"

using fuzzsupport::bytesOf;
using fuzzsupport::firstDifference;

namespace {
// The file the readers read: an in-memory file rewritten for every input.
const std::string& filePath() {
    static const std::string path = [] {
        const int fd = ::memfd_create("tqv-fuzz-sysex-file", 0);
        if (fd < 0) fuzzsupport::fail(__FILE__, __LINE__, "memfd_create", "no in-memory file");
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

void setContent(const uint8_t* data, size_t size) {
    const int fd = std::stoi(filePath().substr(std::string("/proc/self/fd/").size()));
    FUZZ_CHECK(::ftruncate(fd, 0) == 0, "truncate");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        FUZZ_CHECK(n > 0, "write");
        done += static_cast<size_t>(n);
    }
}

struct Found {
    bool complete = false;  // an F7 ended it
    size_t start = 0;
    size_t end = 0;  // one past its F7
};

// The message that starts at the first F0 at or after `from`.
Found messageAt(const uint8_t* data, size_t size, size_t from) {
    Found f;
    const uint8_t* begin = data + std::min(from, size);
    const uint8_t* start = std::find(begin, data + size, 0xF0);
    if (start == data + size) return f;
    const uint8_t* stop = std::find(start, data + size, 0xF7);
    f.start = static_cast<size_t>(start - data);
    f.complete = stop != data + size;
    f.end = f.complete ? static_cast<size_t>(stop - data) + 1 : size;
    return f;
}

bool valid(const uint8_t* data, const Found& f) {
    if (!f.complete || f.end - f.start <= 4 || f.end - f.start > kMaxSysExMessageSize) return false;
    for (size_t i = f.start + 4; i + 1 < f.end; ++i)
        if (data[i] >= 0x80) return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setContent(data, size);
    // The first message, from the start and from a few offsets inside the file.
    for (size_t offset : {size_t{0}, size_t{1}, size / 2, size}) {
        ByteSequence read;
        std::string fileError;
        const bool ok = readMessageFromFile(filePath(), read, offset, fileError);
        FUZZ_CHECK(fileError.empty(), "a readable file reported: " + fileError);
        const Found f = messageAt(data, size, offset);
        FUZZ_CHECK(ok == valid(data, f), "wrong answer for the message at offset " + std::to_string(offset));
        if (ok) {
            const ByteSequence expected = bytesOf(data + f.start, f.end - f.start);
            FUZZ_CHECK(read == expected, "wrong message at offset " + std::to_string(offset) + ": " + firstDifference(expected, read));
        }
    }
    // Every message, one after the other, up to the first that is not valid.
    std::vector<ByteSequence> expected;
    for (size_t from = 0;;) {
        const Found f = messageAt(data, size, from);
        if (!valid(data, f)) break;
        expected.push_back(bytesOf(data + f.start, f.end - f.start));
        from = f.end;
    }
    CSysExMetaStream stream;
    FUZZ_CHECK(stream.loadFromFile(filePath()), "a readable file of messages does not load");
    FUZZ_CHECK(stream.messages.size() == expected.size(),
               "read " + std::to_string(stream.messages.size()) + " messages, the file holds " + std::to_string(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i)
        FUZZ_CHECK(stream.messages[i] == expected[i], "message " + std::to_string(i) + " differs: " + firstDifference(expected[i], stream.messages[i]));
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    return {
        {0xF0, 0x00, 0x20, 0x29, 0x02, 0x7F, 0xF7},
        {0x11, 0x22, 0xF0, 0x00, 0x20, 0x29, 0x02, 0x7F, 0x01, 0xF7, 0x33, 0xF0, 0x00, 0x20, 0x29, 0x02, 0x7E, 0x02, 0xF7},
        {0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF7, 0xF0, 0x01, 0x02, 0x03, 0x04, 0x06, 0xF7, 0xF0, 0x01, 0x02, 0x03, 0x04, 0x07, 0xF7},
        {0xF0, 0x01, 0x02, 0x03, 0x04, 0x85, 0xF7, 0xF0, 0x01, 0x02, 0x03, 0x04, 0x06, 0xF7},
        {0xF0, 0x01, 0x02},
    };
}
