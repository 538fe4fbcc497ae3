#pragma once
// The application object: start-up, the device profile (every device-specific
// answer, as virtual operations), idle processing and shutdown.
#include <wx/app.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <map>
#include <memory>
#include <string>

#include "app/MidiService.h"
#include "model/OsVersion.h"

class CMainFrame;
class CEditorTemplate;
class CBaseControlState;
class CPlacedControl;
class CTemplateUI;
class ITemplateUIHost;
class wxSingleInstanceChecker;
class CBulkDump;
class CDeviceOS;

class CEditorApp : public wxApp {
public:
    CEditorApp();
    ~CEditorApp() override;

    bool OnInit() override;
    int OnExit() override;

    // --- The device profile, in slot order ------------------------------
    virtual wxString GetEditorTitle() const = 0;
    virtual wxString GetDeviceName() const = 0;
    virtual wxString GetAboutText() const = 0;
    virtual wxString GetOSUpdateInstructions() const = 0;
    virtual int GetMaxNameLength() const = 0;
    virtual int GetDisplayNameLength() const = 0;
    virtual int GetDeviceType() const = 0;
    virtual int GetMaxTemplateNameLength() const = 0;
    virtual int GetMaxSysExLength() const = 0;
    virtual bool HasSysExMessages() const = 0;
    virtual bool HasSynthTemplateOption() const = 0;
    virtual bool HasAudioFXSettings() const = 0;
    virtual bool HasExpandingPanes() const = 0;
    virtual bool HasMidiPort2() const = 0;
    virtual bool HasUsbPort2() const = 0;
    virtual bool HasUsbPort3() const = 0;
    virtual bool HasPortGroups() const = 0;
    virtual bool HasAutoSnapshot() const = 0;
    virtual bool HasManufacturerName() const = 0;
    virtual bool HasKeyboard() const = 0;
    virtual bool HasKeyboardZones() const = 0;
    virtual bool HasAftertouchSetting() const = 0;
    virtual bool HasPotPickup() const = 0;
    virtual bool HasPatchLibrarian() const = 0;
    virtual bool HasSynthModes() const = 0;
    virtual bool HasBulkDumps() const = 0;
    virtual bool ChecksReceivedOSVersion() const = 0;
    virtual bool HasGroupPages() const = 0;
    virtual bool HasTouchpad() const = 0;
    virtual bool HasTouchpadType3() const = 0;
    virtual bool HasOSUpdate() const = 0;
    virtual bool CanNameMmcControls() const = 0;
    virtual int GetMaxMmcDeviceNumber() const { return 99; }
    virtual bool HasDisplayOnStrokeOff() const = 0;
    virtual bool HasRelativeEncoderModes() const = 0;
    virtual bool HasTranspose() const { return false; }
    virtual wxString GetMidiPort1Name() const = 0;
    virtual wxString GetMidiPort2Name() const = 0;
    virtual wxString GetUsbPort1Name() const = 0;
    virtual wxString GetUsbPort2Name() const = 0;
    virtual wxString GetUsbPort3Name() const = 0;
    virtual bool HasViewMenu() const = 0;
    virtual OsVersion GetCurrentOSVersion() const = 0;
    virtual std::unique_ptr<CEditorTemplate> CreateTemplate() const = 0;
    // The bulk dump, spare object, patch bank and OS image classes belong to
    // the device-communication layer; until it exists these make nothing.
    virtual CBulkDump* CreateBulkDump() const = 0;
    virtual void* CreateSpareObject() const = 0;
    virtual CBulkDump* CreatePatchBankDump() const = 0;
    virtual CDeviceOS* CreateDeviceOS() const = 0;
    virtual std::unique_ptr<CTemplateUI> CreateTemplateUI(ITemplateUIHost& host) const = 0;
    virtual bool IsBulkDumpSingleMessage() const = 0;
    virtual bool AllowsPitchBend(int index) const = 0;
    virtual bool AllowsAftertouch(int index) const = 0;
    virtual bool Allows14BitValues(int index) const = 0;
    virtual bool AllowsPotPickup(int index) const = 0;
    virtual bool HasDefaultValue(int index) const = 0;
    virtual bool HasNoDisplayFormat(int index) const = 0;
    virtual bool IsPickupExempt(int index) const = 0;
    virtual bool UsesDrumNotes(int index) const = 0;
    virtual bool IsImportedControl(int index) const = 0;
    virtual bool CanHoldState(const CPlacedControl& control, const CBaseControlState& state) const = 0;
    virtual bool IsMessageTypeSupported(int controlType) const = 0;
    virtual bool IsContinuousControl(int index) const = 0;
    virtual bool IsButtonControl(int index) const = 0;
    virtual void OnStarted() {}
    virtual wxString GetDefaultMidiDeviceName() const = 0;
    virtual wxString GetAppName() const = 0;

    // --- Services ----------------------------------------------------------
    // The one way a message box is shown; answers wxYES, wxNO, wxOK or wxCANCEL.
    int ShowMessage(long style, const wxString& text);
    void ReportInputLost();
    void ReportOutputLost();

    CMainFrame* GetMainFrame() const { return mainFrame; }
    // The main window tells the application that it is going away.
    void MainFrameGone(CMainFrame* frame) {
        if (mainFrame == frame) mainFrame = nullptr;
    }
    MidiService& Midi() { return midi; }
    const wxString& ProgramDirectory() const { return programDirectory; }
    std::map<std::string, std::string>& AbbreviationTable() { return abbreviations; }

    // Start-up pieces, also used by the tests to build the same environment
    // without taking the instance lock or touching the user's store.
    void SetProgramDirectory(const wxString& dir) { programDirectory = dir; }
    void LoadResources();
    // Creates and initialises the main window; false when that fails.
    bool CreateMainWindow();
    // Runs the command-line files or the start-up action.
    void RunStartupAction(const wxArrayString& files);
    // At start-up: warns when the last plug-in search did not finish (the
    // editor ended during it) and clears the record of it.
    void WarnAboutUnfinishedPluginSearch();
    // One pass of the idle processing (activation, MIDI poll, window idle work).
    // Passes run about 50 times a second from a timer while there is anything
    // to poll, animate or finish, and stop otherwise; WakeIdle restarts them.
    void IdlePass();
    void WakeIdle();
    bool IdlePassesRunning() const { return idleTimer.IsRunning(); }
    static constexpr int kIdlePeriodMs = 20;
    // The lock name for this login: GetAppName + "-" + login name.
    wxString InstanceLockName() const;

    // Called by the main window after its first paint.
    void OnFirstPaint();

    bool deviceLostReported = false;

protected:
    void ChooseMidiPorts();
    void OnIdleTimer(wxTimerEvent& event);
    void InstallModelHooks();

    CMainFrame* mainFrame = nullptr;
    std::unique_ptr<wxSingleInstanceChecker> instanceLock;
    std::map<std::string, std::string> abbreviations;
    wxString programDirectory;
    bool previousActive = false;

    MidiService midi;
    wxTimer idleTimer;
    class NoticeSink;
    std::unique_ptr<NoticeSink> noticeSink;
};

// The application object as the editor's own class.
CEditorApp& EditorApp();
// Null while no editor application object exists (tests of pure helpers).
CEditorApp* EditorAppOrNull();
