// The MIDI service over a fake MIDI system: selection by name, release mode,
// the listen and send steps, message dispatch and the health check.
#include <gtest/gtest.h>

#include "FakeMidiSystem.h"
#include "midi/MidiService.h"

namespace {

struct Recorder : ISysExListener, IProgressListener, IMessageListener {
    std::vector<MidiBytes> dumps;
    int aborted = 0;
    std::string events;  // one letter per progress call: p w c f
    std::vector<ShortMessage> messages;
    MidiService* relisten = nullptr;

    void OnSysExReceived(const MidiBytes& b) override {
        dumps.push_back(b);
        if (relisten) relisten->StartListening(this, this);
    }
    void OnSysExAborted() override { ++aborted; }
    void OnProgress() override { events += 'p'; }
    void OnWaiting() override { events += 'w'; }
    void OnComplete() override { events += 'c'; }
    void OnFailed() override { events += 'f'; }
    void OnMidiMessage(uint8_t s, int d1, int d2) override { messages.push_back({s, d1, d2}); }
};

MidiBytes dump(uint8_t tag) { return {0xF0, 0x00, 0x20, 0x29, tag, 0x01, 0xF7}; }

class ServiceTest : public ::testing::Test {
protected:
    void start(bool release = false) {
        auto fake = std::make_unique<FakeMidiSystem>();
        sys = fake.get();
        sys->ins = {"MIDIIN2 (TaNGRA QV)", "Other Synth", "TaNGRA QV"};
        sys->outs = {"Other Synth", "MIDIOUT2 (TaNGRA QV)"};
        midi = std::make_unique<MidiService>(std::move(fake));
        midi->Start(release);
    }
    void openBoth() {
        ASSERT_TRUE(midi->SelectInputByName("TaNGRA QV"));
        ASSERT_TRUE(midi->SelectOutputByName("TaNGRA QV"));
    }
    FakeMidiSystem* sys = nullptr;
    std::unique_ptr<MidiService> midi;
    Recorder rec;
};

TEST_F(ServiceTest, DeviceIndicesListInputsThenOutputsWithShownNames) {
    start();
    ASSERT_EQ(midi->DeviceCount(), 5);
    EXPECT_TRUE(midi->IsInputIndex(2));
    EXPECT_TRUE(midi->IsOutputIndex(3));
    EXPECT_EQ(midi->DeviceName(0), "TaNGRA QV: Port 2");
    EXPECT_EQ(midi->DeviceName(2), "TaNGRA QV: Port 1");
    EXPECT_EQ(midi->DeviceName(4), "TaNGRA QV: Port 2");
    EXPECT_EQ(midi->DeviceName(5), "");
}

TEST_F(ServiceTest, SelectByNameTakesTheFirstPortOfThatKindContainingTheName) {
    start();
    struct Case {
        const char* name;
        int input;   // expected selected index, -1 = refused
        int output;
    };
    const Case cases[] = {
        {"TaNGRA QV", 0, 4},
        {"Port 1", 1, 3},       // "Other Synth: Port 1" comes before "TaNGRA QV: Port 1"
        {"QV: Port 1", 2, -1},
        {"Synth", 1, 3},
        {"tangra qv", -1, -1},  // case matters
        {"Nothing here", -1, -1},
    };
    for (const auto& c : cases) {
        start();
        EXPECT_EQ(midi->SelectInputByName(c.name), c.input >= 0) << c.name;
        EXPECT_EQ(midi->SelectedInput(), c.input) << c.name;
        EXPECT_EQ(midi->SelectOutputByName(c.name), c.output >= 0) << c.name;
        EXPECT_EQ(midi->SelectedOutput(), c.output) << c.name;
        EXPECT_EQ(midi->IsInputOpen(), c.input >= 0);
    }
}

TEST_F(ServiceTest, APortThatCannotBeOpenedIsAFalseAnswerWithItsReason) {
    start();
    sys->refuse.insert("MIDIIN2 (TaNGRA QV)");
    EXPECT_FALSE(midi->SelectInputByName("TaNGRA QV: Port 2"));
    EXPECT_FALSE(midi->IsInputOpen());
    EXPECT_EQ(midi->LastError(), "in use");
    EXPECT_TRUE(midi->HasPortNamed("TaNGRA QV: Port 2"));
    EXPECT_FALSE(midi->HasPortNamed("Missing"));
    EXPECT_FALSE(midi->StartListening(&rec, &rec));
}

TEST_F(ServiceTest, ReleaseModeOpensOnlyOnRequestAndClosesOnRequest) {
    start(true);
    EXPECT_EQ(midi->State(), ServiceState::Released);
    openBoth();
    EXPECT_EQ(sys->opens, 0);  // selection succeeds at once, the ports open later
    EXPECT_FALSE(midi->NeedsPolling());
    midi->Poll();
    EXPECT_FALSE(midi->IsInputOpen());
    midi->RequestOpen();
    EXPECT_TRUE(midi->NeedsPolling());
    midi->Poll();
    EXPECT_TRUE(midi->IsInputOpen());
    EXPECT_TRUE(midi->IsOutputOpen());
    EXPECT_EQ(midi->State(), ServiceState::Open);
    midi->RequestClose();
    midi->Poll();
    EXPECT_FALSE(midi->IsInputOpen());
    EXPECT_FALSE(midi->IsOutputOpen());
    EXPECT_EQ(midi->State(), ServiceState::Released);
    EXPECT_FALSE(midi->NeedsPolling());
}

// A unit unplugged while the editor was in the background: the reopen does
// not wait for it. The loss is said once, and the port opens again by itself
// when the unit is back.
TEST_F(ServiceTest, AReopenWithoutTheUnitSaysSoOnceAndReconnectsWhenItIsBack) {
    start(true);
    openBoth();
    struct Changes : IPortListener {
        std::vector<std::string> seen;
        void OnPortLost(bool input, const std::string& name) override {
            seen.push_back(std::string(input ? "input" : "output") + " lost: " + name);
        }
        void OnPortBack(bool input, const std::string& name) override {
            seen.push_back(std::string(input ? "input" : "output") + " back: " + name);
        }
    } changes;
    auto registration = midi->Register(&changes);
    sys->refuse = {"MIDIIN2 (TaNGRA QV)", "MIDIOUT2 (TaNGRA QV)"};
    midi->RequestOpen();
    EXPECT_FALSE(midi->Poll());
    EXPECT_EQ(midi->State(), ServiceState::Open);
    EXPECT_EQ(changes.seen, (std::vector<std::string>{"output lost: TaNGRA QV: Port 2", "input lost: TaNGRA QV: Port 2"}));
    const int opensWhileGone = sys->opens;
    int falseAnswers = 0;
    for (int i = 0; i < 3 * MidiService::kHealthCheckPolls; ++i) falseAnswers += !midi->Poll();
    EXPECT_EQ(falseAnswers, 0);
    EXPECT_EQ(changes.seen.size(), 2u);
    EXPECT_LE(sys->opens - opensWhileGone, 6) << "a missing port is looked for at the health check, not every poll";
    // Background and back again while still gone: nothing new is said.
    midi->RequestClose();
    midi->Poll();
    midi->RequestOpen();
    EXPECT_TRUE(midi->Poll());
    EXPECT_EQ(changes.seen.size(), 2u);

    sys->refuse.clear();
    for (int i = 0; i <= MidiService::kHealthCheckPolls && changes.seen.size() < 4; ++i) midi->Poll();
    ASSERT_EQ(changes.seen.size(), 4u);
    EXPECT_EQ(changes.seen[2], "input back: TaNGRA QV: Port 2");
    EXPECT_EQ(changes.seen[3], "output back: TaNGRA QV: Port 2");
    EXPECT_TRUE(midi->IsInputOpen());
    EXPECT_TRUE(midi->IsOutputOpen());
    EXPECT_TRUE(midi->StartListening(&rec, &rec));
}

TEST_F(ServiceTest, RequestsDoNothingWithoutReleaseMode) {
    start(false);
    openBoth();
    midi->RequestClose();
    midi->Poll();
    EXPECT_TRUE(midi->IsInputOpen());
    EXPECT_EQ(midi->State(), ServiceState::Open);
}

TEST_F(ServiceTest, WithoutInputThePollAnswersTrueAndDispatchesNothing) {
    start();
    midi->AddMessageListener(&rec);
    for (int i = 0; i < 3 * MidiService::kHealthCheckPolls; ++i) ASSERT_TRUE(midi->Poll());
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(ServiceTest, OneListenYieldsTheFirstCompleteDumpOnly) {
    start();
    openBoth();
    EXPECT_TRUE(midi->StartListening(&rec, &rec));
    EXPECT_TRUE(midi->IsListening());
    midi->Poll();
    EXPECT_EQ(rec.events, "w");
    sys->lastInput->arrive(dump(1));
    sys->lastInput->arrive(dump(2));
    midi->Poll();
    ASSERT_EQ(rec.dumps.size(), 1u);
    EXPECT_EQ(rec.dumps[0], dump(1));
    EXPECT_EQ(rec.events, "wc");
    EXPECT_EQ(midi->State(), ServiceState::Open);
    // The second dump arrived while nobody listened: dropped.
    midi->Poll();
    EXPECT_TRUE(midi->StartListening(&rec, &rec));
    midi->Poll();
    EXPECT_EQ(rec.dumps.size(), 1u);
}

TEST_F(ServiceTest, AnOverlongMessageDuringAListenIsReportedAndTheListenGoesOn) {
    start();
    openBoth();
    // One that was dropped before the listen started is not this listen's.
    MidiBytes endless(SysExAssembler::kMaxMessageSize + 10, 0x11);
    endless.front() = 0xF0;
    sys->lastInput->arrive(endless);
    midi->Poll();
    EXPECT_TRUE(midi->StartListening(&rec, &rec));
    midi->Poll();
    EXPECT_EQ(rec.aborted, 0);
    sys->lastInput->arrive(endless);
    midi->Poll();
    EXPECT_EQ(rec.aborted, 1);
    EXPECT_TRUE(midi->IsListening());
    midi->Poll();
    EXPECT_EQ(rec.aborted, 1);
    sys->lastInput->arrive(dump(3));
    midi->Poll();
    ASSERT_EQ(rec.dumps.size(), 1u);
    EXPECT_EQ(rec.dumps[0], dump(3));
}

TEST_F(ServiceTest, AListenerMayListenAgainFromInsideTheCall) {
    start();
    openBoth();
    rec.relisten = midi.get();
    midi->StartListening(&rec, nullptr);
    for (uint8_t i = 0; i < 5; ++i) sys->lastInput->arrive(dump(i));
    for (int i = 0; i < 5; ++i) midi->Poll();
    ASSERT_EQ(rec.dumps.size(), 5u);
    EXPECT_EQ(rec.dumps[4], dump(4));
    EXPECT_TRUE(midi->IsListening());
}

TEST_F(ServiceTest, StopListeningDropsWhatArrivesAfterwards) {
    start();
    openBoth();
    midi->StartListening(&rec, &rec);
    midi->StopListening();
    EXPECT_EQ(midi->State(), ServiceState::Open);
    sys->lastInput->arrive(dump(9));
    midi->Poll();
    midi->StartListening(&rec, &rec);
    midi->Poll();
    EXPECT_TRUE(rec.dumps.empty());
}

TEST_F(ServiceTest, SendCarriesTheFirstCompleteMessageAndReportsProgress) {
    start();
    openBoth();
    midi->StartListening(&rec, &rec);
    const MidiBytes bytes = {0x01, 0x02, 0xF0, 0x11, 0x22, 0xF7, 0xF0, 0x33, 0xF7};
    ASSERT_TRUE(midi->StartSend(bytes, &rec));
    EXPECT_TRUE(midi->IsSending());  // sending ends the listen first
    for (int i = 0; i < 5 && midi->IsSending(); ++i) midi->Poll();
    EXPECT_EQ(midi->State(), ServiceState::Open);
    ASSERT_EQ(sys->lastOutput->sent.size(), 1u);
    EXPECT_EQ(sys->lastOutput->sent[0], (MidiBytes{0xF0, 0x11, 0x22, 0xF7}));
    EXPECT_EQ(rec.events, "ppc");
}

TEST_F(ServiceTest, ASendThePortCannotCarryFailsWithTheReason) {
    start();
    openBoth();
    MidiBytes big(5000, 0x10);
    big.front() = 0xF0;
    big.back() = 0xF7;
    ASSERT_TRUE(midi->StartSend(big, &rec));
    midi->Poll();
    EXPECT_EQ(rec.events, "pf");
    EXPECT_EQ(midi->LastError(), "too long");
    EXPECT_EQ(midi->State(), ServiceState::Open);

    rec.events.clear();
    sys->lastOutput->failNext = true;
    ASSERT_TRUE(midi->StartSend(dump(1), &rec));
    for (int i = 0; i < 5 && midi->IsSending(); ++i) midi->Poll();
    EXPECT_EQ(rec.events, "ppf");

    rec.events.clear();
    ASSERT_TRUE(midi->StartSend({0xF0, 0x01, 0x02}, &rec));  // never ends
    midi->Poll();
    EXPECT_EQ(rec.events, "pf");
}

TEST_F(ServiceTest, NoSendWithoutAnAvailableOutput) {
    start();
    EXPECT_FALSE(midi->StartSend(dump(1), &rec));
    openBoth();
    sys->lastOutput->available = false;
    EXPECT_FALSE(midi->StartSend(dump(1), &rec));
    EXPECT_EQ(midi->State(), ServiceState::Open);
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(ServiceTest, ShortMessagesReachEveryListenerInOrderWhileOpen) {
    start();
    openBoth();
    Recorder second;
    midi->AddMessageListener(&rec);
    midi->AddMessageListener(&second);
    sys->lastInput->arrive({0x90, 60, 100});
    sys->lastInput->arrive({0xF8});
    midi->Poll();
    ASSERT_EQ(rec.messages.size(), 2u);
    EXPECT_EQ(rec.messages[0].status, 0x90);
    EXPECT_EQ(rec.messages[0].data1, 60);
    EXPECT_EQ(rec.messages[1].status, 0xF8);
    EXPECT_EQ(second.messages.size(), 2u);
    EXPECT_TRUE(midi->RemoveMessageListener(&second));
    EXPECT_FALSE(midi->RemoveMessageListener(&second));
    sys->lastInput->arrive({0xB0, 1, 2});
    midi->Poll();
    EXPECT_EQ(rec.messages.size(), 3u);
    EXPECT_EQ(second.messages.size(), 2u);
}

// A registration unregisters when it goes, also from inside the listener's
// own call, and does nothing once the service is gone.
TEST_F(ServiceTest, ARegistrationLastsAsLongAsItLives) {
    start();
    openBoth();
    auto heard = [&](std::initializer_list<uint8_t> m) {
        sys->lastInput->arrive(MidiBytes(m));
        midi->Poll();
    };
    {
        auto registration = midi->Register(static_cast<IMessageListener*>(&rec));
        heard({0x90, 60, 100});
        EXPECT_EQ(rec.messages.size(), 1u);
        // Moved, it is still one registration.
        MidiService::Registration moved = std::move(registration);
        registration.Reset();
        heard({0x90, 61, 100});
        EXPECT_EQ(rec.messages.size(), 2u);
    }
    heard({0x90, 62, 100});
    EXPECT_EQ(rec.messages.size(), 2u);

    struct Once : IMessageListener {
        MidiService::Registration registration;
        int calls = 0;
        void OnMidiMessage(uint8_t, int, int) override {
            ++calls;
            registration.Reset();
        }
    } once;
    once.registration = midi->Register(static_cast<IMessageListener*>(&once));
    sys->lastInput->arrive({0xB0, 1, 2});
    sys->lastInput->arrive({0xB0, 1, 3});
    midi->Poll();
    EXPECT_EQ(once.calls, 1);

    auto outliving = midi->Register(static_cast<IMessageListener*>(&rec));
    midi.reset();
    outliving.Reset();
    EXPECT_FALSE(outliving);
}

TEST_F(ServiceTest, AVanishedInputIsReportedByTheHealthCheck) {
    start();
    openBoth();
    int falseAnswers = 0;
    for (int i = 0; i <= MidiService::kHealthCheckPolls; ++i) falseAnswers += !midi->Poll();
    EXPECT_EQ(falseAnswers, 0);
    sys->lastInput->available = false;
    for (int i = 0; i <= MidiService::kHealthCheckPolls; ++i) falseAnswers += !midi->Poll();
    EXPECT_EQ(falseAnswers, 1);
}

TEST_F(ServiceTest, RescanKeepsTheSelectionByPlatformName) {
    start();
    openBoth();
    sys->ins.insert(sys->ins.begin(), "New Keyboard");
    midi->Rescan();
    EXPECT_EQ(midi->InputCount(), 4);
    EXPECT_EQ(midi->SelectedInput(), 1);
    EXPECT_EQ(midi->InputName(), "TaNGRA QV: Port 2");
    EXPECT_EQ(midi->OutputName(), "TaNGRA QV: Port 2");
}

}  // namespace
