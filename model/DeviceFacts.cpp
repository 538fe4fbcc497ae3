#include "DeviceFacts.h"

#include "ControlState.h"

bool DeviceFacts::canHoldState(int index, const CBaseControlState& state) const {
    const int t = state.getControlType();
    if (isImportedControl(index)) return false;
    if (!allows14BitValues(index) && state.getDisplayFormat() == DisplayFormat::Send14Bit) return false;
    if (isContinuousControl(index)) {
        if (t >= 0 && t <= 4) return true;
        if (t == ControlType::PitchBend) return allowsPitchBend(index);
        return false;
    }
    if ((t >= 0 && t <= 6) || t == ControlType::ProgramChange) return true;
    if (t == ControlType::DrumNote) return usesDrumNotes(index);
    return false;
}

namespace {
void mark(DeviceFacts::IndexSet& set, int first, int last) {
    for (int i = first; i <= last; ++i) set.set(static_cast<size_t>(i));
}

DeviceFacts makeTaNGRAQVFacts() {
    DeviceFacts f;
    f.deviceType = 2;
    f.lastControlIndex = 85;
    f.maxNameLength = 8;
    f.maxSysExLength = 12;
    f.hasMidiPort2 = true;
    f.hasKeyboardZones = false;
    // Pots, encoders and sliders; the second pedal, the wheels and the
    // further continuous controls; the last eight controls.
    mark(f.continuous, 0, 23);
    mark(f.continuous, 63, 69);
    mark(f.continuous, 78, 85);
    // The four rows of buttons, the transport and the first pedal; the drum pads.
    mark(f.buttons, 24, 62);
    mark(f.buttons, 70, 77);
    mark(f.pitchBend, 64, 64);
    mark(f.pitchBend, 66, 69);
    mark(f.fourteenBit, 8, 15);
    mark(f.drumNotes, 70, 85);
    for (int t = ControlType::Disabled; t <= ControlType::NoteOnOff; ++t) f.messageTypes.set(static_cast<size_t>(t));
    for (int t = ControlType::ProgramChange; t <= ControlType::DrumNote; ++t)
        f.messageTypes.set(static_cast<size_t>(t));
    return f;
}
}  // namespace

const DeviceFacts& TaNGRAQVFacts() {
    static const DeviceFacts facts = makeTaNGRAQVFacts();
    return facts;
}
