#pragma once
// The 41-byte control record of the target device's dump.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ByteSequence.h"
#include "ControlState.h"

namespace ControlRecord {
constexpr size_t kSize = 41;
constexpr size_t kNameLength = 8;
constexpr size_t kTypeByte = 8;

void write(const CBaseControlState& ctl, ByteSequence& out);
// Writes one record into kSize bytes at `record`.
void writeTo(const CBaseControlState& ctl, uint8_t* record);
// As writeTo, but leaves the dump-byte rule to the caller (who applies it to
// the whole dump at once).
void writeRaw(const CBaseControlState& ctl, uint8_t* record);
// Whether 8 bytes can be read from the start of any string's buffer. The
// standard libraries keep short strings in a buffer of at least 16 bytes
// within the string and allocate only for longer ones.
inline bool holdsNameBytes(const std::string& name) {
#if defined(__GLIBCXX__) || defined(_LIBCPP_VERSION) || defined(_MSVC_STL_VERSION)
    (void)name;
    return true;
#else
    return name.capacity() >= kNameLength;
#endif
}

// The mask of the first `length` (at most 8) bytes of a word of name bytes.
inline uint64_t firstNameBytes(size_t length) {
    static constexpr uint64_t kMasks[kNameLength + 1] = {
        0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFFF, ~uint64_t{0}};
    return kMasks[length];
}

// The record's 8 name bytes for `name`, as one word (first byte lowest): the
// name's first 8 characters as they are, blank-filled to 8 (a NUL the reader
// kept, as some units pad names with NULs, is written back as a NUL).
inline uint64_t nameBytes(const std::string& name) {
    const size_t length = name.size() < kNameLength ? name.size() : kNameLength;
    if constexpr (std::endian::native == std::endian::little) {
        // 8 bytes are read at once; the bytes past the name are masked off.
        if (holdsNameBytes(name)) {
            uint64_t w;
            std::memcpy(&w, name.data(), 8);
            const uint64_t keep = firstNameBytes(length);
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

// The leading bytes of ControlValues that a control record is encoded from
// (the names aside).
constexpr size_t kRecordValuesSize = offsetof(ControlValues, sourcePortByte);

// What a control's record is made of, kept to tell at little cost whether
// the control still encodes as it did.
struct Snapshot {
    uint8_t values[kRecordValuesSize];  // the control's first kRecordValuesSize bytes of ControlValues
    uint64_t name;                      // nameBytes of the name
};
inline const uint8_t* recordValues(const CBaseControlState& ctl) {
    return reinterpret_cast<const uint8_t*>(static_cast<const ControlValues*>(&ctl));
}
// Of `ctl`, whose record is `record` (as writeRaw writes it).
inline void takeSnapshot(const CBaseControlState& ctl, const uint8_t* record, Snapshot& snapshot) {
    // Byte for byte: the values hold no padding.
    std::memcpy(snapshot.values, recordValues(ctl), kRecordValuesSize);
    std::memcpy(&snapshot.name, record, kNameLength);
}
// True when writeRaw writes for `ctl` what it wrote for the control the
// snapshot was taken of.
inline bool encodesAs(const CBaseControlState& ctl, const Snapshot& snapshot) {
    return ByteSequence::sameBytes(snapshot.values, recordValues(ctl), kRecordValuesSize) &&
           nameBytes(ctl.name) == snapshot.name;
}

// Reads one record at `position` and advances past it; the caller has made
// sure the bytes are there.
void read(CBaseControlState& ctl, const ByteSequence& bytes, size_t& position);
// Reads the kSize bytes at `record`.
void readFrom(CBaseControlState& ctl, const uint8_t* record);
// For `count` records in a row, record i for *controls[i]: puts the record
// through the dump-byte rule, reads it as readFrom does, turns it into what
// writeRaw writes for the control read (a read stores most bytes in a field
// of their own, which writes them back as they are; the others are encoded
// over the record's), and takes snapshots[i] of the control and that record.
void readInPlace(CBaseControlState* const* controls, size_t count, uint8_t* records, Snapshot* snapshots);

// Pieces shared with the sibling devices' record forms.
uint8_t encodeActionByte(const CBaseControlState& ctl);
void decodeActionByte(CBaseControlState& ctl, uint8_t b);
uint8_t encodePotByte(const CBaseControlState& ctl);
void decodePotByte(CBaseControlState& ctl, uint8_t b);
uint8_t encodePortsByte(const CBaseControlState& ctl);
void decodePortsByte(CBaseControlState& ctl, uint8_t b);
uint8_t encodeChannelByte(const CBaseControlState& ctl);
void decodeChannelByte(CBaseControlState& ctl, uint8_t b);
// 0..9, 15, 16 and 17.
inline bool isStoredDisplayFormat(int format) {
    return static_cast<unsigned>(format) <= 17 && ((0x383FFu >> format) & 1u);
}
bool isNoteType(int type);
}  // namespace ControlRecord
