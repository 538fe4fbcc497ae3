#include "SetCommand.h"

#include <memory>
#include <set>

#include "editing/History.h"
#include "editing/PlacedControl.h"
#include "editing/TemplateCommands.h"
#include "model/Command.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"

namespace {

bool applyTemplate(const IDeviceProfile& profile, CEditorTemplate& tpl, const Assignment& a, std::string& why) {
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

// A plain decimal index of at most three digits.
bool readIndex(const std::string& text, int& out) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoi(text);
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

bool parseIndexList(const std::string& text, int lastIndex, std::vector<int>& out, std::string& why) {
    const std::string bounds = " (0-" + std::to_string(lastIndex) + ")";
    std::set<int> indices;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = item.find('-');
        int first = 0, last = 0;
        const bool read = dash == std::string::npos
                              ? readIndex(item, first) && (last = first, true)
                              : readIndex(item.substr(0, dash), first) && readIndex(item.substr(dash + 1), last);
        if (!read) {
            why = "'" + item + "' in '" + text + "' is not a control index" + bounds + " or a range such as 0-7";
            return false;
        }
        if (last < first) {
            why = "the range '" + item + "' runs backwards";
            return false;
        }
        if (last > lastIndex) {
            why = "control " + std::to_string(last) + " in '" + text + "' does not exist" + bounds;
            return false;
        }
        for (int i = first; i <= last; ++i) indices.insert(i);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    out.assign(indices.begin(), indices.end());
    return true;
}

bool isSettableTemplateField(const std::string& field) {
    return field == "templateName" || field == "manufacturerName";
}

bool applyAssignment(const IDeviceProfile& profile, CEditorTemplate& tpl, int index, const Assignment& a,
                     std::string& why) {
    if (index < 0) return applyTemplate(profile, tpl, a, why);
    CBaseControlState* state = tpl.controlAt(index);
    if (!state) {
        why = "no control " + std::to_string(index);
        return false;
    }
    const CPlacedControl placed(state, index);
    const std::string reason = checkControlField(profile, placed, a);
    if (!reason.empty()) {
        why = a.field + "=" + a.value + " for control " + std::to_string(index) + ": " + reason;
        return false;
    }
    executeCommand(controlFieldCommand(placed, a), tpl);
    return true;
}
