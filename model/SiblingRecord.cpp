#include "SiblingRecord.h"

namespace SiblingRecord {

namespace {
int sameValue(int v) { return v; }
}  // namespace

const TypeMapping kPlainTypes{sameValue, sameValue};

std::string readName(const uint8_t* r) {
    // Some units pad names with NULs: the name ends at the first one.
    size_t len = 0;
    while (len < kNameLength && r[len] != '\0') ++len;
    while (len > 0 && r[len - 1] == ' ') --len;
    return std::string(reinterpret_cast<const char*>(r), len);
}

void writeName(uint8_t* r, const std::string& name) {
    size_t n = 0;
    for (; n < kNameLength && n < name.size() && name[n] != '\0'; ++n) put(r, n, name[n]);
    for (; n < kNameLength; ++n) r[n] = 0x20;
}

void readType(CBaseControlState& ctl, uint8_t b, const TypeMapping& mapping) {
    int type = mapping.fromDump(b);
    if (type == ControlType::NoteOnOffAlt) type = ControlType::NoteOnOff;
    ctl.setControlType(type, false);
}

uint8_t writeType(const CBaseControlState& ctl, const TypeMapping& mapping) {
    return static_cast<uint8_t>(mapping.toDump(ctl.controlType));
}

void decodeActionByte(CBaseControlState& ctl, uint8_t b, bool button) {
    ctl.flagA0 = b & 0x01;
    ctl.flagA1 = b & 0x02;
    ctl.portUsb1 = b & 0x10;
    ctl.portMidi1 = b & 0x20;
    ctl.portMidi2 = b & 0x40;
    if (button) {
        ctl.buttonAction = ButtonAction::Normal;
        if (b & 0x04) ctl.buttonAction = ButtonAction::Momentary;
        if (b & 0x08) ctl.buttonAction = ButtonAction::Toggle;
    }
}

uint8_t encodeActionByte(const CBaseControlState& ctl, bool button) {
    uint8_t b = static_cast<uint8_t>((ctl.flagA0 ? 0x01 : 0) | (ctl.flagA1 ? 0x02 : 0) | (ctl.portUsb1 ? 0x10 : 0) |
                                     (ctl.portMidi1 ? 0x20 : 0) | (ctl.portMidi2 ? 0x40 : 0));
    if (button) {
        if (ctl.buttonAction == ButtonAction::Momentary) b |= 0x04;
        if (ctl.buttonAction == ButtonAction::Toggle) b |= 0x08;
    }
    return b;
}

void decodePotByte(CBaseControlState& ctl, uint8_t b, bool button) {
    ctl.flagB0 = b & 0x01;
    ctl.flagB1 = b & 0x02;
    ctl.flagB2 = !(b & 0x04);
    ctl.potCatchup = (b & 0x08) ? 1 : 0;
    ctl.reversedRange = b & 0x10;
    ctl.potBit6 = b & 0x40;
    if (button && (b & 0x20)) ctl.buttonAction = ButtonAction::Step;
}

uint8_t encodePotByte(const CBaseControlState& ctl, bool button) {
    uint8_t b = static_cast<uint8_t>((ctl.flagB0 ? 0x01 : 0) | (ctl.flagB1 ? 0x02 : 0) | (ctl.flagB2 ? 0 : 0x04) |
                                     (ctl.potCatchup == 1 ? 0x08 : 0) | (ctl.reversedRange ? 0x10 : 0) |
                                     (ctl.potBit6 ? 0x40 : 0));
    if (button && ctl.buttonAction == ButtonAction::Step) b |= 0x20;
    return b;
}

void decodeChannelByte(CBaseControlState& ctl, uint8_t b) {
    if (ctl.controlType == ControlType::MMC) {
        ctl.midiChannel = b;
        return;
    }
    ctl.channelHighBits = b & 0xF0;
    ctl.midiChannel = (b & 0x0F) + 1;
}

uint8_t encodeChannelByte(const CBaseControlState& ctl) {
    if (ctl.controlType == ControlType::MMC) return static_cast<uint8_t>(ctl.midiChannel);
    return static_cast<uint8_t>((ctl.channelHighBits & 0xF0) | ((ctl.midiChannel - 1) & 0x0F));
}

void decodeDisplayFormA(CBaseControlState& ctl, uint8_t b) {
    ctl.displayFormat = (b & 0x01) ? 1 : (b & 0x02) ? 2 : 0;
    ctl.flagB4 = b & 0x40;
}

uint8_t encodeDisplayFormA(const CBaseControlState& ctl) {
    const uint8_t format = ctl.displayFormat == 1 ? 0x01 : ctl.displayFormat == 2 ? 0x02 : 0;
    return static_cast<uint8_t>(format | (ctl.flagB4 ? 0x40 : 0));
}

void decodeDisplayFormB(CBaseControlState& ctl, uint8_t b) {
    ctl.displayFormat = b & 0x03;
    ctl.flagB4 = b & 0x40;
}

uint8_t encodeDisplayFormB(const CBaseControlState& ctl) {
    const uint8_t format = ctl.displayFormat >= 0 && ctl.displayFormat <= 3 ? static_cast<uint8_t>(ctl.displayFormat) : 0;
    return static_cast<uint8_t>(format | (ctl.flagB4 ? 0x40 : 0));
}

void decodeSysExBlock(CBaseControlState& ctl, const uint8_t* block) {
    SysExMessage m;
    m.hasDataPosition = block[0];
    m.endPosition = block[1];
    m.dataPosition = block[2];
    for (size_t i = 0; i < m.bytes.size(); ++i) m.bytes[i] = block[3 + i];
    ctl.setSysExData(m);
}

void encodeSysExBlock(const CBaseControlState& ctl, uint8_t* block) {
    const SysExMessage& m = ctl.sysExData;
    put(block, 0, m.hasDataPosition);
    put(block, 1, m.endPosition);
    put(block, 2, m.dataPosition);
    for (size_t i = 0; i < m.bytes.size(); ++i) put(block, 3 + i, m.bytes[i]);
    for (size_t i = 3 + m.bytes.size(); i < kSysExBlockSize; ++i) block[i] = 0;
}

void readSynthHead(CBaseControlState& ctl, const uint8_t* r, bool button, const TypeMapping& mapping) {
    ctl.setName(readName(r));
    readType(ctl, r[16], mapping);
    ctl.setOffValue(r[17], false);
    ctl.setOnValue(r[18], false);
    decodeActionByte(ctl, r[19], button);
    decodePotByte(ctl, r[20], button);
    decodeDisplayFormB(ctl, r[21]);
    ctl.msbNumber = r[22];
    ctl.lsbNumber = r[23];
    decodeChannelByte(ctl, r[24]);
    if (ctl.controlType == ControlType::MMC) ctl.mmcCommand = r[25];
    else ctl.snapshotValue = r[25];
}

void writeSynthHead(const CBaseControlState& ctl, uint8_t* r, bool button, const TypeMapping& mapping) {
    writeName(r, ctl.name);
    put(r, 16, writeType(ctl, mapping));
    put(r, 17, ctl.offValue);
    put(r, 18, ctl.onValue);
    put(r, 19, encodeActionByte(ctl, button));
    put(r, 20, encodePotByte(ctl, button));
    put(r, 21, encodeDisplayFormB(ctl));
    put(r, 22, ctl.msbNumber);
    put(r, 23, ctl.lsbNumber);
    put(r, 24, encodeChannelByte(ctl));
    put(r, 25, ctl.controlType == ControlType::MMC ? ctl.mmcCommand : ctl.snapshotValue);
}

}  // namespace SiblingRecord
