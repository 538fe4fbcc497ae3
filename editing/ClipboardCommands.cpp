#include "editing/ClipboardCommands.h"

#include <string>

#include "editing/ControlClipboard.h"
#include "editing/PasteCommand.h"
#include "model/DeviceFacts.h"
#include "model/EditorTemplate.h"

namespace {
std::string pluralName(const char* name, size_t count) { return count > 1 ? std::string(name) + "s" : name; }

std::unique_ptr<CMetaCommand> clearAll(const char* name, const ControlList& selection) {
    auto meta = std::make_unique<CMetaCommand>(pluralName(name, selection.size()));
    for (const CPlacedControl& control : selection) meta->AddCommand(std::make_unique<CClearCommand>(control));
    return meta;
}
}  // namespace

void copyToClipboard(const ControlList& controls) { CControlClipboard::instance().copy(controls); }

std::unique_ptr<CMetaCommand> cutCommand(const ControlList& selection) {
    copyToClipboard(selection);
    return clearAll("Cut Control", selection);
}

std::unique_ptr<CMetaCommand> deleteCommand(const ControlList& selection) { return clearAll("Delete Control", selection); }

std::unique_ptr<CMetaCommand> pasteCommand(const ControlList& targets, const ControlList& sources) {
    // Pairing is by position; with unequal lists some pairing would be a guess.
    if (targets.size() != sources.size()) return nullptr;
    for (const CPlacedControl& source : sources)
        if (!source.GetState()) return nullptr;
    auto meta = std::make_unique<CMetaCommand>(pluralName("Paste Control", targets.size()));
    for (size_t i = 0; i < sources.size(); ++i)
        meta->AddCommand(std::make_unique<CPasteCommand>(targets[i], *sources[i].GetState()));
    return meta;
}

std::unique_ptr<CMetaCommand> pasteFromClipboard(const ControlList& selection) {
    return pasteCommand(selection, CControlClipboard::instance().placed());
}

std::unique_ptr<CMetaCommand> moveCommand(const ControlList& sources, const ControlList& targets) {
    CControlClipboard copies;  // private: the program's clipboard is left alone
    copies.copy(sources);
    auto paste = pasteCommand(targets, copies.placed());
    if (!paste) return nullptr;
    auto meta = std::make_unique<CMetaCommand>("Move control");
    meta->AddCommand(std::move(paste));
    meta->AddCommand(deleteCommand(sources));
    return meta;
}

std::unique_ptr<CMetaCommand> swapCommand(const ControlList& a, const ControlList& b) {
    CControlClipboard copiesOfA, copiesOfB;
    copiesOfA.copy(a);
    copiesOfB.copy(b);
    auto toB = pasteCommand(b, copiesOfA.placed());
    auto toA = pasteCommand(a, copiesOfB.placed());
    if (!toB || !toA) return nullptr;
    auto meta = std::make_unique<CMetaCommand>("Swap controls");
    meta->AddCommand(std::move(toB));
    meta->AddCommand(std::move(toA));
    return meta;
}

std::unique_ptr<CMetaCommand> assignImportedCommand(const CPlacedControl& target, const CEditorTemplate& tpl,
                                                    int importedNumber) {
    if (importedNumber < 0 || importedNumber >= static_cast<int>(tpl.importedControls.size())) return nullptr;
    auto meta = std::make_unique<CMetaCommand>("Assign Imported Control");
    meta->AddCommand(
        std::make_unique<CPasteCommand>(target, tpl.importedControls[static_cast<size_t>(importedNumber)]));
    return meta;
}

bool canPaste(const DeviceFacts& facts, const ControlList& clipboard, const ControlList& targets) {
    if (targets.empty() || clipboard.size() != targets.size()) return false;
    for (const CPlacedControl& target : targets)
        if (facts.isImportedControl(target.GetIndex())) return false;
    for (size_t i = 0; i < targets.size(); ++i) {
        const CBaseControlState* state = clipboard[i].GetState();
        if (!state || !facts.canHoldState(targets[i].GetIndex(), *state)) return false;
    }
    return true;
}
