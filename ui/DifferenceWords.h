#pragma once
// The differences that File > Compare with... finds, in the words of the edit
// window and the template dialogs ("Common channel: 1 -> 4", "CC number:
// 36 -> 38") rather than the field names of the template's JSON form.
#include <wx/string.h>

struct FieldDifference;
class IDeviceProfile;

// One difference as "Caption: old -> new". `controlType` (a control's type in
// the first template; -1 for template-wide fields) chooses between captions
// that depend on it (a program number, a note). Fields that no window shows
// keep their JSON name.
wxString DifferenceInWords(const FieldDifference& difference, const IDeviceProfile& profile, int controlType = -1);
