#include "app/DeviceController.h"

#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>

#include "app/BulkDumpDialog.h"
#include "app/EditWindowHost.h"
#include "app/LibraryService.h"
#include "app/MessageBoxes.h"
#include "app/MidiDialogs.h"
#include "app/MidiMonitorWindow.h"
#include "app/Settings.h"
#include "app/TemplateDocument.h"
#include "app/UpdateOSDialog.h"
#include "midi/MidiService.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/OsVersion.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"

CDeviceController::CDeviceController(wxFrame& frame, const EditorServices& services, CTemplateDocument& document,
                                     CTemplateCanvas& canvas, CEditWindowHost& editWindow)
    : frame(frame), services(services), document(document), canvas(canvas), editWindow(editWindow) {
    services.midi.AddMessageListener(this);
    services.messages.SetDeviceChooser([this] { SelectMidiDeviceCommand(); });
}

CDeviceController::~CDeviceController() {
    services.messages.SetDeviceChooser(nullptr);
    services.midi.ForgetListeners(this, this, this);
}

void CDeviceController::SetStatus(const wxString& text) { frame.SetStatusText(text, 0); }

bool CDeviceController::IsInputOpen() const { return services.midi.IsInputOpen(); }

bool CDeviceController::IsOutputOpen() const { return services.midi.IsOutputOpen(); }

void CDeviceController::ListenCommand() {
    MidiService& midi = services.midi;
    if (midi.IsListening()) {
        StopListening(true);
        return;
    }
    CTemplateUI* view = canvas.GetView();
    if (midi.StartListening(this, this)) {
        SetStatus("Listening for template dump from device: " + wxString::FromUTF8(midi.InputName()));
        if (view) view->ListenStarted();
        services.wakeIdle();
    } else {
        SetStatus("Invalid input device");
        if (view) view->ListenStopped();
        services.messages.ReportInputLost(services.midi.InputName());
    }
    canvas.RequestRepaint();
}

void CDeviceController::StopListening(bool withMessage) {
    services.midi.StopListening();
    if (withMessage) SetStatus("Stopped listening for template dumps");
    if (CTemplateUI* view = canvas.GetView()) view->ListenStopped();
    canvas.RequestRepaint();
}

void CDeviceController::UploadCommand() {
    CEditorTemplate* current = document.currentTemplate();
    if (!current) return;
    StartTemplateSend(*current);
}

bool CDeviceController::StartTemplateSend(CEditorTemplate& tpl) {
    MidiService& midi = services.midi;
    StopListening(false);
    SetStatus("Sending template to device: " + wxString::FromUTF8(midi.OutputName()));
    CTemplateUI* view = canvas.GetView();
    if (view) view->SendStarted();
    // What the unit receives is a single template, whatever the file was.
    tpl.setBulkFlag(false);
    const ByteSequence bytes = tpl.save();
    bool started = true;
    if (!midi.StartSend(bytes.vector(), this)) {
        SetStatus("Invalid output device");
        // The send never started: the send button must not keep pulsing.
        if (view) view->SendFinished();
        services.messages.ReportOutputLost(services.midi.OutputName());
        started = false;
        sending.reset();
    } else {
        sending.emplace(bytes, LibraryEvent{LibraryEventKind::Sent, {}, bytes.size() > 12 ? bytes[12] : -1});
    }
    canvas.RequestRepaint();
    services.wakeIdle();
    return started;
}

bool CDeviceController::SendDumpTo(const ByteSequence& dump, int location) {
    std::unique_ptr<CEditorTemplate> tpl = services.profile.CreateTemplate();
    if (!tpl || !openTemplateBytes(dump, *tpl).ok) {
        services.messages.ShowMessage(wxOK | wxICON_ERROR, "This library entry is not a valid template.");
        return false;
    }
    tpl->setLocation(location);
    return StartTemplateSend(*tpl);
}

void CDeviceController::BackUpUnitCommand(BackupDone done) {
    StopListening(false);
    editWindow.Hide();
    services.wakeIdle();
    CBulkDumpDialog dialog(&frame, services, services.transfers);
    dialog.SetTitle("Back up unit");
    dialog.ReceiveAsBackup(std::move(done));
    // The dialog opens listening: the user only starts the dump on the unit.
    dialog.Listen();
    dialog.ShowModal();
}

void CDeviceController::RestoreCommand(const std::vector<ByteSequence>& dumps, const wxString& label) {
    if (services.messages.ShowMessage(
            wxYES_NO | wxICON_QUESTION,
            "Send the backup of " + label + " to the " + wxString::FromUTF8(services.profile.GetDeviceName()) +
                "?\n\nAll the templates on the unit will be replaced by the ones in the backup.") != wxYES)
        return;
    StopListening(false);
    editWindow.Hide();
    services.wakeIdle();
    CBulkDumpDialog dialog(&frame, services, services.transfers);
    dialog.SetTitle("Restore unit");
    if (!dialog.LoadEntries(dumps)) {
        services.messages.ShowMessage(wxOK | wxICON_ERROR, "This backup does not hold 40 valid templates.");
        return;
    }
    if (!services.transfers.HasOutput()) {
        services.messages.ReportOutputLost(services.midi.OutputName());
        return;
    }
    dialog.Upload();
    dialog.ShowModal();
}

void CDeviceController::SelectMidiDeviceCommand() {
    StopListening(false);
    editWindow.Hide();
    // Ports that appeared since start-up (a unit switched on later) are offered too.
    services.midi.Rescan();
    CSelectMIDIDevices dialog(&frame, services);
    dialog.ShowModal();
    // Whatever was chosen, a loss from now on is a new one.
    services.messages.ForgetDeviceLost();
    services.wakeIdle();
}

void CDeviceController::BulkDumpsCommand() {
    // The dialog listens and sends with listeners of its own.
    StopListening(false);
    editWindow.Hide();
    services.wakeIdle();
    CBulkDumpDialog dialog(&frame, services, services.transfers);
    dialog.ShowModal();
}

wxFrame* CDeviceController::MidiMonitorCommand() {
    if (!monitorWindow) monitorWindow = new CMidiMonitorWindow(&frame, services.midi);
    monitorWindow->Show();
    monitorWindow->Raise();
    services.wakeIdle();
    return monitorWindow.get();
}

void CDeviceController::UpdateOSCommand() {
    editWindow.Hide();
    services.wakeIdle();
    // The dialog listens for a template that tells the unit's OS version; when
    // it goes, the main window listens again if it listened before.
    CUpdateOSDialog::Hooks hooks;
    hooks.restoreListening = [this](bool wasListening) {
        if (wasListening) ListenCommand();
        else StopListening(false);
    };
    hooks.chooseDevices = [this] { SelectMidiDeviceCommand(); };
    CUpdateOSDialog dialog(&frame, services, services.transfers, std::move(hooks));
    dialog.ShowModal();
}

void CDeviceController::OnProgress() {
    canvas.Animate();
    SetStatus("Template dump in progress...");
}

void CDeviceController::OnComplete() {
    if (sending) services.library.Record(sending->first, sending->second);
    sending.reset();
    if (CTemplateUI* view = canvas.GetView()) view->SendFinished();
    SetStatus("Template dump completed");
    canvas.RequestRepaint();
}

void CDeviceController::OnFailed() {
    sending.reset();
    if (CTemplateUI* view = canvas.GetView()) view->SendFinished();
    canvas.RequestRepaint();
    SetStatus("Template dump failed!");
    services.messages.ShowMessage(wxOK | wxICON_ERROR,
                                  "Template dump failed!  Perhaps the USB connection to the " +
                                      wxString::FromUTF8(services.profile.GetDeviceName()) +
                                      " was lost, or the driver is in use by another application.\n\nClose all other "
                                      "MIDI applications and try again.");
}

void CDeviceController::OnSysExAborted() {
    services.messages.ShowMessage(wxOK | wxICON_ERROR, "The dump was interrupted - please try sending it again");
}

void CDeviceController::OnSysExReceived(const MidiBytes& received) {
    const IDeviceProfile& profile = services.profile;
    std::unique_ptr<CEditorTemplate> tpl = profile.CreateTemplate();
    const ByteSequence bytes{MidiBytes(received)};
    const OpenResult result = tpl ? openTemplateBytes(bytes, *tpl) : OpenResult{};
    if (!result.ok) {
        services.messages.ShowMessage(wxOK | wxICON_ERROR,
                                      "The dump received was not a valid template.\n\nEither the dump came from "
                                      "another device, was corrupted, or you started listening in the middle of the "
                                      "dump.");
    } else {
        // Kept in the library as it came, with the location it came from.
        const int location = !result.foreign && received.size() > 12 ? received[12] : -1;
        services.library.Record(bytes, {LibraryEventKind::Received, {}, location});
        if (result.foreign) {
            const wxString source = wxString::FromUTF8(deviceKindName(result.kind));
            services.messages.ShowMessage(
                wxOK | wxICON_ERROR,
                "This template has been recieved from a " + source + ".\n\nIt has been converted to a " +
                    wxString::FromUTF8(profile.GetDeviceName()) + " template, which will not load back onto the " +
                    source +
                    ".\n\nYou can find all of the controls from the original template by right-clicking on a control "
                    "and choosing \"Imported Controls\".");
        } else if (services.settings.showOldOSDialog == 1 && profile.ChecksReceivedOSVersion() &&
                   received.size() > 10) {
            const OsVersion version = osVersionFromBytes(received[9], received[10]);
            if (versionLess(version, profile.GetCurrentOSVersion())) {
                COldOSDialog notice(&frame, services.settings);
                notice.ShowModal();
            }
        }
        document.addTemplate(std::move(tpl));
    }
    StopListening(false);
}

void CDeviceController::OnMidiMessage(uint8_t status, int data1, int data2) {
    wxString type, channel = wxString::Format("Channel: %d", (status & 0x0F) + 1), first, second;
    switch (status & 0xF0) {
        case 0x80: type = "Note off"; first = wxString::Format("Note: %d", data1); second = wxString::Format("Velocity: %d", data2); break;
        case 0x90: type = "Note on"; first = wxString::Format("Note: %d", data1); second = wxString::Format("Velocity: %d", data2); break;
        case 0xB0: type = "CC"; first = wxString::Format("CC#: %d", data1); second = wxString::Format("Value: %d", data2); break;
        case 0xC0: type = "Prog. Change"; first = wxString::Format("Data 1: %X", data1); break;
        case 0xD0: type = "Aftertouch"; first = wxString::Format("Value: %d", data1); break;
        case 0xE0: type = "Pitchbend"; first = wxString::Format("Value: %d", data2); break;
        case 0xF0:
            type = "SysEx";
            channel.clear();
            first = wxString::Format("Data 1: %X", data1);
            second = wxString::Format("Data 2: %X", data2);
            break;
        default:
            type = wxString::Format("Type: %X", status & 0xF0);
            first = wxString::Format("Data 1: %d", data1);
            second = wxString::Format("Data 2: %d", data2);
            break;
    }
    // Shown by the idle pass that follows the poll: a status text costs a
    // redraw. While the edit window learns, field 0 keeps what learning says.
    midiStatus = {"Received MIDI message", type, channel, first, second};
    midiStatusKeepFirst = editWindow.IsLearning();
    midiStatusPending = true;
    if (CTemplateUI* view = canvas.GetView(); view && view->OnMidiMessage(status, data1, data2))
        canvas.RequestRepaint();
}

void CDeviceController::IdleWork() {
    if (!midiStatusPending) return;
    midiStatusPending = false;
    wxStatusBar* bar = frame.GetStatusBar();
    for (int i = midiStatusKeepFirst ? 1 : 0; bar && i < static_cast<int>(midiStatus.size()) && i < bar->GetFieldsCount();
         ++i)
        if (bar->GetStatusText(i) != midiStatus[static_cast<size_t>(i)])
            bar->SetStatusText(midiStatus[static_cast<size_t>(i)], i);
}
