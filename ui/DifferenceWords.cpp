#include "ui/DifferenceWords.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/TemplateDiff.h"

namespace {
bool readInt(const std::string& text, long& value) {
    wxString s = wxString::FromUTF8(text);
    return s.ToLong(&value);
}

// A value as the windows show it: switches on and off, numbers shifted the
// way their fields shift them, entries of a list by their caption.
using ValueWords = std::function<wxString(long)>;

wxString shown(const std::string& json, const ValueWords& words) {
    if (json == "true") return "on";
    if (json == "false") return "off";
    long v = 0;
    if (words && readInt(json, v)) return words(v);
    return wxString::FromUTF8(json);
}

ValueWords listed(std::vector<const char*> entries) {
    return [entries](long v) {
        return v >= 0 && v < static_cast<long>(entries.size()) ? wxString(entries[static_cast<size_t>(v)])
                                                               : wxString::Format("%ld", v);
    };
}

ValueWords shiftedBy(long offset) {
    return [offset](long v) { return wxString::Format("%ld", v + offset); };
}

struct Words {
    wxString caption;
    ValueWords values;
};

Words controlWords(const std::string& field, const IDeviceProfile& profile, int type) {
    const bool note = type == ControlType::NoteOnOff || type == ControlType::NoteOnOffAlt;
    if (field == "name") return {"Name", nullptr};
    if (field == "controlType")
        return {"Type", [](long v) { return wxString::FromUTF8(CBaseControlState::typeName(static_cast<int>(v))); }};
    if (field == "lsbNumber") {
        if (type == ControlType::NRPN || type == ControlType::RPN) return {"Parameter LSB", nullptr};
        if (note) return {"Note", nullptr};
        return {"CC number", nullptr};
    }
    if (field == "msbNumber") return {"Parameter MSB", nullptr};
    if (field == "midiChannel") return {type == ControlType::MMC ? "Device number" : "Channel", nullptr};
    if (field == "mmcCommand")
        return {"Command", [](long v) { return wxString::FromUTF8(CBaseControlState::mmcCommandName(static_cast<int>(v))); }};
    if (field == "channelGroup")
        return {"Channel group", listed({"As below", "Common", profile.HasKeyboard() ? "Keyboard" : "Program"})};
    if (field == "portGroup")
        return {"Ports", listed({"As below", "Common ports", profile.HasKeyboard() ? "Keyboard ports" : "Program ports"})};
    if (field == "portMidi1") return {wxString::FromUTF8(profile.GetMidiPort1Name()), nullptr};
    if (field == "portMidi2") return {wxString::FromUTF8(profile.GetMidiPort2Name()), nullptr};
    if (field == "portUsb1") return {wxString::FromUTF8(profile.GetUsbPort1Name()), nullptr};
    if (field == "portUsb2") return {wxString::FromUTF8(profile.GetUsbPort2Name()), nullptr};
    if (field == "portUsb3") return {wxString::FromUTF8(profile.GetUsbPort3Name()), nullptr};
    if (field == "displayFormat")
        return {"Display", [](long v) {
                    static const std::map<long, const char*> formats = {
                        {0, "0 to 127"}, {1, "-64 to 63"}, {3, "On / Off"}, {6, "Relative 1"},
                        {7, "Relative 2"}, {9, "14-bit values"}, {17, "Absolute pot"}};
                    const auto f = formats.find(v);
                    return f != formats.end() ? wxString(f->second) : wxString::Format("%ld", v);
                }};
    if (field == "potCatchup") return {"Pick-up", listed({"Jump", "Pick-up", "Template setting", "Value scaling"})};
    if (field == "offValue") {
        if (type == ControlType::ProgramChange) return {"Program", nullptr};
        if (type == ControlType::DrumNote) return {"Note", nullptr};
        if (note) return {"Velocity", nullptr};
        return {"Low value", nullptr};
    }
    if (field == "onValue") return {type == ControlType::DrumNote ? "Velocity curve" : "High value", nullptr};
    if (field == "snapshotValue") return {profile.HasAutoSnapshot() ? "Snapshot value" : "Default value", nullptr};
    if (field == "buttonAction") return {"Action", listed({"Normal", "Momentary", "Toggle", "Step"})};
    if (field == "stepSize") return {"Step size", nullptr};
    if (field == "drumAutoOffTime") return {"Auto off", nullptr};
    if (field == "drumOffSync") return {"Off sync", listed({"No sync", "1/16", "1/8", "1/4", "1/2", "1 bar"})};
    if (field.rfind("sysEx", 0) == 0) return {"SysEx bytes", nullptr};
    if (field.rfind("plugin", 0) == 0) return {"Plug-in parameter", nullptr};
    return {wxString::FromUTF8(field), nullptr};
}

Words templateWords(const std::string& field, const IDeviceProfile& profile) {
    auto portName = [&profile](const std::string& suffix) -> wxString {
        if (suffix == "Midi1") return wxString::FromUTF8(profile.GetMidiPort1Name());
        if (suffix == "Midi2") return wxString::FromUTF8(profile.GetMidiPort2Name());
        if (suffix == "Usb1" || suffix == "Usb") return wxString::FromUTF8(profile.GetUsbPort1Name());
        if (suffix == "Usb2") return wxString::FromUTF8(profile.GetUsbPort2Name());
        if (suffix == "Usb3") return wxString::FromUTF8(profile.GetUsbPort3Name());
        return wxString::FromUTF8(suffix);
    };
    const std::string key = field.substr(field.find('.') == std::string::npos ? 0 : field.rfind('.') + 1);
    if (field == "templateName" || key == "templateName") return {"Template name", nullptr};
    if (field == "manufacturerName" || key == "manufacturerName") return {"Manufacturer", nullptr};
    if (field == "importedControls") return {"Imported controls", nullptr};
    if (field == "zonesEnabled") return {"Keyboard zones", nullptr};
    if (field.rfind("groups.", 0) == 0) {
        if (key == "commonChannel") return {"Common channel", nullptr};
        if (key == "kbdChannel") return {"Keyboard channel", nullptr};
        if (key == "kbdAsCommonChannel") return {"Keyboard: same channel as the common group", nullptr};
        if (key == "kbdAsCommonPorts") return {"Keyboard: same ports as the common group", nullptr};
        if (key.rfind("commonPort", 0) == 0) return {"Common ports: " + portName(key.substr(10)), nullptr};
        if (key.rfind("kbdPort", 0) == 0) return {"Keyboard ports: " + portName(key.substr(7)), nullptr};
    }
    if (field.rfind("locals.", 0) == 0) {
        if (key == "overrideChannel") return {"Override channel", nullptr};
        if (key == "groupPageCount") return {"Group pages", nullptr};
        if (key == "groupPageNumber") return {"Current page", nullptr};
        if (key == "potPickup") return {"Pot pick-up for every pot", nullptr};
        if (key == "autoSnapshot") return {"Send snapshot when the template is chosen", nullptr};
        if (key == "synthTemplate") return {"Synth template", nullptr};
        if (key == "keyboardChannel") return {"Keyboard channel", shiftedBy(1)};
        if (key == "velocityCurve") return {"Velocity curve", shiftedBy(1)};
        if (key == "octave") return {"Octave", shiftedBy(-4)};
        if (key == "transpose") return {"Transpose", nullptr};
        if (key == "afterTouch") return {"Aftertouch", nullptr};
        if (key == "hybrid") return {"Hybrid mode", nullptr};
        if (key == "synthByControl") return {"Synth by control", listed({"Off", "On", "Auto"})};
        if (key == "synthByMidi") return {"Synth by MIDI", nullptr};
        if (key == "padXType") return {"Touchpad X", nullptr};
        if (key == "padYType") return {"Touchpad Y", nullptr};
        if (key.rfind("keyboardPort", 0) == 0) return {"Keyboard ports: " + portName(key.substr(12)), nullptr};
    }
    if (field.rfind("zones[", 0) == 0) {
        long zone = 0;
        readInt(field.substr(6, field.find(']') - 6), zone);
        static const std::map<std::string, const char*> zoneFields = {
            {"topNote", "top note"}, {"bottomNote", "bottom note"}, {"velocityOffset", "velocity offset"},
            {"transpose", "transpose"}, {"channel", "channel"}, {"afterTouch", "aftertouch"},
            {"pitchBend", "pitch bend"}, {"modWheel", "mod wheel"}};
        const auto f = zoneFields.find(key);
        if (f != zoneFields.end()) return {wxString::Format("Zone %ld %s", zone + 1, f->second), nullptr};
    }
    return {wxString::FromUTF8(field), nullptr};
}
}  // namespace

wxString DifferenceInWords(const FieldDifference& d, const IDeviceProfile& profile, int controlType) {
    const Words words = controlType >= 0 ? controlWords(d.field, profile, controlType) : templateWords(d.field, profile);
    return words.caption + ": " + shown(d.oldValue, words.values) + " -> " + shown(d.newValue, words.values);
}
