#pragma once
// Starts the toolkit's font set-up early, so that it runs beside the window's
// construction instead of holding up the first text measured.

// Makes the toolkit's font map now: with GTK, pango then reads the font
// configuration on a thread of its own. Harmless where there is no such map.
void StartFontSetUp();
