#pragma once
// The dialogs that edit the template-wide records of the current template:
// its settings, its port and channel groups, and one keyboard zone. Each works
// on its own copy and hands the result to the history as one command on OK.
#include <wx/dialog.h>

#include <functional>
#include <map>
#include <memory>

#include "model/TemplateParts.h"

class ICommand;
class IDeviceProfile;
class wxCheckBox;
class wxChoice;
class wxNotebook;
class wxSpinCtrl;
class wxStaticText;
class wxTextCtrl;

// What these dialogs ask of the device beyond the shared profile.
struct TemplateDialogOptions {
    bool hasSynthTemplateOption = false;
    bool hasAftertouchSetting = false;
    bool hasTouchpad = false;
    bool hasTouchpadType3 = false;
    bool hasSynthModes = false;
    bool hasTranspose = false;
    // Captions of MIDI 1, MIDI 2, USB 1, USB 2, USB 3.
    wxString portNames[5] = {"MIDI Port 1", "MIDI Port 2", "USB Port 1", "USB Port 2", "USB Port 3"};
};

using CommandRunner = std::function<void(std::unique_ptr<ICommand>)>;

// Spin fields that refuse text which is not a whole number in range by
// putting back the value they showed before.
class CSpinGuard {
public:
    // `max` gives the current maximum (the field's own when not set).
    void watch(wxSpinCtrl* spin, std::function<void(int)> changed = nullptr, std::function<int()> max = nullptr);
    void set(wxSpinCtrl* spin, int value);
    int shown(wxSpinCtrl* spin) const;
    // The text-changed handling, as the field's own text event runs it.
    void onText(wxSpinCtrl* spin, int eventNumber);

private:
    struct Watched {
        int shown = 0;
        std::function<void(int)> changed;
        std::function<int()> max;
    };
    std::map<wxSpinCtrl*, Watched> fields;
};

class CTemplateSettings : public wxDialog {
public:
    CTemplateSettings(wxWindow* parent, const IDeviceProfile& profile, const TemplateDialogOptions& options,
                      CTemplateLocals* record, CommandRunner run);
    // False when the layout could not be loaded: the caller must not show it.
    bool Loaded() const { return loaded; }
    void fill();
    void restoreDefaults();
    // Builds the new record from the fields and runs the command.
    void commit();

    wxNotebook* notebook = nullptr;
    wxTextCtrl* templateName = nullptr;
    wxTextCtrl* manufacturerName = nullptr;
    wxSpinCtrl* overrideChannel = nullptr;
    wxSpinCtrl* pageCount = nullptr;
    wxSpinCtrl* pageNumber = nullptr;
    wxChoice* padX = nullptr;
    wxChoice* padY = nullptr;
    wxChoice* synthByControl = nullptr;
    wxCheckBox* synthByMidi = nullptr;
    wxCheckBox* hybrid = nullptr;
    wxCheckBox* autoSnapshot = nullptr;
    wxCheckBox* synthTemplate = nullptr;
    wxCheckBox* potPickup = nullptr;
    wxSpinCtrl* keyboardChannel = nullptr;
    wxSpinCtrl* velocityCurve = nullptr;
    wxSpinCtrl* octave = nullptr;
    wxSpinCtrl* transpose = nullptr;
    wxCheckBox* afterTouch = nullptr;
    wxCheckBox* ports[3] = {};  // keyboard MIDI 1, MIDI 2, USB
    wxWindow* keyboardPanel = nullptr;
    CSpinGuard spins;
    wxString templateNameText, manufacturerText;

private:
    bool loaded = false;
    CTemplateLocals* record;
    CTemplateLocalData working;
    CommandRunner run;
};

class CEditPortGroups : public wxDialog {
public:
    CEditPortGroups(wxWindow* parent, const IDeviceProfile& profile, const TemplateDialogOptions& options,
                    CTemplateGroups* record, CommandRunner run);
    bool Loaded() const { return loaded; }
    void refresh();
    void commit();
    const CTemplateGroupData& Working() const { return working; }

    wxSpinCtrl* commonChannel = nullptr;
    wxCheckBox* common[5] = {};  // MIDI 1, MIDI 2, USB 1, USB 2, USB 3
    wxSpinCtrl* kbdChannel = nullptr;
    wxStaticText* kbdChannelText = nullptr;
    wxCheckBox* asCommonChannel = nullptr;
    wxCheckBox* kbd[4] = {};  // MIDI 1, MIDI 2, USB 1, USB 2
    wxCheckBox* asCommonPorts = nullptr;
    CSpinGuard spins;

private:
    void OnCheck(wxCommandEvent& event);
    bool loaded = false;
    CTemplateGroups* record;
    CTemplateGroupData working;
    CommandRunner run;
};

class CKbdZoneDialog : public wxDialog {
public:
    CKbdZoneDialog(wxWindow* parent, const IDeviceProfile& profile, const TemplateDialogOptions& options,
                   CKeyboardZone* zone, int zoneIndex, CommandRunner run);
    bool Loaded() const { return loaded; }
    void commit();
    // A Note On received while the top or bottom note field has the focus
    // sets that field.
    void NoteReceived(int status, int note);

    wxSpinCtrl* topNote = nullptr;
    wxSpinCtrl* bottomNote = nullptr;
    wxSpinCtrl* velocityOffset = nullptr;
    wxSpinCtrl* transpose = nullptr;
    wxSpinCtrl* channel = nullptr;
    wxStaticText* topName = nullptr;
    wxStaticText* bottomName = nullptr;
    wxCheckBox* afterTouch = nullptr;
    wxCheckBox* pitchBend = nullptr;
    wxCheckBox* modWheel = nullptr;
    wxChoice* channelGroup = nullptr;
    wxChoice* portGroup = nullptr;
    wxCheckBox* ports[4] = {};  // USB 1, USB 2, MIDI 1, MIDI 2
    CSpinGuard spins;

private:
    void notesChanged();
    bool loaded = false;
    bool showGroups = false;
    CKeyboardZone* zone;
    CommandRunner run;
};
