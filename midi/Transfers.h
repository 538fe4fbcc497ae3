#pragma once
// Multi-message transfers with the unit: a bulk dump received template by
// template, and a sequence of messages (bulk dump, OS image) sent with a fixed
// pause after each completed send.
//
// Nothing here waits: the host drives a transfer by polling the MIDI service
// and calling `Advance` when `TimeToNextStep` says a step is due (a GUI timer,
// or the command-line tool's loop), so a window stays responsive during the
// pauses and Cancel takes effect at once.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MidiTypes.h"

class IBulkDump;
class MidiService;

using TransferClock = std::chrono::steady_clock;

// What a transfer needs from the MIDI service.
class ITransferLink {
public:
    virtual ~ITransferLink() = default;
    virtual bool StartListening(ISysExListener* sysEx, IProgressListener* progress) = 0;
    virtual void StopListening() = 0;
    virtual bool StartSend(const MidiBytes& bytes, IProgressListener* progress) = 0;
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
    bool StartListening(ISysExListener* sysEx, IProgressListener* progress) override;
    void StopListening() override;
    bool StartSend(const MidiBytes& bytes, IProgressListener* progress) override;
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
    BadDump,      // a received message was not a template
};

class ITransferObserver {
public:
    virtual ~ITransferObserver() = default;
    // `done` messages of `total` have been sent or received.
    virtual void OnTransferStep(int done, int total) = 0;
    virtual void OnTransferEnded(TransferEnd end) = 0;
    // Called while the transfer waits for the unit; for refreshing displays.
    virtual void OnTransferWaiting() {}
    // A send completed and the next one is due after `pause`: a host with a
    // timer arms it for then and calls Advance.
    virtual void OnTransferPause(TransferClock::duration pause) { (void)pause; }
};

// Sends messages one at a time; the next one starts `pause` after the
// previous send completed.
class CPacedSender : public IProgressListener {
public:
    CPacedSender(ITransferLink& link, std::vector<MidiBytes> messages, std::chrono::milliseconds pause,
                 ITransferObserver* observer);
    ~CPacedSender() override;

    // Sends the first message; false (and OnTransferEnded(CannotStart)) when
    // the output is not there.
    bool Start();
    // Ends the transfer at once, also during a pause. A message already
    // handed to the port is not taken back.
    void Cancel();
    bool IsRunning() const { return running; }
    int Sent() const { return sent; }
    int Total() const { return static_cast<int>(messages.size()); }
    // How long until Advance has something to do; empty while a send is in
    // flight or the transfer is over.
    std::optional<TransferClock::duration> TimeToNextStep(TransferClock::time_point now = TransferClock::now()) const;
    // Sends the next message when its pause is over.
    void Advance(TransferClock::time_point now = TransferClock::now());

    void OnComplete() override;
    void OnFailed() override;
    void OnWaiting() override;

    // How long the port took with each message, from the start of its send
    // to the report that it was delivered.
    const std::vector<TransferClock::duration>& PortTimes() const { return portTimes; }
    std::chrono::milliseconds Pause() const { return pause; }

private:
    void sendNext();
    void finish(TransferEnd end);

    ITransferLink& link;
    std::vector<MidiBytes> messages;
    std::chrono::milliseconds pause;
    ITransferObserver* observer;
    int sent = 0;
    bool running = false;
    bool inFlight = false;
    std::optional<TransferClock::time_point> nextAt;
    TransferClock::time_point sendStartedAt;
    std::vector<TransferClock::duration> portTimes;
};

// Receives a bulk dump: listens again after every template until all
// entries have arrived, filling the dump's entries in arrival order.
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

private:
    void finish(TransferEnd end);

    ITransferLink& link;
    IBulkDump& dump;
    ITransferObserver* observer;
    int counter = 0;
    bool running = false;
};

// The pause after each sent bulk dump entry for a device kind: 500 ms for
// the TaNGRA LuMI QV's kind, 1000 ms for the others.
std::chrono::milliseconds BulkSendPause(int deviceKind);
constexpr std::chrono::milliseconds kOsSendPause{100};

// Every entry's dump bytes, in entry order, as the bulk send passes them.
std::vector<MidiBytes> BulkDumpMessages(const IBulkDump& dump);
