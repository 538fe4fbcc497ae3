// What the platform's MIDI thread runs when bytes arrive must not allocate:
// on JACK it is the realtime process thread, where an allocation can stall
// the whole audio graph. This binary counts every allocation made by the
// thread that feeds the input while it feeds it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "FakeMidiSystem.h"

namespace {
thread_local bool counting = false;
thread_local size_t allocations = 0;
}  // namespace

// GCC takes the replaced pair for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

MidiBytes sysex(size_t size, uint8_t fill) {
    MidiBytes m(size, fill);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

// Feeds `bytes` in pieces of `piece` bytes, counting allocations meanwhile.
size_t allocationsWhileFeeding(FakeInput& in, const MidiBytes& bytes, size_t piece) {
    allocations = 0;
    counting = true;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const size_t n = std::min(piece, bytes.size() - at);
        in.Receive(bytes.data() + at, n);
    }
    counting = false;
    return allocations;
}

void append(MidiBytes& to, const MidiBytes& more) { to.insert(to.end(), more.begin(), more.end()); }

TEST(InputCallback, AssemblesQueuesAndMonitorsWithoutAllocating) {
    struct Case {
        const char* what;
        size_t limit;  // the longest SysEx message the input takes
        size_t piece;  // how the platform cuts the stream
        bool monitoring;
        size_t assembled;  // SysEx messages that come out whole
    };
    const Case cases[] = {
        {"dumps in 256-byte buffers", SysExAssembler::kMaxMessageSize, 256, false, 5},
        {"the same, monitored", SysExAssembler::kMaxMessageSize, 256, true, 5},
        {"one JACK event per message", SysExAssembler::kMaxMessageSize, 5000, true, 5},
        {"a small limit: over-long messages dropped", 64, 100, true, 1},
    };
    // Dumps with clock bytes inside, short messages, one message broken off
    // by a status byte, one broken off by the next 0xF0, and an over-long one.
    MidiBytes stream;
    for (int i = 0; i < 3; ++i) {
        MidiBytes dump = sysex(4112, static_cast<uint8_t>(i));
        dump.insert(dump.begin() + 1000, 0xF8);
        append(stream, dump);
        append(stream, {0xB0, 7, 100});
        append(stream, {0x90, 60, 90});
    }
    append(stream, {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03});
    append(stream, {0xC1, 5});
    append(stream, {0xF0, 0x7E, 0x7F});
    append(stream, sysex(20000, 0x11));
    append(stream, sysex(40, 0x22));
    for (const Case& c : cases) {
        FakeInput in("x", c.limit);
        in.SetMonitoring(c.monitoring);
        allocationsWhileFeeding(in, {0xFE}, 1);  // first use of anything set up lazily
        EXPECT_EQ(allocationsWhileFeeding(in, stream, c.piece), 0u) << c.what;
        MidiBytes got;
        size_t messages = 0;
        while (in.PopSysEx(got)) ++messages;
        EXPECT_EQ(messages, c.assembled) << c.what;
        EXPECT_EQ(in.UnterminatedSysExCount(), 2u) << c.what;
    }
}

// A full SysEx ring drops what does not fit, still without allocating.
TEST(InputCallback, AFullRingDropsWithoutAllocating) {
    FakeInput in("x");
    const MidiBytes dump = sysex(4112, 1);
    size_t fed = 0;
    while (in.DroppedCount() == 0 && fed < 1000) {
        EXPECT_EQ(allocationsWhileFeeding(in, dump, 256), 0u) << fed;
        ++fed;
    }
    EXPECT_EQ(in.DroppedCount(), 1u);
    EXPECT_EQ(allocationsWhileFeeding(in, dump, 256), 0u);
}

}  // namespace
