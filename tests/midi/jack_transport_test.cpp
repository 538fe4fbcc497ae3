// The MIDI service over a real JACK server and the simulated unit (started by
// the test fixture; see jack_fixture.sh).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

struct Recorder : ISysExListener, IProgressListener {
    std::vector<MidiBytes> dumps;
    Clock::time_point receivedAt;
    int completed = 0, failed = 0;
    void OnSysExReceived(const MidiBytes& b) override {
        receivedAt = Clock::now();
        dumps.push_back(b);
    }
    void OnComplete() override { ++completed; }
    void OnFailed() override { ++failed; }
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
        ASSERT_TRUE(midi.StartSend(sysex(12000), &rec));
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

TEST_F(JackTransport, AVanishedUnitIsNoticedByTheHealthCheck) {
    const std::string sim = std::getenv("TQV_SIM") ? std::getenv("TQV_SIM") : "";
    if (sim.empty()) GTEST_SKIP() << "needs TQV_SIM";
    const std::string dir = std::string(std::getenv("TQV_SIM_STATE")) + "/lost-unit";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(sim.c_str(), sim.c_str(), "run", "--name", "Lost Unit", "--dir", dir.c_str(), "--log",
                (dir + ".log").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    bool listed = false;
    for (int i = 0; i < 100 && !listed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        midi.Rescan();
        listed = midi.FindInput("Lost Unit") >= 0;
    }
    ASSERT_TRUE(listed);
    ASSERT_TRUE(midi.SelectInputByName("Lost Unit")) << midi.LastError();
    ASSERT_TRUE(midi.SelectOutputByName("Lost Unit")) << midi.LastError();
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);

    int lost = 0;
    const auto start = Clock::now();
    for (int i = 0; i <= MidiService::kHealthCheckPolls + 1; ++i) lost += !midi.Poll();
    EXPECT_EQ(lost, 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(midi.StartSend(sysex(10), &rec));
}

}  // namespace
