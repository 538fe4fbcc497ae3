#pragma once
// Changes of single settings, made through the same property commands the
// edit window issues, so that every side effect of an edit happens here too.
#include <string>
#include <vector>

class CEditorTemplate;

struct Assignment {
    std::string field;
    std::string value;
};

// Splits FIELD=VALUE; false (with the reason) when the text has no '=' or no field.
bool parseAssignment(const std::string& text, Assignment& out, std::string& why);

// Whether `field` names a setting of a control, or of the template, that can be set.
bool isSettableControlField(const std::string& field);
bool isSettableTemplateField(const std::string& field);
// The control fields, for messages.
std::string settableControlFields();

// Applies one assignment to control `index` (or, with index -1, to the
// template) through the property commands; false with the reason when the
// value is out of range for the control as it stands.
bool applyAssignment(CEditorTemplate& tpl, int index, const Assignment& a, std::string& why);
