#pragma once
// The settings of one control that the editor lets a user change, by the
// names `tangra-qv-tool info --json` prints ("midiChannel", "offValue", ...).
// A value is checked as the edit window checks it, against the control as it
// stands (a channel's range depends on the type, a value's on the display
// format), and becomes the property command the edit window issues, so every
// side effect of an edit (clamps, reversed range, display format) happens
// here too. The controls table and `tangra-qv-tool set` both go through here.
#include <memory>
#include <string>
#include <vector>

class CPlacedControl;
class ICommand;
class IDeviceProfile;

struct Assignment {
    std::string field;
    std::string value;
};

// Whether `field` names a control setting that can be set this way.
bool isSettableControlField(const std::string& field);
// The settable fields, for messages: "name, sysEx, buttonAction, ...".
std::string settableControlFields();

// Empty when the value is acceptable for the control as it stands;
// otherwise why not, for the caller to put after the field and control it
// names ("17 is outside 1..16").
std::string checkControlField(const IDeviceProfile& profile, const CPlacedControl& control, const Assignment& a);
// The command that makes the change; only for an assignment that passed the
// check against the control as it will be when the command runs.
std::unique_ptr<ICommand> controlFieldCommand(const CPlacedControl& control, const Assignment& a);

// The types the edit window offers for the control at `index`, in its order.
std::vector<int> offeredControlTypes(const IDeviceProfile& profile, int index);
// The display formats the edit window offers for the control at `index`.
std::vector<int> offeredDisplayFormats(const IDeviceProfile& profile, int index);
// The characters a control or template name may hold: blank to "Z" and the
// lower-case letters.
bool isNameText(const std::string& text);
