#pragma once
// What the application object builds once and hands to the main window, which
// passes each piece on to the parts and dialogs that need it. Everything here
// outlives the main window.
#include <wx/string.h>

#include <functional>

class CLibraryService;
class CMessageBoxes;
class IDeviceProfile;
class ITransferLink;
class MidiService;
struct EditorSettings;

struct EditorServices {
    const IDeviceProfile& profile;
    EditorSettings& settings;
    MidiService& midi;
    // The bulk dump and OS update dialogs' way to the MIDI service.
    ITransferLink& transfers;
    CMessageBoxes& messages;
    // The template library: what the editor opens, saves, receives and sends is recorded there.
    CLibraryService& library;
    // Holds the resources (images, help page, factory settings).
    wxString programDirectory;
    // Restarts the idle passes (MIDI poll, panel animation, deferred work),
    // which rest while nothing needs them.
    std::function<void()> wakeIdle;
    // Called once, after the main window's first paint (may be empty).
    std::function<void()> firstPaint;
};
