#include "editing/MidiLearn.h"

#include "editing/ControlCommands.h"
#include "editing/MetaCommand.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/TemplateParts.h"

std::string LearnedMessage::describe() const {
    switch (kind) {
        case Kind::CC: return "CC " + std::to_string(number);
        case Kind::NRPN: return "NRPN " + std::to_string(msb()) + "/" + std::to_string(lsb());
        case Kind::RPN: return "RPN " + std::to_string(msb()) + "/" + std::to_string(lsb());
        case Kind::NoteOn: return "Note On " + CBaseControlState::noteName(number);
        case Kind::ProgramChange: return "Program Change " + std::to_string(number);
        case Kind::PitchBend: return "Pitch Bend";
    }
    return "";
}

void CMidiLearnAssembler::Reset() { channels.fill(ChannelState{}); }

std::optional<LearnedMessage> CMidiLearnAssembler::Feed(int status, int data1, int data2, long long nowMs) {
    if (status < 0x80 || status > 0xEF || data1 < 0 || data1 > 127 || data2 < 0 || data2 > 127) return std::nullopt;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
        case 0xB0: return ControlChange(channel, data1, data2, nowMs);
        case 0x90:
            if (data2 == 0) return std::nullopt;  // a key released
            return LearnedMessage{LearnedMessage::Kind::NoteOn, data1, channel};
        case 0xC0: return LearnedMessage{LearnedMessage::Kind::ProgramChange, data1, channel};
        case 0xE0: return LearnedMessage{LearnedMessage::Kind::PitchBend, 0, channel};
        default: return std::nullopt;
    }
}

std::optional<LearnedMessage> CMidiLearnAssembler::ControlChange(int channel, int number, int value, long long nowMs) {
    ChannelState& c = channels[static_cast<size_t>(channel)];
    if (c.selecting != Selecting::Idle && nowMs - c.last > kSelectionTimeoutMs) c = ChannelState{};

    auto select = [&](Selecting kind, bool high) -> std::optional<LearnedMessage> {
        // Switching between NRPN and RPN starts a new selection.
        if (c.selecting != kind) c = ChannelState{kind};
        (high ? c.msb : c.lsb) = value;
        c.learned = false;
        c.last = nowMs;
        if (kind == Selecting::RPN && c.msb == 127 && c.lsb == 127) c = ChannelState{};
        return std::nullopt;
    };
    switch (number) {
        case 99: return select(Selecting::NRPN, true);
        case 98: return select(Selecting::NRPN, false);
        case 101: return select(Selecting::RPN, true);
        case 100: return select(Selecting::RPN, false);
        case 6:
        case 38:
        case 96:
        case 97:
            if (c.selecting == Selecting::Idle) break;  // a plain CC
            c.last = nowMs;
            if (c.msb < 0 || c.lsb < 0 || c.learned) return std::nullopt;
            c.learned = true;
            return LearnedMessage{c.selecting == Selecting::NRPN ? LearnedMessage::Kind::NRPN : LearnedMessage::Kind::RPN,
                                  c.msb * 128 + c.lsb, channel};
        default: break;
    }
    return LearnedMessage{LearnedMessage::Kind::CC, number, channel};
}

namespace {
const char* kindText(LearnedMessage::Kind kind) {
    switch (kind) {
        case LearnedMessage::Kind::CC: return "Control Change";
        case LearnedMessage::Kind::NRPN: return "NRPN";
        case LearnedMessage::Kind::RPN: return "RPN";
        case LearnedMessage::Kind::NoteOn: return "Note On";
        case LearnedMessage::Kind::ProgramChange: return "Program Change";
        case LearnedMessage::Kind::PitchBend: return "Pitch Bend";
    }
    return "";
}
}  // namespace

LearnResult learnAssignment(const CPlacedControl& control, const LearnedMessage& message, const IDeviceProfile& profile,
                            const CTemplateGroupData* groups) {
    LearnResult result;
    const CBaseControlState* state = control.GetState();
    const int index = control.GetIndex();
    if (!state) {
        result.refusal = "no control is being edited";
        return result;
    }
    int type = ControlType::Disabled;
    switch (message.kind) {
        case LearnedMessage::Kind::CC: type = ControlType::CC; break;
        case LearnedMessage::Kind::NRPN: type = ControlType::NRPN; break;
        case LearnedMessage::Kind::RPN: type = ControlType::RPN; break;
        case LearnedMessage::Kind::NoteOn:
            type = profile.UsesDrumNotes(index) ? ControlType::DrumNote : ControlType::NoteOnOff;
            break;
        case LearnedMessage::Kind::ProgramChange: type = ControlType::ProgramChange; break;
        case LearnedMessage::Kind::PitchBend: type = ControlType::PitchBend; break;
    }
    result.controlType = type;
    // The profile judges the control as it would be after the change.
    CBaseControlState candidate = *state;
    candidate.setControlType(type, false);
    if (!profile.IsMessageTypeSupported(type) || !profile.CanHoldState(index, candidate)) {
        result.refusal = std::string("this control cannot send ") + kindText(message.kind) + " messages";
        return result;
    }

    auto meta = std::make_unique<CMetaCommand>("Learn " + message.describe());
    if (state->getControlType() != type) meta->AddCommand(std::make_unique<CSetControlTypeCommand>(control, type));
    switch (message.kind) {
        case LearnedMessage::Kind::CC:
            if (state->getLsbNumber() != message.number)
                meta->AddCommand(std::make_unique<CSetMIDIControlLSBNumCommand>(control, message.number));
            break;
        case LearnedMessage::Kind::NRPN:
        case LearnedMessage::Kind::RPN:
            if (state->getMsbNumber() != message.msb())
                meta->AddCommand(std::make_unique<CSetMIDIControlMSBNumCommand>(control, message.msb()));
            if (state->getLsbNumber() != message.lsb())
                meta->AddCommand(std::make_unique<CSetMIDIControlLSBNumCommand>(control, message.lsb()));
            break;
        case LearnedMessage::Kind::NoteOn:
            // A drum pad keeps its note in the low value, other buttons in the LSB.
            if (type == ControlType::DrumNote) {
                if (state->getOffValue() != message.number)
                    meta->AddCommand(std::make_unique<CSetOffValueCommand>(control, message.number));
            } else if (state->getLsbNumber() != message.number) {
                meta->AddCommand(std::make_unique<CSetMIDIControlLSBNumCommand>(control, message.number));
            }
            break;
        case LearnedMessage::Kind::ProgramChange:
            if (state->getOffValue() != message.number)
                meta->AddCommand(std::make_unique<CSetOffValueCommand>(control, message.number));
            break;
        case LearnedMessage::Kind::PitchBend: break;
    }

    const int channel = message.channel + 1;
    int groupChannel = -1;  // the channel the control's group sends on
    if (groups && state->getChannelGroup() == ChannelGroup::Common) groupChannel = groups->commonChannel;
    if (groups && state->getChannelGroup() == ChannelGroup::Keyboard)
        groupChannel = groups->kbdAsCommonChannel ? groups->commonChannel : groups->kbdChannel;
    if (state->getChannelGroup() != ChannelGroup::Own && groupChannel != channel) {
        meta->AddCommand(std::make_unique<CSetMIDIChanGroupCommand>(control, ChannelGroup::Own));
        if (state->getMidiChannel() != channel)
            meta->AddCommand(std::make_unique<CSetMIDIChannelOrMMCDeviceNumCommand>(control, channel));
    } else if (state->getChannelGroup() == ChannelGroup::Own && state->getMidiChannel() != channel) {
        meta->AddCommand(std::make_unique<CSetMIDIChannelOrMMCDeviceNumCommand>(control, channel));
    }

    if (!meta->Children().empty()) result.command = std::move(meta);
    return result;
}
