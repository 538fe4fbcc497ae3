// The MIDI monitor's history: how an event reads, the bound, the kind filter,
// pause and clear; and the service's monitor tap beside the transfers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "FakeMidiSystem.h"
#include "midi/MidiMonitorLog.h"
#include "midi/MidiService.h"

namespace {

// 2023-11-14 22:13:20.123456 UTC
constexpr int64_t kTime = 1700000000123456;

MonitorEvent event(const MidiBytes& bytes, int64_t timeUs = kTime) {
    return MonitorEvent::make(timeUs, bytes.data(), bytes.size());
}

MidiBytes sysex(size_t length) {
    MidiBytes m(length, 0x11);
    m.front() = 0xF0;
    for (size_t i = 1; i + 1 < length && i < 12; ++i) m[i] = static_cast<uint8_t>(i);
    m.back() = 0xF7;
    return m;
}

class MonitorFormat : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string savedTz;
    bool hadTz = false;
};

TEST_F(MonitorFormat, EachKindReadsWithItsChannelAndData) {
    struct Case {
        MidiBytes bytes;
        const char* kind;
        const char* channel;
        const char* data;
    };
    const Case cases[] = {
        {{0x90, 60, 100}, "Note On", "1", "Note 60, Velocity 100"},
        {{0x8F, 60, 0}, "Note Off", "16", "Note 60, Velocity 0"},
        {{0xA2, 61, 33}, "Poly Aftertouch", "3", "Note 61, Pressure 33"},
        {{0xB3, 74, 127}, "Control Change", "4", "Controller 74, Value 127"},
        {{0xC0, 26}, "Program Change", "1", "Program 26"},
        {{0xD9, 90}, "Channel Aftertouch", "10", "Pressure 90"},
        {{0xE0, 0x00, 0x40}, "Pitch Bend", "1", "Value 8192 (+0)"},
        {{0xE1, 0x00, 0x00}, "Pitch Bend", "2", "Value 0 (-8192)"},
        {{0xE1, 0x7F, 0x7F}, "Pitch Bend", "2", "Value 16383 (+8191)"},
        {{0xF8}, "Clock", "", ""},
        {{0xFE}, "Active Sensing", "", ""},
        {{0xFA}, "Start", "", ""},
        {{0xFC}, "Stop", "", ""},
        {{0xF2, 0x10, 0x02}, "Song Position", "", "F2 10 02"},
        {{0xF1, 0x23}, "Time Code", "", "F1 23"},
        {{0xF9}, "Undefined", "", "F9"},
        {{0x90, 60}, "Note On", "1", "90 3C"},  // cut short: the bytes that came
        {{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, "SysEx", "", "F0 7E 7F 06 01 F7 (6 bytes)"},
    };
    for (const auto& c : cases) {
        const MonitorLine line = FormatMonitorEvent(event(c.bytes));
        EXPECT_EQ(line.time, "22:13:20.123");
        EXPECT_EQ(line.kind, c.kind) << c.data;
        EXPECT_EQ(line.channel, c.channel) << c.kind;
        EXPECT_EQ(line.data, c.data) << c.kind;
    }
}

TEST_F(MonitorFormat, LongSysExIsFoldedWithItsLength) {
    EXPECT_EQ(FormatMonitorEvent(event(sysex(16))).data,
              "F0 01 02 03 04 05 06 07 08 09 0A 0B 11 11 11 F7 (16 bytes)");
    EXPECT_EQ(FormatMonitorEvent(event(sysex(17))).data, "F0 01 02 03 04 05 06 07 08 09 0A 0B ... F7 (17 bytes)");
    const MonitorEvent dump = event(sysex(4112));
    EXPECT_TRUE(dump.folded());
    EXPECT_EQ(FormatMonitorEvent(dump).data, "F0 01 02 03 04 05 06 07 08 09 0A 0B ... F7 (4112 bytes)");
    // An event keeps a fixed size whatever the message's length.
    EXPECT_EQ(dump.kept, MonitorEvent::kHead + 1);
}

TEST_F(MonitorFormat, CopiedLinesAreTabSeparatedInTheOrderAsked) {
    MidiMonitorLog log;
    log.add(event({0x90, 60, 100}, kTime));
    log.add(event({0xB0, 7, 64}, kTime + 2500));
    log.add(event({0xC0, 5}, kTime + 1000000));
    EXPECT_EQ(log.copyText({0, 2}),
              "22:13:20.123\tNote On\t1\tNote 60, Velocity 100\n22:13:21.123\tProgram Change\t1\tProgram 5\n");
    EXPECT_EQ(log.copyText({1, 7}), "22:13:20.125\tControl Change\t1\tController 7, Value 64\n");
    EXPECT_EQ(log.copyText({}), "");
}

TEST(MonitorLog, KeepsTheNewestUpToItsBound) {
    MidiMonitorLog log(5);
    for (int i = 0; i < 8; ++i) log.add(event({0xB0, 1, static_cast<uint8_t>(i)}));
    ASSERT_EQ(log.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(log.at(i).bytes[2], i + 3);
    EXPECT_EQ(log.received(), 8u);
    EXPECT_EQ(log.dropped(), 3u);
    EXPECT_EQ(log.removedFromFront(), 3u);

    MidiMonitorLog big;
    for (int i = 0; i < 25000; ++i) big.add(event({0x90, 1, 1}));
    EXPECT_EQ(big.size(), MidiMonitorLog::kDefaultCapacity);
}

TEST(MonitorLog, TheFilterHidesClockAndActiveSensingUntilShown) {
    MidiMonitorLog log;
    EXPECT_EQ(log.shown(), static_cast<unsigned>(MonitorGroup::Default));
    const MidiBytes stream[] = {{0xF8}, {0x90, 60, 1}, {0xFE}, {0xB0, 1, 2}, {0xF8}, sysex(20), {0xFA}};
    for (const auto& m : stream) log.add(event(m));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(KindOf(log.at(0)), MonitorKind::NoteOn);
    EXPECT_EQ(KindOf(log.at(2)), MonitorKind::SysEx);
    EXPECT_EQ(KindOf(log.at(3)), MonitorKind::Start);
    EXPECT_EQ(log.received(), 7u);
    EXPECT_EQ(log.hidden(), 3u);

    // Shown from now on; the clocks that were hidden were not kept.
    log.setShown(MonitorGroup::All);
    log.add(event({0xF8}));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(KindOf(log.at(4)), MonitorKind::Clock);

    // Hiding a kind takes its lines away.
    const uint64_t before = log.version();
    log.setShown(MonitorGroup::All & ~(MonitorGroup::Notes | MonitorGroup::SysEx));
    EXPECT_NE(log.version(), before);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(KindOf(log.at(0)), MonitorKind::ControlChange);
    log.add(event({0x80, 60, 0}));
    EXPECT_EQ(log.size(), 3u);

    struct Group {
        MidiBytes bytes;
        unsigned group;
    };
    const Group groups[] = {{{0x80, 1, 1}, MonitorGroup::Notes},         {{0x91, 1, 1}, MonitorGroup::Notes},
                            {{0xB0, 1, 1}, MonitorGroup::ControlChange}, {{0xC0, 1}, MonitorGroup::ProgramChange},
                            {{0xE0, 1, 1}, MonitorGroup::PitchBend},     {{0xA0, 1, 1}, MonitorGroup::Aftertouch},
                            {{0xD0, 1}, MonitorGroup::Aftertouch},       {sysex(30), MonitorGroup::SysEx},
                            {{0xF8}, MonitorGroup::Clock},               {{0xFE}, MonitorGroup::ActiveSensing},
                            {{0xFC}, MonitorGroup::Other},               {{0xF2, 0, 0}, MonitorGroup::Other}};
    for (const auto& g : groups) {
        MidiMonitorLog only;
        only.setShown(g.group);
        only.add(event(g.bytes));
        only.setShown(MonitorGroup::All & ~g.group);
        only.add(event(g.bytes));
        EXPECT_EQ(only.size(), 0u) << std::hex << int(g.bytes[0]);
        EXPECT_EQ(only.hidden(), 1u) << std::hex << int(g.bytes[0]);
    }
}

TEST(MonitorLog, PauseFreezesTheLinesAndResumeAppendsWhatArrived) {
    MidiMonitorLog log(4);
    log.add(event({0x90, 1, 1}));
    log.add(event({0x90, 2, 1}));
    log.setPaused(true);
    const uint64_t frozen = log.version();
    for (uint8_t n = 3; n <= 8; ++n) log.add(event({0x90, n, 1}));
    log.add(event({0xF8}));  // hidden: not held either
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(log.version(), frozen);
    EXPECT_EQ(log.removedFromFront(), 0u);
    EXPECT_EQ(log.waiting(), 4u);  // the bound holds behind the pause too
    EXPECT_EQ(log.received(), 9u);

    log.setPaused(false);
    EXPECT_EQ(log.waiting(), 0u);
    ASSERT_EQ(log.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(log.at(i).bytes[1], i + 5);
    EXPECT_EQ(log.dropped(), 4u);  // notes 3 and 4 behind the pause, 1 and 2 from the front

    // Clear while paused empties both; the pause stays.
    log.setPaused(true);
    log.add(event({0x90, 9, 1}));
    log.clear();
    EXPECT_TRUE(log.paused());
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(log.waiting(), 0u);
    EXPECT_EQ(log.received(), 0u);
    log.setPaused(false);
    log.add(event({0x90, 10, 1}));
    EXPECT_EQ(log.size(), 1u);
}

// --- the service's tap ---------------------------------------------------------

struct Monitor : IMidiMonitor {
    std::vector<MonitorEvent> events;
    void OnMonitoredMessage(const MonitorEvent& e) override { events.push_back(e); }
};

struct Dumps : ISysExListener, IMessageListener {
    std::vector<MidiBytes> dumps;
    std::vector<ShortMessage> messages;
    void OnSysExReceived(const MidiBytes& b) override { dumps.push_back(b); }
    void OnMidiMessage(uint8_t s, int d1, int d2) override { messages.push_back({s, d1, d2}); }
};

class MonitorTap : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeMidiSystem>();
        sys = fake.get();
        sys->ins = {"Keys"};
        sys->outs = {"Keys"};
        midi = std::make_unique<MidiService>(std::move(fake));
        midi->Start(false);
        ASSERT_TRUE(midi->SelectInputByName("Keys"));
        ASSERT_TRUE(midi->SelectOutputByName("Keys"));
    }
    FakeMidiSystem* sys = nullptr;
    std::unique_ptr<MidiService> midi;
};

TEST_F(MonitorTap, EveryIncomingMessageReachesTheMonitorWhileAListenRuns) {
    Monitor monitor;
    Dumps dumps;
    midi->AddMonitor(&monitor);
    midi->AddMessageListener(&dumps);
    ASSERT_TRUE(midi->StartListening(&dumps, nullptr));
    const MidiBytes dump = sysex(4112);
    sys->lastInput->arrive({0xF8});
    sys->lastInput->arrive({0xB0, 7, 100});
    // A dump in two pieces, a clock byte inside the first.
    MidiBytes first(dump.begin(), dump.begin() + 100);
    first.push_back(0xF8);
    first.insert(first.end(), dump.begin() + 100, dump.begin() + 200);
    sys->lastInput->arrive(first);
    sys->lastInput->arrive(MidiBytes(dump.begin() + 200, dump.end()));
    sys->lastInput->arrive({0xFE});
    midi->Poll();

    // The listen got its dump whole.
    ASSERT_EQ(dumps.dumps.size(), 1u);
    EXPECT_EQ(dumps.dumps[0], dump);
    ASSERT_EQ(monitor.events.size(), 5u);
    const MonitorKind kinds[] = {MonitorKind::Clock, MonitorKind::ControlChange, MonitorKind::Clock,
                                 MonitorKind::SysEx, MonitorKind::ActiveSensing};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(KindOf(monitor.events[i]), kinds[i]) << i;
    EXPECT_EQ(monitor.events[3].length, 4112u);
    EXPECT_GT(monitor.events[0].timeUs, 1600000000000000);  // wall-clock microseconds

    // Back in the open state the message listeners get the short messages as
    // before; the monitor sees them too.
    midi->Poll();
    // F8, B0, the F8 from inside the dump (a real-time byte is a message of
    // its own wherever it arrives), FE.
    EXPECT_EQ(dumps.messages.size(), 4u);
    sys->lastInput->arrive({0x90, 60, 1});
    midi->Poll();
    EXPECT_EQ(dumps.messages.size(), 5u);
    EXPECT_EQ(monitor.events.size(), 6u);
}

TEST_F(MonitorTap, TheTapRunsOnlyWhileAMonitorIsRegistered) {
    Monitor monitor;
    sys->lastInput->arrive({0x90, 1, 1});
    midi->AddMonitor(&monitor);
    midi->AddMonitor(&monitor);  // once only
    sys->lastInput->arrive({0x90, 2, 1});
    midi->Poll();
    ASSERT_EQ(monitor.events.size(), 1u);
    EXPECT_EQ(monitor.events[0].bytes[1], 2);

    EXPECT_TRUE(midi->RemoveMonitor(&monitor));
    EXPECT_FALSE(midi->RemoveMonitor(&monitor));
    EXPECT_FALSE(sys->lastInput->IsMonitoring());
    sys->lastInput->arrive({0x90, 3, 1});
    midi->AddMonitor(&monitor);
    midi->Poll();
    EXPECT_EQ(monitor.events.size(), 1u);

    // A reopened port is tapped again.
    ASSERT_TRUE(midi->OpenInputPort());
    EXPECT_TRUE(sys->lastInput->IsMonitoring());
    sys->lastInput->arrive({0x90, 4, 1});
    midi->Poll();
    ASSERT_EQ(monitor.events.size(), 2u);
    EXPECT_EQ(monitor.events[1].bytes[1], 4);
}

TEST_F(MonitorTap, AStalledPollLosesCountedEventsNotTheTransfers) {
    Monitor monitor;
    midi->AddMonitor(&monitor);
    for (int i = 0; i < 9000; ++i) sys->lastInput->arrive({0xB0, 1, static_cast<uint8_t>(i & 0x7F)});
    EXPECT_EQ(midi->MonitorDroppedCount(), 9000u - 8191u);
    midi->Poll();
    EXPECT_EQ(monitor.events.size(), 8191u);
}

// A sender faster than the listeners: each message told brings another.
TEST_F(MonitorTap, APollEndsWhileMessagesKeepArriving) {
    struct Echo : IMessageListener, IMidiMonitor {
        FakeInput* input = nullptr;
        size_t told = 0, monitored = 0;
        void OnMidiMessage(uint8_t, int, int) override {
            ++told;
            input->arrive({0xB0, 1, 1});
        }
        void OnMonitoredMessage(const MonitorEvent&) override {
            ++monitored;
            input->arrive({0x90, 1, 1});
        }
    } echo;
    echo.input = sys->lastInput.get();
    midi->AddMessageListener(&echo);
    echo.input->arrive({0xB0, 1, 1});
    EXPECT_TRUE(midi->Poll());
    EXPECT_EQ(echo.told, static_cast<size_t>(MessageRing::kSlots));

    midi->RemoveMessageListener(&echo);
    midi->AddMonitor(&echo);
    echo.input->arrive({0x90, 1, 1});
    EXPECT_TRUE(midi->Poll());
    EXPECT_EQ(echo.monitored, static_cast<size_t>(MIDI::Input::kMonitorSlots));
}

}  // namespace
