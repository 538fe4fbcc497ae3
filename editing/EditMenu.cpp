#include "editing/EditMenu.h"

#include <algorithm>

#include "editing/ClipboardCommands.h"
#include "editing/ControlClipboard.h"
#include "editing/History.h"
#include "model/DeviceFacts.h"
#include "model/EditorTemplate.h"

namespace {
const char* const kRedoAccelerator = "Ctrl+Y";
}

std::string undoItemLabel(const CEditorTemplate* tpl, bool canUndo) {
    if (tpl && canUndo) return "&Undo " + undoName(*tpl) + "\tCtrl+Z";
    return "Can't undo\tCtrl+Z";
}

std::string redoItemLabel(const CEditorTemplate* tpl, bool canRedo) {
    if (tpl && canRedo) return "&Redo " + redoName(*tpl) + "\t" + kRedoAccelerator;
    return std::string("Can't redo\t") + kRedoAccelerator;
}

EditMenuState editMenuState(const CEditorTemplate* tpl, bool canUndo, bool canRedo, bool editWindowShown,
                            const std::vector<CPlacedControl>& selection, const CControlClipboard& clipboard) {
    EditMenuState s;
    s.undoLabel = undoItemLabel(tpl, canUndo);
    s.redoLabel = redoItemLabel(tpl, canRedo);
    s.undo = canUndo;
    s.redo = canRedo;

    const bool editable = tpl != nullptr && !editWindowShown;
    const bool anyImported = tpl && std::any_of(selection.begin(), selection.end(), [&](const CPlacedControl& c) {
        return tpl->deviceFacts().isImportedControl(c.GetIndex());
    });
    s.cut = editable && !selection.empty() && !anyImported;
    s.copy = editable && !selection.empty();
    s.paste = editable && canPaste(tpl->deviceFacts(), clipboard.placed(), selection);
    s.del = s.cut;
    s.selectAll = editable;
    s.getInfo = editable && !selection.empty();
    return s;
}
