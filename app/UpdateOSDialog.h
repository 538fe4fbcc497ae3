#pragma once
// The OS update dialog: shows the unit's OS version (learnt from a template
// the unit sends while the dialog is open) and the loaded image's, and sends
// the image one message at a time after the confirmation.
#include <wx/dialog.h>

#include <functional>
#include <memory>

#include "app/EditorServices.h"
#include "midi/Transfers.h"
#include "model/OsVersion.h"

class CDeviceOS;
class IDeviceProfile;
class wxButton;
class wxGauge;
class wxTextCtrl;

class CUpdateOSDialog : public wxDialog, public ISysExListener, public ITransferObserver {
public:
    // What the dialog asks of the window that opened it (each may be empty).
    struct Hooks {
        // Runs when the dialog goes, with whether the main window was
        // listening when it opened.
        std::function<void(bool)> restoreListening;
        // The "Select_MIDI_Devices" button: the port choice.
        std::function<void()> chooseDevices;
    };
    CUpdateOSDialog(wxWindow* parent, const EditorServices& services, ITransferLink& link, Hooks hooks = {});
    ~CUpdateOSDialog() override;

    bool LoadImage(const wxString& path);
    void Upload();
    bool IsBusy() const { return busy; }
    bool VersionEstablished() const { return established; }
    const CDeviceOS& Image() const { return *os; }
    int Counter() const { return counter; }

    // ISysExListener: a template from the unit tells its OS version.
    void OnSysExReceived(const MidiBytes& bytes) override;
    // ITransferObserver
    void OnTransferStep(int done, int total) override;
    void OnTransferEnded(TransferEnd end) override;

    wxTextCtrl* currentVersion = nullptr;
    wxTextCtrl* newVersion = nullptr;
    wxButton* load = nullptr;
    wxButton* selectDevices = nullptr;
    wxButton* send = nullptr;
    wxButton* ok = nullptr;
    wxWindow* progLine = nullptr;
    wxGauge* gauge = nullptr;

private:
    void StartUpload();
    void BackToIdle();
    void OnButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    EditorServices services;
    ITransferLink& link;
    Hooks hooks;
    std::unique_ptr<CDeviceOS> os;
    std::unique_ptr<CPacedSender> sender;
    OsVersion installed;
    OsVersion image;
    bool established = false;
    bool imageLoaded = false;
    bool wasListening = false;
    bool busy = false;
    int counter = 0;
};

// The last question before an OS update; ends with kConfirmed to go ahead.
class CConfirmOSUpdateDialog : public wxDialog {
public:
    static constexpr int kConfirmed = 4;
    CConfirmOSUpdateDialog(wxWindow* parent, const IDeviceProfile& profile);
    wxTextCtrl* message = nullptr;
    wxButton* instructions = nullptr;
    wxButton* confirm = nullptr;

private:
    void OnButton(wxCommandEvent& event);

    const IDeviceProfile& profile;
};
