#include "editing/ControlClipboard.h"

#include <algorithm>

CControlClipboard& CControlClipboard::instance() {
    static CControlClipboard clipboard;
    return clipboard;
}

void CControlClipboard::clear() {
    placed_.clear();
    states_.clear();
}

void CControlClipboard::copy(const std::vector<CPlacedControl>& controls) {
    clear();
    for (const CPlacedControl& control : controls) {
        const CBaseControlState* source = control.GetState();
        if (!source) continue;
        const int index = control.GetIndex();
        const bool seen = std::any_of(placed_.begin(), placed_.end(),
                                      [index](const CPlacedControl& p) { return p.GetIndex() == index; });
        if (seen) continue;
        states_.push_back(std::make_unique<CBaseControlState>(*source));
        placed_.emplace_back(states_.back().get(), index);
    }
}
