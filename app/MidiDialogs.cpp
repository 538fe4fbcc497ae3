#include "app/MidiDialogs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/log.h>

#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "midi/MidiService.h"
#include "ui/XrcResources.h"

namespace {
// Ends the dialog whether it runs modally or was shown as a plain window.
void finish(wxDialog* dialog, int code) {
    if (dialog->IsModal()) {
        dialog->EndModal(code);
    } else {
        dialog->SetReturnCode(code);
        dialog->Hide();
    }
}

const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

// The device index kept with each entry of a choice.
int indexOf(wxChoice* choice) {
    const int at = choice->GetSelection();
    if (at == wxNOT_FOUND) return -1;
    return static_cast<int>(reinterpret_cast<intptr_t>(choice->GetClientData(static_cast<unsigned>(at))));
}
}  // namespace

CSelectMIDIDevices::CSelectMIDIDevices(wxWindow* parent, const EditorServices& services) : services(services) {
    if (!XrcResources::LoadDialog(this, parent, "ID_SELECTMIDIDEVICESDIALOG")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Select MIDI devices");
        return;
    }
    SetTitle("Select MIDI devices");
    input = findNamed<wxChoice>(this, "Input_Midi_Device");
    output = findNamed<wxChoice>(this, "Output_Midi_Device");
    const MidiService& midi = services.midi;
    for (int i = 0; i < midi.DeviceCount(); ++i) {
        wxChoice* choice = midi.IsInputIndex(i) ? input : output;
        if (!choice) continue;
        const int at = choice->Append(wxString::FromUTF8(midi.DeviceName(i)), reinterpret_cast<void*>(intptr_t{i}));
        if (i == midi.SelectedInput() || i == midi.SelectedOutput()) choice->SetSelection(at);
    }
    for (wxChoice* choice : {input, output}) {
        if (!choice) continue;
        if (choice->GetCount() == 0) choice->Disable();
        else if (choice->GetSelection() == wxNOT_FOUND) choice->SetSelection(0);
    }
    Bind(wxEVT_BUTTON, &CSelectMIDIDevices::OnOK, this, wxID_OK);
}

void CSelectMIDIDevices::OnOK(wxCommandEvent&) {
    MidiService& midi = services.midi;
    if (input && input->IsEnabled()) {
        const int i = indexOf(input);
        if (!midi.SelectInput(i)) {
            services.messages.ShowMessage(wxOK | wxICON_ERROR,
                            "Unable to set the input device.\n\nPerhaps it has been removed since the program was "
                            "launched,\nor is already in use by another program.");
            return;
        }
        services.settings.inputDevice = wxString::FromUTF8(midi.DeviceName(i));
    }
    if (output && output->IsEnabled()) {
        const int i = indexOf(output);
        if (!midi.SelectOutput(i)) {
            services.messages.ShowMessage(wxOK | wxICON_ERROR,
                            "Unable to set the output device.\n\nPerhaps it has been removed since the program was "
                            "launched,\nor is already in use by another program.");
            return;
        }
        services.settings.outputDevice = wxString::FromUTF8(midi.DeviceName(i));
    }
    midi.RequestClose();
    midi.RequestOpen();
    services.wakeIdle();
    finish(this, wxID_OK);
}

COldOSDialog::COldOSDialog(wxWindow* parent, EditorSettings& settings) : settings(settings) {
    if (!XrcResources::LoadDialog(this, parent, "ID_OLDOSDIALOG")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Old operating system detected");
        return;
    }
    SetTitle("Old operating system detected");
    dontShowAgain = findNamed<wxCheckBox>(this, "Dont_Show_This_Message_Again");
    Bind(wxEVT_BUTTON, &COldOSDialog::OnOK, this, wxID_OK);
}

void COldOSDialog::OnOK(wxCommandEvent&) {
    if (dontShowAgain && dontShowAgain->IsChecked()) settings.showOldOSDialog = 0;
    finish(this, wxID_OK);
}
