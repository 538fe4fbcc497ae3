// The OS image reader on arbitrary file content:
// - an accepted image holds at least two messages, each a clean SysEx
//   message (it goes to the unit as it is) of the shortest size or more,
//   marked first, middle and last in order; its version is the one its first
//   message states; its messages are the file's, in order, none overlapping;
// - the image written out again reads back as the same messages and version;
// - a refused file keeps the image loaded before and says why.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "model/DeviceOS.h"
#include "model/OsVersion.h"

namespace {
using fuzzsupport::MemoryFile;
std::vector<uint8_t> block(uint8_t marker, uint8_t v1, uint8_t v2, size_t size, uint8_t fill) {
    std::vector<uint8_t> m(size, fill);
    m[0] = 0xF0;
    m[1] = 0x00;
    m[2] = 0x20;
    m[3] = 0x29;
    m[7] = marker;
    if (size > 11) {
        m[9] = v1;
        m[10] = v2;
    }
    m.back() = 0xF7;
    return m;
}

std::vector<uint8_t> image(const std::vector<std::vector<uint8_t>>& messages) {
    std::vector<uint8_t> out;
    for (const auto& m : messages) out.insert(out.end(), m.begin(), m.end());
    return out;
}

std::vector<uint8_t> joined(const std::vector<ByteSequence>& messages) {
    std::vector<uint8_t> out;
    for (const auto& m : messages) out.insert(out.end(), m.begin(), m.end());
    return out;
}

bool sameVersion(const OsVersion& a, const OsVersion& b) { return versionEqual(a, b); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file("tqv-fuzz-os");
    static MemoryFile earlier("tqv-fuzz-os-earlier");
    static MemoryFile again("tqv-fuzz-os-again");
    static const std::vector<uint8_t> earlierImage =
        image({block(0x7F, 0x21, 0x05, 40, 0x11), block(0x7E, 0, 0, 30, 0x22), block(0x7D, 0, 0, 20, 0x33)});

    CDeviceOS os;
    earlier.set(earlierImage);
    FUZZ_CHECK(os.LoadFromFile(earlier.path), "the image loaded first is refused: " + os.LastProblem());
    const std::vector<ByteSequence> before = os.messages;

    file.set(data, size);
    if (!os.LoadFromFile(file.path)) {
        FUZZ_CHECK(!os.LastProblem().empty(), "a refused image without a reason");
        FUZZ_CHECK(os.messages == before && os.IsValid(), "a refused image replaced the one loaded before");
        return 0;
    }
    FUZZ_CHECK(os.LastProblem().empty() && os.IsValid(), "an accepted image is not valid: " + os.LastProblem());
    const auto& messages = os.messages;
    FUZZ_CHECK(messages.size() >= 2, "an image of " + std::to_string(messages.size()) + " message(s)");
    size_t from = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        const ByteSequence& m = messages[i];
        const std::string which = "message " + std::to_string(i + 1);
        FUZZ_CHECK(fuzzsupport::isCleanSysEx(m), which + " is not a clean SysEx message");
        FUZZ_CHECK(m.size() >= CDeviceOS::kMinMessageSize, which + " is too short");
        const uint8_t marker = i == 0 ? 0x7F : i + 1 == messages.size() ? 0x7D : 0x7E;
        FUZZ_CHECK(m[7] == marker, which + " is marked wrongly");
        // In the file, after the one before it.
        const uint8_t* at = std::search(data + from, data + size, m.begin(), m.end());
        FUZZ_CHECK(at != data + size, which + " is not in the file after the message before it");
        from = static_cast<size_t>(at - data) + m.size();
    }
    const OsVersion v = os.GetVersion();
    FUZZ_CHECK(sameVersion(v, osVersionFromBytes(messages[0][9], messages[0][10])), "the version is not the first message's");
    FUZZ_CHECK(v.major >= 0 && v.major <= 31 && v.minor >= 0 && v.minor <= 7 && v.build >= 0 && v.build <= 127,
               "version out of range: " + versionText(v));

    // Written out again, the image reads back the same.
    again.set(joined(messages));
    CDeviceOS reread;
    FUZZ_CHECK(reread.LoadFromFile(again.path), "the written image is refused: " + reread.LastProblem());
    FUZZ_CHECK(reread.messages == messages, "the written image reads back as other messages");
    FUZZ_CHECK(sameVersion(reread.GetVersion(), v), "the written image reads back with another version");
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    const auto first = block(0x7F, 0x09, 0x0C, 64, 0x01);
    const auto middle = block(0x7E, 0, 0, 256, 0x55);
    const auto last = block(0x7D, 0, 0, 32, 0x7F);
    auto withJunk = image({first, middle, middle, last});
    withJunk.insert(withJunk.begin(), {0x00, 0x41, 0xF7});
    return {
        image({first, last}),
        image({first, middle, middle, last}),
        withJunk,
        image({first, first, last}),                      // two first messages
        image({first, middle}),                           // no last message
        image({first, block(0x7D, 0, 0, 10, 0x00)}),      // a last message too short
    };
}
