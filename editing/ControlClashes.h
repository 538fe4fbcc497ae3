#pragma once
// Controls that send the same MIDI message on the same channel and port, so
// that whatever listens there cannot tell them apart.
//
// The same message, by type:
//   CC                   the same controller number;
//   NRPN, RPN            the same kind and the same parameter (MSB and LSB);
//   Note On/Off, Drum    the same note (a drum pad's note is its low value),
//                        so a note button and a drum pad can clash;
//   Program Change       the same program (its low value);
//   Pitch Bend, Aftertouch, Bank Select
//                        any two of the same type;
//   MMC                  the same command to the same device number (MMC has
//                        no channel);
//   SysEx                the same bytes with the value byte at the same place
//                        (no channel).
// A disabled control, one of an unknown type, one without ports and a SysEx
// control with an empty message send nothing and never clash.
// Channel: the one the control sends on, through its channel group (the
// template's common or keyboard channel). Ports: likewise through the port
// group; two controls clash when their port sets share at least one port.
// Controls of one message and channel linked through shared ports form one clash.
#include <array>
#include <optional>
#include <string>
#include <vector>

class CEditorTemplate;
class IDeviceProfile;

// MIDI 1, MIDI 2, USB 1, USB 2, USB 3.
using PortSet = std::array<bool, 5>;

struct SentMessage {
    std::string message;  // names the message: "CC 7", "NRPN MSB 1 LSB 20", "Note 60 (C3)"
    int channel = 0;      // 1..16; 0 for a message without a channel (SysEx, MMC)
    PortSet ports{};
};

// What control `index` sends; nothing when it sends nothing.
std::optional<SentMessage> sentMessage(const CEditorTemplate& tpl, int index);

struct Clash {
    std::string message;
    int channel = 0;
    PortSet ports{};           // the ports on which at least two of the controls send
    std::vector<int> indices;  // ascending
};

// The clashes among the device's own controls (0..lastIndex), ordered by
// their first control.
std::vector<Clash> findClashes(const CEditorTemplate& tpl);

// "MIDI 1, USB 1" with the device's port names ("None" for no port).
std::string portSetText(const IDeviceProfile& profile, const PortSet& ports);
// The short name of port i (0..4): the device's port name without "Port".
std::string portName(const IDeviceProfile& profile, int i);
