#pragma once
// What the MIDI monitor sees of one incoming message: when it arrived and its
// bytes. A long SysEx message keeps only its head and its last byte, so an
// event has a fixed size and the callback thread never allocates for it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MonitorEvent {
    static constexpr size_t kKept = 16;  // a message up to this long is kept whole
    static constexpr size_t kHead = 12;  // of a longer one: its first bytes, then its last

    int64_t timeUs = 0;   // arrival, microseconds since the Unix epoch
    uint32_t length = 0;  // bytes of the whole message
    uint8_t kept = 0;     // bytes held in `bytes`
    std::array<uint8_t, kKept> bytes{};

    bool folded() const { return length > kept; }
    static MonitorEvent make(int64_t timeUs, const uint8_t* data, size_t count) {
        MonitorEvent e;
        e.timeUs = timeUs;
        e.length = static_cast<uint32_t>(count);
        if (count <= kKept) {
            for (size_t i = 0; i < count; ++i) e.bytes[i] = data[i];
            e.kept = static_cast<uint8_t>(count);
        } else {
            for (size_t i = 0; i < kHead; ++i) e.bytes[i] = data[i];
            e.bytes[kHead] = data[count - 1];
            e.kept = kHead + 1;
        }
        return e;
    }
};

// Told about every message that arrives on the input, whatever else the
// service is doing (listening, sending). Called from the GUI thread's poll.
class IMidiMonitor {
public:
    virtual ~IMidiMonitor() = default;
    virtual void OnMonitoredMessage(const MonitorEvent& event) = 0;
};

enum class MonitorKind {
    NoteOff, NoteOn, PolyAftertouch, ControlChange, ProgramChange, ChannelAftertouch, PitchBend,
    SysEx, Clock, ActiveSensing, Start, Continue, Stop, Reset, TimeCode, SongPosition, SongSelect, TuneRequest,
    Undefined
};

// The groups the monitor's filter shows or hides, as bits.
namespace MonitorGroup {
enum : unsigned {
    Notes = 1u << 0,
    ControlChange = 1u << 1,
    ProgramChange = 1u << 2,
    PitchBend = 1u << 3,
    Aftertouch = 1u << 4,
    SysEx = 1u << 5,
    Clock = 1u << 6,
    ActiveSensing = 1u << 7,
    Other = 1u << 8,
    All = (1u << 9) - 1,
    // Clock and active sensing stream all the time and would bury the rest.
    Default = All & ~(Clock | ActiveSensing),
};
}

MonitorKind KindOf(const MonitorEvent& e);
unsigned GroupOf(MonitorKind kind);
const char* KindName(MonitorKind kind);

// One event as the monitor lists it.
struct MonitorLine {
    std::string time, kind, channel, data;
    // The line as copied to the clipboard: the columns separated by tabs.
    std::string text() const { return time + '\t' + kind + '\t' + channel + '\t' + data; }
};
// Time is local wall-clock time "HH:MM:SS.mmm"; channel "1".."16" for channel
// messages; SysEx data in hex with its length, a long one folded.
MonitorLine FormatMonitorEvent(const MonitorEvent& e);
