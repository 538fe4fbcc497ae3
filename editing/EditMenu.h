#pragma once
// Labels and enabled states of the Edit menu, computed for the main window.
#include <string>
#include <vector>

#include "editing/PlacedControl.h"

class CEditorTemplate;
class CControlClipboard;

// tpl is the current template (null when none is open).
std::string undoItemLabel(const CEditorTemplate* tpl, bool canUndo);
std::string redoItemLabel(const CEditorTemplate* tpl, bool canRedo);

struct EditMenuState {
    std::string undoLabel, redoLabel;
    bool undo = false, redo = false;
    bool cut = false, copy = false, paste = false, del = false, selectAll = false, getInfo = false;
};

// Everything updateEditMenu(canUndo, canRedo) sets. The clipboard items are
// disabled while the control edit window is shown.
EditMenuState editMenuState(const CEditorTemplate* tpl, bool canUndo, bool canRedo, bool editWindowShown,
                            const std::vector<CPlacedControl>& selection, const CControlClipboard& clipboard);
