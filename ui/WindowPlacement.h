#pragma once
// Where a secondary window opens when the user has not placed it yet: beside
// the main window, never over its title and menu bars, wholly on a display.
#include <wx/gdicmn.h>

class wxTopLevelWindow;
class wxWindow;

// The top-left corner for a window of `size` beside `owner` (screen
// coordinates): right of it, else left of it, else over its right edge below
// its menus; moved onto the display that shows most of `owner`.
wxPoint BesideWindow(const wxRect& owner, const wxSize& size);

// Puts `window` there now and again once it is first shown: a window
// manager does not always keep a place asked for before the window is mapped.
void PlaceBesideWhenShown(wxTopLevelWindow& window, const wxWindow& owner);
