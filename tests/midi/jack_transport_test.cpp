// The MIDI service over a real JACK server and the simulated unit (started by
// the test fixture; see jack_fixture.sh).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "SimControl.h"
#include "midi/MidiService.h"

namespace {

using Clock = std::chrono::steady_clock;

MidiBytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return MidiBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

MidiBytes sysex(size_t size) {
    MidiBytes m(size);
    m.front() = 0xF0;
    for (size_t i = 1; i + 1 < size; ++i) m[i] = static_cast<uint8_t>((i * 13) & 0x7F);
    m.back() = 0xF7;
    return m;
}

struct Recorder : ISysExListener, IProgressListener, IMessageListener, IPortListener {
    std::vector<MidiBytes> dumps;
    Clock::time_point receivedAt;
    int completed = 0, failed = 0;
    long shortMessages = 0;
    std::vector<std::string> portChanges;
    void OnSysExReceived(const MidiBytes& b) override {
        receivedAt = Clock::now();
        dumps.push_back(b);
    }
    void OnComplete() override { ++completed; }
    void OnFailed() override { ++failed; }
    void OnMidiMessage(uint8_t, int, int) override { ++shortMessages; }
    void OnPortLost(bool input, const std::string& name) override {
        portChanges.push_back(std::string(input ? "input" : "output") + " lost: " + name);
    }
    void OnPortBack(bool input, const std::string& name) override {
        portChanges.push_back(std::string(input ? "input" : "output") + " back: " + name);
    }
};

class JackTransport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("TQV_SIM_CONTROL")) GTEST_SKIP() << "runs under the JACK test fixture";
        ASSERT_EQ(unit("clear-received"), "ok");
        midi.Start();
        ASSERT_TRUE(midi.SelectInputByName("TaNGRA QV MIDI")) << midi.LastError();
        ASSERT_TRUE(midi.SelectOutputByName("TaNGRA QV MIDI")) << midi.LastError();
    }
    // Polls as the editor does, every 20 ms, until `done` or the time is up.
    template <typename F>
    bool pollUntil(F done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto until = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            midi.Poll();
        }
        return true;
    }
    MidiService midi;
    Recorder rec;
};

TEST_F(JackTransport, TheFirstSendAfterOpeningArrives) {
    // Each round opens the output afresh and sends at once.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(midi.OpenOutputPort());
        const MidiBytes m = sysex(100 + static_cast<size_t>(round));
        ASSERT_TRUE(midi.StartSend(m, &rec));
        ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    }
    EXPECT_EQ(rec.completed, 5);
    EXPECT_EQ(unit("wait-received 5 3000"), "ok 5");
}

TEST_F(JackTransport, LongestMessageArrivesWholeAndALongerOneFails) {
    const size_t longest = midi.OutputPort()->MaxMessageSize();
    ASSERT_TRUE(midi.StartSend(sysex(longest), &rec));
    ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    EXPECT_EQ(rec.completed, 1);
    ASSERT_EQ(unit("wait-received 1 3000"), "ok 1");
    const std::string file = std::string(std::getenv("TQV_SIM_STATE")) + "/longest.syx";
    ASSERT_EQ(unit("save-received " + file), "ok 1 message(s) written");
    EXPECT_EQ(readFile(file), sysex(longest));

    ASSERT_TRUE(midi.StartSend(sysex(longest + 1), &rec));
    ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    EXPECT_EQ(rec.failed, 1);
    EXPECT_NE(midi.LastError().find("longer than the port carries"), std::string::npos) << midi.LastError();

    // Many long messages one after another: each waits for the previous to
    // be delivered, so none overflows a JACK cycle.
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(midi.StartSend(sysex(longest), &rec));
        ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    }
    EXPECT_EQ(rec.completed, 7);
    EXPECT_EQ(unit("wait-received 7 3000"), "ok 7");
}

TEST_F(JackTransport, ADumpFromTheUnitArrivesByteExactAndQuickly) {
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto asked = Clock::now();
    ASSERT_EQ(unit("send 2"), "ok sending location 2");
    ASSERT_TRUE(pollUntil([&] { return !rec.dumps.empty(); }));
    const std::string file = std::string(std::getenv("TQV_SIM_STATE")) + "/sent.syx";
    unit("save-sent " + file);
    EXPECT_EQ(rec.dumps[0], readFile(file));
    EXPECT_FALSE(midi.IsListening());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(rec.receivedAt - asked).count();
    std::cout << "unit asked to send -> dump handed to the listener: " << ms << " ms\n";
    EXPECT_LT(ms, 250);
}

// Another device's message and one the unit broke off come before the dump:
// the listen passes over both and takes the dump whole.
TEST_F(JackTransport, StraysAndABrokenOffMessageDoNotEndAListen) {
    midi.SetDumpHeader({0xF0, 0x00, 0x20, 0x29});
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(unit("send-hex F0 7E 7F 06 01 F7"), "ok sending 6 byte(s)");
    ASSERT_EQ(unit("send-hex F0 00 20 29 02 03 7F 00 01 02 03"), "ok sending 11 byte(s)");
    ASSERT_EQ(unit("send 2"), "ok sending location 2");
    ASSERT_TRUE(pollUntil([&] { return !rec.dumps.empty(); }));
    const std::string file = std::string(std::getenv("TQV_SIM_STATE")) + "/sent.syx";
    unit("save-sent " + file);
    const MidiBytes sent = readFile(file);
    ASSERT_GE(sent.size(), 4112u);
    EXPECT_EQ(rec.dumps[0], MidiBytes(sent.end() - 4112, sent.end()));
    EXPECT_EQ(midi.IgnoredCount(), 1);
    EXPECT_EQ(midi.InputPort()->UnterminatedSysExCount(), 1u);
}

// With "ReleaseDriver" the ports are closed until an open is requested; a
// transfer that starts before that opens them itself.
TEST_F(JackTransport, ASendWhileThePortsAreReleasedOpensThemFirst) {
    MidiService released;
    released.Start(true);
    ASSERT_TRUE(released.SelectInputByName("TaNGRA QV MIDI"));
    ASSERT_TRUE(released.SelectOutputByName("TaNGRA QV MIDI"));
    ASSERT_EQ(released.State(), ServiceState::Released);
    ASSERT_FALSE(released.IsOutputOpen());
    ASSERT_TRUE(released.StartSend(sysex(64), &rec)) << released.LastError();
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (released.IsSending() && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        released.Poll();
    }
    EXPECT_EQ(rec.completed, 1);
    EXPECT_EQ(unit("wait-received 1 3000"), "ok 1");
}

// Ports closed and opened again, over and over, while the unit streams short
// messages as fast as a busy controller: no message reaches a closed port's
// callback, and the ports work afterwards.
TEST_F(JackTransport, ClosingAndReopeningPortsWhileTheUnitStreams) {
    auto registration = midi.Register(static_cast<IMessageListener*>(&rec));
    ASSERT_EQ(unit("stream 1000000 4000"), "ok streaming 1000000 messages at 4000 a second");
    long heardWhileOpen = 0;
    for (int round = 0; round < 30; ++round) {
        switch (round % 3) {
        case 0: ASSERT_TRUE(midi.OpenInputPort()) << midi.LastError(); break;
        case 1:
            midi.ClosePorts();
            ASSERT_TRUE(midi.OpenPorts()) << midi.LastError();
            break;
        default:
            // A send under way when its port goes.
            ASSERT_TRUE(midi.StartSend(sysex(100), &rec));
            midi.Poll();
            ASSERT_TRUE(midi.OpenOutputPort()) << midi.LastError();
            break;
        }
        const long before = rec.shortMessages;
        pollUntil([&] { return rec.shortMessages > before + 20; }, std::chrono::milliseconds(1000));
        heardWhileOpen += rec.shortMessages > before ? 1 : 0;
    }
    unit("stream 0 0");
    EXPECT_EQ(heardWhileOpen, 30) << "every reopened input heard the stream";
    // Both ports still carry a dump each way.
    ASSERT_EQ(unit("clear-received"), "ok");
    ASSERT_TRUE(midi.StartSend(sysex(4112), &rec));
    ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    EXPECT_EQ(unit("wait-received 1 3000"), "ok 1");
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    unit("send 1");
    EXPECT_TRUE(pollUntil([&] { return !rec.dumps.empty(); }));
}

// The unit goes away while the editor listens: the listen ends at once with
// a failure and each lost port is told once; when the unit is back the ports
// are opened again by themselves and the next listen works.
TEST_F(JackTransport, AUnitThatGoesAwayDuringAListenEndsItAndIsReconnected) {
    SpareUnit spare("Roaming Unit");
    ASSERT_TRUE(spare.start());
    bool listed = false;
    for (int i = 0; i < 100 && !listed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        midi.Rescan();
        listed = midi.FindInput("Roaming Unit") >= 0 && midi.FindOutput("Roaming Unit") >= 0;
    }
    ASSERT_TRUE(listed);
    ASSERT_TRUE(midi.SelectInputByName("Roaming Unit")) << midi.LastError();
    ASSERT_TRUE(midi.SelectOutputByName("Roaming Unit")) << midi.LastError();
    auto registration = midi.Register(static_cast<IPortListener*>(&rec));
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    spare.stop();
    const auto gone = Clock::now();
    ASSERT_TRUE(pollUntil([&] { return rec.failed > 0; }, std::chrono::seconds(3)));
    EXPECT_LT(Clock::now() - gone, std::chrono::milliseconds(1500));
    EXPECT_FALSE(midi.IsListening());
    pollUntil([&] { return rec.portChanges.size() >= 2; }, std::chrono::seconds(2));
    EXPECT_EQ(rec.portChanges, (std::vector<std::string>{"input lost: Roaming Unit:out: Port 1",
                                                         "output lost: Roaming Unit:in: Port 1"}));
    // Still gone: nothing more is said.
    for (int i = 0; i < 60; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        midi.Poll();
    }
    EXPECT_EQ(rec.portChanges.size(), 2u);

    ASSERT_TRUE(spare.start());
    ASSERT_TRUE(pollUntil([&] { return rec.portChanges.size() >= 4; }, std::chrono::seconds(4)));
    EXPECT_EQ(rec.portChanges[2], "input back: Roaming Unit:out: Port 1");
    EXPECT_EQ(rec.portChanges[3], "output back: Roaming Unit:in: Port 1");
    EXPECT_EQ(midi.InputName(), "Roaming Unit:out: Port 1");
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(spare.tell("send 3"), "ok sending location 3");
    EXPECT_TRUE(pollUntil([&] { return !rec.dumps.empty(); }));
    ASSERT_TRUE(midi.StartSend(sysex(200), &rec));
    ASSERT_TRUE(pollUntil([&] { return !midi.IsSending(); }));
    EXPECT_EQ(spare.tell("wait-received 1 3000"), "ok 1");
}

TEST_F(JackTransport, AVanishedUnitIsNoticedByTheHealthCheck) {
    SpareUnit lostUnit("Lost Unit");
    ASSERT_TRUE(lostUnit.start());
    bool listed = false;
    for (int i = 0; i < 100 && !listed; ++i) {
        midi.Rescan();
        listed = midi.FindInput("Lost Unit") >= 0;
        if (!listed) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(listed);
    ASSERT_TRUE(midi.SelectInputByName("Lost Unit")) << midi.LastError();
    ASSERT_TRUE(midi.SelectOutputByName("Lost Unit")) << midi.LastError();
    lostUnit.stop();

    int lost = 0;
    const auto start = Clock::now();
    for (int i = 0; i <= MidiService::kHealthCheckPolls + 1; ++i) lost += !midi.Poll();
    EXPECT_EQ(lost, 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(midi.StartSend(sysex(10), &rec));
}

}  // namespace

// The JACK ports live in a module opened at run time; what they receive must
// reach the program's one arrival waker (a second copy in the module would
// never call the notifier the program set).
namespace {
std::atomic<int> arrivals{0};
void countArrival() { arrivals.fetch_add(1); }

TEST_F(JackTransport, InputThroughThePortsModuleWakesTheProgramsNotifier) {
    MIDI::Input::SetArrivalNotifier(&countArrival);
    ASSERT_TRUE(midi.StartListening(&rec, &rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    arrivals = 0;
    ASSERT_EQ(unit("send 2"), "ok sending location 2");
    // No polling here: only the waker's thread can raise the count.
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (arrivals.load() == 0 && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    MIDI::Input::SetArrivalNotifier(nullptr);
    EXPECT_GT(arrivals.load(), 0);
    EXPECT_TRUE(pollUntil([&] { return !rec.dumps.empty(); }));
}

}  // namespace
