#pragma once
// The greeting at start-up: runs one of the main window's commands.
#include <wx/dialog.h>

#include "app/EditorServices.h"

class CMainFrame;
class IDeviceProfile;
class wxStaticText;
class wxRadioButton;
class wxCheckBox;

class CWelcomeDialog : public wxDialog {
public:
    CWelcomeDialog(CMainFrame* frame, const EditorServices& services);
    // False when the layout is missing: the dialog was never created and must
    // not be shown (the error has been logged).
    bool Loaded() const { return loaded; }

    wxStaticText* greeting = nullptr;
    wxRadioButton* createNew = nullptr;
    wxRadioButton* listen = nullptr;
    wxRadioButton* updateOS = nullptr;
    wxRadioButton* bulkDumps = nullptr;
    wxRadioButton* readHelp = nullptr;
    wxRadioButton* nothing = nullptr;
    wxCheckBox* dontShowAgain = nullptr;

private:
    void OnOK(wxCommandEvent& event);
    // Asks the user to choose a port, then opens the device selection.
    void DevicePrompt(bool input);

    CMainFrame* frame;
    EditorServices services;
    const IDeviceProfile& profile;
    bool loaded = false;
};
