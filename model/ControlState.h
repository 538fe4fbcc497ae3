#pragma once
// The settings record of one control: which MIDI message it sends, where,
// over which range, and how the hardware shows it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

// Stored as plain ints: a dump may hold values outside these names and they
// must survive a round trip.
namespace ControlType {
enum : int {
    Disabled = 0, CC = 1, NRPN = 2, RPN = 3, SysEx = 4, MMC = 5, NoteOnOff = 6, NoteOnOffAlt = 7,
    BankSelect = 8, ProgramChange = 9, PitchBend = 10, DrumNote = 11, Aftertouch = 12
};
}
namespace DisplayFormat {
enum : int {
    Range0To127 = 0, RangeMinus64To63 = 1, Mmc = 2, OnStrokeOff = 3, Relative1 = 6, Relative2 = 7,
    Send14Bit = 9, AbsolutePot = 17
};
}
namespace ButtonAction {
enum : int { Normal = 0, Momentary = 1, Toggle = 2, Step = 3 };
}
namespace PortGroup {
enum : int { Own = 0, Common = 1, Keyboard = 2 };
}
namespace ChannelGroup {
enum : int { Own = 0, Common = 1, Keyboard = 2 };
}
namespace MmcCommand {
enum : int {
    Stop = 1, Play = 2, DeferredPlay = 3, Forward = 4, Rewind = 5, Record = 6, RecordExit = 7,
    RecordPause = 8, Pause = 9, Eject = 10, Chase = 11, ErrorReset = 12, MmcReset = 13
};
}

// A user SysEx message of at most kMaxBytes bytes with an optional data byte.
struct SysExMessage {
    static constexpr int kMaxBytes = 12;  // the target device's maximum SysEx length

    uint8_t hasDataPosition = 0;
    uint8_t endPosition = 1;   // byte count + 1
    uint8_t dataPosition = 0;  // 1-based; 0 = no data byte
    std::array<uint8_t, kMaxBytes> bytes{};

    int length() const { return endPosition > 0 ? endPosition - 1 : 0; }
    bool operator==(const SysExMessage&) const = default;
};

struct PluginBinding {
    std::string fullName;
    std::string shortName;
    int32_t index = -1;  // -1 = not bound
    bool operator==(const PluginBinding&) const = default;
};

// The plain values among a control's settings: everything but its names and
// its plug-in link (see CBaseControlState). Kept in one piece so that a copy
// of them can be taken and compared at once. Those a dump's control record
// holds come first, without padding (up to sourcePortByte): telling whether
// a control still encodes as it did compares only them.
struct ControlValues {
    int32_t controlType;
    int32_t snapshotValue;
    int32_t portGroup;
    int32_t channelGroup;
    int32_t potCatchup;
    int32_t midiChannel;
    int32_t mmcCommand;
    int32_t displayFormat;
    int32_t offValue;
    int32_t onValue;
    int32_t buttonAction;
    uint8_t rawByte5;
    uint8_t rawByte6;
    uint8_t rawByte7;
    bool channelFlag;
    bool flagA0;
    bool flagA1;
    bool portMidi1;
    bool portMidi2;
    bool portUsb1;
    bool portUsb2;
    bool portUsb3;
    // In the order of their bits in a dump record's pot byte.
    bool flagB0;
    bool flagB1;
    bool flagB2;
    bool reversedRange;
    bool flagB4;
    uint8_t lsbNumber;
    uint8_t msbNumber;
    uint8_t stepSize;
    SysExMessage sysExData;
    // Kept elsewhere in a dump, or not at all.
    uint8_t sourcePortByte;
    bool potBit6 = false;  // reset leaves it as it is
    uint8_t channelHighBits;
    int32_t drumAutoOffTime;
    int32_t drumOffSync;
};
static_assert(std::is_trivially_copyable_v<ControlValues>);

class CBaseControlState : public ControlValues {
public:
    // The values start from all bytes zero (padding included, so that two
    // copies of equal values compare equal byte for byte), then take their defaults.
    CBaseControlState() : ControlValues() { reset(); }
    CBaseControlState(const CBaseControlState&) = default;
    CBaseControlState& operator=(const CBaseControlState&) = default;
    virtual ~CBaseControlState() = default;

    // Seven text lines describing the control (name, channel, type, details).
    virtual std::array<std::string, 7> describe() const;
    virtual std::string label() const;
    virtual bool hasValueRange() const;

    virtual int getControlType() const { return controlType; }
    virtual std::string getName() const { return name; }
    virtual std::string getDisplayName() const { return longName.empty() ? name : longName; }
    virtual int getSnapshotValue() const { return snapshotValue; }
    virtual bool getFlagA0() const { return flagA0; }
    virtual bool getFlagA1() const { return flagA1; }
    virtual bool getPotBit6() const { return potBit6; }
    virtual bool getPortMidi1() const { return portMidi1; }
    virtual bool getPortMidi2() const { return portMidi2; }
    virtual bool getPortUsb1() const { return portUsb1; }
    virtual bool getPortUsb2() const { return portUsb2; }
    virtual bool getPortUsb3() const { return portUsb3; }
    virtual int getPortGroup() const { return portGroup; }
    virtual int getChannelGroup() const { return channelGroup; }
    virtual bool getFlagB0() const { return flagB0; }
    virtual bool getFlagB1() const { return flagB1; }
    virtual bool getReversedRange() const { return reversedRange; }
    virtual bool getFlagB2() const { return flagB2; }
    virtual int getPotCatchup() const { return potCatchup; }
    virtual uint8_t getLsbNumber() const { return lsbNumber; }
    virtual uint8_t getMsbNumber() const { return msbNumber; }
    virtual int getMidiChannel() const { return midiChannel; }
    virtual int getMmcCommand() const { return mmcCommand; }
    virtual int getOffValue() const { return offValue; }
    virtual int getOnValue() const { return onValue; }
    virtual int getDrumAutoOffTime() const { return drumAutoOffTime; }
    virtual int getDrumOffSync() const { return drumOffSync; }
    virtual uint8_t getChannelHighBits() const { return channelHighBits; }
    virtual int getDisplayFormat() const { return displayFormat; }
    virtual bool getFlagB4() const { return flagB4; }
    virtual SysExMessage getSysExData() const { return sysExData; }

    virtual void reset();
    virtual void setControlType(int type, bool clampNow);
    virtual void setName(const std::string& text);
    virtual void setLongName(const std::string& text) { longName = text; }
    virtual void setSnapshotValue(int v) { snapshotValue = v; }
    virtual void setFlagA0(bool b) { flagA0 = b; }
    virtual void setFlagA1(bool b) { flagA1 = b; }
    virtual void setPotBit6(bool b) { potBit6 = b; }
    virtual void setPortMidi1(bool b) { portMidi1 = b; }
    virtual void setPortMidi2(bool b) { portMidi2 = b; }
    virtual void setPortUsb1(bool b) { portUsb1 = b; }
    virtual void setPortUsb2(bool b) { portUsb2 = b; }
    virtual void setPortUsb3(bool b) { portUsb3 = b; }
    virtual void setPortGroup(int g) { portGroup = g; }
    virtual void setChannelGroup(int g) { channelGroup = g; }
    virtual void setFlagB0(bool b) { flagB0 = b; }
    virtual void setFlagB1(bool b) { flagB1 = b; }
    virtual void setReversedRange(bool b) { reversedRange = b; }
    virtual void setFlagB2(bool b) { flagB2 = b; }
    virtual void setPotCatchup(int v) { potCatchup = v; }
    virtual void setLsbNumber(uint8_t n) { lsbNumber = n; }
    virtual void setMsbNumber(uint8_t n) { msbNumber = n; }
    virtual void setMidiChannel(int c) { midiChannel = c; }
    virtual void setMmcCommand(int c) { mmcCommand = c; }
    virtual void setButtonAction(int a);
    virtual void setStepSize(uint8_t n) { stepSize = n; }
    virtual void setDisplayFormat(int f) { displayFormat = f; }
    virtual void setFlagB4(bool b) { flagB4 = b; }
    virtual void setChannelHighBits(uint8_t v) { channelHighBits = v; }
    virtual void setSysExData(const SysExMessage& msg) { sysExData = msg; }
    virtual void setOnValue(int v, bool clampNow);
    virtual void setOffValue(int v, bool clampNow);
    virtual void setDrumAutoOffTime(int v) { drumAutoOffTime = v; }
    virtual void setDrumOffSync(int v) { drumOffSync = v; }

    // Equality over the fields that make two controls "the same control";
    // names shown only by the editor and raw dump bytes are not compared.
    bool operator==(const CBaseControlState& o) const;
    bool operator!=(const CBaseControlState& o) const { return !(*this == o); }

    // Full equality of every field; used to check that undo restores exactly.
    bool sameState(const CBaseControlState& o) const;

    // Brings the default value into the control's range (true when it
    // changed) and notifies the snapshot observer, unless the control has no
    // range to clamp against (then nothing happens and the result is false).
    bool clampSnapshot();
    // The default value clampSnapshot sets, or none when it leaves the control alone.
    std::optional<int> clampedSnapshot() const;
    void bindPluginParameter(const PluginBinding& binding);
    std::string infoText() const;

    static std::string typeName(int type);
    static std::string mmcCommandName(int command);
    static std::string noteName(int note);

    // The control's settings: the plain values above (ControlValues), and these.
    std::string name;
    std::string longName;
    PluginBinding pluginBinding;
    bool isContinuous = false;
};

// Inline: opening a template clamps every control.
inline std::optional<int> CBaseControlState::clampedSnapshot() const {
    // An MMC control sends a fixed command and has no value range; its record
    // does not even keep the low value (that byte holds the command), so a
    // clamp against it would change the default value on every reopening.
    if (controlType == ControlType::Disabled || controlType == ControlType::DrumNote ||
        controlType == ControlType::MMC)
        return std::nullopt;
    if (buttonAction == ButtonAction::Normal && !isContinuous) return offValue;  // a button in normal mode
    if (controlType == ControlType::NoteOnOff) return 0;
    return std::clamp(snapshotValue, std::min(offValue, onValue), std::max(offValue, onValue));
}
