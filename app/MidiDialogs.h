#pragma once
// The MIDI device selection and the old operating system notice.
#include <wx/dialog.h>

#include "app/EditorServices.h"

class wxChoice;
class wxCheckBox;

class CSelectMIDIDevices : public wxDialog {
public:
    CSelectMIDIDevices(wxWindow* parent, const EditorServices& services);

    wxChoice* input = nullptr;
    wxChoice* output = nullptr;

private:
    void OnOK(wxCommandEvent& event);

    EditorServices services;
};

class COldOSDialog : public wxDialog {
public:
    // "Dont_Show_This_Message_Again" turns the notice off in `settings`.
    COldOSDialog(wxWindow* parent, EditorSettings& settings);

    wxCheckBox* dontShowAgain = nullptr;

private:
    void OnOK(wxCommandEvent& event);

    EditorSettings& settings;
};
