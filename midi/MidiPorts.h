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
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // GUI thread.
    bool HasMessage() const { return !messages.empty(); }
    bool PopMessage(ShortMessage& out) { return messages.pop(out); }
    bool HasSysEx() const { return !sysex.empty(); }
    bool PopSysEx(MidiBytes& out) { return sysex.pop(out); }
    void DiscardSysEx() { sysex.discard(); }
    // Messages lost: rings full, a SysEx message longer than any dump, or one
    // cut off by the next status byte.
    size_t DroppedCount() const {
        return messages.droppedCount() + sysex.droppedCount() + OverlongSysExCount() + UnterminatedSysExCount();
    }
    // SysEx messages dropped because they grew past the longest message taken.
    size_t OverlongSysExCount() const { return overlongSysEx.load(std::memory_order_relaxed); }
    // SysEx messages dropped because a status byte came before their 0xF7.
    size_t UnterminatedSysExCount() const { return unterminatedSysEx.load(std::memory_order_relaxed); }
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

    // Whether the platform still offers the port (and it is still connected).
    virtual bool IsAvailable() = 0;
    virtual std::string PlatformName() const = 0;

    // The platform thread's entry: one piece of incoming data. SysEx bytes
    // (possibly split across pieces) are assembled into whole messages; any
    // other status starts a short message. Real-time bytes (0xF8 and up) may
    // arrive anywhere, also in the middle of a SysEx message: each is a short
    // message of its own and leaves the SysEx bytes around it alone.
    // Never allocates, never blocks: safe on a realtime thread.
    void Receive(const uint8_t* bytes, size_t count) noexcept;

    // Called after data has been queued, so that a resting GUI thread can wake
    // at once instead of polling fast. It runs on a thread of its own (never
    // on the platform's MIDI thread), so it may allocate or take locks; null
    // turns it off.
    static void SetArrivalNotifier(void (*notify)());

private:
    void receivePiece(const uint8_t* bytes, size_t count) noexcept;
    void noteAssemblerCounts() noexcept;

    SysExAssembler assembler;
    MessageRing messages;
    SysExRing sysex;
    std::atomic<std::chrono::steady_clock::rep> lastSysExTicks{0};
    SingleWriterRing<MonitorEvent, kMonitorSlots> monitored;
    std::atomic<bool> monitoring{false};
    std::atomic<size_t> overlongSysEx{0};
    std::atomic<size_t> unterminatedSysEx{0};
};

enum class SendState { Idle, Pending, Done, Failed };

class Output {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~Output() = default;

    // Starts sending one complete message; false when it cannot be sent at
    // all (too long for the port, port gone, platform refused). With
    // `notBefore` the message goes out at that moment, not earlier (to the
    // frame on ports that carry time stamps), so that a pause between two
    // messages can be kept exactly without waking the caller at its end.
    virtual bool BeginSend(const MidiBytes& message, Clock::time_point notBefore) = 0;
    bool BeginSend(const MidiBytes& message) { return BeginSend(message, Clock::time_point{}); }
    // Where the message started by BeginSend stands. Pending while it waits
    // for its moment or for the port, or is still travelling.
    virtual SendState PollSend() = 0;
    // Takes back a message that has not gone out yet; true when it was taken
    // back (nothing of it reaches the port). A message on its way is not.
    virtual bool CancelSend() = 0;
    // When the last message reported Done reached the port: the moment of its
    // event on a time-stamped port, else when it was handed over.
    Clock::time_point DeliveredAt() const { return deliveredAt; }
    // Sends and waits until the platform has carried the message (at most
    // `timeout`); false on failure.
    bool SendLong(const MidiBytes& message, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    virtual bool SendShort(ShortMessage m) = 0;

    virtual bool IsAvailable() = 0;
    virtual std::string PlatformName() const = 0;
    // The longest message the port carries in one piece (at most
    // kLongestSentMessage).
    virtual size_t MaxMessageSize() const = 0;
    const std::string& LastError() const { return lastError; }

protected:
    // Whether `message` can go out on this port at all; sets lastError when
    // not (empty, or longer than the port carries).
    bool fitsThePort(const MidiBytes& message);

    std::string lastError;
    Clock::time_point deliveredAt;
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

// The platform ports: the ALSA sequencer (through RtMidi) and JACK (one JACK
// client of the editor's own for both ports), whichever of them works on
// this machine (both when both do). The editor's own ports are never listed.
// They live in a module (tqv-midi-ports.so) opened here; when it cannot be
// opened the system has no ports, as a machine without MIDI, and every
// attempt to open one (and a line on stderr) gives the file and the reason.
std::unique_ptr<ISystem> CreatePlatformSystem();

// The client name under which the editor's ports appear to other programs.
extern const char* const kClientName;
// Whether a listed port is one of the editor's own (never offered).
inline bool IsOwnPort(const std::string& name) { return name.rfind(kClientName, 0) == 0; }

}  // namespace MIDI
