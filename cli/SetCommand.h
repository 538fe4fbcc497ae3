#pragma once
// Changes of single settings, made through the same property commands the
// edit window issues (editing/ControlFields.h), so that every side effect of
// an edit happens here too.
#include <string>
#include <vector>

#include "editing/ControlFields.h"

class CEditorTemplate;
class IDeviceProfile;

// Splits FIELD=VALUE; false (with the reason) when the text has no '=' or no field.
bool parseAssignment(const std::string& text, Assignment& out, std::string& why);

// Reads a list of control indices and ranges such as "0-7,16,20-23": the
// controls in ascending order, each once. False with the reason for an empty
// item, a range that runs backwards or an index above lastIndex.
bool parseIndexList(const std::string& text, int lastIndex, std::vector<int>& out, std::string& why);

// Whether `field` names a setting of the template that can be set.
bool isSettableTemplateField(const std::string& field);

// Applies one assignment to control `index` (or, with index -1, to the
// template) through the property commands; false with the reason when the
// value is out of range for the control as it stands.
bool applyAssignment(const IDeviceProfile& profile, CEditorTemplate& tpl, int index, const Assignment& a,
                     std::string& why);
