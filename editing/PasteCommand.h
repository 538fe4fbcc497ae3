#pragma once
// Whole-control commands: paste a copy of settings onto a control, and reset
// a control to its defaults. Both select or deselect their control in
// UpdateView and hide the edit window (answer false).
#include <string>

#include "model/Command.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"

class CPasteCommand : public ICommand {
public:
    // Takes its own copy of `source` now, so later clipboard changes do not
    // reach the history.
    CPasteCommand(const CPlacedControl& target, const CBaseControlState& source);

    // The target takes the pasted settings, then is re-bound to its place:
    // it keeps its own isContinuous and the snapshot is clamped.
    void Do() override;
    // The target gets back exactly the settings Do found.
    void Undo() override;
    // Selects the target after a do, deselects it after an undo.
    bool UpdateView(bool undone) override;
    std::string GetName() const override { return "Paste Control"; }

private:
    CPlacedControl target;
    CBaseControlState pasted;
    CBaseControlState saved;  // the target's settings before the last Do
};

class CClearCommand : public ICommand {
public:
    explicit CClearCommand(const CPlacedControl& target);

    // Resets every setting of the target to its default.
    void Do() override;
    // The target gets back exactly the settings Do found.
    void Undo() override;
    // Deselects the target after a do, selects it after an undo.
    bool UpdateView(bool undone) override;
    std::string GetName() const override { return "Delete Control"; }

private:
    CPlacedControl target;
    CBaseControlState saved;
};
