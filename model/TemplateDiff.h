#pragma once
// What differs between two templates, field by field. Fields carry the names
// of the template's JSON form (TemplateJson, `tangra-qv-tool info --json`), so
// a difference can be looked up in that output and set with `set`.
#include <string>
#include <vector>

class CTaNGRAQVTemplate;

struct FieldDifference {
    // A key of the JSON form; nested values are reached by dots and
    // brackets: "midiChannel", "sysEx.bytes", "locals.octave", "zones[2].transpose".
    std::string field;
    // Each side's value as JSON text ("3", "\"Cutoff\"", "[1,2]").
    std::string oldValue;
    std::string newValue;
};

struct ControlDifference {
    // Control index; from 86 on, the imported controls in their order.
    int index = 0;
    // The control's name in the first template (the second's when that is empty).
    std::string name;
    std::vector<FieldDifference> fields;
};

struct TemplateDifference {
    std::vector<ControlDifference> controls;      // ascending index
    std::vector<FieldDifference> templateFields;  // template-wide settings
    bool empty() const { return controls.empty() && templateFields.empty(); }
    // The differences of control `index`, or null when it has none.
    const ControlDifference* control(int index) const;
};

// What changes from `first` to `second`. The name shown on the unit's display
// is left out (it follows from the template name), and imported controls are
// compared pairwise while both have one; a different number of them is the
// template-wide field "importedControls" with the two counts.
TemplateDifference compareTemplates(const CTaNGRAQVTemplate& first, const CTaNGRAQVTemplate& second);

// "midiChannel: 0 -> 2"
std::string describeDifference(const FieldDifference& difference);
// One line per differing field, controls first:
//   control 12 (Cutoff): midiChannel 0 -> 2
//   template: templateName "Live" -> "Studio"
// Empty when the templates are equal.
std::string differenceText(const TemplateDifference& difference);
