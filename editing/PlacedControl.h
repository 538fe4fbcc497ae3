#pragma once
// A reference to one control of one template: its index and its settings.
// What selections, commands and panels hold; a plain value, copied freely.
#include <memory>

class CBaseControlState;

class CPlacedControl {
public:
    CPlacedControl() = default;
    CPlacedControl(CBaseControlState* state, int controlIndex) : state(state), controlIndex(controlIndex) {}
    CPlacedControl(const CPlacedControl&) = default;
    CPlacedControl& operator=(const CPlacedControl&) = default;

    // Adds the control to the panel selection or removes it; false when the
    // panel does not show it.
    bool Select(bool add) const;
    // Opens (or refreshes) the control edit window for this control; deferred
    // opens it on the next idle pass.
    void Edit(bool deferred) const;
    int GetIndex() const { return controlIndex; }
    CBaseControlState* GetState() const { return state; }
    std::unique_ptr<CPlacedControl> Clone() const { return std::make_unique<CPlacedControl>(*this); }

    // The same control: same settings object and same index.
    bool operator==(const CPlacedControl& o) const { return state == o.state && controlIndex == o.controlIndex; }

private:
    CBaseControlState* state = nullptr;
    int controlIndex = -1;
};
