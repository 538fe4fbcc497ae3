#pragma once
// The shortcuts of a window's menus, for the windows that pass them on and
// for runs of a shortcut outside the toolkit's own lookup.
#include <wx/accel.h>

#include <vector>

class wxMenuBar;

// Every item of `bar` that has a shortcut, submenus included: its modifiers,
// key and item identifier.
std::vector<wxAcceleratorEntry> MenuShortcuts(const wxMenuBar& bar);
