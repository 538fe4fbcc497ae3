#include "ui/MenuShortcuts.h"

#include <wx/menu.h>

#include <memory>

namespace {
void Collect(const wxMenu& menu, std::vector<wxAcceleratorEntry>& keys) {
    for (const wxMenuItem* item : menu.GetMenuItems()) {
        if (item->GetSubMenu()) {
            Collect(*item->GetSubMenu(), keys);
            continue;
        }
        if (const std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel()); accel)
            keys.emplace_back(accel->GetFlags(), accel->GetKeyCode(), item->GetId());
    }
}
}  // namespace

std::vector<wxAcceleratorEntry> MenuShortcuts(const wxMenuBar& bar) {
    std::vector<wxAcceleratorEntry> keys;
    for (size_t i = 0; i < bar.GetMenuCount(); ++i) Collect(*bar.GetMenu(i), keys);
    return keys;
}
