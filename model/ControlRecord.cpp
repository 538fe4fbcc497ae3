#include "ControlRecord.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "TemplateParts.h"

namespace ControlRecord {

bool isNoteType(int t) { return t == ControlType::NoteOnOff || t == ControlType::NoteOnOffAlt; }

namespace {
// The bit formats of the bytes a record builds from several fields, shared by
// the writer (from a control) and the reader (from the values it just read,
// for the encoding the mask is taken from).
inline uint8_t actionBits(int action) {
    switch (action) {
        case ButtonAction::Momentary: return 0x04;
        case ButtonAction::Toggle: return 0x08;
        case ButtonAction::Step: return 0x10;
        default: return 0;
    }
}

inline uint8_t actionByte(bool flagA0, bool flagA1, int action, bool mmc) {
    return static_cast<uint8_t>((flagA0 ? 0x01 : 0) | (flagA1 ? 0x02 : 0) | (mmc ? 0 : actionBits(action)));
}

inline uint8_t portGroupBits(int group) {
    return group == PortGroup::Own ? 0x40 : group == PortGroup::Keyboard ? 0x20 : 0;
}

inline uint8_t channelByte(bool mmc, int midiChannel, int group, bool flag) {
    if (mmc) return static_cast<uint8_t>(midiChannel);
    int b = midiChannel - 1;
    if (group == ChannelGroup::Own) b |= 0x40;
    else if (group == ChannelGroup::Common) b = 0x00;
    else if (group == ChannelGroup::Keyboard) b = 0x20;
    if (flag) b |= 0x10;
    return static_cast<uint8_t>(b);
}

inline uint8_t displayByte(int format) { return static_cast<uint8_t>(isStoredDisplayFormat(format) ? format : 0); }

inline uint8_t highBits(int value) { return static_cast<uint8_t>((value >> 7) & 0x7F); }
}  // namespace

uint8_t encodeActionByte(const CBaseControlState& ctl) {
    return actionByte(ctl.flagA0, ctl.flagA1, ctl.buttonAction, ctl.controlType == ControlType::MMC);
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
    return static_cast<uint8_t>(encodePorts(ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3) |
                                portGroupBits(ctl.portGroup));
}

void decodePortsByte(CBaseControlState& ctl, uint8_t b) {
    decodePorts(b, ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3);
    ctl.portGroup = (b & 0x20) ? PortGroup::Keyboard : (b & 0x40) ? PortGroup::Own : PortGroup::Common;
}

uint8_t encodeChannelByte(const CBaseControlState& ctl) {
    return channelByte(ctl.controlType == ControlType::MMC, ctl.midiChannel, ctl.channelGroup, ctl.channelFlag);
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
inline uint64_t nameWord(const std::string& name) {
    const size_t length = name.size() < kNameLength ? name.size() : kNameLength;
    if constexpr (std::endian::native == std::endian::little) {
        // A string's buffer always holds at least 16 bytes (its short-string
        // space or a larger allocation), so 8 can be read at once; the bytes
        // past the name are masked off.
        if (name.capacity() >= kNameLength) {
            uint64_t w;
            std::memcpy(&w, name.data(), 8);
            const uint64_t keep = length >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * length)) - 1;
            return (w & keep) | (0x2020202020202020ull & ~keep);
        }
    }
    uint8_t bytes[kNameLength];
    size_t n = 0;
    for (; n < length; ++n) bytes[n] = static_cast<uint8_t>(name[n]);
    for (; n < kNameLength; ++n) bytes[n] = 0x20;
    uint64_t w;
    std::memcpy(&w, bytes, kNameLength);
    return w;
}
}  // namespace

// Every field is read before the first byte is stored: a store through a
// byte pointer could change any field, and the compiler would read the
// fields after it again.
void writeReadBytes(const CBaseControlState& ctl, uint8_t* r) {
    const int type = ctl.controlType;
    const bool note = isNoteType(type);
    const SysExMessage& m = ctl.sysExData;
    const uint64_t name = nameWord(ctl.name);
    const uint8_t b10 =
        static_cast<uint8_t>(type == ControlType::MMC ? ctl.mmcCommand : note ? ctl.lsbNumber : ctl.offValue & 0x7F);
    const uint8_t b12 = static_cast<uint8_t>((note ? ctl.offValue : ctl.onValue) & 0x7F);
    const uint8_t b14 = encodePotByte(ctl);
    const uint8_t b16 = ctl.msbNumber;
    const uint8_t b17 = static_cast<uint8_t>(note ? ctl.onValue : ctl.lsbNumber);
    const int snapshot = ctl.snapshotValue;
    const uint8_t b22 = static_cast<uint8_t>(ctl.stepSize - 1);
    const uint8_t b23 = ctl.rawByte5, b24 = ctl.rawByte6, b25 = ctl.rawByte7;
    const uint8_t b27 = static_cast<uint8_t>(m.endPosition - 1);
    const uint8_t b28 = m.dataPosition;
    const std::array<uint8_t, SysExMessage::kMaxBytes> message = m.bytes;
    std::memcpy(r, &name, kNameLength);
    r[10] = b10;
    r[12] = b12;
    r[14] = b14;
    r[16] = b16;
    r[17] = b17;
    r[20] = highBits(snapshot);
    r[21] = static_cast<uint8_t>(snapshot & 0x7F);
    r[22] = b22;
    r[23] = b23;
    r[24] = b24;
    r[25] = b25;
    r[27] = b27;
    r[28] = b28;
    std::memcpy(r + 29, message.data(), message.size());
}

void writeDerivedBytes(const CBaseControlState& ctl, uint8_t* r) {
    const int type = ctl.controlType;
    const bool mmc = type == ControlType::MMC;
    const uint8_t b9 = highBits(ctl.offValue);
    const uint8_t b11 = isNoteType(type) ? 0 : highBits(ctl.onValue);
    const uint8_t b13 = actionByte(ctl.flagA0, ctl.flagA1, ctl.buttonAction, mmc);
    const uint8_t b15 = displayByte(ctl.displayFormat);
    const uint8_t b18 = encodePortsByte(ctl);
    const uint8_t b19 = channelByte(mmc, ctl.midiChannel, ctl.channelGroup, ctl.channelFlag);
    const uint8_t b26 = ctl.sysExData.dataPosition != 0 ? 1 : 0;
    r[8] = static_cast<uint8_t>(type);
    r[9] = b9;
    r[11] = b11;
    r[13] = b13;
    r[15] = b15;
    r[18] = b18;
    r[19] = b19;
    r[26] = b26;
}

void writeRaw(const CBaseControlState& ctl, uint8_t* r) {
    writeDerivedBytes(ctl, r);
    writeReadBytes(ctl, r);
}

void read(CBaseControlState& ctl, const ByteSequence& in, size_t& position) {
    // One bounds check for the whole record instead of one per byte.
    (void)in[position + kSize - 1];
    readFrom(ctl, in.data() + position);
    position += kSize;
}

namespace {
// Reading a dump into a template that already holds it (reverting, reading
// a bulk dump again) finds most names as they are: comparing a name costs
// less than rewriting it.
inline void setName(std::string& name, uint64_t word, size_t len) {
    if (name.size() == len) {
        if (len == 0) return;
        uint64_t old;
        std::memcpy(&old, name.data(), sizeof old);  // a string's buffer holds at least 16 bytes
        const uint64_t keep = len >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * len)) - 1;
        if (((old ^ word) & keep) == 0) return;
    }
    char bytes[kNameLength];
    std::memcpy(bytes, &word, kNameLength);
    name.assign(bytes, len);
}

// Every open, receive and bulk-dump entry decodes 90 of these: fields are set
// directly, with the same effects the setters would have. With `encoded`,
// also stores there what writeDerivedBytes makes of the control read.
inline void decode(CBaseControlState& ctl, const uint8_t* record, uint8_t* encoded) {
    // A local copy: storing a field of the control cannot change it, so each
    // byte is read once.
    uint8_t r[kSize];
    std::memcpy(r, record, kSize);
    uint64_t nameBytes;
    std::memcpy(&nameBytes, r, kNameLength);
    size_t len = kNameLength;
    if constexpr (std::endian::native == std::endian::little) {
        // Trailing blanks found in one word: the highest byte that is not a blank ends the name.
        const uint64_t nonBlank = nameBytes ^ 0x2020202020202020ull;
        len = nonBlank ? static_cast<size_t>(71 - std::countl_zero(nonBlank)) / 8 : 0;
        setName(ctl.name, nameBytes, len);
        setName(ctl.pluginBinding.shortName, nameBytes, len);
    } else {
        while (len > 0 && r[len - 1] == ' ') --len;
        ctl.name.assign(reinterpret_cast<const char*>(r), len);
        ctl.pluginBinding.shortName.assign(reinterpret_cast<const char*>(r), len);
    }

    int type = r[8];
    if (type == ControlType::NoteOnOffAlt) type = ControlType::NoteOnOff;
    // As setControlType without the clamp; the pot byte below sets flagB0.
    ctl.controlType = type;
    const bool mmc = type == ControlType::MMC;
    const bool note = type == ControlType::NoteOnOff;
    int format = ctl.displayFormat;
    if (mmc) format = DisplayFormat::Mmc;
    else if (format == DisplayFormat::Mmc) format = DisplayFormat::Range0To127;
    if (isStoredDisplayFormat(r[15])) format = r[15];
    ctl.displayFormat = format;
    int offValue = ctl.offValue;  // an MMC record does not hold it
    if (mmc) ctl.mmcCommand = r[10];
    else offValue = note ? r[12] : r[9] * 128 + r[10];
    ctl.offValue = offValue;
    const int onValue = note ? r[17] : r[11] * 128 + r[12];
    ctl.onValue = onValue;
    ctl.lsbNumber = note ? r[10] : r[17];
    ctl.msbNumber = r[16];
    const uint8_t action = r[13];
    const bool flagA0 = action & 0x01, flagA1 = action & 0x02;
    const int buttonAction = (action & 0x10)   ? ButtonAction::Step
                             : (action & 0x08) ? ButtonAction::Toggle
                             : (action & 0x04) ? ButtonAction::Momentary
                                               : ButtonAction::Normal;
    ctl.flagA0 = flagA0;
    ctl.flagA1 = flagA1;
    ctl.buttonAction = buttonAction;
    decodePotByte(ctl, r[14]);  // also reversedRange, from its own bit
    const uint8_t ports = r[18];
    decodePorts(ports, ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3);
    const int portGroup = (ports & 0x20) ? PortGroup::Keyboard : (ports & 0x40) ? PortGroup::Own : PortGroup::Common;
    ctl.portGroup = portGroup;
    const uint8_t channel = r[19];
    int midiChannel, channelGroup = ctl.channelGroup;
    bool channelFlag = ctl.channelFlag;
    if (mmc) {
        midiChannel = channel;
    } else {
        channelFlag = channel & 0x10;
        if (channel == 0) {
            midiChannel = 1;
            channelGroup = ChannelGroup::Common;
        } else if (channel & 0x20) {
            midiChannel = 1;
            channelGroup = ChannelGroup::Keyboard;
        } else {
            channelGroup = ChannelGroup::Own;
            midiChannel = (channel & 0x0F) + 1;
        }
    }
    ctl.midiChannel = midiChannel;
    ctl.channelGroup = channelGroup;
    ctl.channelFlag = channelFlag;
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

    if (encoded) {
        // What writeDerivedBytes makes of the control now, from the values at hand.
        encoded[8] = static_cast<uint8_t>(type);
        encoded[9] = highBits(offValue);
        encoded[11] = note ? 0 : highBits(onValue);
        encoded[13] = actionByte(flagA0, flagA1, buttonAction, mmc);
        encoded[15] = displayByte(format);
        encoded[18] = static_cast<uint8_t>((ports & 0x1F) | portGroupBits(portGroup));
        encoded[19] = channelByte(mmc, midiChannel, channelGroup, channelFlag);
        encoded[26] = r[28] != 0 ? 1 : 0;
    }
}
}  // namespace

void readFrom(CBaseControlState& ctl, const uint8_t* record) { decode(ctl, record, nullptr); }

void readInPlace(CBaseControlState& ctl, uint8_t* record) { decode(ctl, record, record); }

}  // namespace ControlRecord
