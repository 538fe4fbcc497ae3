#include "Transfers.h"

#include "MidiService.h"
#include "model/BulkDump.h"
#include "model/TemplateParts.h"

bool CServiceLink::StartListening(ISysExListener* sysEx, IProgressListener* progress, const MidiBytes& header) {
    return service.StartListening(sysEx, progress, header);
}

void CServiceLink::StopListening() { service.StopListening(); }

bool CServiceLink::StartSend(const MidiBytes& bytes, IProgressListener* progress, TransferClock::time_point notBefore) {
    return service.StartSend(bytes, progress, notBefore);
}

bool CServiceLink::CancelSend(IProgressListener* progress) { return service.CancelSend(progress); }

TransferClock::time_point CServiceLink::LastDeliveredAt() const { return service.LastDeliveredAt(); }

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
    // A message still waiting for its moment is taken back; one on its way
    // finishes without telling anybody.
    if (inFlight) link.CancelSend(this);
}

bool CPacedSender::Start() {
    sent = 0;
    portTimes.clear();
    deliveries.clear();
    running = true;
    problem = UnsendableMessage(messages);
    if (!problem.empty()) {
        finish(TransferEnd::Unsendable);
        return false;
    }
    if (messages.empty()) {
        finish(TransferEnd::Completed);
        return true;
    }
    sendNext(TransferClock::time_point{});
    return sent > 0;
}

void CPacedSender::sendNext(TransferClock::time_point notBefore) {
    dueAt = std::max(TransferClock::now(), notBefore);
    if (!link.StartSend(messages[static_cast<size_t>(sent)], this, notBefore)) {
        finish(TransferEnd::CannotStart);
        return;
    }
    inFlight = true;
    ++sent;
    // A message that waits for its moment counts as sent from that moment:
    // until then the display shows the one before.
    stepToReport = notBefore > TransferClock::now();
    if (!stepToReport && observer) observer->OnTransferStep(sent, Total());
    // The first message goes to the port now rather than at the next poll;
    // the others have their moment and go out then, however late the poll.
    if (running && notBefore == TransferClock::time_point{}) link.Kick();
}

void CPacedSender::Cancel() {
    if (!running) return;
    if (inFlight && link.CancelSend(this)) --sent;  // taken back: it never went out
    inFlight = false;
    stepToReport = false;
    finish(TransferEnd::Cancelled);
}

void CPacedSender::reportDueStep() {
    if (!stepToReport || TransferClock::now() < dueAt) return;
    stepToReport = false;
    if (observer) observer->OnTransferStep(sent, Total());
}

void CPacedSender::OnProgress() {
    if (running) reportDueStep();
}

void CPacedSender::OnComplete() {
    inFlight = false;
    if (!running) return;
    reportDueStep();
    portTimes.push_back(TransferClock::now() - dueAt);
    const TransferClock::time_point delivered = link.LastDeliveredAt();
    deliveries.push_back(delivered);
    if (sent >= Total()) {
        finish(TransferEnd::Completed);
        return;
    }
    // The pause counts from the moment the message reached the port.
    sendNext(delivered + pause);
}

void CPacedSender::OnFailed() {
    inFlight = false;
    stepToReport = false;
    if (running) finish(TransferEnd::Failed);
}

void CPacedSender::OnWaiting() {
    if (running && observer) observer->OnTransferWaiting();
}

void CPacedSender::finish(TransferEnd end) {
    running = false;
    if (observer) observer->OnTransferEnded(end);
}

// ---- CBulkReceiver ----

CBulkReceiver::CBulkReceiver(ITransferLink& link, IBulkDump& dump, ITransferObserver* observer)
    : link(link), dump(dump), observer(observer), header(UnitDumpHeader(*dump.CreateEntryTemplate())) {}

CBulkReceiver::~CBulkReceiver() {
    if (running) link.StopListening();
}

bool CBulkReceiver::Start() {
    counter = 0;
    if (!link.StartListening(this, this, header)) {
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
    if (!link.StartListening(this, this, header)) {
        dump.SetHasContents(false);
        finish(TransferEnd::CannotStart);
    }
}

void CBulkReceiver::OnWaiting() {
    if (running && observer) observer->OnTransferWaiting();
}

void CBulkReceiver::OnFailed() {
    if (!running) return;
    // The input went away: keep what arrived.
    if (counter > 0) dump.SetHasContents(true);
    finish(TransferEnd::PortLost);
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

namespace {
// Header bytes 1 to 3 are the manufacturer, 4 the family, 5 the device.
constexpr size_t kMakerHeaderBytes = 4;
constexpr size_t kUnitHeaderBytes = 6;
}  // namespace

MidiBytes UnitDumpHeader(const CEditorTemplate& kind) {
    const auto& h = kind.header().bytes;
    return MidiBytes(h.begin(), h.begin() + kUnitHeaderBytes);
}

MidiBytes MakerDumpHeader(const CEditorTemplate& kind) {
    const auto& h = kind.header().bytes;
    return MidiBytes(h.begin(), h.begin() + kMakerHeaderBytes);
}

std::string UnsendableMessage(const std::vector<MidiBytes>& messages, size_t longest) {
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i].size() > longest)
            return "message " + std::to_string(i + 1) + " of " + std::to_string(messages.size()) + " is " +
                   std::to_string(messages[i].size()) + " bytes long; the MIDI output carries at most " +
                   std::to_string(longest) + " bytes in one piece";
    return {};
}
