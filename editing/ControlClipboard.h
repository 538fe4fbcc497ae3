#pragma once
// The program's own control clipboard: copies of whole control settings,
// shared by every open template for the whole run. The same class holds the
// private copies that move and swap take.
#include <memory>
#include <vector>

#include "editing/PlacedControl.h"
#include "model/ControlState.h"

class CControlClipboard {
public:
    // The program-wide clipboard.
    static CControlClipboard& instance();

    // Replaces the contents with copies of the controls' settings, in order;
    // a control index already copied is not copied twice.
    void copy(const std::vector<CPlacedControl>& controls);
    void clear();

    // One entry per copied control: its index when copied and its copy here.
    const std::vector<CPlacedControl>& placed() const { return placed_; }
    bool empty() const { return placed_.empty(); }

private:
    // Held by pointer so that the placed entries stay valid as the list grows.
    std::vector<std::unique_ptr<CBaseControlState>> states_;
    std::vector<CPlacedControl> placed_;
};
