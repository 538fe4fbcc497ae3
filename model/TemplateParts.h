#pragma once
// The serialisable pieces of a template dump: header, template-wide settings,
// port and channel groups, keyboard zones.
#include <array>
#include <cstdint>
#include <string>

#include "SysExSerialise.h"

// 13-byte dump header.
class CSysExHeader : public ISysExSerialise {
public:
    static constexpr size_t kSize = 13;
    CSysExHeader();
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;
    // Writes the kSize bytes at `to` (data bytes through the dump-byte rule).
    void writeTo(uint8_t* to) const;

    uint8_t deviceType() const { return bytes[5]; }
    std::array<uint8_t, kSize> bytes{};
};

class CTaNGRAQVSysExHeader : public CSysExHeader {};

// Port and channel groups.
struct CTemplateGroupData {
    uint8_t kbdChannel = 1;
    bool kbdPortMidi1 = true, kbdPortMidi2 = true, kbdPortUsb1 = true, kbdPortUsb2 = false, kbdPortUsb3 = false;
    uint8_t commonChannel = 1;
    bool commonPortMidi1 = true, commonPortMidi2 = true, commonPortUsb1 = true, commonPortUsb2 = false,
         commonPortUsb3 = false;
    bool kbdAsCommonChannel = false;
    bool kbdAsCommonPorts = false;
    bool operator==(const CTemplateGroupData&) const = default;
};

class CTemplateGroups : public CTemplateGroupData, public ISysExSerialise {
public:
    void resetGroups() { static_cast<CTemplateGroupData&>(*this) = CTemplateGroupData{}; }
};

class CTaNGRAQVGroups : public CTemplateGroups {
public:
    static constexpr size_t kSize = 4;
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;
    // Writes the kSize bytes at `to` as they are; the caller applies the dump-byte rule.
    void writeTo(uint8_t* to) const;
};

// Template-wide settings shared by the device family.
struct CTemplateLocalData {
    static constexpr int kTemplateNameLength = 35;
    static constexpr int kManufacturerNameLength = 13;

    uint8_t deviceByte48 = 0;
    uint8_t keyboardChannel = 0;
    uint8_t deviceByte90 = 0;
    uint8_t deviceByte91 = 0;
    uint8_t velocityCurve = 2;
    uint8_t octave = 4;
    uint8_t localByteA = 0;
    uint8_t localByteB = 0;
    bool keyboardPortMidi1 = true;
    bool keyboardPortMidi2 = true;
    bool keyboardPortUsb = true;
    bool afterTouch = true;
    bool potPickup = false;
    bool autoSnapshot = false;
    bool synthTemplate = false;
    uint8_t overrideChannel = 0;
    int32_t padXType = 0;
    int32_t padYType = 0;
    std::string templateName = "Untitled";   // stored as read, blanks included
    std::string manufacturerName = "Unknown";
    uint8_t groupPageCount = 1;
    uint8_t groupPageNumber = 1;
    bool hasDeviceByte51 = false;
    int32_t synthByControl = 0;
    uint8_t synthByMidi = 0;
    uint8_t hybrid = 0;
    int32_t transpose = 0;

    // Setting a name copies at most the field's length.
    void setTemplateName(const std::string& text) { templateName = text.substr(0, kTemplateNameLength); }
    void setManufacturerName(const std::string& text) {
        manufacturerName = text.substr(0, kManufacturerNameLength);
    }
    void resetLocalData() { *this = CTemplateLocalData{}; }
};

class CTemplateLocals : public CTemplateLocalData, public ISysExSerialise {};

class CTaNGRAQVLocals : public CTemplateLocals {
public:
    static constexpr size_t kSize = 96;
    static constexpr std::array<uint8_t, 16> kRowSelectDefaults = {0x00, 0x19, 0x00, 0x01, 0x00, 0x21, 0x00, 0x09,
                                                                   0x00, 0x39, 0x00, 0x11, 0x00, 0x29, 0x00, 0x31};

    CTaNGRAQVLocals() { reset(); }
    void reset();
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;
    // Writes the kSize bytes at `to` as they are; the caller applies the dump-byte rule.
    void writeTo(uint8_t* to) const;

    uint8_t deviceByte49, deviceByte50, deviceByte51, deviceByte54;
    uint8_t numCmn, pgcnSize, deviceByte57;
    std::array<uint8_t, 10> deviceBytes58;
    std::array<uint8_t, 16> rowSelectDefaults;
    uint8_t deviceByte84, deviceByte85;
    CTaNGRAQVGroups groups;
    uint8_t deviceByte95;
};

// One keyboard zone.
struct CKeyboardZone {
    int32_t transpose = 64;
    int32_t velocityOffset = 2;
    int32_t channelGroup = 0;
    int32_t channel = 0;
    int32_t portGroup = 0;
    bool portMidi1 = true, portMidi2 = true, portUsb1 = true, portUsb2 = false, portUsb3 = false;
    bool afterTouch = true;
    bool pitchBend = true;
    bool modWheel = true;
    int32_t bottomNote = 0;
    int32_t topNote = 127;

    // Ports MIDI 1, USB 1 and (where the device has it) MIDI 2 follow `enabled`.
    void resetZone(bool enabled, bool hasMidiPort2);
    bool setBottomNote(int n);
    bool setTopNote(int n);
    bool operator==(const CKeyboardZone&) const = default;
};

class CTaNGRAQVKeyboardZone : public CKeyboardZone, public ISysExSerialise {
public:
    static constexpr size_t kSize = 10;
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;
    // Writes the kSize bytes at `to` as they are; the caller applies the dump-byte rule.
    void writeTo(uint8_t* to) const;
};

// Name field helpers shared by every dump format: blank-filled on write,
// taken as they are on read.
void writeNameField(ByteSequence& out, const std::string& text, size_t length);
std::string readNameField(const ByteSequence& bytes, size_t& position, size_t length);
// A name as shown: trailing blanks removed.
std::string trimTrailingBlanks(const std::string& text);
// Ports byte (bits 0..4) with the port-group bits shared by controls and zones.
inline uint8_t encodePorts(bool m1, bool m2, bool u1, bool u2, bool u3) {
    return static_cast<uint8_t>(m1 | (m2 << 1) | (u1 << 2) | (u2 << 3) | (u3 << 4));
}
inline void decodePorts(uint8_t b, bool& m1, bool& m2, bool& u1, bool& u2, bool& u3) {
    m1 = b & 0x01;
    m2 = b & 0x02;
    u1 = b & 0x04;
    u2 = b & 0x08;
    u3 = b & 0x10;
}
