// The MIDI input's assembly of SysEx messages, on a stream of SysEx traffic
// (data bytes, 0xF0, 0xF7 and real-time bytes anywhere) cut into pieces at
// points the fuzzer picks:
// - the pieces give the same SysEx messages, short messages and counts as
//   the stream in one piece;
// - those are the messages of the stream with every real-time byte taken
//   out, each from an 0xF0 to the next 0xF7 (a message that meets another
//   0xF0 first is dropped and counted), and each real-time byte is a short
//   message of its own, in order;
// - no message is longer than the limit; a longer one is dropped and counted.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "midi/MidiPorts.h"

namespace {
class TestInput : public MIDI::Input {
public:
    explicit TestInput(size_t limit) : MIDI::Input(limit) {}
    bool IsAvailable() override { return true; }
    std::string PlatformName() const override { return "fuzz"; }
};

struct Received {
    std::vector<MidiBytes> sysex;
    std::vector<uint8_t> shortStatuses;
    size_t overlong = 0;
    size_t unterminated = 0;
    size_t dropped = 0;
};

Received drain(TestInput& in) {
    Received r;
    r.overlong = in.OverlongSysExCount();
    r.unterminated = in.UnterminatedSysExCount();
    r.dropped = in.DroppedCount();
    MidiBytes m;
    while (in.PopSysEx(m)) r.sysex.push_back(m);
    ShortMessage s;
    while (in.PopMessage(s)) {
        FUZZ_CHECK(s.data1 == 0 && s.data2 == 0, "a real-time message with data");
        r.shortStatuses.push_back(s.status);
    }
    return r;
}

// What the stream holds, worked out on its own: real-time bytes apart, and
// messages from an 0xF0 to the next 0xF7; one that would grow past the limit
// is dropped where it does, and the byte that did not fit is looked at afresh;
// one that meets an 0xF0 before its 0xF7 is dropped there.
Received expected(const std::vector<uint8_t>& stream, size_t limit) {
    Received r;
    MidiBytes current;
    bool inside = false;
    for (uint8_t b : stream) {
        if (b >= 0xF8) {
            r.shortStatuses.push_back(b);
            continue;
        }
        if (inside && current.size() == limit) {
            inside = false;
            ++r.overlong;
        }
        if (inside && b == 0xF0) {
            inside = false;
            ++r.unterminated;
        }
        if (!inside) {
            if (b == 0xF0) {
                current.assign(1, 0xF0);
                inside = true;
            }
            continue;
        }
        current.push_back(b);
        if (b == 0xF7) {
            r.sysex.push_back(current);
            inside = false;
        }
    }
    return r;
}

std::string counts(const Received& r) {
    return std::to_string(r.sysex.size()) + " SysEx, " + std::to_string(r.shortStatuses.size()) + " short, " +
           std::to_string(r.overlong) + " over-long, " + std::to_string(r.unterminated) + " unterminated";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzsupport::Pieces cut = fuzzsupport::cutInput(data, size);
    // The high half of the first byte picks a small limit (16 to 240 bytes),
    // so that over-long messages are reached; 0 keeps the real one.
    const size_t choice = size > 0 ? data[0] >> 4 : 0;
    const size_t limit = choice == 0 ? SysExAssembler::kMaxMessageSize : choice * 16;
    // SysEx traffic only: other status bytes begin short messages, which
    // arrive as pieces of their own and so cannot be cut anywhere.
    std::vector<uint8_t> stream(cut.stream, cut.stream + cut.size);
    for (uint8_t& b : stream)
        if (b >= 0x80 && b < 0xF8 && b != 0xF0 && b != 0xF7) b &= 0x7F;

    TestInput whole(limit);
    whole.Receive(stream.data(), stream.size());
    const Received one = drain(whole);

    TestInput pieces(limit);
    for (const auto& [at, n] : cut.parts) pieces.Receive(stream.data() + at, n);
    const Received many = drain(pieces);

    FUZZ_CHECK(many.sysex == one.sysex, "pieces gave other SysEx messages: " + counts(many) + " against " + counts(one));
    FUZZ_CHECK(many.shortStatuses == one.shortStatuses, "pieces gave other short messages: " + counts(many) + " against " + counts(one));
    FUZZ_CHECK(many.overlong == one.overlong && many.unterminated == one.unterminated && many.dropped == one.dropped,
               "pieces dropped differently");

    // Nothing is taken out here while the stream arrives: the SysEx ring
    // keeps each message that still fits its bytes, the short ring 255
    // entries; the rest are counted as dropped.
    const Received want = expected(stream, limit);
    std::vector<MidiBytes> wantKept;
    size_t used = 0;
    for (const MidiBytes& m : want.sysex)
        if (used + SysExRing::kLengthBytes + m.size() <= SysExRing::kDefaultCapacity) {
            used += SysExRing::kLengthBytes + m.size();
            wantKept.push_back(m);
        }
    const size_t keptShort = std::min<size_t>(want.shortStatuses.size(), 255);
    FUZZ_CHECK(one.sysex == wantKept, "SysEx messages: " + counts(one) + ", the stream holds " + counts(want));
    FUZZ_CHECK(one.overlong == want.overlong && one.unterminated == want.unterminated,
               "dropped messages: " + counts(one) + ", the stream holds " + counts(want));
    FUZZ_CHECK(one.shortStatuses.size() == keptShort &&
                   std::equal(one.shortStatuses.begin(), one.shortStatuses.end(), want.shortStatuses.begin()),
               "real-time messages: " + counts(one) + ", the stream holds " + counts(want));
    FUZZ_CHECK(one.dropped == want.overlong + want.unterminated + (want.sysex.size() - wantKept.size()) +
                                  (want.shortStatuses.size() - keptShort),
               "dropped count " + std::to_string(one.dropped));
    for (const MidiBytes& m : one.sysex) {
        FUZZ_CHECK(m.size() >= 2 && m.size() <= limit && m.front() == 0xF0 && m.back() == 0xF7, "a message out of shape");
        FUZZ_CHECK(std::find_if(m.begin(), m.end(), [](uint8_t b) { return b >= 0xF8; }) == m.end(),
                   "a real-time byte inside a message");
    }
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    auto bytes = [](uint8_t first, std::vector<uint8_t> lengths, std::vector<uint8_t> s) {
        std::vector<uint8_t> out{first};
        out.insert(out.end(), lengths.begin(), lengths.end());
        out.insert(out.end(), s.begin(), s.end());
        return out;
    };
    std::vector<uint8_t> dump(4112);
    for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<uint8_t>((i * 7) & 0x7F);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    return {
        bytes(0x03, {1, 200, 255}, dump),
        bytes(0x02, {3, 2}, {0x11, 0xF0, 0x01, 0xF8, 0x02, 0xF7, 0xFE, 0xF0, 0x03, 0xF7}),
        bytes(0x14, {2, 16, 17, 0, 1}, {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0xF7, 0xF8,
                                        0xF0, 1, 0xF7}),
        bytes(0x21, {1}, {0xF8, 0xF0, 0xF0, 0x05, 0xF7, 0xF7}),
    };
}
