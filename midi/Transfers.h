#pragma once
// Multi-message transfers with the unit: a bulk dump received template by
// template, and a sequence of messages (bulk dump, OS image) sent with a fixed
// pause after each completed send.
//
// Nothing here waits: the host only polls the MIDI service (the editor's idle
// passes, or the command-line tool's loop). Each message is handed to the
// port as soon as the previous one is done, to go out when its pause is over,
// so the pause is kept to the port's own clock however late the host polls;
// a window stays responsive meanwhile and Cancel takes effect at once.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "MidiTypes.h"

class CEditorTemplate;
class IBulkDump;
class MidiService;

using TransferClock = std::chrono::steady_clock;

// What a transfer needs from the MIDI service.
class ITransferLink {
public:
    virtual ~ITransferLink() = default;
    // Listens for one message that starts with `header`; others are passed over.
    virtual bool StartListening(ISysExListener* sysEx, IProgressListener* progress, const MidiBytes& header) = 0;
    virtual void StopListening() = 0;
    // Sends one message, at `notBefore` at the earliest.
    virtual bool StartSend(const MidiBytes& bytes, IProgressListener* progress, TransferClock::time_point notBefore) = 0;
    // Takes back the send `progress` watches if it has not gone out, and
    // forgets `progress` either way (no further call reaches it); true when
    // it was taken back.
    virtual bool CancelSend(IProgressListener* progress) = 0;
    // When the last completed send reached the port.
    virtual TransferClock::time_point LastDeliveredAt() const = 0;
    // Whether a send that was started has not yet reported back.
    virtual bool IsSending() const = 0;
    virtual bool IsListening() const = 0;
    // Whether an input / output device is chosen.
    virtual bool HasInput() const = 0;
    virtual bool HasOutput() const = 0;
    // Runs the service's pending step now (so a send starts without waiting
    // for the next idle poll).
    virtual void Kick() = 0;
};

// The link over the application's MIDI service.
class CServiceLink : public ITransferLink {
public:
    explicit CServiceLink(MidiService& service) : service(service) {}
    bool StartListening(ISysExListener* sysEx, IProgressListener* progress, const MidiBytes& header) override;
    void StopListening() override;
    bool StartSend(const MidiBytes& bytes, IProgressListener* progress, TransferClock::time_point notBefore) override;
    bool CancelSend(IProgressListener* progress) override;
    TransferClock::time_point LastDeliveredAt() const override;
    bool IsSending() const override;
    bool IsListening() const override;
    bool HasInput() const override;
    bool HasOutput() const override;
    void Kick() override;

private:
    MidiService& service;
};

enum class TransferEnd {
    Completed,
    Cancelled,
    CannotStart,  // the port was not there when a step had to begin
    Failed,       // the port reported a failed send
    BadDump,      // a received message with the unit's header was not a template
    PortLost,     // the input went away during a receive (what arrived is kept)
    Unsendable,   // a message is longer than a port carries in one piece: nothing was sent
};

class ITransferObserver {
public:
    virtual ~ITransferObserver() = default;
    // `done` messages of `total` have been sent or received.
    virtual void OnTransferStep(int done, int total) = 0;
    virtual void OnTransferEnded(TransferEnd end) = 0;
    // Called while the transfer waits for the unit; for refreshing displays.
    virtual void OnTransferWaiting() {}
};

// Sends messages one at a time; each goes out `pause` after the previous
// one reached the port. The sender may be destroyed at any moment: it waits
// for nothing, and nothing calls it afterwards.
class CPacedSender : public IProgressListener {
public:
    CPacedSender(ITransferLink& link, std::vector<MidiBytes> messages, std::chrono::milliseconds pause,
                 ITransferObserver* observer);
    ~CPacedSender() override;

    // Sends the first message; false (and OnTransferEnded(CannotStart)) when
    // the output is not there. A sequence with a message no port carries in
    // one piece is refused whole (Unsendable, see Problem()): half of an OS
    // image would leave the unit waiting for the rest.
    bool Start();
    // Why Start refused the messages; empty otherwise.
    const std::string& Problem() const { return problem; }
    // Ends the transfer at once, also during a pause: a message still waiting
    // for its moment is taken back.
    void Cancel();
    bool IsRunning() const { return running; }
    // Messages handed to the port / known to have reached it.
    int Sent() const { return sent; }
    int Delivered() const { return static_cast<int>(portTimes.size()); }
    int Total() const { return static_cast<int>(messages.size()); }

    void OnProgress() override;
    void OnComplete() override;
    void OnFailed() override;
    void OnWaiting() override;

    // How long the port took with each message, from the moment it was due
    // to the report that it was delivered.
    const std::vector<TransferClock::duration>& PortTimes() const { return portTimes; }
    // When each message reached the port.
    const std::vector<TransferClock::time_point>& DeliveryTimes() const { return deliveries; }
    std::chrono::milliseconds Pause() const { return pause; }

private:
    void sendNext(TransferClock::time_point notBefore);
    void reportDueStep();
    void finish(TransferEnd end);

    ITransferLink& link;
    std::vector<MidiBytes> messages;
    std::chrono::milliseconds pause;
    ITransferObserver* observer;
    int sent = 0;
    bool running = false;
    bool inFlight = false;
    bool stepToReport = false;  // the message in flight waits for its moment
    std::string problem;
    TransferClock::time_point dueAt;
    std::vector<TransferClock::duration> portTimes;
    std::vector<TransferClock::time_point> deliveries;
};

// Receives a bulk dump: listens again after every template until all
// entries have arrived, filling the dump's entries in arrival order.
// Messages without the unit's header (another device on the same input) are
// passed over. If the input goes away, the templates that arrived stay in the
// dump (the rest empty) and it counts as having contents.
class CBulkReceiver : public ISysExListener, public IProgressListener {
public:
    CBulkReceiver(ITransferLink& link, IBulkDump& dump, ITransferObserver* observer);
    ~CBulkReceiver() override;

    bool Start();
    void Cancel();
    bool IsRunning() const { return running; }
    int Received() const { return counter; }

    void OnSysExReceived(const MidiBytes& bytes) override;
    void OnWaiting() override;
    void OnFailed() override;

private:
    void finish(TransferEnd end);

    ITransferLink& link;
    IBulkDump& dump;
    ITransferObserver* observer;
    MidiBytes header;
    int counter = 0;
    bool running = false;
};

// The pause after each sent bulk dump entry for a device kind: 500 ms for
// the TaNGRA LuMI QV's kind, 1000 ms for the others.
std::chrono::milliseconds BulkSendPause(int deviceKind);
constexpr std::chrono::milliseconds kOsSendPause{100};

// Every entry's dump bytes, in entry order, as the bulk send passes them.
std::vector<MidiBytes> BulkDumpMessages(const IBulkDump& dump);

// The first bytes of every dump of a template's kind: 0xF0, manufacturer,
// family and device. A bulk receive takes only messages that start so.
MidiBytes UnitDumpHeader(const CEditorTemplate& kind);
// The 0xF0 and manufacturer part of it: a single listen takes a dump of any
// of the maker's devices (a sibling device's template is converted).
MidiBytes MakerDumpHeader(const CEditorTemplate& kind);

// Why `messages` cannot be sent one message in one piece each, through a port
// that carries at most `longest` bytes at once: which message, and how long;
// empty when every one fits.
std::string UnsendableMessage(const std::vector<MidiBytes>& messages, size_t longest = kLongestSentMessage);
