#pragma once
// The application object: start-up, the device profile it owns, idle
// processing and shutdown.
#include <wx/app.h>
#include <wx/string.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <map>
#include <memory>
#include <string>

#include "app/EditorServices.h"
#include "app/LibraryService.h"
#include "app/MainFrame.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "midi/MidiService.h"
#include "midi/Transfers.h"
#include "model/DeviceProfile.h"

class CTemplateUI;
class ITemplateUIHost;
class wxSingleInstanceChecker;
class IDataErrorSink;

class CEditorApp : public wxApp {
public:
    explicit CEditorApp(std::unique_ptr<IDeviceProfile> profile);
    ~CEditorApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    // An exception that escaped every handler ends the program through the
    // crash handler, which reports it.
    void OnUnhandledException() override;

    // The device profile this program answers with; owned here and handed to
    // the main window, the panel view and the dialogs.
    const IDeviceProfile& Profile() const { return *profile; }
    // The device's panel view: a window, so it is made here, not by the profile.
    virtual std::unique_ptr<CTemplateUI> CreateTemplateUI(ITemplateUIHost& host) const = 0;
    // Called once at the end of a successful start: after the first paint,
    // the MIDI ports found and chosen and the start-up action run.
    virtual void OnStarted() {}

    // --- Services ----------------------------------------------------------
    // What the main window and its dialogs are handed.
    EditorServices Services();
    CMessageBoxes& Messages() { return messages; }
    EditorSettings& Settings() { return settings; }
    // Offers a report with the main window as parent (Data-error reports).
    void SendErrorReport(const wxString& subjectWord, const wxString& headline, const wxString& attachmentPath);

    // Null once the main window is gone.
    CMainFrame* GetMainFrame() const { return mainFrame.get(); }
    MidiService& Midi() { return midi; }
    CLibraryService& Library() { return *library; }
    // The library file: `--library PATH` among the arguments, else the
    // "LibraryPath" setting, else the XDG data folder's; the option and its
    // value are taken out of `arguments`.
    std::string ChooseLibraryPath(wxArrayString& arguments) const;
    const wxString& ProgramDirectory() const { return programDirectory; }
    std::map<std::string, std::string>& AbbreviationTable() { return abbreviations; }

    // Start-up pieces, also used by the tests to build the same environment
    // without taking the instance lock or touching the user's store.
    void SetProgramDirectory(const wxString& dir) { programDirectory = dir; }
    // Model notices become message boxes; data errors become reports.
    void InstallModelHooks();
    void LoadResources();
    // Creates and initialises the main window; false when that fails.
    bool CreateMainWindow(CMainMenus::Items menuItems = CMainMenus::Items::Now);
    // Shows the main window with the files (or the template the start-up
    // action opens); the MIDI ports are found after its first paint, and a
    // start-up action that asks something runs after them (FinishStartup).
    void ShowAndStart(const wxArrayString& files);
    // Runs the command-line files or the start-up action.
    void RunStartupAction(const wxArrayString& files);
    // Whether the start-up action asks the user something (a dialog) rather
    // than opening a template or nothing.
    static bool StartupActionAsks(int action);
    // After the first paint: lists the MIDI ports (one question for both
    // directions), chooses them with their messages, then runs a start-up
    // action that asks something.
    void FinishStartup();
    // Selects the saved (or default) MIDI ports, with the messages when that fails.
    void ChooseMidiPorts();
    // With no MIDI port listed (none existed at start-up), lists them again
    // and chooses ports silently; run when the editor becomes active.
    void FindPortsIfNone();
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
    // With ports open but nothing moving, the passes slow to this; incoming
    // MIDI wakes them at once.
    static constexpr int kRestPeriodMs = 250;
    // Whether the passes run at the slow resting pace.
    bool IdlePassesResting() const { return idleTimer.IsRunning() && idleTimer.GetInterval() == kRestPeriodMs; }
    // The lock name for this login: GetAppName + "-" + login name.
    wxString InstanceLockName() const;

    // Called by the main window after its first paint (a measuring program
    // built on this class reports the start-up time here).
    virtual void OnFirstPaint() {}

protected:
    void OnIdleTimer(wxTimerEvent& event);
    // The main window's first paint: the ports may be found now.
    void WindowPainted();

    std::unique_ptr<IDeviceProfile> profile;
    wxWeakRef<CMainFrame> mainFrame;
    std::unique_ptr<wxSingleInstanceChecker> instanceLock;
    std::map<std::string, std::string> abbreviations;
    wxString programDirectory;
    bool previousActive = false;
    // Where the start-up stands with the MIDI ports. Without a start (the
    // tests build the application piece by piece) they count as found.
    enum class PortsAtStart { AwaitingPaint, Due, Found };
    PortsAtStart portsAtStart = PortsAtStart::Found;
    int passesBeforePaint = 0;
    bool actionAfterPorts = false;

    EditorSettings settings;
    MidiService midi;
    CServiceLink transfers{midi};
    CMessageBoxes messages;
    std::unique_ptr<CLibraryService> library;
    // The messages hear when a chosen port goes away or comes back.
    MidiService::Registration portWatch;
    wxTimer idleTimer;
    std::unique_ptr<IDataErrorSink> dataErrorSink;
    // Set when the program runs as the reporter of a crash ("--report FILE ..."):
    // the arguments from FILE on.
    wxArrayString reporterArguments;
};

// The folder holding Common.xrc, images/ and the other resources for a program
// in programFolder (its own folder, or the shared data folder once installed).
wxString ResourceFolderFor(const wxString& programFolder);
