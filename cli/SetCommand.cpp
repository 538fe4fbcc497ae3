#include "SetCommand.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "editing/ControlCommands.h"
#include "editing/History.h"
#include "editing/TemplateCommands.h"
#include "model/ControlRecord.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/SysExText.h"
#include "model/TemplateParts.h"

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

// The characters the name fields accept: blank to "Z" and the lower-case letters.
bool isNameText(const std::string& text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!((u >= 0x20 && u <= 0x5A) || (u >= 'a' && u <= 'z'))) return false;
    }
    return true;
}

std::string rangeText(long low, long high) { return std::to_string(low) + ".." + std::to_string(high); }

struct Context {
    CEditorTemplate& tpl;
    int index;
    CBaseControlState& state;
    CPlacedControl placed() const { return CPlacedControl(&state, index); }
};

using Limits = std::function<std::pair<long, long>(const Context&)>;
using Make = std::function<std::unique_ptr<ICommand>(const Context&, long)>;

struct NumberField {
    Limits limits;
    Make make;
};

template <class Command>
Make command() {
    return [](const Context& c, long v) { return std::make_unique<Command>(c.placed(), static_cast<int>(v)); };
}

Limits fixed(long low, long high) {
    return [low, high](const Context&) { return std::make_pair(low, high); };
}

// 0..127, or 0..16383 while the control sends 14-bit values.
Limits valueRange() {
    return [](const Context& c) {
        return std::make_pair(0L, c.state.displayFormat == DisplayFormat::Send14Bit ? 16383L : 127L);
    };
}

const std::map<std::string, NumberField>& numberFields() {
    static const std::map<std::string, NumberField> fields = {
        {"controlType", {fixed(0, 12), command<CSetControlTypeCommand>()}},
        {"snapshotValue", {fixed(0, 16383), command<CSetSnapshotValueCommand>()}},
        {"lsbNumber", {fixed(0, 127), command<CSetMIDIControlLSBNumCommand>()}},
        {"msbNumber", {fixed(0, 127), command<CSetMIDIControlMSBNumCommand>()}},
        {"midiChannel",
         {[](const Context& c) {
              if (c.state.controlType == ControlType::MMC)
                  return std::make_pair(0L, static_cast<long>(IDeviceProfile::current().GetMaxMmcDeviceNumber()));
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

// Checks that go beyond a plain range: what the device allows on this control.
bool allowedOnControl(const Context& c, const std::string& field, long v, std::string& why) {
    const IDeviceProfile& profile = IDeviceProfile::current();
    if (field == "controlType") {
        CBaseControlState probe = c.state;
        probe.setControlType(static_cast<int>(v), false);
        if (!profile.IsMessageTypeSupported(static_cast<int>(v)) || !profile.CanHoldState(c.index, probe)) {
            why = "control " + std::to_string(c.index) + " cannot take controlType " + std::to_string(v);
            return false;
        }
    }
    if (field == "displayFormat") {
        const bool known = ControlRecord::isStoredDisplayFormat(static_cast<int>(v));
        if (!known || (v == DisplayFormat::Send14Bit && !profile.Allows14BitValues(c.index))) {
            why = "control " + std::to_string(c.index) + " cannot take displayFormat " + std::to_string(v);
            return false;
        }
    }
    return true;
}

bool applyTemplate(CEditorTemplate& tpl, const Assignment& a, std::string& why) {
    const IDeviceProfile& profile = IDeviceProfile::current();
    const bool isName = a.field == "templateName";
    const size_t limit = isName ? static_cast<size_t>(profile.GetMaxTemplateNameLength())
                                : static_cast<size_t>(CTemplateLocalData::kManufacturerNameLength);
    if (a.value.size() > limit || !isNameText(a.value)) {
        why = a.field + " takes at most " + std::to_string(limit) +
              " characters: letters, digits, blanks and !\"#$%&'()*+,-./:;<=>?@";
        return false;
    }
    CTemplateLocalData settings = tpl.localSettings();
    if (isName) settings.setTemplateName(a.value);
    else settings.setManufacturerName(a.value);
    executeCommand(std::make_unique<CSetTemplateLocalsCommand>(&tpl.localSettings(), settings), tpl);
    return true;
}

}  // namespace

bool parseAssignment(const std::string& text, Assignment& out, std::string& why) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        why = "'" + text + "' is not FIELD=VALUE";
        return false;
    }
    out.field = text.substr(0, eq);
    out.value = text.substr(eq + 1);
    return true;
}

bool isSettableControlField(const std::string& field) {
    return numberFields().count(field) || field == "name" || field == "sysEx";
}

bool isSettableTemplateField(const std::string& field) {
    return field == "templateName" || field == "manufacturerName";
}

std::string settableControlFields() {
    std::string text = "name, sysEx";
    for (const auto& [name, field] : numberFields()) text += ", " + name;
    return text;
}

bool applyAssignment(CEditorTemplate& tpl, int index, const Assignment& a, std::string& why) {
    if (index < 0) return applyTemplate(tpl, a, why);
    CBaseControlState* state = tpl.controlAt(index);
    if (!state) {
        why = "no control " + std::to_string(index);
        return false;
    }
    const Context c{tpl, index, *state};
    if (a.field == "name") {
        const auto limit = static_cast<size_t>(IDeviceProfile::current().GetMaxNameLength());
        if (a.value.size() > limit || !isNameText(a.value)) {
            why = "name takes at most " + std::to_string(limit) +
                  " characters: letters, digits, blanks and !\"#$%&'()*+,-./:;<=>?@";
            return false;
        }
        executeCommand(std::make_unique<CSetNameCommand>(c.placed(), a.value), tpl);
        return true;
    }
    if (a.field == "sysEx") {
        SysExMessage message = state->sysExData;
        std::string status;
        if (!parseMessageText(a.value, message, status)) {
            why = "sysEx '" + a.value + "': " + status;
            return false;
        }
        executeCommand(std::make_unique<CSetSysExDataCommand>(c.placed(), message), tpl);
        return true;
    }
    const auto it = numberFields().find(a.field);
    if (it == numberFields().end()) {
        why = "unknown field '" + a.field + "'";
        return false;
    }
    long v = 0;
    if (!parseInt(a.value, v)) {
        why = a.field + " takes a number, not '" + a.value + "'";
        return false;
    }
    const auto [low, high] = it->second.limits(c);
    if (v < low || v > high) {
        why = a.field + " " + a.value + " is outside " + rangeText(low, high) + " for control " + std::to_string(index);
        return false;
    }
    if (!allowedOnControl(c, a.field, v, why)) return false;
    executeCommand(it->second.make(c, v), tpl);
    return true;
}
