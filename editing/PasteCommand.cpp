#include "editing/PasteCommand.h"

CPasteCommand::CPasteCommand(const CPlacedControl& target, const CBaseControlState& source)
    : target(target), pasted(source) {}

void CPasteCommand::Do() {
    CBaseControlState* s = target.GetState();
    if (!s) return;
    saved = *s;
    *s = pasted;
    // Whether a control is continuous belongs to its place, not to the
    // settings pasted there; the snapshot then fits the place.
    s->isContinuous = saved.isContinuous;
    s->clampSnapshot();
}

void CPasteCommand::Undo() {
    // No re-binding here: the saved settings are what the control had in its
    // place, and a re-clamp could change them.
    if (CBaseControlState* s = target.GetState()) *s = saved;
}

bool CPasteCommand::UpdateView(bool undone) {
    target.Select(!undone);
    return false;
}

CClearCommand::CClearCommand(const CPlacedControl& target) : target(target) {}

void CClearCommand::Do() {
    CBaseControlState* s = target.GetState();
    if (!s) return;
    saved = *s;
    s->reset();
    // reset clears isContinuous; the control still sits in its place, and a
    // later clamp must treat it as what it is.
    s->isContinuous = saved.isContinuous;
}

void CClearCommand::Undo() {
    if (CBaseControlState* s = target.GetState()) *s = saved;
}

bool CClearCommand::UpdateView(bool undone) {
    target.Select(undone);
    return false;
}
