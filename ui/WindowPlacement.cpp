#include "ui/WindowPlacement.h"

#include <wx/display.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <memory>

wxPoint BesideWindow(const wxRect& owner, const wxSize& size) {
    int index = wxDisplay::GetFromPoint(owner.GetPosition() + owner.GetSize() / 2);
    if (index == wxNOT_FOUND) index = 0;
    const wxRect area = wxDisplay(static_cast<unsigned>(index)).GetClientArea();
    const int gap = 8;
    wxPoint at(owner.GetRight() + 1 + gap, owner.y);
    if (at.x + size.x > area.GetRight() + 1) at.x = owner.x - gap - size.x;
    if (at.x < area.x) {
        // No room beside it: over its right part, below its menus.
        at.x = area.GetRight() + 1 - size.x;
        at.y = owner.y + std::min(owner.height / 3, 120);
    }
    at.x = std::max(area.x, std::min(at.x, area.GetRight() + 1 - size.x));
    at.y = std::max(area.y, std::min(at.y, area.GetBottom() + 1 - size.y));
    return at;
}

void PlaceBesideWhenShown(wxTopLevelWindow& window, const wxWindow& owner) {
    const wxWindow* ownerWindow = &owner;
    wxTopLevelWindow* placed = &window;
    auto place = [placed, ownerWindow] {
        placed->Move(BesideWindow(ownerWindow->GetScreenRect(), placed->GetSize()));
    };
    place();
    // Once only: later the window stays where the user puts it.
    auto shown = std::make_shared<bool>(false);
    window.Bind(wxEVT_SHOW, [placed, place, shown](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() || *shown) return;
        *shown = true;
        placed->CallAfter(place);
    });
}
