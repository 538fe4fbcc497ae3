#include "app/UpdateOSDialog.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "app/MessageBoxes.h"
#include "midi/MidiService.h"
#include "app/Settings.h"
#include "model/DeviceOS.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/XrcResources.h"

namespace {
const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

void enable(wxWindow* w, bool on) {
    if (w) w->Enable(on);
}

wxString versionString(const OsVersion& v) { return wxString::FromUTF8(versionText(v).c_str()); }
}  // namespace

CUpdateOSDialog::CUpdateOSDialog(wxWindow* parent, const EditorServices& services, ITransferLink& link, Hooks hooks)
    : services(services),
      link(link),
      hooks(std::move(hooks)),
      os(services.profile.CreateDeviceOS()) {
    if (!XrcResources::LoadDialog(this, parent, "ID_UPDATEOSDIALOG")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Update device OS");
    }
    SetTitle("Update device OS");
    currentVersion = findNamed<wxTextCtrl>(this, "Current_OS_Version");
    newVersion = findNamed<wxTextCtrl>(this, "New_OS_Version");
    load = findNamed<wxButton>(this, "Load_New_OS");
    selectDevices = findNamed<wxButton>(this, "Select_MIDI_Devices");
    send = findNamed<wxButton>(this, "Send_OS_To_Device");
    ok = findNamed<wxButton>(this, "wxID_OK");
    progLine = wxWindow::FindWindowByName("ID_PROGLINE", this);
    gauge = findNamed<wxGauge>(this, "ID_GAUGE");

    if (currentVersion) {
        currentVersion->ChangeValue("Unknown");
        currentVersion->Disable();
    }
    if (newVersion) {
        newVersion->ChangeValue("Not loaded");
        newVersion->Disable();
    }
    if (send) {
        send->SetLabel("&Upload OS");
        send->Disable();
    }
    if (progLine) progLine->Hide();

    // A template the unit sends while the dialog is open tells its OS version.
    wasListening = link.IsListening();
    link.StartListening(this, nullptr, UnitDumpHeader(*services.profile.CreateTemplate()));

    Bind(wxEVT_BUTTON, &CUpdateOSDialog::OnButton, this);
    Bind(wxEVT_CLOSE_WINDOW, &CUpdateOSDialog::OnClose, this);
    Layout();
    Fit();
    CentreOnParent();
}

CUpdateOSDialog::~CUpdateOSDialog() {
    if (sender && sender->IsRunning()) sender->Cancel();
    sender.reset();
    link.StopListening();
    if (hooks.restoreListening) hooks.restoreListening(wasListening);
}

void CUpdateOSDialog::OnSysExReceived(const MidiBytes& bytes) {
    auto tpl = services.profile.CreateTemplate();
    size_t position = 0;
    if (!tpl->load(ByteSequence(bytes), position)) return;
    installed = osVersionFromBytes(bytes[9], bytes[10]);
    established = true;
    if (currentVersion) {
        currentVersion->ChangeValue(versionString(installed));
        currentVersion->Enable();
    }
}

bool CUpdateOSDialog::LoadImage(const wxString& path) {
    // A refused file leaves the image loaded before (and its display) as it was.
    std::unique_ptr<CDeviceOS> loaded = services.profile.CreateDeviceOS();
    const wxString refused = "The file \"" + path + "\" is not a valid operating system.";
    if (!loaded->LoadFromFile(std::string(path.utf8_str()))) {
        services.messages.ShowMessage(wxOK | wxICON_ERROR, refused);
        return false;
    }
    // Half an image leaves the unit waiting in its receive mode: an image
    // with a message the output cannot carry in one piece is refused now.
    std::vector<MidiBytes> messages;
    for (const auto& m : loaded->messages) messages.push_back(m.vector());
    const MIDI::Output* port = services.midi.OutputPort();
    if (const std::string why = UnsendableMessage(messages, port ? port->MaxMessageSize() : kLongestSentMessage);
        !why.empty()) {
        services.messages.ShowMessage(wxOK | wxICON_ERROR, refused + " (" + wxString::FromUTF8(why) + ")");
        return false;
    }
    os = std::move(loaded);
    image = os->GetVersion();
    imageLoaded = true;
    if (newVersion) {
        newVersion->ChangeValue(versionString(image));
        newVersion->Enable();
    }
    if (send) {
        send->Enable();
        send->SetDefault();
    }
    return true;
}

void CUpdateOSDialog::Upload() {
    if (busy || !imageLoaded || !os->IsValid()) return;
    if (!established && services.settings.showOldOSDialog == 1) {
        if (services.messages.ShowMessage(wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION,
                            "You have not established the current OS version on your unit,\nand it may be a later "
                            "version than the one you are about to upload.\n\nDo you wish to upload the selected OS "
                            "anyway?") != wxYES)
            return;
    } else if (established && versionLess(image, installed)) {
        if (services.messages.ShowMessage(wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION,
                            "The version of the operating system you are about to upload is older than the one "
                            "currently installed on the unit.\n\nDo you still want to upload it?") != wxYES)
            return;
    }
    CConfirmOSUpdateDialog confirm(this, services.profile);
    if (confirm.ShowModal() != CConfirmOSUpdateDialog::kConfirmed) return;
    StartUpload();
}

void CUpdateOSDialog::StartUpload() {
    std::vector<MidiBytes> messages;
    for (const auto& m : os->messages) messages.push_back(m.vector());
    if (progLine) progLine->Show();
    if (gauge) {
        gauge->SetRange(static_cast<int>(messages.size()));
        gauge->SetValue(0);
    }
    busy = true;
    for (wxWindow* w : {static_cast<wxWindow*>(send), static_cast<wxWindow*>(ok), static_cast<wxWindow*>(load),
                        static_cast<wxWindow*>(selectDevices)})
        enable(w, false);
    if (send) send->SetLabel("Please wait...");
    counter = 0;
    Layout();
    Fit();
    // Listening for the version ends here: the unit is in its receive mode.
    link.StopListening();
    sender = std::make_unique<CPacedSender>(link, std::move(messages), kOsSendPause, this);
    sender->Start();
}

void CUpdateOSDialog::OnTransferStep(int done, int) {
    counter = done;
    if (gauge) gauge->SetValue(done);
}

void CUpdateOSDialog::OnTransferEnded(TransferEnd end) {
    const int delivered = sender ? sender->Delivered() : 0;
    const int total = sender ? sender->Total() : 0;
    BackToIdle();
    switch (end) {
        case TransferEnd::Completed:
            services.messages.ShowMessage(wxOK | wxICON_INFORMATION,
                                    "OS update completed!\n\nPlease click \"OK\" and exit the program before switching "
                                    "the hardware back on.");
            break;
        case TransferEnd::CannotStart: services.messages.ReportOutputLost(services.midi.OutputName()); break;
        case TransferEnd::Cancelled: break;
        case TransferEnd::Unsendable:
            services.messages.ShowMessage(wxOK | wxICON_ERROR,
                                          "Unable to upload the OS: " +
                                              wxString::FromUTF8(sender ? sender->Problem() : "") +
                                              "\n\nNothing was sent.");
            break;
        default:
            services.messages.ShowMessage(
                wxOK | wxICON_ERROR,
                wxString::Format("Error uploading OS\n\n%d of %d messages reached the unit, which now waits for the "
                                 "rest. Put it into its OS-receive mode again and upload the whole image once more.",
                                 delivered, total));
            break;
    }
}

void CUpdateOSDialog::BackToIdle() {
    counter = 0;
    busy = false;
    if (progLine) progLine->Hide();
    if (gauge) gauge->SetValue(0);
    for (wxWindow* w : {static_cast<wxWindow*>(send), static_cast<wxWindow*>(ok), static_cast<wxWindow*>(load),
                        static_cast<wxWindow*>(selectDevices)})
        enable(w, true);
    if (send) send->SetLabel("&Upload OS");
    Layout();
    Fit();
}

void CUpdateOSDialog::OnButton(wxCommandEvent& event) {
    wxWindow* source = dynamic_cast<wxWindow*>(event.GetEventObject());
    const wxString name = source ? source->GetName() : wxString();
    if (name == "Load_New_OS") {
        wxFileDialog chooser(this, "Load OS image", "", "", "SysEx Dump (*.syx)|*.syx", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (chooser.ShowModal() == wxID_OK) LoadImage(chooser.GetPath());
    } else if (name == "Select_MIDI_Devices") {
        if (hooks.chooseDevices) hooks.chooseDevices();
        // The choice ends every listen, and the unit may now be another one:
        // listen for its version again.
        if (!busy) link.StartListening(this, nullptr, UnitDumpHeader(*services.profile.CreateTemplate()));
    } else if (name == "Send_OS_To_Device") {
        Upload();
    } else if (event.GetId() == wxID_OK) {
        if (!busy) EndModal(wxID_OK);
    } else {
        event.Skip();
    }
}

void CUpdateOSDialog::OnClose(wxCloseEvent& event) {
    if (busy && event.CanVeto()) {
        event.Veto();
        return;
    }
    if (IsModal()) EndModal(wxID_OK);
    else Destroy();
}

// ---- confirmation ----

CConfirmOSUpdateDialog::CConfirmOSUpdateDialog(wxWindow* parent, const IDeviceProfile& profile) : profile(profile) {
    if (!XrcResources::LoadDialog(this, parent, "ID_CONFIRMOSUPDATEDIALOG")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Confirm OS Update");
    }
    SetTitle("Confirm OS Update");
    message = findNamed<wxTextCtrl>(this, "ID_MESSAGE");
    instructions = findNamed<wxButton>(this, "ID_INSTRUCTIONS");
    confirm = findNamed<wxButton>(this, "ID_CONFIRM");
    if (message) {
        wxString text = message->GetValue();
        text.Replace("PRODUCTNAME", wxString::FromUTF8(profile.GetDeviceName()));
        message->ChangeValue(text);
    }
    // The text is for reading only: the focus starts on the first step it
    // names, so no text cursor blinks in it.
    if (instructions) instructions->SetFocus();
    Bind(wxEVT_BUTTON, &CConfirmOSUpdateDialog::OnButton, this);
    Fit();
    CentreOnParent();
}

void CConfirmOSUpdateDialog::OnButton(wxCommandEvent& event) {
    wxWindow* source = dynamic_cast<wxWindow*>(event.GetEventObject());
    const wxString name = source ? source->GetName() : wxString();
    if (name == "ID_INSTRUCTIONS") {
        wxMessageBox(wxString::FromUTF8(profile.GetOSUpdateInstructions()), "OS Update Instructions", wxOK | wxICON_INFORMATION, this);
    } else if (name == "ID_CONFIRM") {
        EndModal(kConfirmed);
    } else {
        event.Skip();
    }
}
