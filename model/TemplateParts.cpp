#include "TemplateParts.h"

#include <algorithm>
#include <cstring>


// ---- helpers ---------------------------------------------------------------

// Names are written as they were read: every stored character (a NUL
// included) up to the field's length, then blanks.
void writeNameField(ByteSequence& out, const std::string& text, size_t length) {
    uint8_t* field = out.extend(length);
    size_t n = 0;
    for (; n < length && n < text.size(); ++n) field[n] = ByteSequence::dumpByte(static_cast<uint8_t>(text[n]));
    for (; n < length; ++n) field[n] = 0x20;
}

std::string readNameField(const ByteSequence& bytes, size_t& position, size_t length) {
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(bytes[position + i]));
    position += length;
    return text;
}

std::string trimTrailingBlanks(const std::string& text) {
    // A name read from a dump may hold a NUL: it ends the name as shown.
    std::string shown = text.substr(0, text.find('\0'));
    const size_t end = shown.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : shown.substr(0, end + 1);
}

// ---- header ----------------------------------------------------------------

CSysExHeader::CSysExHeader() { bytes = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}; }

bool CSysExHeader::read(const ByteSequence& in, size_t& position) {
    if (in.size() < kSize || position > in.size() - kSize) return false;
    const uint8_t* b = in.data() + position;
    // Checked before anything is stored: a rejected dump leaves the header as it was.
    if (!(b[1] == 0x00 && b[2] == 0x20 && b[3] == 0x29 && b[4] == 0x02 && b[6] == 0x7F &&
          (b[5] == 0x00 || b[5] == 0x03)))
        return false;
    std::copy(b, b + kSize, bytes.begin());
    position += kSize;
    return true;
}

ByteSequence CSysExHeader::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CSysExHeader::appendTo(ByteSequence& out) const { writeTo(out.extend(kSize)); }

void CSysExHeader::writeTo(uint8_t* to) const {
    to[0] = bytes[0];  // the dump's opening framing byte
    for (size_t i = 1; i < kSize; ++i) to[i] = ByteSequence::dumpByte(bytes[i]);
}

// ---- groups ----------------------------------------------------------------

bool CTaNGRAQVGroups::read(const ByteSequence& in, size_t& p) {
    const uint8_t b0 = in[p], b1 = in[p + 1], b2 = in[p + 2], b3 = in[p + 3];
    p += kSize;
    kbdChannel = static_cast<uint8_t>((b0 & 0x0F) + 1);
    kbdAsCommonChannel = b0 & 0x10;
    decodePorts(b1, kbdPortMidi1, kbdPortMidi2, kbdPortUsb1, kbdPortUsb2, kbdPortUsb3);
    kbdAsCommonPorts = !(b1 & 0x40);
    commonChannel = static_cast<uint8_t>(b2 + 1);
    decodePorts(b3, commonPortMidi1, commonPortMidi2, commonPortUsb1, commonPortUsb2, commonPortUsb3);
    return true;
}

ByteSequence CTaNGRAQVGroups::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CTaNGRAQVGroups::appendTo(ByteSequence& out) const {
    uint8_t* to = out.extend(kSize);
    writeTo(to);
    ByteSequence::clearTopBitBytes(to, kSize);
}

void CTaNGRAQVGroups::writeTo(uint8_t* to) const {
    to[0] = kbdAsCommonChannel ? 0x10 : static_cast<uint8_t>(kbdChannel - 1);
    to[1] = encodePorts(kbdPortMidi1, kbdPortMidi2, kbdPortUsb1, kbdPortUsb2, kbdPortUsb3) |
            (kbdAsCommonPorts ? 0 : 0x40);
    to[2] = static_cast<uint8_t>(commonChannel - 1);
    to[3] = encodePorts(commonPortMidi1, commonPortMidi2, commonPortUsb1, commonPortUsb2, commonPortUsb3) | 0x40;
}

// ---- locals ----------------------------------------------------------------

void CTaNGRAQVLocals::reset() {
    resetLocalData();
    deviceByte49 = deviceByte50 = deviceByte51 = deviceByte54 = 0;
    numCmn = 90;
    pgcnSize = 41;
    deviceByte57 = 0;
    deviceBytes58.fill(0);
    rowSelectDefaults = kRowSelectDefaults;
    deviceByte84 = 3;
    deviceByte85 = 5;
    groups.resetGroups();
    deviceByte95 = 0;
}

bool CTaNGRAQVLocals::read(const ByteSequence& in, size_t& p) {
    if (in.size() < kSize || p > in.size() - kSize) return false;
    const size_t base = p;
    // Checked once above: the bytes are read through a plain pointer.
    const uint8_t* const b = in.data() + base;
    const char* text = reinterpret_cast<const char*>(b);
    templateName.assign(text, kTemplateNameLength);
    manufacturerName.assign(text + kTemplateNameLength, kManufacturerNameLength);
    deviceByte48 = b[48];
    deviceByte49 = b[49];
    deviceByte50 = b[50];
    deviceByte51 = b[51];
    hasDeviceByte51 = deviceByte51 != 0;
    groupPageCount = b[52];
    groupPageNumber = b[53];
    deviceByte54 = b[54];
    numCmn = b[55];
    pgcnSize = b[56];
    deviceByte57 = b[57];
    for (size_t i = 0; i < deviceBytes58.size(); ++i) deviceBytes58[i] = b[58 + i];
    for (size_t i = 0; i < rowSelectDefaults.size(); ++i) rowSelectDefaults[i] = b[68 + i];
    deviceByte84 = b[84];
    deviceByte85 = b[85];
    size_t g = base + 86;
    groups.read(in, g);
    deviceByte90 = b[90];
    deviceByte91 = b[91];
    velocityCurve = b[92];
    octave = b[93];
    const uint8_t flags = b[94];
    potPickup = flags & 0x01;
    autoSnapshot = flags & 0x02;
    afterTouch = !(flags & 0x04);
    deviceByte95 = b[95];
    p = base + kSize;
    return true;
}

ByteSequence CTaNGRAQVLocals::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CTaNGRAQVLocals::appendTo(ByteSequence& out) const {
    uint8_t* to = out.extend(kSize);
    writeTo(to);
    ByteSequence::clearTopBitBytes(to, kSize);
}

namespace {
void putNameField(uint8_t* to, const std::string& text, size_t length) {
    const size_t n = std::min(length, text.size());
    std::memcpy(to, text.data(), n);
    std::memset(to + n, 0x20, length - n);
}
}  // namespace

void CTaNGRAQVLocals::writeTo(uint8_t* to) const {
    putNameField(to, templateName, kTemplateNameLength);
    putNameField(to + kTemplateNameLength, manufacturerName, kManufacturerNameLength);
    to[48] = deviceByte48;
    to[49] = deviceByte49;
    to[50] = deviceByte50;
    to[51] = deviceByte51;
    const bool pages = groupPageCount >= 2;
    to[52] = pages ? groupPageCount : 0;
    to[53] = pages ? groupPageNumber : 0;
    to[54] = deviceByte54;
    to[55] = numCmn;
    to[56] = pgcnSize;
    to[57] = deviceByte57;
    std::copy(deviceBytes58.begin(), deviceBytes58.end(), to + 58);
    std::copy(rowSelectDefaults.begin(), rowSelectDefaults.end(), to + 68);
    to[84] = deviceByte84;
    to[85] = deviceByte85;
    groups.writeTo(to + 86);
    to[90] = deviceByte90;
    to[91] = deviceByte91;
    to[92] = velocityCurve;
    to[93] = octave;
    to[94] = static_cast<uint8_t>((potPickup ? 0x01 : 0) | (autoSnapshot ? 0x02 : 0) | (afterTouch ? 0 : 0x04));
    to[95] = deviceByte95;
}

// ---- keyboard zones ----------------------------------------------------------

void CKeyboardZone::resetZone(bool enabled, bool hasMidiPort2) {
    *this = CKeyboardZone{};
    portMidi1 = enabled;
    portMidi2 = enabled && hasMidiPort2;
    portUsb1 = enabled;
    portUsb2 = portUsb3 = false;
}

bool CKeyboardZone::setBottomNote(int n) {
    if (n < 0 || n > topNote) return false;
    bottomNote = n;
    return true;
}

bool CKeyboardZone::setTopNote(int n) {
    if (n < bottomNote || n > 127) return false;
    topNote = n;
    return true;
}

bool CTaNGRAQVKeyboardZone::read(const ByteSequence& in, size_t& p) {
    if (in.size() < kSize || p > in.size() - kSize) return false;
    const uint8_t* const b = in.data() + p;
    const uint8_t ch = b[0];
    channelGroup = ch == 0x00 ? 1 : ch == 0x20 ? 2 : 0;
    channel = ch & 0x0F;
    const uint8_t ports = b[1];
    decodePorts(ports, portMidi1, portMidi2, portUsb1, portUsb2, portUsb3);
    portGroup = (ports & 0x20) ? 2 : (ports & 0x40) ? 0 : 1;
    velocityOffset = b[2];
    bottomNote = b[3];
    topNote = b[4];
    transpose = b[5];
    const uint8_t flags = b[6];
    pitchBend = flags & 0x01;
    modWheel = flags & 0x02;
    afterTouch = flags & 0x04;
    p += kSize;
    return true;
}

ByteSequence CTaNGRAQVKeyboardZone::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CTaNGRAQVKeyboardZone::appendTo(ByteSequence& out) const {
    uint8_t* to = out.extend(kSize);
    writeTo(to);
    ByteSequence::clearTopBitBytes(to, kSize);
}

void CTaNGRAQVKeyboardZone::writeTo(uint8_t* to) const {
    to[0] = channelGroup == 1 ? 0x00 : channelGroup == 2 ? 0x20 : static_cast<uint8_t>(0x40 + channel);
    uint8_t ports = encodePorts(portMidi1, portMidi2, portUsb1, portUsb2, portUsb3);
    if (portGroup == 0) ports |= 0x40;
    if (portGroup == 2) ports |= 0x20;
    to[1] = ports;
    to[2] = static_cast<uint8_t>(velocityOffset);
    to[3] = static_cast<uint8_t>(bottomNote);
    to[4] = static_cast<uint8_t>(topNote);
    to[5] = static_cast<uint8_t>(transpose);
    to[6] = static_cast<uint8_t>((pitchBend ? 0x01 : 0) | (modWheel ? 0x02 : 0) | (afterTouch ? 0x04 : 0));
    to[7] = to[8] = to[9] = 0;
}
