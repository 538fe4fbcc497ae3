#pragma once
// The MIDI port layer: one input and one output port of the platform's MIDI
// system, and the list of ports it offers.
//
// Threads: the platform calls `Input::Receive` on its own thread; it only
// assembles SysEx and pushes into the two rings. Everything else runs on the
// GUI thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "MidiMonitor.h"
#include "MidiTypes.h"
#include "Rings.h"
#include "SysExAssembler.h"

namespace MIDI {

// Raised by the platform wrappers when a port cannot be opened; the system
// below turns it into a false answer with the text.
class PairlinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Input {
public:
    // `maxSysExSize`: the longest SysEx message taken (tests choose a small one).
    explicit Input(size_t maxSysExSize = SysExAssembler::kMaxMessageSize) : assembler(maxSysExSize) {}
    virtual ~Input() = default;

    bool HasMessage() const { return !messages.empty(); }
    bool PopMessage(ShortMessage& out) { return messages.pop(out); }
    bool HasSysEx() const { return !sysex.empty(); }
    bool PopSysEx(MidiBytes& out) { return sysex.pop(out); }
    void DiscardSysEx() { sysex.discard(); }
    // Messages lost: rings full, or a SysEx message longer than any dump.
    size_t DroppedCount() const { return messages.droppedCount() + sysex.droppedCount() + OverlongSysExCount(); }
    // SysEx messages dropped because they grew past the longest message taken.
    size_t OverlongSysExCount() const { return overlongSysEx.load(std::memory_order_relaxed); }
    // When the last byte of the newest complete SysEx message arrived.
    std::chrono::steady_clock::time_point LastSysExAt() const {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastSysExTicks.load()));
    }

    // The monitor tap: while it is on, every incoming message (short,
    // real-time and complete SysEx) is also queued, with its arrival time, for
    // the monitor, apart from the rings the transfers read.
    void SetMonitoring(bool on);
    // Room for most of a second of a dense stream between two polls.
    static constexpr int kMonitorSlots = 8192;
    bool IsMonitoring() const { return monitoring.load(std::memory_order_relaxed); }
    bool PopMonitored(MonitorEvent& out) { return monitored.pop(out); }
    size_t MonitorDroppedCount() const { return monitored.droppedCount(); }

    // Whether the platform still offers the port.
    virtual bool IsAvailable() = 0;
    virtual std::string PlatformName() const = 0;

    // The platform thread's entry: one piece of incoming data. SysEx bytes
    // (possibly split across pieces) are assembled into whole messages; any
    // other status starts a short message. Real-time bytes (0xF8 and up) may
    // arrive anywhere, also in the middle of a SysEx message: each is a short
    // message of its own and leaves the SysEx bytes around it alone.
    void Receive(const uint8_t* bytes, size_t count);

    // Called on the platform thread after data has been queued, so that a
    // resting GUI thread can wake at once instead of polling fast. The
    // function must be safe to call from any thread; null turns it off.
    static void SetArrivalNotifier(void (*notify)());

private:
    void receivePiece(const uint8_t* bytes, size_t count);

    SysExAssembler assembler;
    MessageRing messages;
    SysExQueue sysex;
    std::atomic<std::chrono::steady_clock::rep> lastSysExTicks{0};
    SingleWriterRing<MonitorEvent, kMonitorSlots> monitored;
    std::atomic<bool> monitoring{false};
    std::atomic<size_t> overlongSysEx{0};
};

enum class SendState { Idle, Pending, Done, Failed };

class Output {
public:
    virtual ~Output() = default;

    // Starts sending one complete message; false when it cannot be sent at
    // all (too long for the port, port gone, platform refused).
    virtual bool BeginSend(const MidiBytes& message) = 0;
    // Where the message started by BeginSend stands. Pending while it is
    // waiting for the port to settle or still travelling.
    virtual SendState PollSend() = 0;
    // Sends and waits until the platform has carried the message (at most
    // `timeout`); false on failure.
    bool SendLong(const MidiBytes& message, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    virtual bool SendShort(ShortMessage m) = 0;

    virtual bool IsAvailable() = 0;
    virtual std::string PlatformName() const = 0;
    // The longest message the port carries in one piece.
    virtual size_t MaxMessageSize() const = 0;
    const std::string& LastError() const { return lastError; }

protected:
    std::string lastError;
};

// The platform's MIDI system: which ports exist, and opening them by their
// platform name. Tests put a fake of their own in its place.
class ISystem {
public:
    virtual ~ISystem() = default;
    virtual std::vector<std::string> InputNames() = 0;
    virtual std::vector<std::string> OutputNames() = 0;
    struct PortLists {
        std::vector<std::string> inputs, outputs;
    };
    // Both directions with one question to the system where it can answer
    // so (one JACK client, one connection attempt when no server runs).
    virtual PortLists ListPorts() { return {InputNames(), OutputNames()}; }
    // Null with `error` set when the port cannot be opened; never throws.
    virtual std::shared_ptr<Input> OpenInput(const std::string& platformName, std::string& error) = 0;
    virtual std::shared_ptr<Output> OpenOutput(const std::string& platformName, std::string& error) = 0;
};

// The platform ports through RtMidi: the ALSA sequencer and JACK, whichever
// of them works on this machine (both when both do). The editor's own client
// ports are never listed.
std::unique_ptr<ISystem> CreatePlatformSystem();

// The client name under which the editor's ports appear to other programs.
extern const char* const kClientName;

}  // namespace MIDI
