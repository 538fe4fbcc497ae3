#pragma once
// The MIDI device selection and the old operating system notice.
#include <wx/dialog.h>

class wxChoice;
class wxCheckBox;

class CSelectMIDIDevices : public wxDialog {
public:
    explicit CSelectMIDIDevices(wxWindow* parent);

    wxChoice* input = nullptr;
    wxChoice* output = nullptr;

private:
    void OnOK(wxCommandEvent& event);
};

class COldOSDialog : public wxDialog {
public:
    explicit COldOSDialog(wxWindow* parent);

    wxCheckBox* dontShowAgain = nullptr;

private:
    void OnOK(wxCommandEvent& event);
};
