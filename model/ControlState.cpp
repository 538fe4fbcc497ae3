#include "ControlState.h"

#include <algorithm>
#include <cstdio>

#include "ModelHooks.h"

namespace {
std::string format(const char* fmt, int v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}
}  // namespace

void CBaseControlState::reset() {
    sourcePortByte = 0;
    rawByte5 = rawByte6 = rawByte7 = 0;
    channelFlag = false;
    name.clear();
    longName.clear();
    controlType = ControlType::Disabled;
    snapshotValue = 0;
    flagA0 = flagA1 = false;
    portMidi1 = true;
    portMidi2 = false;
    portUsb1 = true;
    portUsb2 = portUsb3 = false;
    portGroup = PortGroup::Own;
    channelGroup = ChannelGroup::Own;
    flagB0 = false;
    flagB1 = false;
    reversedRange = false;
    flagB2 = true;
    potCatchup = 2;
    lsbNumber = 0;
    msbNumber = 0;
    midiChannel = 1;
    mmcCommand = MmcCommand::Stop;
    displayFormat = DisplayFormat::Range0To127;
    flagB4 = true;
    channelHighBits = 0;
    offValue = 0;
    onValue = 127;
    stepSize = 1;
    buttonAction = ButtonAction::Normal;
    drumAutoOffTime = 0;
    drumOffSync = 0;
    sysExData = SysExMessage{};
    pluginBinding = PluginBinding{};
    isContinuous = false;
}

bool CBaseControlState::hasValueRange() const {
    switch (controlType) {
        case ControlType::MMC:
        case ControlType::NoteOnOff:
        case ControlType::NoteOnOffAlt:
        case ControlType::ProgramChange:
            return false;
        default:
            return true;
    }
}

void CBaseControlState::setControlType(int type, bool clampNow) {
    controlType = type;
    if (type == ControlType::MMC) {
        displayFormat = DisplayFormat::Mmc;
        flagB0 = true;
    } else {
        if (displayFormat == DisplayFormat::Mmc) displayFormat = DisplayFormat::Range0To127;
        flagB0 = !(type == ControlType::NRPN || type == ControlType::RPN);
    }
    if (clampNow) clampSnapshot();
}

void CBaseControlState::setName(const std::string& text) {
    name = text;
    pluginBinding.shortName = text;
}

void CBaseControlState::setButtonAction(int a) {
    buttonAction = a;
    if (auto* obs = ModelHooks::get().observers) obs->notifyObservers();
}

void CBaseControlState::setOnValue(int v, bool clampNow) {
    onValue = v;
    reversedRange = offValue > onValue;
    if (clampNow) clampSnapshot();
}

void CBaseControlState::setOffValue(int v, bool clampNow) {
    offValue = v;
    reversedRange = offValue > onValue;
    if (clampNow) clampSnapshot();
}

bool CBaseControlState::clampSnapshot() {
    const std::optional<int> value = clampedSnapshot();
    if (!value) return false;
    const bool changed = *value != snapshotValue;
    snapshotValue = *value;
    if (auto* obs = ModelHooks::get().observers) obs->notifySnapshotObserver();
    return changed;
}

void CBaseControlState::bindPluginParameter(const PluginBinding& binding) {
    pluginBinding = binding;
    if (binding.index == -1) {
        name.clear();
        longName.clear();
        setControlType(ControlType::Disabled, true);
    } else {
        name = binding.shortName;
        longName = binding.fullName;
        setControlType(ControlType::CC, true);
    }
    lsbNumber = 0;
}

bool CBaseControlState::operator==(const CBaseControlState& o) const {
    return name == o.name && controlType == o.controlType && flagA0 == o.flagA0 && flagA1 == o.flagA1 &&
           portMidi1 == o.portMidi1 && portMidi2 == o.portMidi2 && portUsb1 == o.portUsb1 &&
           portUsb2 == o.portUsb2 && portUsb3 == o.portUsb3 && portGroup == o.portGroup &&
           channelGroup == o.channelGroup && flagB0 == o.flagB0 && flagB1 == o.flagB1 &&
           reversedRange == o.reversedRange && flagB2 == o.flagB2 && potCatchup == o.potCatchup &&
           lsbNumber == o.lsbNumber && msbNumber == o.msbNumber && midiChannel == o.midiChannel &&
           mmcCommand == o.mmcCommand && displayFormat == o.displayFormat && flagB4 == o.flagB4 &&
           offValue == o.offValue && onValue == o.onValue && buttonAction == o.buttonAction &&
           stepSize == o.stepSize && channelHighBits == o.channelHighBits && sysExData == o.sysExData &&
           pluginBinding.fullName == o.pluginBinding.fullName && pluginBinding.index == o.pluginBinding.index &&
           sourcePortByte == o.sourcePortByte;
}

bool CBaseControlState::sameState(const CBaseControlState& o) const {
    return *this == o && longName == o.longName && snapshotValue == o.snapshotValue && potBit6 == o.potBit6 &&
           drumAutoOffTime == o.drumAutoOffTime && drumOffSync == o.drumOffSync && rawByte5 == o.rawByte5 &&
           rawByte6 == o.rawByte6 && rawByte7 == o.rawByte7 && channelFlag == o.channelFlag &&
           isContinuous == o.isContinuous && pluginBinding.shortName == o.pluginBinding.shortName;
}

std::string CBaseControlState::typeName(int type) {
    static const char* const names[] = {"Disabled",    "CC",         "NRPN",           "RPN",        "SysEx",
                                        "MMC",         "Note On/Off", "Note On/Off",   "Bank Select", "Program Change",
                                        "Pitch Bend",  "Drum Note",   "Aftertouch"};
    if (type < 0 || type > 12) return "Unknown!";
    return names[type];
}

std::string CBaseControlState::mmcCommandName(int command) {
    static const char* const names[] = {"Stop",   "Play",  "Def. Play",  "Forward",   "Rewind",
                                        "Record", "Record Exit", "Record Pause", "Pause", "Eject",
                                        "Chase",  "Err. Reset",  "MMC Reset"};
    if (command < 1 || command > 13) return "Unknown!";
    return names[command - 1];
}

std::string CBaseControlState::noteName(int note) {
    static const char* const pitches[] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    // Notes are 0..127 in practice; keep negative input from indexing out of range.
    const int pitch = ((note % 12) + 12) % 12;
    return std::string(pitches[pitch]) + std::to_string(note / 12 - 2);
}

std::array<std::string, 7> CBaseControlState::describe() const {
    std::array<std::string, 7> lines;
    lines[0] = controlType == ControlType::MMC ? mmcCommandName(mmcCommand) : name;
    if (controlType != ControlType::Disabled && controlType != ControlType::SysEx && controlType != ControlType::MMC)
        lines[1] = format("Channel: %d", midiChannel);
    lines[2] = typeName(controlType);
    switch (controlType) {
        case ControlType::CC:
            lines[3] = format("CC#: %d", lsbNumber);
            break;
        case ControlType::NRPN:
        case ControlType::RPN:
            lines[3] = format("LSB: %d", lsbNumber);
            lines[4] = format("MSB: %d", msbNumber);
            break;
        case ControlType::SysEx: {
            std::string text;
            for (int i = 0; i < sysExData.endPosition - 1 && i < SysExMessage::kMaxBytes; ++i) {
                std::string b = format("%2.2X ", sysExData.bytes[i]);
                text += b == "7F " ? "DV " : b;
            }
            lines[3] = text;
            break;
        }
        case ControlType::MMC:
            lines[3] = format("Device: %d", midiChannel);
            lines[4] = "Command: " + mmcCommandName(mmcCommand);
            break;
        case ControlType::NoteOnOff:
        case ControlType::NoteOnOffAlt:
            lines[3] = "Note: " + noteName(lsbNumber);
            lines[4] = format("Velocity: %d", offValue);
            break;
        case ControlType::ProgramChange:
            lines[3] = format("PG: %d", offValue);
            break;
        case ControlType::DrumNote:
            lines[3] = "Note: " + noteName(offValue);
            break;
        case ControlType::Disabled:
        case ControlType::Aftertouch:
            break;
        default:  // Bank Select, Pitch Bend and unknown types above 12
            if (controlType == ControlType::BankSelect || controlType == ControlType::PitchBend ||
                controlType > 12) {
                lines[5] = format("High: %d", onValue);
                lines[6] = format("Low: %d", offValue);
            }
            break;
    }
    return lines;
}

std::string CBaseControlState::label() const {
    if (controlType == ControlType::MMC) return mmcCommandName(mmcCommand);
    const std::string display = getDisplayName();
    if (display != name) return name + " (" + display + ")";
    return name;
}

std::string CBaseControlState::infoText() const {
    const auto lines = describe();
    std::string text = lines[0].empty() ? "Unnamed\n" : lines[0] + "\n";
    text += "-------------------------\n";
    text += lines[2] + "\n";
    for (int i : {1, 3, 4, 5, 6})
        if (!lines[i].empty()) text += lines[i] + "\n";
    text.pop_back();
    return text;
}
