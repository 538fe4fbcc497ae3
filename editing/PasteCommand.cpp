#include "editing/PasteCommand.h"

#include "model/DeviceProfile.h"

void rebindControl(CBaseControlState& state, int controlIndex) {
    state.isContinuous = IDeviceProfile::current().IsContinuousControl(controlIndex);
    state.clampSnapshot();
}

CPasteCommand::CPasteCommand(const CPlacedControl& target, const CBaseControlState& source)
    : target(target), pasted(source) {}

void CPasteCommand::Do() {
    CBaseControlState* s = target.GetState();
    if (!s) return;
    saved = *s;
    *s = pasted;
    rebindControl(*s, target.GetIndex());
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
    s->isContinuous = IDeviceProfile::current().IsContinuousControl(target.GetIndex());
}

void CClearCommand::Undo() {
    if (CBaseControlState* s = target.GetState()) *s = saved;
}

bool CClearCommand::UpdateView(bool undone) {
    target.Select(undone);
    return false;
}
