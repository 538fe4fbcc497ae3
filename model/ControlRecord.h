#pragma once
// The 41-byte control record of the target device's dump.
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
// writeRaw in two halves. The bytes a read stores unchanged in one field
// each (name, 10, 12, 14, 16, 17, 20..25, 27..40): for a control just read
// from a record, these are the record's own bytes.
void writeReadBytes(const CBaseControlState& ctl, uint8_t* record);
// The others (8, 9, 11, 13, 15, 18, 19, 26), whose encoding may differ from
// the byte read: read as another value, made of several fields, or not read.
void writeDerivedBytes(const CBaseControlState& ctl, uint8_t* record);
// Reads one record at `position` and advances past it; the caller has made
// sure the bytes are there.
void read(CBaseControlState& ctl, const ByteSequence& bytes, size_t& position);
// Reads the kSize bytes at `record`.
void readFrom(CBaseControlState& ctl, const uint8_t* record);
// As readFrom, from bytes that passed the dump-byte rule, and turns them into
// the model's encoding of the control read: the bytes writeDerivedBytes
// makes are stored over the record's (writeReadBytes would write the others
// as they are).
void readInPlace(CBaseControlState& ctl, uint8_t* record);

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
