#include "editing/ControlFields.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

#include "editing/ControlCommands.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/SysExText.h"

namespace {

bool parseInt(const std::string& text, long& out) {
    if (text.empty()) return false;
    if (text == "true") return out = 1, true;
    if (text == "false") return out = 0, true;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

std::string rangeText(long low, long high) { return std::to_string(low) + ".." + std::to_string(high); }

std::string listText(const std::vector<int>& values) {
    std::string text;
    for (int v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
    return text;
}

bool contains(const std::vector<int>& values, long v) {
    return std::find(values.begin(), values.end(), v) != values.end();
}

using Limits = std::function<std::pair<long, long>(const IDeviceProfile&, const CBaseControlState&)>;
using Make = std::function<std::unique_ptr<ICommand>(const CPlacedControl&, long)>;

struct NumberField {
    Limits limits;
    Make make;
};

template <class Command>
Make command() {
    return [](const CPlacedControl& c, long v) { return std::make_unique<Command>(c, static_cast<int>(v)); };
}

Limits fixed(long low, long high) {
    return [low, high](const IDeviceProfile&, const CBaseControlState&) { return std::make_pair(low, high); };
}

// 0..127, or 0..16383 while the control sends 14-bit values.
Limits valueRange() {
    return [](const IDeviceProfile&, const CBaseControlState& s) {
        return std::make_pair(0L, s.displayFormat == DisplayFormat::Send14Bit ? 16383L : 127L);
    };
}

const std::map<std::string, NumberField>& numberFields() {
    static const std::map<std::string, NumberField> fields = {
        // The type and the display format are checked against the lists the
        // edit window offers (allowedOnControl); these bounds only frame them.
        {"controlType", {fixed(0, 12), command<CSetControlTypeCommand>()}},
        // The snapshot field accepts values between the low and the high value.
        {"snapshotValue",
         {[](const IDeviceProfile&, const CBaseControlState& s) {
              return std::make_pair(static_cast<long>(std::min(s.offValue, s.onValue)),
                                    static_cast<long>(std::max(s.offValue, s.onValue)));
          },
          command<CSetSnapshotValueCommand>()}},
        {"lsbNumber", {fixed(0, 127), command<CSetMIDIControlLSBNumCommand>()}},
        {"msbNumber", {fixed(0, 127), command<CSetMIDIControlMSBNumCommand>()}},
        {"midiChannel",
         {[](const IDeviceProfile& p, const CBaseControlState& s) {
              if (s.controlType == ControlType::MMC) return std::make_pair(0L, static_cast<long>(p.GetMaxMmcDeviceNumber()));
              return std::make_pair(1L, 16L);
          },
          command<CSetMIDIChannelOrMMCDeviceNumCommand>()}},
        {"mmcCommand", {fixed(1, 13), command<CSetMMCControlTypeCommand>()}},
        {"channelGroup", {fixed(0, 2), command<CSetMIDIChanGroupCommand>()}},
        {"portGroup", {fixed(0, 2), command<CSetMIDIPortGroupCommand>()}},
        {"displayFormat", {fixed(0, 17), command<CSetDisplayFormatCommand>()}},
        {"potCatchup", {fixed(0, 7), command<CSetPotCatchupCommand>()}},
        {"portMidi1", {fixed(0, 1), command<CEnableMIDIPort1Command>()}},
        {"portMidi2", {fixed(0, 1), command<CEnableMIDIPort2Command>()}},
        {"portUsb1", {fixed(0, 1), command<CEnableMIDIPortUSBCommand>()}},
        {"portUsb2", {fixed(0, 1), command<CEnableMIDIPortUSB2Command>()}},
        {"portUsb3", {fixed(0, 1), command<CEnableMIDIPortUSB3Command>()}},
        {"offValue", {valueRange(), command<CSetOffValueCommand>()}},
        {"onValue", {valueRange(), command<CSetOnValueCommand>()}},
        {"buttonAction", {fixed(0, 3), command<CSetActionCommand>()}},
        {"stepSize", {fixed(1, 128), command<CSetMultiStepCommand>()}},
        {"drumAutoOffTime", {fixed(0, 16383), command<CSetDrumAutoOffTimeCommand>()}},
        {"drumOffSync", {fixed(0, 127), command<CSetDrumOffSyncCommand>()}},
    };
    return fields;
}

// What the edit window offers this control beyond a plain range. The value
// the control already holds always passes: setting it changes nothing.
std::string allowedOnControl(const IDeviceProfile& profile, const CPlacedControl& c, const std::string& field,
                             long v) {
    const CBaseControlState& s = *c.GetState();
    if (field == "controlType" && v != s.controlType && !contains(offeredControlTypes(profile, c.GetIndex()), v))
        return "the control cannot take type " + std::to_string(v) + " (it takes " +
               listText(offeredControlTypes(profile, c.GetIndex())) + ")";
    if (field == "displayFormat" && v != s.displayFormat &&
        !contains(offeredDisplayFormats(profile, c.GetIndex()), v))
        return "the control cannot take display format " + std::to_string(v) + " (it takes " +
               listText(offeredDisplayFormats(profile, c.GetIndex())) + ")";
    if ((field == "channelGroup" || field == "portGroup") && v != 0 && !profile.HasPortGroups())
        return "the unit has no port or channel groups";
    return {};
}

}  // namespace

bool isNameText(const std::string& text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!((u >= 0x20 && u <= 0x5A) || (u >= 'a' && u <= 'z'))) return false;
    }
    return true;
}

std::vector<int> offeredControlTypes(const IDeviceProfile& p, int index) {
    std::vector<int> types;
    if (p.IsButtonControl(index)) {
        types = {ControlType::Disabled, ControlType::CC, ControlType::NRPN, ControlType::RPN};
        if (p.HasSysExMessages()) types.push_back(ControlType::SysEx);
        types.push_back(ControlType::ProgramChange);
        types.push_back(ControlType::MMC);
        types.push_back(p.UsesDrumNotes(index) ? ControlType::DrumNote : ControlType::NoteOnOff);
    } else if (p.IsContinuousControl(index)) {
        types = {ControlType::Disabled, ControlType::CC, ControlType::NRPN, ControlType::RPN};
        if (p.HasSysExMessages()) types.push_back(ControlType::SysEx);
        if (p.AllowsPitchBend(index)) types.push_back(ControlType::PitchBend);
        if (p.AllowsAftertouch(index)) types.push_back(ControlType::Aftertouch);
    }
    return types;
}

std::vector<int> offeredDisplayFormats(const IDeviceProfile& p, int index) {
    std::vector<int> formats;
    if (p.IsButtonControl(index)) {
        formats = {DisplayFormat::Range0To127, DisplayFormat::RangeMinus64To63};
        if (p.HasDisplayOnStrokeOff()) formats.push_back(DisplayFormat::OnStrokeOff);
    } else if (p.IsContinuousControl(index)) {
        // Controls such as the wheels have no display format at all.
        if (p.HasNoDisplayFormat(index)) return formats;
        formats = {DisplayFormat::Range0To127, DisplayFormat::RangeMinus64To63};
        if (p.HasRelativeEncoderModes())
            formats.insert(formats.end(), {DisplayFormat::Relative1, DisplayFormat::Relative2, DisplayFormat::AbsolutePot});
        if (p.Allows14BitValues(index)) formats.push_back(DisplayFormat::Send14Bit);
    }
    return formats;
}

bool isSettableControlField(const std::string& field) {
    return numberFields().count(field) || field == "name" || field == "sysEx";
}

std::string settableControlFields() {
    std::string text = "name, sysEx";
    for (const auto& [name, field] : numberFields()) text += ", " + name;
    return text;
}

std::string checkControlField(const IDeviceProfile& profile, const CPlacedControl& c, const Assignment& a) {
    const CBaseControlState* state = c.GetState();
    if (!state) return "there is no such control";
    if (a.field == "name") {
        const auto limit = static_cast<size_t>(profile.GetMaxNameLength());
        if (a.value.size() > limit || !isNameText(a.value))
            return "a name has at most " + std::to_string(limit) +
                   " characters: letters, digits, blanks and !\"#$%&'()*+,-./:;<=>?@";
        return {};
    }
    if (a.field == "sysEx") {
        SysExMessage message = state->sysExData;
        std::string status;
        if (!parseMessageText(a.value, message, status, profile.GetMaxSysExLength()))
            return "'" + a.value + "': " + status;
        return {};
    }
    const auto it = numberFields().find(a.field);
    if (it == numberFields().end()) return "there is no setting '" + a.field + "'";
    long v = 0;
    if (!parseInt(a.value, v)) return "'" + a.value + "' is not a number";
    const auto [low, high] = it->second.limits(profile, *state);
    if (v < low || v > high) return a.value + " is outside " + rangeText(low, high);
    return allowedOnControl(profile, c, a.field, v);
}

std::unique_ptr<ICommand> controlFieldCommand(const CPlacedControl& c, const Assignment& a) {
    const CBaseControlState* state = c.GetState();
    if (!state) return nullptr;
    if (a.field == "name") return std::make_unique<CSetNameCommand>(c, a.value);
    if (a.field == "sysEx") {
        SysExMessage message = state->sysExData;
        std::string status;
        if (!parseMessageText(a.value, message, status)) return nullptr;
        return std::make_unique<CSetSysExDataCommand>(c, message);
    }
    const auto it = numberFields().find(a.field);
    long v = 0;
    if (it == numberFields().end() || !parseInt(a.value, v)) return nullptr;
    return it->second.make(c, v);
}
