#include "Transfers.h"

#include "MidiService.h"
#include "model/BulkDump.h"

bool CServiceLink::StartListening(ISysExListener* sysEx, IProgressListener* progress) {
    return service.StartListening(sysEx, progress);
}

void CServiceLink::StopListening() { service.StopListening(); }

bool CServiceLink::StartSend(const MidiBytes& bytes, IProgressListener* progress) {
    return service.StartSend(bytes, progress);
}

bool CServiceLink::IsSending() const { return service.IsSending(); }

bool CServiceLink::IsListening() const { return service.IsListening(); }

bool CServiceLink::HasInput() const { return service.IsInputSelected(); }

bool CServiceLink::HasOutput() const { return service.IsOutputSelected(); }

void CServiceLink::Kick() {
    if (service.IsSending()) service.Poll();
}

// ---- CPacedSender ----

CPacedSender::CPacedSender(ITransferLink& link, std::vector<MidiBytes> messages, std::chrono::milliseconds pause,
                           ITransferObserver* observer)
    : link(link), messages(std::move(messages)), pause(pause), observer(observer) {}

CPacedSender::~CPacedSender() {
    // The service must not call back into a sender that is gone: let a send
    // still in flight report back first (it takes a few milliseconds).
    const auto until = TransferClock::now() + std::chrono::seconds(2);
    while (inFlight && link.IsSending() && TransferClock::now() < until) link.Kick();
}

bool CPacedSender::Start() {
    sent = 0;
    portTimes.clear();
    nextAt.reset();
    running = true;
    if (messages.empty()) {
        finish(TransferEnd::Completed);
        return true;
    }
    sendNext();
    return sent > 0;
}

void CPacedSender::sendNext() {
    nextAt.reset();
    sendStartedAt = TransferClock::now();
    if (!link.StartSend(messages[static_cast<size_t>(sent)], this)) {
        finish(TransferEnd::CannotStart);
        return;
    }
    inFlight = true;
    ++sent;
    if (observer) observer->OnTransferStep(sent, Total());
    // Hand the message to the port now rather than at the next idle poll:
    // every poll interval saved here is saved once per message.
    if (running) link.Kick();
}

void CPacedSender::Cancel() {
    if (!running) return;
    finish(TransferEnd::Cancelled);
}

std::optional<TransferClock::duration> CPacedSender::TimeToNextStep(TransferClock::time_point now) const {
    if (!running || !nextAt) return std::nullopt;
    return *nextAt > now ? *nextAt - now : TransferClock::duration::zero();
}

void CPacedSender::Advance(TransferClock::time_point now) {
    if (!running || !nextAt || now < *nextAt) return;
    sendNext();
}

void CPacedSender::OnComplete() {
    inFlight = false;
    if (!running) return;
    portTimes.push_back(TransferClock::now() - sendStartedAt);
    if (sent >= Total()) {
        finish(TransferEnd::Completed);
        return;
    }
    nextAt = TransferClock::now() + pause;
    if (observer) observer->OnTransferPause(pause);
}

void CPacedSender::OnFailed() {
    inFlight = false;
    if (running) finish(TransferEnd::Failed);
}

void CPacedSender::OnWaiting() {
    if (running && observer) observer->OnTransferWaiting();
}

void CPacedSender::finish(TransferEnd end) {
    running = false;
    nextAt.reset();
    if (observer) observer->OnTransferEnded(end);
}

// ---- CBulkReceiver ----

CBulkReceiver::CBulkReceiver(ITransferLink& link, IBulkDump& dump, ITransferObserver* observer)
    : link(link), dump(dump), observer(observer) {}

CBulkReceiver::~CBulkReceiver() {
    if (running) link.StopListening();
}

bool CBulkReceiver::Start() {
    counter = 0;
    if (!link.StartListening(this, this)) {
        running = false;
        return false;
    }
    running = true;
    return true;
}

void CBulkReceiver::Cancel() {
    if (!running) return;
    link.StopListening();
    dump.SetHasContents(false);
    finish(TransferEnd::Cancelled);
}

void CBulkReceiver::OnSysExReceived(const MidiBytes& bytes) {
    if (!running) return;
    auto tpl = dump.CreateEntryTemplate();
    size_t position = 0;
    if (!tpl->load(ByteSequence(bytes), position)) {
        dump.SetHasContents(false);
        finish(TransferEnd::BadDump);
        return;
    }
    dump.SetEntry(*tpl, counter);
    ++counter;
    if (observer) observer->OnTransferStep(counter, dump.GetCount());
    if (!running) return;  // the observer cancelled
    if (counter >= dump.GetCount()) {
        dump.SetHasContents(true);
        finish(TransferEnd::Completed);
        return;
    }
    if (!link.StartListening(this, this)) {
        dump.SetHasContents(false);
        finish(TransferEnd::CannotStart);
    }
}

void CBulkReceiver::OnWaiting() {
    if (running && observer) observer->OnTransferWaiting();
}

void CBulkReceiver::finish(TransferEnd end) {
    running = false;
    if (observer) observer->OnTransferEnded(end);
}

// ---- helpers ----

std::chrono::milliseconds BulkSendPause(int deviceKind) {
    return std::chrono::milliseconds(deviceKind == 2 ? 500 : 1000);
}

std::vector<MidiBytes> BulkDumpMessages(const IBulkDump& dump) {
    std::vector<MidiBytes> out;
    out.reserve(static_cast<size_t>(dump.GetCount()));
    for (int i = 0; i < dump.GetCount(); ++i) out.push_back(dump.GetEntry(i).save().vector());
    return out;
}
