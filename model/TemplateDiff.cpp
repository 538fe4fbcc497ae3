#include "model/TemplateDiff.h"

#include <algorithm>

#include "TaNGRAQVTemplate.h"
#include "TemplateJson.h"
#include "TemplateParts.h"

using nlohmann::json;

namespace {

std::string valueText(const json& value) {
    // Names may hold bytes that are no UTF-8; show them replaced rather than fail.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool isArrayOfObjects(const json& value) { return value.is_array() && !value.empty() && value.front().is_object(); }

// Walks two JSON forms of the same shape and records every leaf that differs.
// Lists of plain values (SysEx bytes, header bytes) count as one value.
void collect(const json& a, const json& b, const std::string& path, std::vector<FieldDifference>& out) {
    if (a.is_object() && b.is_object()) {
        for (auto it = a.begin(); it != a.end(); ++it) {
            const std::string key = path.empty() ? it.key() : path + "." + it.key();
            const auto other = b.find(it.key());
            if (other == b.end())
                out.push_back({key, valueText(*it), "null"});
            else
                collect(*it, *other, key, out);
        }
        for (auto it = b.begin(); it != b.end(); ++it)
            if (!a.contains(it.key())) out.push_back({path.empty() ? it.key() : path + "." + it.key(), "null", valueText(*it)});
        return;
    }
    if (isArrayOfObjects(a) && isArrayOfObjects(b) && a.size() == b.size()) {
        for (size_t i = 0; i < a.size(); ++i) collect(a[i], b[i], path + "[" + std::to_string(i) + "]", out);
        return;
    }
    if (a != b) out.push_back({path, valueText(a), valueText(b)});
}

// The template-wide part of the JSON form: without the controls (compared one
// by one) and without what merely repeats another field.
json templateWide(const CTaNGRAQVTemplate& tpl) {
    json j = templateToJson(tpl);
    j.erase("controls");
    j.erase("importedControls");
    j.erase("displayName");
    j["locals"].erase("templateName");
    j["locals"].erase("manufacturerName");
    return j;
}

void compareControl(int index, const CBaseControlState& a, const CBaseControlState& b, TemplateDifference& diff) {
    ControlDifference control;
    collect(controlToJson(a), controlToJson(b), "", control.fields);
    if (control.fields.empty()) return;
    control.index = index;
    control.name = trimTrailingBlanks(a.name);
    if (control.name.empty()) control.name = trimTrailingBlanks(b.name);
    diff.controls.push_back(std::move(control));
}

}  // namespace

const ControlDifference* TemplateDifference::control(int index) const {
    for (const auto& c : controls)
        if (c.index == index) return &c;
    return nullptr;
}

TemplateDifference compareTemplates(const CTaNGRAQVTemplate& first, const CTaNGRAQVTemplate& second) {
    TemplateDifference diff;
    for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; ++i)
        compareControl(i, first.controls[static_cast<size_t>(i)], second.controls[static_cast<size_t>(i)], diff);
    const size_t firstImported = first.importedControls.size();
    const size_t secondImported = second.importedControls.size();
    for (size_t i = 0; i < std::min(firstImported, secondImported); ++i)
        compareControl(CTaNGRAQVTemplate::kControlCount + static_cast<int>(i), first.importedControls[i],
                       second.importedControls[i], diff);
    collect(templateWide(first), templateWide(second), "", diff.templateFields);
    if (firstImported != secondImported)
        diff.templateFields.push_back(
            {"importedControls", std::to_string(firstImported), std::to_string(secondImported)});
    return diff;
}

std::string describeDifference(const FieldDifference& d) {
    return d.field + ": " + d.oldValue + " -> " + d.newValue;
}

std::string differenceText(const TemplateDifference& diff) {
    std::string text;
    for (const auto& c : diff.controls) {
        std::string prefix = "control " + std::to_string(c.index);
        if (!c.name.empty()) prefix += " (" + c.name + ")";
        for (const auto& f : c.fields) text += prefix + ": " + f.field + " " + f.oldValue + " -> " + f.newValue + "\n";
    }
    for (const auto& f : diff.templateFields)
        text += "template: " + f.field + " " + f.oldValue + " -> " + f.newValue + "\n";
    return text;
}
