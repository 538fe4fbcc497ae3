// The pieces between the MIDI callback thread and the GUI thread: assembling
// SysEx from arbitrary pieces and the single-writer rings.
#include <gtest/gtest.h>

#include <thread>

#include "FakeMidiSystem.h"
#include "midi/Rings.h"
#include "midi/SysExAssembler.h"

namespace {

MidiBytes message(size_t size, uint8_t seed) {
    MidiBytes m(size);
    m.front() = 0xF0;
    for (size_t i = 1; i + 1 < size; ++i) m[i] = static_cast<uint8_t>((i * 7 + seed) & 0x7F);
    m.back() = 0xF7;
    return m;
}

TEST(SysExAssembly, MessageSplitAcrossPiecesIsAssembledWhole) {
    const MidiBytes dump = message(4112, 3);
    for (size_t piece : {1u, 3u, 255u, 256u, 257u, 4111u}) {
        FakeInput in("x");
        for (size_t at = 0; at < dump.size(); at += piece) {
            const size_t n = std::min(piece, dump.size() - at);
            in.arrive(MidiBytes(dump.begin() + static_cast<long>(at), dump.begin() + static_cast<long>(at + n)));
        }
        MidiBytes got;
        ASSERT_TRUE(in.PopSysEx(got)) << "pieces of " << piece;
        EXPECT_EQ(got, dump) << "pieces of " << piece;
        EXPECT_FALSE(in.HasSysEx());
    }
}

TEST(SysExAssembly, BytesBeforeTheStartAreIgnored) {
    SysExAssembler a;
    for (uint8_t b : {0x01, 0x7F, 0xF7, 0x45}) EXPECT_FALSE(a.feed(b));
    EXPECT_FALSE(a.inside());
    for (uint8_t b : {0xF0, 0x10, 0x20}) EXPECT_FALSE(a.feed(b));
    EXPECT_TRUE(a.feed(0xF7));
    EXPECT_EQ(a.message(), (MidiBytes{0xF0, 0x10, 0x20, 0xF7}));
}

// As in MIDI, any status byte but a real-time one ends a message: a message
// whose sender broke off is dropped, and the next one arrives whole.
TEST(SysExAssembly, AStatusByteEndsAnUnfinishedMessageWhichIsDropped) {
    const MidiBytes broken = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x00, 0x01, 0x02, 0x03};
    const MidiBytes next = message(4112, 5);
    struct Case {
        const char* what;
        std::vector<MidiBytes> between;  // pieces after the broken message, before the next one
        size_t shortMessages;
    };
    const Case cases[] = {
        {"the next dump's own start", {}, 0},
        {"a controller", {{0xB0, 7, 100}}, 1},
        {"a song select", {{0xF3, 2}}, 1},
    };
    for (const Case& c : cases) {
        FakeInput in("x");
        in.arrive(broken);
        for (const MidiBytes& p : c.between) in.arrive(p);
        in.arrive(next);
        MidiBytes got;
        std::vector<MidiBytes> all;
        while (in.PopSysEx(got)) all.push_back(got);
        ASSERT_EQ(all.size(), 1u) << c.what;
        EXPECT_EQ(all[0], next) << c.what;
        EXPECT_EQ(in.UnterminatedSysExCount(), 1u) << c.what;
        EXPECT_EQ(in.DroppedCount(), 1u) << c.what;
        ShortMessage m;
        size_t shorts = 0;
        while (in.PopMessage(m)) ++shorts;
        EXPECT_EQ(shorts, c.shortMessages) << c.what;
    }
    // Byte by byte through the assembler: a second start begins anew.
    SysExAssembler a;
    for (uint8_t b : {0xF0, 0x01, 0xF0, 0x02}) a.feed(b);
    ASSERT_TRUE(a.feed(0xF7));
    EXPECT_EQ(a.message(), (MidiBytes{0xF0, 0x02, 0xF7}));
    EXPECT_EQ(a.unterminatedCount(), 1u);
}

TEST(SysExAssembly, ShortAndRealTimeMessagesGoToTheMessageRing) {
    FakeInput in("x");
    in.arrive({0xF0, 0x01, 0x02});
    in.arrive({0xF8});              // clock in the middle of a dump: part of nothing
    in.arrive({0x03, 0xF7});
    in.arrive({0xB3, 74, 100});
    in.arrive({0xC1, 5});
    MidiBytes got;
    ASSERT_TRUE(in.PopSysEx(got));
    EXPECT_EQ(got, (MidiBytes{0xF0, 0x01, 0x02, 0x03, 0xF7}));
    ShortMessage m;
    ASSERT_TRUE(in.PopMessage(m));
    EXPECT_EQ(m.status, 0xF8);
    EXPECT_EQ(m.data1, 0);
    ASSERT_TRUE(in.PopMessage(m));
    EXPECT_EQ(m.status, 0xB3);
    EXPECT_EQ(m.data1, 74);
    EXPECT_EQ(m.data2, 100);
    ASSERT_TRUE(in.PopMessage(m));
    EXPECT_EQ(m.status, 0xC1);
    EXPECT_EQ(m.data1, 5);
    EXPECT_EQ(m.data2, 0);
    EXPECT_FALSE(in.PopMessage(m));
}

TEST(SysExAssembly, MessageLongerThanTheLimitIsDroppedAndCounted) {
    // Up to the limit a message is whole; one byte more and it is dropped,
    // and the next message is assembled as usual.
    struct Case {
        size_t size;
        bool kept;
    };
    for (const Case c : {Case{63, true}, Case{64, true}, Case{65, false}, Case{1000, false}}) {
        FakeInput in("x", 64);
        in.arrive(message(c.size, 1));
        in.arrive(message(10, 2));
        MidiBytes got;
        if (c.kept) {
            ASSERT_TRUE(in.PopSysEx(got)) << c.size;
            EXPECT_EQ(got, message(c.size, 1));
        }
        ASSERT_TRUE(in.PopSysEx(got)) << c.size;
        EXPECT_EQ(got, message(10, 2)) << c.size;
        EXPECT_FALSE(in.HasSysEx());
        EXPECT_EQ(in.OverlongSysExCount(), c.kept ? 0u : 1u) << c.size;
        EXPECT_EQ(in.DroppedCount(), c.kept ? 0u : 1u) << c.size;
    }
}

TEST(SysExAssembly, AMessageThatNeverEndsStaysBounded) {
    // 1 MB after an 0xF0 without its 0xF7, at the real limit.
    SysExAssembler a;
    size_t most = 0;
    a.feed(0xF0);
    for (size_t i = 0; i < (1u << 20); ++i) {
        EXPECT_FALSE(a.feed(static_cast<uint8_t>(i & 0x7F)));
        most = std::max(most, a.message().size());
    }
    EXPECT_EQ(most, SysExAssembler::kMaxMessageSize);
    EXPECT_EQ(a.overlongCount(), 1u);
    EXPECT_FALSE(a.inside());
    // A new message after the dropped one is taken; the lost message's late 0xF7 is not.
    EXPECT_FALSE(a.feed(0xF7));
    for (uint8_t b : {0xF0, 0x01}) EXPECT_FALSE(a.feed(b));
    EXPECT_TRUE(a.feed(0xF7));
    EXPECT_EQ(a.message(), (MidiBytes{0xF0, 0x01, 0xF7}));
    // The largest dump of any device is far below the limit.
    EXPECT_GT(SysExAssembler::kMaxMessageSize, 8208u * 4);
}

TEST(SysExAssembly, AStartByteThatOverflowsStartsTheNextMessage) {
    SysExAssembler a(4);
    for (uint8_t b : {0xF0, 0x01, 0x02, 0x03}) EXPECT_FALSE(a.feed(b));
    EXPECT_FALSE(a.feed(0xF0));  // too long: dropped, and this 0xF0 begins anew
    EXPECT_EQ(a.overlongCount(), 1u);
    EXPECT_TRUE(a.inside());
    for (uint8_t b : {0x04, 0x05}) a.feed(b);
    ASSERT_TRUE(a.feed(0xF7));
    EXPECT_EQ(a.message(), (MidiBytes{0xF0, 0x04, 0x05, 0xF7}));
}

TEST(SysExAssembly, RealTimeBytesAnywhereInAPieceAreMessagesOfTheirOwn) {
    // A clock at the start of a piece that goes on with SysEx bytes once
    // swallowed those bytes as a short message's data.
    const std::vector<MidiBytes> pieceSets[] = {
        {{0xF0, 0x01, 0xF8, 0x02}, {0xF8, 0x03, 0xF7}},
        {{0xF0, 0x01}, {0xF8}, {0x02, 0xF8, 0x03}, {0xF7}},
        {{0xF0, 0x01, 0xF8, 0x02, 0xF8, 0x03, 0xF7}},
        {{0xF8, 0xF0, 0x01, 0x02}, {0xF8, 0xFE, 0x03, 0xF7}},
    };
    for (const auto& pieces : pieceSets) {
        FakeInput in("x");
        for (const MidiBytes& p : pieces) in.arrive(p);
        MidiBytes got;
        ASSERT_TRUE(in.PopSysEx(got));
        EXPECT_EQ(got, (MidiBytes{0xF0, 0x01, 0x02, 0x03, 0xF7}));
        EXPECT_FALSE(in.HasSysEx());
        // Each real-time byte, in the order it came, and nothing else.
        std::vector<uint8_t> expected, statuses;
        for (const MidiBytes& p : pieces)
            for (uint8_t b : p)
                if (b >= 0xF8) expected.push_back(b);
        ShortMessage m;
        while (in.PopMessage(m)) {
            statuses.push_back(m.status);
            EXPECT_EQ(m.data1, 0);
        }
        EXPECT_EQ(statuses, expected);
    }
}

TEST(SingleWriterRings, FullRingHolds255AndCountsWhatItDrops) {
    MessageRing ring;
    for (int i = 0; i < 255; ++i) EXPECT_TRUE(ring.push(ShortMessage{0x90, i, 1})) << i;
    EXPECT_FALSE(ring.push(ShortMessage{0x90, 999, 1}));
    EXPECT_EQ(ring.droppedCount(), 1u);
    ShortMessage m;
    for (int i = 0; i < 255; ++i) {
        ASSERT_TRUE(ring.pop(m));
        EXPECT_EQ(m.data1, i);
    }
    EXPECT_FALSE(ring.pop(m));
    // After emptying, the indices wrap and the ring takes entries again.
    for (int round = 0; round < 600; ++round) {
        ASSERT_TRUE(ring.push(ShortMessage{0x80, round, 0}));
        ASSERT_TRUE(ring.pop(m));
        EXPECT_EQ(m.data1, round);
    }
}

TEST(SingleWriterRings, DiscardDropsEverythingWaiting) {
    SysExQueue q;
    for (int i = 0; i < 10; ++i) q.push(message(8, static_cast<uint8_t>(i)));
    q.discard();
    EXPECT_TRUE(q.empty());
    q.push(message(8, 42));
    MidiBytes got;
    ASSERT_TRUE(q.pop(got));
    EXPECT_EQ(got, message(8, 42));
}

TEST(SysExRingBytes, MessagesWrapAroundTheBlockAndAFullRingDropsWhatDoesNotFit) {
    SysExRing ring(100);
    MidiBytes got;
    // 30-byte messages take 34 bytes with their length: two fit, a third not.
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(ring.push(message(30, 1).data(), 30)) << round;
        ASSERT_TRUE(ring.push(message(30, 2).data(), 30)) << round;
        EXPECT_FALSE(ring.push(message(30, 3).data(), 30));
        ASSERT_TRUE(ring.pop(got));
        EXPECT_EQ(got, message(30, 1)) << round;
        ASSERT_TRUE(ring.pop(got));
        EXPECT_EQ(got, message(30, 2)) << round;
        EXPECT_TRUE(ring.empty());
    }
    EXPECT_EQ(ring.droppedCount(), 50u);
    ring.push(message(10, 4).data(), 10);
    ring.discard();
    EXPECT_FALSE(ring.pop(got));
}

TEST(SysExRingBytes, ConcurrentWriterAndReaderLoseNothing) {
    SysExRing ring(4096);
    constexpr int kCount = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kCount; ++i) {
            const MidiBytes m = message(16 + static_cast<size_t>(i % 300), static_cast<uint8_t>(i));
            while (!ring.push(m.data(), m.size())) std::this_thread::yield();
        }
    });
    int next = 0;
    MidiBytes got;
    while (next < kCount) {
        if (!ring.pop(got)) continue;
        ASSERT_EQ(got, message(16 + static_cast<size_t>(next % 300), static_cast<uint8_t>(next))) << next;
        ++next;
    }
    writer.join();
}

// One thread pushes while another pops: every message arrives once, in order,
// unchanged, as long as the reader keeps up with a full ring.
TEST(SingleWriterRings, ConcurrentWriterAndReaderLoseNothing) {
    SysExQueue q;
    constexpr int kCount = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kCount; ++i) {
            MidiBytes m = message(16 + static_cast<size_t>(i % 64), static_cast<uint8_t>(i));
            while (q.full()) std::this_thread::yield();
            ASSERT_TRUE(q.push(m));
        }
    });
    int next = 0;
    MidiBytes got;
    while (next < kCount) {
        if (!q.pop(got)) continue;
        ASSERT_EQ(got, message(16 + static_cast<size_t>(next % 64), static_cast<uint8_t>(next))) << next;
        ++next;
    }
    writer.join();
    EXPECT_EQ(q.droppedCount(), 0u);
}

}  // namespace
