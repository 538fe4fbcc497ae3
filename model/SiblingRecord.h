#pragma once
// The control-record pieces that the sibling devices' dumps share: a 16-char
// name, a mapped type byte, action and pot bytes in a continuous and a button
// form, a channel byte, two display-byte forms and a 21-byte SysEx block.
// Readers decode into a control that the caller has reset; writers encode the
// same fields back (bits no field holds are written as 0).
#include <cstddef>
#include <cstdint>
#include <string>

#include "ByteSequence.h"
#include "ControlState.h"

namespace SiblingRecord {
constexpr size_t kNameLength = 16;
constexpr size_t kSysExBlockSize = 21;

// How a device stores control types: dump value to ControlType and back.
struct TypeMapping {
    int (*fromDump)(int value);
    int (*toDump)(int type);
};
extern const TypeMapping kPlainTypes;  // the byte is the type itself

// A whole record is decoded from / encoded into a fixed span of bytes.
// 16 characters, up to the first NUL, without trailing blanks.
std::string readName(const uint8_t* r);
void writeName(uint8_t* r, const std::string& name);

// Maps the type byte, reads 7 as Note On/Off, and sets it without clamping.
void readType(CBaseControlState& ctl, uint8_t b, const TypeMapping& mapping);
uint8_t writeType(const CBaseControlState& ctl, const TypeMapping& mapping);

void decodeActionByte(CBaseControlState& ctl, uint8_t b, bool button);
uint8_t encodeActionByte(const CBaseControlState& ctl, bool button);
void decodePotByte(CBaseControlState& ctl, uint8_t b, bool button);
uint8_t encodePotByte(const CBaseControlState& ctl, bool button);
void decodeChannelByte(CBaseControlState& ctl, uint8_t b);
uint8_t encodeChannelByte(const CBaseControlState& ctl);
void decodeDisplayFormA(CBaseControlState& ctl, uint8_t b);
uint8_t encodeDisplayFormA(const CBaseControlState& ctl);
void decodeDisplayFormB(CBaseControlState& ctl, uint8_t b);
uint8_t encodeDisplayFormB(const CBaseControlState& ctl);
void decodeSysExBlock(CBaseControlState& ctl, const uint8_t* block);
void encodeSysExBlock(const CBaseControlState& ctl, uint8_t* block);

// Bytes 0..25 of the synthesizers' records: name, type, off and on values,
// action, pot, display (form B), MSB, LSB, channel, MMC command or snapshot.
constexpr size_t kSynthHeadSize = 26;
void readSynthHead(CBaseControlState& ctl, const uint8_t* r, bool button, const TypeMapping& mapping);
void writeSynthHead(const CBaseControlState& ctl, uint8_t* r, bool button, const TypeMapping& mapping);

// Stores `v` at r[i] under the dump's byte rule.
inline void put(uint8_t* r, size_t i, int v) { r[i] = ByteSequence::dumpByte(static_cast<uint8_t>(v)); }
}  // namespace SiblingRecord
