#include "ControlRecord.h"

#include "TemplateParts.h"

namespace ControlRecord {

bool isStoredDisplayFormat(int f) { return (f >= 0 && f <= 9) || f == 15 || f == 16 || f == 17; }

bool isNoteType(int t) { return t == ControlType::NoteOnOff || t == ControlType::NoteOnOffAlt; }

uint8_t encodeActionByte(const CBaseControlState& ctl) {
    uint8_t b = static_cast<uint8_t>((ctl.flagA0 ? 0x01 : 0) | (ctl.flagA1 ? 0x02 : 0));
    if (ctl.controlType != ControlType::MMC) {
        if (ctl.buttonAction == ButtonAction::Momentary) b |= 0x04;
        if (ctl.buttonAction == ButtonAction::Toggle) b |= 0x08;
        if (ctl.buttonAction == ButtonAction::Step) b |= 0x10;
    }
    return b;
}

void decodeActionByte(CBaseControlState& ctl, uint8_t b) {
    ctl.flagA0 = b & 0x01;
    ctl.flagA1 = b & 0x02;
    ctl.buttonAction = (b & 0x10)   ? ButtonAction::Step
                       : (b & 0x08) ? ButtonAction::Toggle
                       : (b & 0x04) ? ButtonAction::Momentary
                                    : ButtonAction::Normal;
}

uint8_t encodePotByte(const CBaseControlState& ctl) {
    return static_cast<uint8_t>((ctl.flagB0 ? 0 : 0x01) | (ctl.flagB1 ? 0x02 : 0) | (ctl.flagB2 ? 0 : 0x04) |
                                (ctl.reversedRange ? 0x08 : 0) | (ctl.flagB4 ? 0x10 : 0) |
                                ((ctl.potCatchup & 0x07) << 5));
}

void decodePotByte(CBaseControlState& ctl, uint8_t b) {
    ctl.flagB0 = !(b & 0x01);
    ctl.flagB1 = b & 0x02;
    ctl.flagB2 = !(b & 0x04);
    ctl.reversedRange = b & 0x08;
    ctl.flagB4 = b & 0x10;
    ctl.potCatchup = b >> 5;
}

uint8_t encodePortsByte(const CBaseControlState& ctl) {
    uint8_t b = encodePorts(ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3);
    if (ctl.portGroup == PortGroup::Own) b |= 0x40;
    if (ctl.portGroup == PortGroup::Keyboard) b |= 0x20;
    return b;
}

void decodePortsByte(CBaseControlState& ctl, uint8_t b) {
    decodePorts(b, ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3);
    ctl.portGroup = (b & 0x20) ? PortGroup::Keyboard : (b & 0x40) ? PortGroup::Own : PortGroup::Common;
}

uint8_t encodeChannelByte(const CBaseControlState& ctl) {
    if (ctl.controlType == ControlType::MMC) return static_cast<uint8_t>(ctl.midiChannel);
    int b = ctl.midiChannel - 1;
    if (ctl.channelGroup == ChannelGroup::Own) b |= 0x40;
    else if (ctl.channelGroup == ChannelGroup::Common) b = 0x00;
    else if (ctl.channelGroup == ChannelGroup::Keyboard) b = 0x20;
    if (ctl.channelFlag) b |= 0x10;
    return static_cast<uint8_t>(b);
}

void decodeChannelByte(CBaseControlState& ctl, uint8_t b) {
    if (ctl.controlType == ControlType::MMC) {
        ctl.midiChannel = b;
        return;
    }
    ctl.channelFlag = b & 0x10;
    if (b == 0) {
        ctl.midiChannel = 1;
        ctl.channelGroup = ChannelGroup::Common;
    } else if (b & 0x20) {
        ctl.midiChannel = 1;
        ctl.channelGroup = ChannelGroup::Keyboard;
    } else {
        ctl.channelGroup = ChannelGroup::Own;
        ctl.midiChannel = (b & 0x0F) + 1;
    }
}

void write(const CBaseControlState& ctl, ByteSequence& out) {
    const bool mmc = ctl.controlType == ControlType::MMC;
    const bool note = isNoteType(ctl.controlType);
    writeNameField(out, ctl.name, kNameLength);
    out.append(static_cast<uint8_t>(ctl.controlType));
    out.append(static_cast<uint8_t>((ctl.offValue >> 7) & 0x7F));
    out.append(static_cast<uint8_t>(mmc ? ctl.mmcCommand : note ? ctl.lsbNumber : ctl.offValue & 0x7F));
    out.append(static_cast<uint8_t>(note ? 0 : (ctl.onValue >> 7) & 0x7F));
    out.append(static_cast<uint8_t>(note ? ctl.offValue & 0x7F : ctl.onValue & 0x7F));
    out.append(encodeActionByte(ctl));
    out.append(encodePotByte(ctl));
    out.append(static_cast<uint8_t>(isStoredDisplayFormat(ctl.displayFormat) ? ctl.displayFormat : 0));
    out.append(ctl.msbNumber);
    out.append(static_cast<uint8_t>(note ? ctl.onValue : ctl.lsbNumber));
    out.append(encodePortsByte(ctl));
    out.append(encodeChannelByte(ctl));
    out.append14(ctl.snapshotValue);
    out.append(static_cast<uint8_t>(ctl.stepSize - 1));
    out.append(ctl.rawByte5);
    out.append(ctl.rawByte6);
    out.append(ctl.rawByte7);
    const SysExMessage& m = ctl.sysExData;
    out.append(m.dataPosition != 0 ? 1 : 0);
    out.append(static_cast<uint8_t>(m.endPosition - 1));
    out.append(m.dataPosition);
    for (uint8_t b : m.bytes) out.append(b);
}

void read(CBaseControlState& ctl, const ByteSequence& in, size_t& position) {
    const size_t p = position;
    std::string name;
    for (size_t i = 0; i < kNameLength; ++i) name.push_back(static_cast<char>(in[p + i]));
    const size_t end = name.find_last_not_of(' ');
    ctl.setName(end == std::string::npos ? std::string() : name.substr(0, end + 1));

    int type = in[p + 8];
    if (type == ControlType::NoteOnOffAlt) type = ControlType::NoteOnOff;
    ctl.setControlType(type, false);
    const bool mmc = type == ControlType::MMC;
    const bool note = type == ControlType::NoteOnOff;
    if (mmc) ctl.mmcCommand = in[p + 10];
    else ctl.setOffValue(in[p + 9] * 128 + in[p + 10], false);
    ctl.setOnValue(in[p + 11] * 128 + in[p + 12], false);
    decodeActionByte(ctl, in[p + 13]);
    const uint8_t pot = in[p + 14];
    decodePotByte(ctl, pot);
    if (isStoredDisplayFormat(in[p + 15])) ctl.displayFormat = in[p + 15];
    ctl.msbNumber = in[p + 16];
    ctl.lsbNumber = in[p + 17];
    if (note) {
        ctl.offValue = in[p + 12];
        ctl.onValue = in[p + 17];
        ctl.lsbNumber = in[p + 10];
    }
    ctl.reversedRange = pot & 0x08;
    decodePortsByte(ctl, in[p + 18]);
    decodeChannelByte(ctl, in[p + 19]);
    ctl.snapshotValue = in[p + 20] * 128 + in[p + 21];
    ctl.stepSize = static_cast<uint8_t>(in[p + 22] + 1);
    ctl.rawByte5 = in[p + 23];
    ctl.rawByte6 = in[p + 24];
    ctl.rawByte7 = in[p + 25];
    SysExMessage m;
    m.hasDataPosition = in[p + 26];
    m.endPosition = static_cast<uint8_t>(in[p + 27] + 1);
    m.dataPosition = in[p + 28];
    for (size_t i = 0; i < m.bytes.size(); ++i) m.bytes[i] = in[p + 29 + i];
    ctl.sysExData = m;
    position = p + kSize;
}

}  // namespace ControlRecord
