#pragma once
// Several setters of a control change more than their own field
// (setControlType rewrites the display format and flagB0, setOnValue and
// setOffValue re-clamp the snapshot value). Writing only the old value back
// would lose those fields, so each control command also keeps the whole
// settings around its change and undo puts them back.
#include "model/ControlState.h"

class CControlUndoRecord {
public:
    void recordBefore(const CBaseControlState& state) { before_ = state; }
    void recordAfter(const CBaseControlState& state) { after_ = state; }

    // The settings an undo must leave, given the settings `current` found
    // before the undo: exactly the recorded "before" when the control is still
    // as the change left it; otherwise (it was changed outside the history)
    // `current` with only the fields the change touched put back.
    CBaseControlState undoneState(const CBaseControlState& current) const;

private:
    CBaseControlState before_;
    CBaseControlState after_;
};
