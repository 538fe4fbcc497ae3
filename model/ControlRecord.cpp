#include "ControlRecord.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "TemplateParts.h"

namespace ControlRecord {

static_assert(kSize == 29 + SysExMessage::kMaxBytes, "the message bytes end the record");

bool isNoteType(int t) { return t == ControlType::NoteOnOff || t == ControlType::NoteOnOffAlt; }

namespace {
// The bit formats of the bytes a record builds from several fields, shared by
// the writer (from a control) and the reader (from the values it just read,
// for the encoding the mask is taken from).

// Action bits by buttonAction (Normal, Momentary, Toggle, Step).
constexpr uint8_t kActionBits[4] = {0x00, 0x04, 0x08, 0x10};
// buttonAction by bits 2..4 of the action byte: the highest set bit wins.
constexpr int8_t kActionByBits[8] = {ButtonAction::Normal, ButtonAction::Momentary, ButtonAction::Toggle,
                                     ButtonAction::Toggle, ButtonAction::Step,      ButtonAction::Step,
                                     ButtonAction::Step,   ButtonAction::Step};
// What writing the buttonAction read from bits 2..4 writes there.
constexpr uint8_t kActionBitsByBits[8] = {0x00, 0x04, 0x08, 0x08, 0x10, 0x10, 0x10, 0x10};
// portGroup by bits 5..6 of the ports byte: bit 5 (keyboard) wins over bit 6 (own).
constexpr int8_t kPortGroupByBits[4] = {PortGroup::Common, PortGroup::Keyboard, PortGroup::Own, PortGroup::Keyboard};
// What writing that portGroup writes in bits 5..6.
constexpr uint8_t kPortGroupBitsByBits[4] = {0x00, 0x20, 0x40, 0x20};

// What the channel byte of a record that is not MMC reads as, and what
// writing that back gives: 0 is the common channel, bit 5 the keyboard
// channel, anything else channel (b AND 0x0F) + 1 of the control's own;
// bit 4 is channelFlag.
struct alignas(4) ChannelBits {
    int8_t group;
    int8_t midiChannel;
    uint8_t encoded;
};
constexpr std::array<ChannelBits, 128> kChannelBits = [] {
    std::array<ChannelBits, 128> table{};
    for (int b = 0; b < 128; ++b) {
        const uint8_t flag = b & 0x10;
        if (b == 0) table[b] = {ChannelGroup::Common, 1, 0x00};
        else if (b & 0x20) table[b] = {ChannelGroup::Keyboard, 1, static_cast<uint8_t>(0x20 | flag)};
        else table[b] = {ChannelGroup::Own, static_cast<int8_t>((b & 0x0F) + 1), static_cast<uint8_t>(0x40 | flag | (b & 0x0F))};
    }
    return table;
}();

inline uint8_t actionByte(bool flagA0, bool flagA1, int action, bool mmc) {
    const uint8_t bits = !mmc && static_cast<unsigned>(action) < 4 ? kActionBits[action] : 0;
    return static_cast<uint8_t>(flagA0 | (flagA1 << 1) | bits);
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

inline uint8_t potByte(bool flagB0, bool flagB1, bool flagB2, bool reversed, bool flagB4, int catchup) {
    return static_cast<uint8_t>((flagB0 ? 0 : 0x01) | (flagB1 << 1) | (flagB2 ? 0 : 0x04) | (reversed << 3) |
                                (flagB4 << 4) | ((catchup & 0x07) << 5));
}

inline uint8_t displayByte(int format) { return static_cast<uint8_t>(isStoredDisplayFormat(format) ? format : 0); }

inline uint8_t highBits(int value) { return static_cast<uint8_t>((value >> 7) & 0x7F); }
inline uint8_t lowBits(int value) { return static_cast<uint8_t>(value & 0x7F); }

// Out of line: the rare case, kept from taking the registers of the reader.
[[gnu::noinline]] void assignName(std::string& name, const uint8_t* bytes, size_t length) {
    name.assign(reinterpret_cast<const char*>(bytes), length);
}

// Whether `name` is the first `length` bytes of the name bytes `word` (whose
// mask is `keep`). Reading a dump into a template that already holds it
// (reverting, reading a bulk dump again) finds most names as they are:
// comparing costs less than rewriting.
inline bool isName(const std::string& name, uint64_t word, uint64_t keep, size_t length) {
    if (std::endian::native != std::endian::little || name.size() != length || !holdsNameBytes(name))
        return false;
    uint64_t old;
    std::memcpy(&old, name.data(), sizeof old);
    return ((old ^ word) & keep) == 0;
}
}  // namespace

uint8_t encodeActionByte(const CBaseControlState& ctl) {
    return actionByte(ctl.flagA0, ctl.flagA1, ctl.buttonAction, ctl.controlType == ControlType::MMC);
}

void decodeActionByte(CBaseControlState& ctl, uint8_t b) {
    ctl.flagA0 = b & 0x01;
    ctl.flagA1 = b & 0x02;
    ctl.buttonAction = kActionByBits[(b >> 2) & 0x07];
}

uint8_t encodePotByte(const CBaseControlState& ctl) {
    return potByte(ctl.flagB0, ctl.flagB1, ctl.flagB2, ctl.reversedRange, ctl.flagB4, ctl.potCatchup);
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
    ctl.portGroup = kPortGroupByBits[(b >> 5) & 0x03];
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

// Every save encodes 90 of these. The record is built in a local array: a
// store through a byte pointer could change any field of the control, and
// the compiler would read the fields after it again.
void writeRaw(const CBaseControlState& ctl, uint8_t* out) {
    uint8_t r[kSize];
    const int type = ctl.controlType;
    const bool mmc = type == ControlType::MMC;
    const bool note = isNoteType(type);
    const int off = ctl.offValue;
    const int on = ctl.onValue;
    const uint64_t name = nameBytes(ctl.name);
    std::memcpy(r, &name, kNameLength);
    r[8] = static_cast<uint8_t>(type);
    r[9] = highBits(off);
    r[10] = static_cast<uint8_t>(mmc ? ctl.mmcCommand : note ? ctl.lsbNumber : lowBits(off));
    r[11] = note ? 0 : highBits(on);
    r[12] = lowBits(note ? off : on);
    r[13] = actionByte(ctl.flagA0, ctl.flagA1, ctl.buttonAction, mmc);
    r[14] = potByte(ctl.flagB0, ctl.flagB1, ctl.flagB2, ctl.reversedRange, ctl.flagB4, ctl.potCatchup);
    r[15] = displayByte(ctl.displayFormat);
    r[16] = ctl.msbNumber;
    r[17] = static_cast<uint8_t>(note ? on : ctl.lsbNumber);
    r[18] = static_cast<uint8_t>(encodePorts(ctl.portMidi1, ctl.portMidi2, ctl.portUsb1, ctl.portUsb2, ctl.portUsb3) |
                                 portGroupBits(ctl.portGroup));
    r[19] = channelByte(mmc, ctl.midiChannel, ctl.channelGroup, ctl.channelFlag);
    r[20] = highBits(ctl.snapshotValue);
    r[21] = lowBits(ctl.snapshotValue);
    r[22] = static_cast<uint8_t>(ctl.stepSize - 1);
    r[23] = ctl.rawByte5;
    r[24] = ctl.rawByte6;
    r[25] = ctl.rawByte7;
    const SysExMessage& m = ctl.sysExData;
    r[26] = m.dataPosition != 0 ? 1 : 0;
    r[27] = static_cast<uint8_t>(m.endPosition - 1);
    r[28] = m.dataPosition;
    std::memcpy(r + 29, m.bytes.data(), SysExMessage::kMaxBytes);
    std::memcpy(out, r, kSize);
}

void read(CBaseControlState& ctl, const ByteSequence& in, size_t& position) {
    // One bounds check for the whole record instead of one per byte.
    (void)in[position + kSize - 1];
    readFrom(ctl, in.data() + position);
    position += kSize;
}

namespace {
// Each of the bits 0..6 of `bits` as a byte of its own, 0 or 1, in that order
// (bit i in byte i). The multiplier puts copies of `bits` 7 bits apart, which
// cannot overlap: bit i of copy i lands on bit 8i.
inline uint64_t bitsAsBytes(unsigned bits) { return ((bits & 0x7Fu) * 0x0002040810204081ull) & 0x0101010101010101ull; }

// The action flags and the ports are seven bools in a row, set in one store;
// so are the four bools of the pot byte's low bits.
static_assert(offsetof(ControlValues, flagA1) == offsetof(ControlValues, flagA0) + 1 &&
              offsetof(ControlValues, portMidi1) == offsetof(ControlValues, flagA0) + 2 &&
              offsetof(ControlValues, portMidi2) == offsetof(ControlValues, flagA0) + 3 &&
              offsetof(ControlValues, portUsb1) == offsetof(ControlValues, flagA0) + 4 &&
              offsetof(ControlValues, portUsb2) == offsetof(ControlValues, flagA0) + 5 &&
              offsetof(ControlValues, portUsb3) == offsetof(ControlValues, flagA0) + 6);
static_assert(offsetof(ControlValues, flagB1) == offsetof(ControlValues, flagB0) + 1 &&
              offsetof(ControlValues, flagB2) == offsetof(ControlValues, flagB0) + 2 &&
              offsetof(ControlValues, reversedRange) == offsetof(ControlValues, flagB0) + 3);
static_assert(sizeof(bool) == 1);
// The values a record is encoded from, up to the first that it is not.
static_assert(offsetof(ControlValues, sysExData) + sizeof(SysExMessage) == kRecordValuesSize &&
              kRecordValuesSize == 11 * sizeof(int32_t) + 19 + sizeof(SysExMessage),
              "no padding among the values a record is encoded from");
static_assert(offsetof(SysExMessage, hasDataPosition) == 0 && offsetof(SysExMessage, endPosition) == 1 &&
              offsetof(SysExMessage, dataPosition) == 2 && offsetof(SysExMessage, bytes) == 3 &&
              sizeof(SysExMessage) == kSize - 26);

// Every open, receive and bulk-dump entry decodes 90 of these: fields are set
// directly, with the same effects the setters would have. With `encoded`
// (the record itself), the record is first put through the dump-byte rule,
// and the bytes whose encoding by writeRaw may differ from the byte read
// (read as another value, made of several fields, or not read) are stored
// over it; writeRaw writes every other byte as it was read.
template <bool kInPlace>
void decode(CBaseControlState& ctl, const uint8_t* record, uint8_t* encoded, Snapshot* snapshot) {
    const uint8_t* const r = record;
    if (kInPlace && ByteSequence::hasTopBitByte(r, kSize)) {
        // What the save will write: the dump-byte rule, in place.
        for (size_t i = 0; i < kSize; ++i) encoded[i] = ByteSequence::dumpByte(r[i]);
    }

    size_t length = kNameLength;
    uint64_t name;
    std::memcpy(&name, r, kNameLength);
    if constexpr (std::endian::native == std::endian::little) {
        // Trailing blanks found in one word: the highest byte that is not a blank ends the name.
        const uint64_t nonBlank = name ^ 0x2020202020202020ull;
        length = nonBlank ? static_cast<size_t>(71 - std::countl_zero(nonBlank)) / 8 : 0;
    } else {
        while (length > 0 && r[length - 1] == ' ') --length;
    }
    const uint64_t keep = firstNameBytes(length);
    if (!isName(ctl.name, name, keep, length)) assignName(ctl.name, r, length);
    if (!isName(ctl.pluginBinding.shortName, name, keep, length)) assignName(ctl.pluginBinding.shortName, r, length);

    const int type = r[8] == ControlType::NoteOnOffAlt ? int{ControlType::NoteOnOff} : r[8];
    const uint8_t action = r[13];
    const uint8_t pot = r[14];
    const uint8_t ports = r[18];
    const uint8_t channelByte = r[19];
    const unsigned actionBits = (action >> 2) & 0x07u;
    const unsigned groupBits = (ports >> 5) & 0x03u;
    const ChannelBits channel = kChannelBits[channelByte];

    // As setControlType without the clamp (the pot byte below sets flagB0).
    // The fields as most types read them; MMC and Note On/Off records follow.
    ctl.rawByte5 = r[23];
    ctl.rawByte6 = r[24];
    ctl.rawByte7 = r[25];
    ctl.controlType = type;
    ctl.snapshotValue = r[20] * 128 + r[21];
    const uint64_t flags = bitsAsBytes((action & 0x03u) | ((ports & 0x1Fu) << 2));
    std::memcpy(&ctl.flagA0, &flags, 7);  // flagA0, flagA1, portMidi1 .. portUsb3
    ctl.portGroup = kPortGroupByBits[groupBits];
    // Bits 0 and 2 of the pot byte are set when flagB0 and flagB2 are false.
    const uint64_t potFlags = bitsAsBytes((pot ^ 0x05u) & 0x0Fu);
    std::memcpy(&ctl.flagB0, &potFlags, 4);  // flagB0, flagB1, flagB2, reversedRange
    ctl.potCatchup = pot >> 5;
    ctl.msbNumber = r[16];
    ctl.flagB4 = pot & 0x10;
    ctl.stepSize = static_cast<uint8_t>(r[22] + 1);
    ctl.buttonAction = kActionByBits[actionBits];
    // The message's three header bytes and its bytes are read as they are,
    // but for the end position (the length + 1).
    SysExMessage& m = ctl.sysExData;
    std::memcpy(&m, r + 26, kSize - 26);
    m.endPosition = static_cast<uint8_t>(r[27] + 1);

    int format = ctl.displayFormat;
    if (isStoredDisplayFormat(r[15])) format = r[15];
    else if (type == ControlType::MMC) format = DisplayFormat::Mmc;
    else if (format == DisplayFormat::Mmc) format = DisplayFormat::Range0To127;
    ctl.displayFormat = format;

    if (type == ControlType::MMC) {
        // The command where the low value would be; the channel byte is the
        // device number alone, and the group and the flag stay as they were.
        ctl.mmcCommand = r[10];
        ctl.onValue = r[11] * 128 + r[12];
        ctl.lsbNumber = r[17];
        ctl.midiChannel = channelByte;
        if (kInPlace) {
            encoded[9] = highBits(ctl.offValue);
            encoded[13] = action & 0x03;
        }
    } else {
        ctl.channelFlag = channelByte & 0x10;
        ctl.channelGroup = channel.group;
        ctl.midiChannel = channel.midiChannel;
        if (kInPlace) {
            encoded[13] = static_cast<uint8_t>((action & 0x03) | kActionBitsByBits[actionBits]);
            encoded[19] = channel.encoded;
        }
        if (type == ControlType::NoteOnOff) {
            // The note where the low value would be, the velocity in the low
            // byte of the high value, the high value in the number byte.
            ctl.offValue = r[12];
            ctl.onValue = r[17];
            ctl.lsbNumber = r[10];
            if (kInPlace) {
                encoded[8] = static_cast<uint8_t>(type);
                encoded[9] = 0;
                encoded[11] = 0;
            }
        } else {
            ctl.offValue = r[9] * 128 + r[10];
            ctl.onValue = r[11] * 128 + r[12];
            ctl.lsbNumber = r[17];
        }
    }
    if (kInPlace) {
        // Writing the display format, the port group and the data-position
        // flag back may give other bytes than those read.
        encoded[15] = displayByte(format);
        encoded[18] = static_cast<uint8_t>((ports & 0x1F) | kPortGroupBitsByBits[groupBits]);
        encoded[26] = r[28] != 0 ? 1 : 0;
        // The name bytes as encoded are those read (blanks and all).
        std::memcpy(snapshot->values, recordValues(ctl), kRecordValuesSize);
        snapshot->name = name;
    }
}
}  // namespace

void readFrom(CBaseControlState& ctl, const uint8_t* record) { decode<false>(ctl, record, nullptr, nullptr); }

void readInPlace(CBaseControlState* const* controls, size_t count, uint8_t* records, Snapshot* snapshots) {
    for (size_t i = 0; i < count; ++i)
        decode<true>(*controls[i], records + i * kSize, records + i * kSize, snapshots + i);
}

}  // namespace ControlRecord
