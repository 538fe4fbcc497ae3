#pragma once
// What a template and the editing commands ask about the device: its own
// kind code, its sizes, two capabilities, and which control index is what.
// Plain data, one constant per device; the device profile answers the same
// questions from it, so that the windows and the model always agree.
#include <bitset>

class CBaseControlState;

struct DeviceFacts {
    // Control indices 0 .. kIndexLimit - 1 can be described; a device's own
    // controls are 0 .. lastControlIndex, higher indices are imported controls.
    static constexpr int kIndexLimit = 128;
    using IndexSet = std::bitset<kIndexLimit>;

    int deviceType = 0;  // the kind code of the device's own templates
    int lastControlIndex = -1;
    int maxNameLength = 8;
    int maxSysExLength = 12;
    bool hasMidiPort2 = false;
    bool hasKeyboardZones = false;
    // Which controls are pots, encoders and sliders (continuous) and which are
    // buttons; which may send pitch bend, 14-bit values or drum notes.
    IndexSet continuous, buttons, pitchBend, fourteenBit, drumNotes;
    // The message types (ControlType values) the device can send at all.
    std::bitset<16> messageTypes;

    bool isImportedControl(int index) const { return index > lastControlIndex; }
    bool isContinuousControl(int index) const { return in(continuous, index); }
    bool isButtonControl(int index) const { return in(buttons, index); }
    bool allowsPitchBend(int index) const { return in(pitchBend, index); }
    bool allows14BitValues(int index) const { return in(fourteenBit, index); }
    bool usesDrumNotes(int index) const { return in(drumNotes, index); }
    bool isMessageTypeSupported(int controlType) const {
        return controlType >= 0 && controlType < static_cast<int>(messageTypes.size()) && messageTypes.test(controlType);
    }
    // Whether the control at `index` may take the settings `state` (paste,
    // imported controls, conversion).
    bool canHoldState(int index, const CBaseControlState& state) const;

private:
    // The index is checked here; set[] spares test()'s second check (opening
    // asks this of every control).
    static bool in(const IndexSet& set, int index) {
        return index >= 0 && index < kIndexLimit && set[static_cast<size_t>(index)];
    }
};

// The TaNGRA LuMI QV's facts.
const DeviceFacts& TaNGRAQVFacts();
