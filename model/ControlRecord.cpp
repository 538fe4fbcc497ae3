#include "ControlRecord.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "TemplateParts.h"

namespace ControlRecord {

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

void write(const CBaseControlState& ctl, ByteSequence& out) { writeTo(ctl, out.extend(kSize)); }

void writeTo(const CBaseControlState& ctl, uint8_t* r) {
    writeRaw(ctl, r);
    ByteSequence::clearTopBitBytes(r, kSize);
}

namespace {
// The name's first 8 characters as they are, blank-filled to 8: a NUL the
// reader kept (some units pad names with NULs) is written back as a NUL.
void writeName(const std::string& name, uint8_t* r) {
    const size_t length = name.size() < kNameLength ? name.size() : kNameLength;
    if constexpr (std::endian::native == std::endian::little) {
        // A string's buffer always holds at least 16 bytes (its short-string
        // space or a larger allocation), so 8 can be read at once; the bytes
        // past the name are masked off.
        if (name.capacity() >= kNameLength) {
            uint64_t w;
            std::memcpy(&w, name.data(), 8);
            const uint64_t keep = length >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * length)) - 1;
            w = (w & keep) | (0x2020202020202020ull & ~keep);
            std::memcpy(r, &w, 8);
            return;
        }
    }
    size_t n = 0;
    for (; n < length; ++n) r[n] = static_cast<uint8_t>(name[n]);
    for (; n < kNameLength; ++n) r[n] = 0x20;
}
}  // namespace

void writeRaw(const CBaseControlState& ctl, uint8_t* r) {
    const int type = ctl.controlType;
    const bool mmc = type == ControlType::MMC;
    const bool note = isNoteType(type);
    auto put = [r](size_t i, int v) { r[i] = static_cast<uint8_t>(v); };

    writeName(ctl.name, r);
    put(8, type);
    put(9, (ctl.offValue >> 7) & 0x7F);
    put(10, mmc ? ctl.mmcCommand : note ? ctl.lsbNumber : ctl.offValue & 0x7F);
    put(11, note ? 0 : (ctl.onValue >> 7) & 0x7F);
    put(12, note ? ctl.offValue & 0x7F : ctl.onValue & 0x7F);
    put(13, encodeActionByte(ctl));
    put(14, encodePotByte(ctl));
    put(15, isStoredDisplayFormat(ctl.displayFormat) ? ctl.displayFormat : 0);
    put(16, ctl.msbNumber);
    put(17, note ? ctl.onValue : ctl.lsbNumber);
    put(18, encodePortsByte(ctl));
    put(19, encodeChannelByte(ctl));
    put(20, (ctl.snapshotValue >> 7) & 0x7F);
    put(21, ctl.snapshotValue & 0x7F);
    put(22, ctl.stepSize - 1);
    put(23, ctl.rawByte5);
    put(24, ctl.rawByte6);
    put(25, ctl.rawByte7);
    const SysExMessage& m = ctl.sysExData;
    put(26, m.dataPosition != 0 ? 1 : 0);
    put(27, m.endPosition - 1);
    put(28, m.dataPosition);
    std::memcpy(r + 29, m.bytes.data(), m.bytes.size());
}

void read(CBaseControlState& ctl, const ByteSequence& in, size_t& position) {
    // One bounds check for the whole record instead of one per byte.
    (void)in[position + kSize - 1];
    readFrom(ctl, in.data() + position);
    position += kSize;
}

// Every open, receive and bulk-dump entry decodes 90 of these: fields are set
// directly, with the same effects the setters would have.
void readFrom(CBaseControlState& ctl, const uint8_t* r) {
    size_t len = kNameLength;
    while (len > 0 && r[len - 1] == ' ') --len;
    ctl.name.assign(reinterpret_cast<const char*>(r), len);
    ctl.pluginBinding.shortName.assign(reinterpret_cast<const char*>(r), len);

    int type = r[8];
    if (type == ControlType::NoteOnOffAlt) type = ControlType::NoteOnOff;
    // As setControlType without the clamp; the pot byte below sets flagB0.
    ctl.controlType = type;
    const bool mmc = type == ControlType::MMC;
    const bool note = type == ControlType::NoteOnOff;
    if (mmc) ctl.displayFormat = DisplayFormat::Mmc;
    else if (ctl.displayFormat == DisplayFormat::Mmc) ctl.displayFormat = DisplayFormat::Range0To127;
    if (mmc) ctl.mmcCommand = r[10];
    else ctl.offValue = r[9] * 128 + r[10];
    ctl.onValue = r[11] * 128 + r[12];
    decodeActionByte(ctl, r[13]);
    const uint8_t pot = r[14];
    decodePotByte(ctl, pot);  // also reversedRange, from its own bit
    if (isStoredDisplayFormat(r[15])) ctl.displayFormat = r[15];
    ctl.msbNumber = r[16];
    ctl.lsbNumber = r[17];
    if (note) {
        ctl.offValue = r[12];
        ctl.onValue = r[17];
        ctl.lsbNumber = r[10];
    }
    decodePortsByte(ctl, r[18]);
    decodeChannelByte(ctl, r[19]);
    ctl.snapshotValue = r[20] * 128 + r[21];
    ctl.stepSize = static_cast<uint8_t>(r[22] + 1);
    ctl.rawByte5 = r[23];
    ctl.rawByte6 = r[24];
    ctl.rawByte7 = r[25];
    SysExMessage& m = ctl.sysExData;
    m.hasDataPosition = r[26];
    m.endPosition = static_cast<uint8_t>(r[27] + 1);
    m.dataPosition = r[28];
    std::memcpy(m.bytes.data(), r + 29, m.bytes.size());
}

}  // namespace ControlRecord
