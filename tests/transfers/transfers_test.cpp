// Bulk and OS transfers against a stand-in for the MIDI service: pacing,
// cancel, failures, and the receive order.
#include <gtest/gtest.h>

#include <thread>

#include "midi/Transfers.h"
#include "model/BulkDump.h"
#include "model/TaNGRAQVTemplate.h"

using namespace std::chrono_literals;

namespace {
class FakeLink : public ITransferLink {
public:
    bool StartListening(ISysExListener* s, IProgressListener* p) override {
        if (!inputOpen) return false;
        ++listens;
        sysEx = s;
        progress = p;
        return true;
    }
    void StopListening() override {
        ++stops;
        sysEx = nullptr;
        progress = nullptr;
    }
    bool StartSend(const MidiBytes& bytes, IProgressListener* p) override {
        if (!outputOpen || pending) return false;
        started.push_back({bytes, TransferClock::now()});
        pending = p;
        return true;
    }
    bool IsSending() const override { return pending != nullptr; }
    bool IsListening() const override { return sysEx != nullptr; }
    bool HasInput() const override { return inputOpen; }
    bool HasOutput() const override { return outputOpen; }
    void Kick() override {
        if (holdSends || !pending) return;
        completePending(!failNext);
    }
    void completePending(bool ok) {
        IProgressListener* p = pending;
        pending = nullptr;
        if (ok) p->OnComplete();
        else p->OnFailed();
    }
    // The unit sends one message while the service listens.
    void deliver(const MidiBytes& bytes) {
        ASSERT_NE(sysEx, nullptr) << "nobody listens";
        ISysExListener* l = sysEx;
        sysEx = nullptr;
        progress = nullptr;
        l->OnSysExReceived(bytes);
    }

    struct Sent {
        MidiBytes bytes;
        TransferClock::time_point at;
    };
    std::vector<Sent> started;
    IProgressListener* pending = nullptr;
    ISysExListener* sysEx = nullptr;
    IProgressListener* progress = nullptr;
    bool inputOpen = true, outputOpen = true, holdSends = false, failNext = false;
    int listens = 0, stops = 0;
};

class Recorder : public ITransferObserver {
public:
    void OnTransferStep(int done, int total) override { steps.push_back({done, total}); }
    void OnTransferEnded(TransferEnd end) override { ends.push_back(end); }
    std::vector<std::pair<int, int>> steps;
    std::vector<TransferEnd> ends;
};

std::vector<MidiBytes> messages(int n) {
    std::vector<MidiBytes> out;
    for (int i = 0; i < n; ++i) out.push_back({0xF0, 0x01, static_cast<uint8_t>(i), 0xF7});
    return out;
}

// Drives a sender as a host would: sleeps until the next step is due.
void runToEnd(CPacedSender& s) {
    while (s.IsRunning()) {
        if (auto wait = s.TimeToNextStep()) std::this_thread::sleep_for(*wait);
        s.Advance();
    }
}

using Dump = CBulkDump<CTaNGRAQVTemplate, 40>;

MidiBytes templateBytes(const std::string& name, int location) {
    CTaNGRAQVTemplate t;
    t.setTemplateName(name);
    t.setLocation(location);
    t.setBulkFlag(true);
    return t.save().vector();
}
}  // namespace

TEST(PacedSender, SendsEveryMessageInOrderWithThePauseAfterEachCompletedSend) {
    FakeLink link;
    Recorder rec;
    CPacedSender s(link, messages(6), 30ms, &rec);
    ASSERT_TRUE(s.Start());
    runToEnd(s);
    ASSERT_EQ(link.started.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(link.started[i].bytes, messages(6)[i]);
    for (size_t i = 1; i < 6; ++i) {
        const auto gap = link.started[i].at - link.started[i - 1].at;
        EXPECT_GE(gap, 30ms) << i;
        EXPECT_LT(gap, 60ms) << i;
    }
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Completed});
    ASSERT_EQ(rec.steps.size(), 6u);
    EXPECT_EQ(rec.steps.back(), std::make_pair(6, 6));
}

TEST(PacedSender, PauseStartsOnlyWhenTheSendHasCompleted) {
    FakeLink link;
    link.holdSends = true;
    Recorder rec;
    CPacedSender s(link, messages(2), 10ms, &rec);
    ASSERT_TRUE(s.Start());
    EXPECT_FALSE(s.TimeToNextStep().has_value());  // nothing due while the send is in flight
    std::this_thread::sleep_for(20ms);
    s.Advance();
    EXPECT_EQ(link.started.size(), 1u);
    link.completePending(true);
    const auto wait = s.TimeToNextStep();
    ASSERT_TRUE(wait.has_value());
    EXPECT_GT(*wait, 5ms);
    s.Advance();
    EXPECT_EQ(link.started.size(), 1u);
}

TEST(PacedSender, CancelEndsAtOnceAlsoDuringAPause) {
    FakeLink link;
    Recorder rec;
    CPacedSender s(link, messages(40), 500ms, &rec);
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.TimeToNextStep().has_value());  // in the pause after the first send
    const auto before = TransferClock::now();
    s.Cancel();
    EXPECT_LT(TransferClock::now() - before, 5ms);
    EXPECT_FALSE(s.IsRunning());
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Cancelled});
    s.Advance(TransferClock::now() + 1s);
    EXPECT_EQ(link.started.size(), 1u);
    EXPECT_FALSE(s.TimeToNextStep().has_value());
}

TEST(PacedSender, CancelWhileASendIsInFlightIgnoresItsLateReport) {
    FakeLink link;
    link.holdSends = true;
    Recorder rec;
    {
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
        s.Cancel();
        link.holdSends = false;  // the port finishes the message it already has
    }  // the sender waits for that report before it goes
    EXPECT_EQ(link.pending, nullptr);
    EXPECT_EQ(link.started.size(), 1u);
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Cancelled});
}

TEST(PacedSender, FailuresEndTheTransfer) {
    {
        FakeLink link;
        link.outputOpen = false;
        Recorder rec;
        CPacedSender s(link, messages(3), 10ms, &rec);
        EXPECT_FALSE(s.Start());
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::CannotStart});
    }
    {
        FakeLink link;
        Recorder rec;
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
        link.failNext = true;
        runToEnd(s);
        EXPECT_EQ(link.started.size(), 2u);
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Failed});
    }
    {
        FakeLink link;
        Recorder rec;
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
        link.outputOpen = false;  // the device went away during the pause
        runToEnd(s);
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::CannotStart});
    }
}

TEST(BulkReceiver, FillsEntriesInArrivalOrderWhateverLocationTheUnitWrote) {
    FakeLink link;
    Recorder rec;
    Dump dump;
    CBulkReceiver r(link, dump, &rec);
    ASSERT_TRUE(r.Start());
    for (int i = 0; i < 40; ++i) link.deliver(templateBytes("T" + std::to_string(i), (i * 7) % 40));
    EXPECT_FALSE(r.IsRunning());
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Completed});
    EXPECT_EQ(link.listens, 40);           // listened again after each template, not after the last
    EXPECT_EQ(link.sysEx, nullptr);
    EXPECT_TRUE(dump.HasContents());
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(dump.GetEntry(i).displayName(), "Unknown - T" + std::to_string(i));
        EXPECT_EQ(dump.GetEntry(i).save()[12], i);
    }
}

TEST(BulkReceiver, ABadMessageOrCancelEndsWithoutContents) {
    {
        FakeLink link;
        Recorder rec;
        Dump dump;
        dump.SetHasContents(true);
        CBulkReceiver r(link, dump, &rec);
        ASSERT_TRUE(r.Start());
        link.deliver(templateBytes("A", 0));
        link.deliver({0xF0, 0x7E, 0x00, 0x06, 0x02, 0xF7});
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::BadDump});
        EXPECT_FALSE(dump.HasContents());
        EXPECT_EQ(link.sysEx, nullptr);
    }
    {
        FakeLink link;
        Recorder rec;
        Dump dump;
        CBulkReceiver r(link, dump, &rec);
        ASSERT_TRUE(r.Start());
        link.deliver(templateBytes("A", 0));
        r.Cancel();
        EXPECT_EQ(link.stops, 1);
        EXPECT_EQ(link.sysEx, nullptr);
        EXPECT_FALSE(dump.HasContents());
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Cancelled});
    }
    {
        FakeLink link;
        link.inputOpen = false;
        Dump dump;
        CBulkReceiver r(link, dump, nullptr);
        EXPECT_FALSE(r.Start());
        EXPECT_FALSE(r.IsRunning());
    }
}

TEST(BulkSendPause, ByDeviceKind) {
    EXPECT_EQ(BulkSendPause(2), 500ms);
    EXPECT_EQ(BulkSendPause(0), 1000ms);
    EXPECT_EQ(BulkSendPause(4), 1000ms);
}
