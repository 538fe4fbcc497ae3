#include "app/EditorApp.h"

#include <string>

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/fs_zip.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/snglinst.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include "app/FontSetUp.h"
#include "app/MainFrame.h"
#include "midi/MidiPorts.h"
#include "app/ReportDialog.h"
#include "app/Settings.h"
#include "app/WelcomeDialog.h"
#include "library/LibraryPath.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "plugins/PluginInfo.h"
#include "report/Reports.h"
#include "ui/BitmapFont.h"
#include "ui/TemplateUI.h"
#include "ui/XrcResources.h"

// The resources sit beside the program in a build folder, and under
// <prefix>/share/tangra-qv-editor when the program is installed in <prefix>/bin.
wxString ResourceFolderFor(const wxString& programFolder) {
    if (wxFileName::FileExists(programFolder + "/Common.xrc")) return programFolder;
    wxFileName installed = wxFileName::DirName(programFolder + "/../share/tangra-qv-editor");
    installed.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    const wxString folder = installed.GetPath();
    if (wxFileName::FileExists(folder + "/Common.xrc")) return folder;
    return programFolder;
}

namespace {
// Set by the MIDI thread, cleared by the GUI thread: at most one wake-up is
// queued however fast messages arrive.
std::atomic<bool> arrivalWakeQueued{false};

void WakeOnMidiArrival() {
    if (arrivalWakeQueued.exchange(true)) return;
    if (wxApp* app = wxTheApp)
        app->CallAfter([] {
            arrivalWakeQueued = false;
            // The quick pace, not a pass right here: a stream of messages
            // then costs at most one pass per period.
            if (auto* editor = dynamic_cast<CEditorApp*>(wxApp::GetInstance())) editor->WakeIdle();
        });
}
}  // namespace

CEditorApp::CEditorApp(std::unique_ptr<IDeviceProfile> ownProfile)
    : profile(std::move(ownProfile)),
      messages(wxString::FromUTF8(profile->GetEditorTitle())),
      library(std::make_unique<CLibraryService>(profile->Factory(),
                                                [this](std::function<void()> job) { CallAfter(std::move(job)); })),
      idleTimer(this) {
    library->SetNoticeSink([this](const std::string& text) { messages.ShowMessage(wxOK, wxString::FromUTF8(text)); });
    Bind(wxEVT_TIMER, &CEditorApp::OnIdleTimer, this, idleTimer.GetId());
    midi.SetBusyHook([this] { WakeIdle(); });
    portWatch = midi.Register(&messages);
    // A listen takes a dump of any of the maker's devices (a sibling's is
    // converted) and passes over other makers' SysEx on the same input.
    if (std::unique_ptr<CEditorTemplate> kind = profile->CreateTemplate()) midi.SetDumpHeader(MakerDumpHeader(*kind));
    MIDI::Input::SetArrivalNotifier(&WakeOnMidiArrival);
    Bind(wxEVT_ACTIVATE_APP, [this](wxActivateEvent& event) {
        event.Skip();
        WakeIdle();
    });
    // After every burst of events: the crash handler's copies of modified templates.
    Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
        event.Skip();
        RefreshCrashRecovery(mainFrame ? &mainFrame->Document() : nullptr);
    });
}

void CEditorApp::WakeIdle() {
    if (!idleTimer.IsRunning() || idleTimer.GetInterval() != kIdlePeriodMs) idleTimer.Start(kIdlePeriodMs);
}


CEditorApp::~CEditorApp() {
    // The recordings still queued end before the application object goes;
    // their answers are not shown any more.
    library->SetNoticeSink(nullptr);
    library->Drain();
    MIDI::Input::SetArrivalNotifier(nullptr);
    CPanelBackground::EndEarlyUpload();  // start-up ended before the first paint
    if (ModelHooks::get().notices == &messages) ModelHooks::get().notices = nullptr;
    if (ModelHooks::get().dataErrors == dataErrorSink.get()) ModelHooks::get().dataErrors = nullptr;
}

EditorServices CEditorApp::Services() {
    return EditorServices{*profile, settings, midi, transfers, messages, *library, programDirectory, [this] { WakeIdle(); },
                          [this] { WindowPainted(); }};
}

wxString CEditorApp::InstanceLockName() const {
    wxString login = wxGetUserId();
    if (login.empty()) wxGetEnv("username", &login);
    if (login.empty()) wxGetEnv("USER", &login);
    return wxString::FromUTF8(profile->GetAppName()) + "-" + login;
}

void CEditorApp::InstallModelHooks() {
    ModelHooks::get().notices = &messages;
    if (!dataErrorSink)
        dataErrorSink = std::make_unique<report::CDataErrorReporter>(
            profile->GetEditorTitle(), profile->GetDeviceName(),
            [this] { return settings.sendErrorsHome == 1; },
            [this](const report::ReportRequest& r) {
                SendErrorReport(wxString::FromUTF8(r.subjectWord.c_str()), wxString::FromUTF8(r.headline.c_str()),
                                wxString::FromUTF8(r.attachmentPath.c_str()));
            });
    ModelHooks::get().dataErrors = dataErrorSink.get();
}

void CEditorApp::SendErrorReport(const wxString& subjectWord, const wxString& headline,
                                 const wxString& attachmentPath) {
    ReportProblem(attachmentPath, headline, subjectWord, GetTopWindow());
}

void CEditorApp::OnUnhandledException() { std::terminate(); }

int CEditorApp::OnRun() {
    if (!reporterArguments.empty()) return RunCrashReporter(reporterArguments);
    return wxApp::OnRun();
}

void CEditorApp::LoadResources() {
    wxImage::AddHandler(new wxPNGHandler);
    wxFileSystem::AddHandler(new wxZipFSHandler);
    // Read when a window first needs them. A missing shared file is reported
    // by each dialog that needs it.
    wxArrayString files;
    files.Add(programDirectory + "/Common.xrc");
    const wxString deviceFile = programDirectory + "/" + wxString::FromUTF8(profile->GetAppName()) + ".xrc";
    if (wxFileName::FileExists(deviceFile)) files.Add(deviceFile);
    files.Add(programDirectory + "/Library.xrc");
    XrcResources::SetFiles(files);
    CTemplateUI::SetImagesFolder(programDirectory + "/images");
}

bool CEditorApp::OnInit() {
    // The fonts are read while the main window is built: the status bar
    // measures its text before the first paint (about 4 ms sooner).
    StartFontSetUp();
    previousActive = false;

    if (argc >= 3 && argv[1] == "--report") {
        // The reporter of a crashed editor: no lock, no windows but the report
        // dialog, and the settings only read (for the report server).
        SetVendorName("Quorvane");
        const wxString title = wxString::FromUTF8(profile->GetEditorTitle());
        SetAppName(title);
        wxConfig config(title, "Quorvane");
        ReadSettings(config, settings);
        RememberReportingApplication(this);
        for (int i = 2; i < argc; ++i) reporterArguments.Add(argv[i]);
        return true;
    }

    // One running copy per login; a lock that cannot be made blocks nobody.
    // The per-user runtime folder keeps the lock out of the home folder.
    wxString lockFolder;
    wxGetEnv("XDG_RUNTIME_DIR", &lockFolder);
    if (!lockFolder.empty() && !wxFileName::DirExists(lockFolder)) lockFolder.clear();
    instanceLock = std::make_unique<wxSingleInstanceChecker>();
    if (instanceLock->Create(InstanceLockName(), lockFolder) && instanceLock->IsAnotherRunning()) {
        messages.ShowMessage(wxOK, "Another copy of this program is already running.");
        instanceLock.reset();
        return false;
    }

    // The program's own folder, resolved through the executable itself so that
    // a start through PATH or a symbolic link still finds the resources.
    wxString exe = wxStandardPaths::Get().GetExecutablePath();
    if (exe.empty() && argc > 0) exe = argv[0];
    programDirectory = ResourceFolderFor(wxFileName(exe).GetPath());

    SetVendorName("Quorvane");
    const wxString title = wxString::FromUTF8(profile->GetEditorTitle());
    SetAppName(title);
    InstallCrashHandler(this);
    InstallModelHooks();

    LoadResources();
    // The panel's picture goes to the window system on another processor
    // while this one sets up the windows.
    CPanelBackground::StartEarlyUpload(CTemplateUI::ImagePath("Background"));

    auto* config = new CSettingsStore(title, "Quorvane");
    config->SetRecordDefaults(true);
    wxConfigBase::Set(config);
    ReadSettings(*config, settings);

    if (!BitmapFont::Get().Load(CTemplateUI::ImagePath("Font"))) return false;

    messages.ForgetDeviceLost();
    WarnAboutUnfinishedPluginSearch();
    TellAboutTemplatesSavedAtLastCrash(*this);

    wxArrayString files;
    for (int i = 1; i < argc; ++i) files.Add(argv[i]);
    library->SetPath(ChooseLibraryPath(files));
    // Opened at start-up, off the GUI thread, so that a library that cannot
    // be used says so then rather than at the first template; but only once
    // the window is drawn (the templates opened before wait their turn).
    library->Hold();
    library->Post([](CTemplateLibrary*) {});

    // The menus' items follow the first paint.
    if (!CreateMainWindow(CMainMenus::Items::Later)) return false;
    ShowAndStart(files);

    ScheduleTestCrash(*this);
    return true;
}

void CEditorApp::ShowAndStart(const wxArrayString& files) {
    // Shown first: the start-up action may open a dialog, which belongs over
    // the main window rather than alone on the desktop.
    mainFrame->Show();
    // Templates to show are opened now, so that the first paint shows them;
    // the MIDI ports are found after that paint (nothing needs them before),
    // then an action that asks the user something runs.
    actionAfterPorts = files.empty() && StartupActionAsks(settings.startupAction);
    if (!actionAfterPorts) {
        RunStartupAction(files);
        mainFrame->RepeatZoomNotice();
    }
    portsAtStart = PortsAtStart::AwaitingPaint;
    passesBeforePaint = 0;
    WakeIdle();
}

bool CEditorApp::StartupActionAsks(int action) { return action == 0 || action == 2 || action == 4; }

void CEditorApp::WindowPainted() {
    if (portsAtStart == PortsAtStart::AwaitingPaint) {
        portsAtStart = PortsAtStart::Due;
        WakeIdle();
    }
    OnFirstPaint();
}

void CEditorApp::FinishStartup() {
    if (!mainFrame) return;  // closed before its first idle pass
    // Before anything the start-up action opens might look for them.
    mainFrame->AddMenuItems();
    library->Resume();
    midi.Start(settings.releaseDriver == 1);
    ChooseMidiPorts();
    if (actionAfterPorts && mainFrame) {
        RunStartupAction(wxArrayString());
        if (mainFrame) mainFrame->RepeatZoomNotice();
    }
    actionAfterPorts = false;
    OnStarted();
}

std::string CEditorApp::ChooseLibraryPath(wxArrayString& arguments) const {
    std::string option;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--") break;
        if (arguments[i] == "--library" && i + 1 < arguments.size()) {
            wxFileName name(arguments[i + 1]);
            name.MakeAbsolute();
            option = std::string(name.GetFullPath().utf8_str());
            arguments.RemoveAt(i, 2);
            break;
        }
        if (arguments[i].StartsWith("--library=")) {
            wxFileName name(arguments[i].Mid(10));
            name.MakeAbsolute();
            option = std::string(name.GetFullPath().utf8_str());
            arguments.RemoveAt(i);
            break;
        }
    }
    return chooseLibraryPath(option, std::string(settings.libraryPath.utf8_str()));
}

void CEditorApp::WarnAboutUnfinishedPluginSearch() {
    if (settings.pluginsEnumeratedOK == 1) return;
    // The path as stored, with anything that could garble the message escaped.
    const wxString plugin =
        wxString::FromUTF8(PluginNames::shownText(std::string(settings.lastPluginEnumerated.utf8_str())).c_str());
    messages.ShowMessage(wxOK, "It appears that the plug-in \"" + plugin +
                          " \" may not have loaded properly last time.  Try choosing \"Edit->Preferences...\" "
                          "to change the VST plugin location, or remove the plug-in and try again.");
    settings.pluginsEnumeratedOK = 1;
    settings.lastPluginEnumerated = "";
    WriteSettings(settings);
}

bool CEditorApp::CreateMainWindow(CMainMenus::Items menuItems) {
    mainFrame =
        new CMainFrame(Services(), [this](ITemplateUIHost& host) { return CreateTemplateUI(host); }, menuItems);
    mainFrame->Centre(wxBOTH);
    SetTopWindow(mainFrame.get());
    WakeIdle();
    return true;
}

void CEditorApp::RunStartupAction(const wxArrayString& files) {
    if (!mainFrame) return;
    if (!files.empty()) {
        for (const wxString& file : files) mainFrame->Document().openFile(wxFileName(file).GetAbsolutePath(), true);
        return;
    }
    switch (settings.startupAction) {
        case 0: {
            CWelcomeDialog dialog(mainFrame.get(), Services());
            if (dialog.Loaded()) dialog.ShowModal();
            break;
        }
        case 2: mainFrame->RunMenuCommand(MenuId::New); break;
        case 3:
            if (settings.recentFileCount() > 0) mainFrame->Document().openFile(settings.recentFile(0), true);
            break;
        case 4: mainFrame->RunMenuCommand(MenuId::Open); break;
        default: break;
    }
}

void CEditorApp::ChooseMidiPorts() {
    if (midi.PortCount() == 0) {
        messages.ShowMessage(wxOK,
                    "Unable to find any MIDI input and/or output devices!\n\nYou may still edit templates, but will be "
                    "unable to transfer them to/from the hardware.");
        return;
    }
    const std::string defaultName = profile->GetDefaultMidiDeviceName();
    bool inputMessageShown = false;
    const wxString savedIn = settings.inputDevice;
    if (savedIn.empty()) {
        if (!midi.SelectInput(defaultName)) midi.SelectFirstInput();
    } else if (!midi.SelectInput(savedIn.ToStdString())) {
        midi.SelectFirstInput();
        wxString text = "Unable to open the input device \"" + savedIn + "\" which you were using before.\n\n";
        if (midi.HasPortNamed(savedIn.ToStdString()))
            text += "Perhaps it is in use by another application?  Try closing other MIDI applications\nsuch as "
                    "sequencers etc. and then restart this program.";
        else
            text += "Please select another device by choosing 'Device->Select MIDI input/output device...'";
        messages.ShowMessage(wxOK, text);
        inputMessageShown = true;
    }
    const wxString savedOut = settings.outputDevice;
    if (savedOut.empty()) {
        if (!midi.SelectOutput(defaultName)) midi.SelectFirstOutput();
    } else if (!midi.SelectOutput(savedOut.ToStdString())) {
        midi.SelectFirstOutput();
        if (!inputMessageShown)
            messages.ShowMessage(wxOK, "Unable to find the output device \"" + savedOut +
                                  "\" which you were using before.\nPlease select another device by choosing "
                                  "'Device->Select MIDI input/output device...'");
    }
}

void CEditorApp::FindPortsIfNone() {
    if (!midi.IsStarted() || midi.PortCount() > 0) return;
    midi.Rescan();
    if (midi.PortCount() == 0) return;
    // The unit was plugged in (or its server started) after start-up: choose
    // ports as start-up would, without its messages, and offer the menu.
    const std::string saved[2] = {settings.inputDevice.ToStdString(), settings.outputDevice.ToStdString()};
    const std::string fallback = profile->GetDefaultMidiDeviceName();
    if (!(!saved[0].empty() && midi.SelectInput(saved[0])) && !midi.SelectInput(fallback)) midi.SelectFirstInput();
    if (!(!saved[1].empty() && midi.SelectOutput(saved[1])) && !midi.SelectOutput(fallback)) midi.SelectFirstOutput();
}

void CEditorApp::OnIdleTimer(wxTimerEvent&) { IdlePass(); }

void CEditorApp::IdlePass() {
    if (portsAtStart != PortsAtStart::Found) {
        // Until the ports are found the passes only keep the window drawn.
        // A window that is never painted (not mapped) waits a second at most.
        if (portsAtStart == PortsAtStart::AwaitingPaint && ++passesBeforePaint >= 1000 / kIdlePeriodMs)
            portsAtStart = PortsAtStart::Due;
        if (portsAtStart == PortsAtStart::Due) {
            portsAtStart = PortsAtStart::Found;
            // From the event loop rather than this timer: the start-up action
            // may run a dialog of its own, with idle passes inside it.
            CallAfter([this] {
                FinishStartup();
                WakeIdle();
            });
        }
        if (mainFrame) mainFrame->idleWork();
        if (!idleTimer.IsRunning() || idleTimer.GetInterval() != kIdlePeriodMs) idleTimer.Start(kIdlePeriodMs);
        return;
    }
    const bool active = IsActive();
    if (active != previousActive) {
        if (active) {
            FindPortsIfNone();
            midi.RequestReopen();
        }
        else {
            midi.RequestRelease();
            if (mainFrame) mainFrame->ReleaseOutside();
        }
        previousActive = active;
    }
    midi.Poll();
    // Losses the poll found are told after it, not from inside it.
    messages.ShowPendingReports();
    if (mainFrame) mainFrame->idleWork();
    // Nothing to poll, animate or finish: rest until an event wakes the passes.
    // The MIDI poll runs only while a port is open (or about to open).
    const bool frameBusy = mainFrame && mainFrame->NeedsIdleWork();
    const bool busy = midi.NeedsPolling() || frameBusy;
    const int period = frameBusy || !midi.IsAtRest() ? kIdlePeriodMs : kRestPeriodMs;
    if (!busy)
        idleTimer.Stop();
    else if (!idleTimer.IsRunning() || idleTimer.GetInterval() != period)
        idleTimer.Start(period);
}

int CEditorApp::OnExit() {
    idleTimer.Stop();
    // What was opened, saved or received last is in the library before the program ends.
    library->Drain();
    if (!reporterArguments.empty()) return wxApp::OnExit();
    if (wxConfigBase* config = wxConfigBase::Get(false)) {
        WriteSettings(*config, settings);
        delete wxConfigBase::Set(nullptr);
    }
    MIDI::Input::SetArrivalNotifier(nullptr);
    midi.SetBusyHook(nullptr);
    if (midi.IsStarted()) midi.Shutdown();
    BitmapFont::Get().Free();
    CPanelBackground::EndEarlyUpload();
    instanceLock.reset();
    if (ModelHooks::get().notices == &messages) ModelHooks::get().notices = nullptr;
    return wxApp::OnExit();
}
