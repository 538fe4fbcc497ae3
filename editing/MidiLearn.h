#pragma once
// MIDI learn: the user sends a message from a controller and the control
// being edited takes its type, number and channel.
//
// CMidiLearnAssembler turns the stream of short messages into the one message
// a user means. Parameter numbers arrive as several Control Changes: CC 99 and
// 98 (NRPN MSB and LSB) or CC 101 and 100 (RPN MSB and LSB) select the
// parameter, then CC 6 (data entry MSB), 38 (data entry LSB), 96 or 97
// (increment, decrement) carry its value. The rules:
//   - The selection is kept per channel, so streams on several channels may
//     interleave.
//   - The first data entry after a complete selection (both halves) is learned
//     as NRPN or RPN; further data entries for the same selection (the usual
//     CC 38 after CC 6) are swallowed.
//   - A data entry CC counts as a plain CC only when no selection, complete or
//     half, is pending on its channel. A selection expires
//     kSelectionTimeoutMs after its last message, so a lone CC 6 sent a while
//     after a parameter change is learned as CC 6.
//   - CC 98 to 101 only select parameters; they are never learned as plain
//     CCs. RPN 127/127 (the "null" parameter) clears the selection.
//   - Note On with velocity 0 is a note released and is ignored, as are Note
//     Off, aftertouch and system messages.
// CC on its own, Note On, Program Change and Pitch Bend are learned at once.
#include <array>
#include <memory>
#include <optional>
#include <string>

class CPlacedControl;
class ICommand;
class IDeviceProfile;
struct CTemplateGroupData;

struct LearnedMessage {
    enum class Kind { CC, NRPN, RPN, NoteOn, ProgramChange, PitchBend };
    Kind kind = Kind::CC;
    int number = 0;   // CC number, note, program; NRPN and RPN: MSB * 128 + LSB
    int channel = 0;  // 0..15
    int msb() const { return (number >> 7) & 0x7F; }
    int lsb() const { return number & 0x7F; }
    // "CC 74", "NRPN 1/2" (MSB/LSB), "Note On C3", "Program Change 5", "Pitch Bend".
    std::string describe() const;
    bool operator==(const LearnedMessage& o) const {
        return kind == o.kind && number == o.number && channel == o.channel;
    }
};

class CMidiLearnAssembler {
public:
    static constexpr long long kSelectionTimeoutMs = 1000;

    // One short message as received (status with channel, two data bytes;
    // unused ones 0), at `nowMs` on any steady clock. Answers the message
    // learned, if this one completes one.
    std::optional<LearnedMessage> Feed(int status, int data1, int data2, long long nowMs);
    // Forgets every pending selection.
    void Reset();

private:
    enum class Selecting { Idle, NRPN, RPN };
    struct ChannelState {
        Selecting selecting = Selecting::Idle;
        int msb = -1, lsb = -1;
        bool learned = false;  // its first data entry has been answered
        long long last = 0;
    };
    std::optional<LearnedMessage> ControlChange(int channel, int number, int value, long long nowMs);
    std::array<ChannelState, 16> channels{};
};

// What learning a message does to a control.
struct LearnResult {
    std::unique_ptr<ICommand> command;  // one history entry; null when refused or nothing changes
    std::string refusal;                // why the control cannot take the message; empty when it can
    int controlType = 0;                // the type the control gets
};

// Builds the one command that gives `control` the learned type, number and
// channel, asking `profile` whether the control may hold that type. A Note On
// makes drum pads Drum Note controls and other buttons Note On/Off controls.
// The channel becomes the control's own unless the channel group it follows
// (`groups` of the template; may be null) already sends on that channel.
LearnResult learnAssignment(const CPlacedControl& control, const LearnedMessage& message, const IDeviceProfile& profile,
                            const CTemplateGroupData* groups);
