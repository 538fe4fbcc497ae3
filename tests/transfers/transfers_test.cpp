// Bulk and OS transfers against a stand-in for the MIDI service: pacing,
// cancel, failures, and the receive order.
#include <gtest/gtest.h>

#include <thread>

#include "midi/Transfers.h"
#include "model/BulkDump.h"
#include "model/TaNGRAQVTemplate.h"

using namespace std::chrono_literals;

namespace {
// Stands in for the MIDI service: a send "reaches the port" when pumped
// after its moment; listens are answered by `deliver`.
class FakeLink : public ITransferLink {
public:
    bool StartListening(ISysExListener* s, IProgressListener* p, const MidiBytes& h) override {
        if (!inputOpen) return false;
        ++listens;
        sysEx = s;
        progress = p;
        header = h;
        return true;
    }
    void StopListening() override {
        ++stops;
        sysEx = nullptr;
        progress = nullptr;
    }
    bool StartSend(const MidiBytes& bytes, IProgressListener* p, TransferClock::time_point notBefore) override {
        if (!outputOpen || pending) return false;
        started.push_back({bytes, notBefore, TransferClock::now()});
        pending = p;
        return true;
    }
    bool CancelSend(IProgressListener* p) override {
        if (pending != p) return false;
        pending = nullptr;
        ++cancelled;
        return true;
    }
    TransferClock::time_point LastDeliveredAt() const override { return deliveredAt; }
    bool IsSending() const override { return pending != nullptr; }
    bool IsListening() const override { return sysEx != nullptr; }
    bool HasInput() const override { return inputOpen; }
    bool HasOutput() const override { return outputOpen; }
    void Kick() override { pump(); }
    // The port: the pending message goes out once its moment has come.
    void pump() {
        if (holdSends || !pending || TransferClock::now() < started.back().notBefore) return;
        IProgressListener* p = pending;
        pending = nullptr;
        if (failNext) {
            p->OnFailed();
            return;
        }
        deliveredAt = TransferClock::now();
        deliveries.push_back(deliveredAt);
        p->OnComplete();
    }
    // The unit sends one message while the service listens.
    void deliver(const MidiBytes& bytes) {
        ASSERT_NE(sysEx, nullptr) << "nobody listens";
        ISysExListener* l = sysEx;
        sysEx = nullptr;
        progress = nullptr;
        l->OnSysExReceived(bytes);
    }
    // The input goes away during a listen.
    void loseInput() {
        ASSERT_NE(progress, nullptr) << "nobody listens";
        IProgressListener* p = progress;
        sysEx = nullptr;
        progress = nullptr;
        p->OnFailed();
    }

    struct Sent {
        MidiBytes bytes;
        TransferClock::time_point notBefore, handedAt;
    };
    std::vector<Sent> started;
    IProgressListener* pending = nullptr;
    ISysExListener* sysEx = nullptr;
    IProgressListener* progress = nullptr;
    MidiBytes header;
    TransferClock::time_point deliveredAt;
    std::vector<TransferClock::time_point> deliveries;
    bool inputOpen = true, outputOpen = true, holdSends = false, failNext = false;
    int listens = 0, stops = 0, cancelled = 0;
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

// Polls the stand-in as a host would, until the sender is done.
void runToEnd(CPacedSender& s, FakeLink& link) {
    while (s.IsRunning()) {
        link.pump();
        std::this_thread::sleep_for(1ms);
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

TEST(PacedSender, EachMessageGoesOutThePauseAfterThePreviousReachedThePort) {
    FakeLink link;
    Recorder rec;
    CPacedSender s(link, messages(6), 30ms, &rec);
    ASSERT_TRUE(s.Start());
    EXPECT_EQ(link.started[0].notBefore, TransferClock::time_point{});  // the first at once
    runToEnd(s, link);
    const auto& delivered = link.deliveries;
    ASSERT_EQ(link.started.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(link.started[i].bytes, messages(6)[i]);
    // Each later message is handed over at once, with its moment: the
    // previous delivery plus the pause, to the tick.
    ASSERT_EQ(delivered.size(), 6u);
    for (size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(link.started[i].notBefore, delivered[i - 1] + 30ms) << i;
        EXPECT_LT(link.started[i].handedAt - delivered[i - 1], 5ms) << i;
    }
    EXPECT_EQ(s.DeliveryTimes(), delivered);
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Completed});
    ASSERT_EQ(rec.steps.size(), 6u);
    EXPECT_EQ(rec.steps.back(), std::make_pair(6, 6));
    EXPECT_EQ(s.Delivered(), 6);
}

TEST(PacedSender, NothingFollowsASendThatHasNotReachedThePort) {
    FakeLink link;
    link.holdSends = true;
    Recorder rec;
    CPacedSender s(link, messages(2), 10ms, &rec);
    ASSERT_TRUE(s.Start());
    std::this_thread::sleep_for(20ms);
    link.pump();
    EXPECT_EQ(link.started.size(), 1u);
    EXPECT_TRUE(s.IsRunning());
    link.holdSends = false;
    runToEnd(s, link);
    EXPECT_EQ(link.started.size(), 2u);
}

TEST(PacedSender, CancelDuringAPauseTakesBackTheWaitingMessage) {
    FakeLink link;
    Recorder rec;
    CPacedSender s(link, messages(40), 500ms, &rec);
    ASSERT_TRUE(s.Start());  // the first goes out at once...
    ASSERT_EQ(link.started.size(), 2u);  // ...and the second waits for its moment
    ASSERT_NE(link.pending, nullptr);
    // Shown as sent only from its moment on.
    link.pending->OnProgress();
    EXPECT_EQ(rec.steps, (std::vector<std::pair<int, int>>{{1, 40}}));
    const auto before = TransferClock::now();
    s.Cancel();
    EXPECT_LT(TransferClock::now() - before, 5ms);
    EXPECT_FALSE(s.IsRunning());
    EXPECT_EQ(link.cancelled, 1);
    EXPECT_EQ(link.pending, nullptr);
    EXPECT_EQ(s.Delivered(), 1);
    EXPECT_EQ(s.Sent(), 1);
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Cancelled});
}

TEST(PacedSender, DestroyedAtAnyMomentItWaitsForNothingAndHearsNothing) {
    FakeLink link;
    link.holdSends = true;  // the port is slow with the first message
    Recorder rec;
    const auto before = TransferClock::now();
    {
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
    }
    EXPECT_LT(TransferClock::now() - before, 5ms);
    EXPECT_EQ(link.pending, nullptr);  // forgotten: a late report reaches nobody
    EXPECT_EQ(link.cancelled, 1);
    EXPECT_EQ(link.started.size(), 1u);
    EXPECT_TRUE(rec.ends.empty());
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
        link.holdSends = true;
        Recorder rec;
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
        link.holdSends = false;
        link.pump();  // the first arrives
        link.failNext = true;
        runToEnd(s, link);
        EXPECT_EQ(link.started.size(), 2u);
        EXPECT_EQ(s.Delivered(), 1);
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Failed});
    }
    {
        FakeLink link;
        link.holdSends = true;
        Recorder rec;
        CPacedSender s(link, messages(3), 10ms, &rec);
        ASSERT_TRUE(s.Start());
        link.outputOpen = false;  // the device went away before the next message
        link.holdSends = false;
        runToEnd(s, link);
        EXPECT_EQ(s.Delivered(), 1);
        EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::CannotStart});
    }
}

TEST(PacedSender, AMessageNoPortCarriesInOnePieceRefusesTheWholeSequence) {
    FakeLink link;
    Recorder rec;
    std::vector<MidiBytes> image = messages(3);
    image[1].assign(20000, 0x11);
    image[1].front() = 0xF0;
    image[1].back() = 0xF7;
    CPacedSender s(link, image, 100ms, &rec);
    EXPECT_FALSE(s.Start());
    EXPECT_TRUE(link.started.empty());
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::Unsendable});
    EXPECT_NE(s.Problem().find("message 2 of 3 is 20000 bytes long"), std::string::npos) << s.Problem();
    EXPECT_FALSE(s.IsRunning());
}

TEST(UnsendableMessage, NamesTheFirstMessageLongerThanTheOutputCarries) {
    std::vector<MidiBytes> image(3, MidiBytes(400, 0x11));
    EXPECT_EQ(UnsendableMessage(image), "");
    image[1].resize(20000);
    EXPECT_EQ(UnsendableMessage(image),
              "message 2 of 3 is 20000 bytes long; the MIDI output carries at most 4352 bytes in one piece");
    image[1].resize(kLongestSentMessage);
    EXPECT_EQ(UnsendableMessage(image), "");
    EXPECT_NE(UnsendableMessage(image, 1000), "");
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
    // Only the unit's own dumps: its manufacturer, family and device bytes.
    EXPECT_EQ(link.header, (MidiBytes{0xF0, 0x00, 0x20, 0x29, 0x02, 0x03}));
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
        // The unit's header, but no template.
        link.deliver({0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x00, 0x01, 0x02, 0xF7});
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

TEST(BulkReceiver, AnInputThatGoesAwayKeepsWhatArrived) {
    FakeLink link;
    Recorder rec;
    Dump dump;
    CBulkReceiver r(link, dump, &rec);
    ASSERT_TRUE(r.Start());
    for (int i = 0; i < 3; ++i) link.deliver(templateBytes("T" + std::to_string(i), i));
    link.loseInput();
    EXPECT_FALSE(r.IsRunning());
    EXPECT_EQ(rec.ends, std::vector<TransferEnd>{TransferEnd::PortLost});
    EXPECT_EQ(r.Received(), 3);
    EXPECT_TRUE(dump.HasContents());
    EXPECT_EQ(dump.GetEntry(2).displayName(), "Unknown - T2");
    EXPECT_EQ(dump.GetEntry(3).displayName(), Dump().GetEntry(3).displayName());
}

TEST(BulkSendPause, ByDeviceKind) {
    EXPECT_EQ(BulkSendPause(2), 500ms);
    EXPECT_EQ(BulkSendPause(0), 1000ms);
    EXPECT_EQ(BulkSendPause(4), 1000ms);
}
