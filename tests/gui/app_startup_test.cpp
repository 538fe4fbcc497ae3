// The application object: profile answers, settings store, instance lock,
// message boxes, lost-device reports, start-up actions.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <wx/defs.h>
#include <wx/menu.h>
#include <wx/snglinst.h>

#include "GuiTestSupport.h"
#include "ui/TemplateDialogs.h"
#include "ui/EditControlDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "midi/FakeMidiSystem.h"

namespace {
struct HoldCase {
    int index;
    int type;
    int displayFormat;
    bool expected;
};
}  // namespace

TEST(Profile, CanHoldStateFollowsTheControlKind) {
    const HoldCase cases[] = {
        {86, ControlType::CC, 0, false},                   // imported control takes nothing
        {0, ControlType::SysEx, 0, true},                  // continuous: types 0..4
        {0, ControlType::MMC, 0, false},
        {64, ControlType::PitchBend, 0, true},              // pitch bend only where allowed
        {0, ControlType::PitchBend, 0, false},
        {24, ControlType::ProgramChange, 0, true},          // buttons: 0..6 and 9
        {24, ControlType::NoteOnOff, 0, true},
        {24, ControlType::DrumNote, 0, false},              // drum notes only on pads
        {70, ControlType::DrumNote, 0, true},
        {24, -1, 0, false},                                 // negative type
        {0, ControlType::CC, DisplayFormat::Send14Bit, false},  // 14-bit only on 8..15
        {8, ControlType::CC, DisplayFormat::Send14Bit, true},
    };
    const IDeviceProfile& profile = EditorApp().Profile();
    for (const HoldCase& c : cases) {
        CBaseControlState state;
        state.controlType = c.type;
        state.displayFormat = c.displayFormat;
        EXPECT_EQ(profile.CanHoldState(c.index, state), c.expected)
            << "index " << c.index << " type " << c.type << " format " << c.displayFormat;
    }
}

// One profile: the model, the main window and its panel view answer with the application's.
TEST_F(GuiTest, TheApplicationsProfileReachesTheModelTheMainWindowAndThePanel) {
    const IDeviceProfile& profile = EditorApp().Profile();
    // The templates the profile makes ask the same facts the profile answers from.
    EXPECT_EQ(&profile.CreateTemplate()->deviceFacts(), &profile.Facts());
    ASSERT_NE(frame->View(), nullptr);
    EXPECT_EQ(&frame->View()->Profile(), &profile);
    EXPECT_EQ(&frame->EditHost().PanelProfile(), &profile);
}

TEST(Profile, DeviceAnswersMatchTheModel) {
    const IDeviceProfile& profile = EditorApp().Profile();

    EXPECT_EQ(profile.GetEditorTitle(), "TaNGRA LuMI QV Editor");
    EXPECT_EQ(profile.GetAppName(), "TaNGRAQVLumiEditor");
    EXPECT_EQ(profile.GetDefaultMidiDeviceName(), "TaNGRA QV MIDI");
    EXPECT_EQ(profile.GetMaxMmcDeviceNumber(), 127);
    EXPECT_EQ(profile.GetOSUpdateInstructions().rfind("To ensure your TaNGRA QV LuMI is ready", 0), 0u);
    EXPECT_FALSE(profile.HasViewMenu());
    EXPECT_TRUE(profile.HasBulkDumps());
    EXPECT_TRUE(profile.HasOSUpdate());
    EXPECT_TRUE(profile.ChecksReceivedOSVersion());
    EXPECT_FALSE(profile.IsBulkDumpSingleMessage());
    EXPECT_EQ(profile.GetMidiPort2Name(), "MIDI Port 2");
    EXPECT_EQ(profile.GetUsbPort3Name(), "USB Port 3");
    // Control kinds partition 0..85; everything above is imported.
    for (int i = 0; i <= 85; ++i)
        EXPECT_NE(profile.IsContinuousControl(i), profile.IsButtonControl(i)) << "index " << i;
    EXPECT_TRUE(profile.IsImportedControl(86));
    std::unique_ptr<CEditorTemplate> tpl = profile.CreateTemplate();
    ASSERT_NE(tpl, nullptr);
    EXPECT_EQ(tpl->dumpSize(), 4112);
    EXPECT_EQ(tpl->lastIndex(), 85);
}

TEST(SettingsStore, FirstReadWritesEveryDefaultAndWriteKeepsOrder) {
    const wxString file = wxFileName::CreateTempFileName("tqvcfg");
    {
        wxFileConfig store("TaNGRA LuMI QV Editor", "Quorvane", file, "", wxCONFIG_USE_LOCAL_FILE);
        store.SetRecordDefaults(true);
        EditorSettings s;
        s.startupAction = 4;  // must be replaced by the stored default
        ReadSettings(store, s);
        EXPECT_EQ(s.startupAction, 0);
        EXPECT_EQ(s.viewType, 1);
        EXPECT_EQ(s.releaseDriver, 1);
        const char* keys[] = {"StartupAction", "ViewType", "ReleaseDriver", "UseExpandPanes", "ShowOldOSDialog",
                              "SendErrorsHome", "ShowCtrlToolTips", "AbbreviateNames", "InputDevice",
                              "OutputDevice", "RecentFile0", "RecentFile7", "VSTDir", "LastPluginEnumerated",
                              "PluginsEnumeratedOK", "ShouldUseAutoComplete", "ReportServer", "PanelZoom",
                              "EditWindowPosition", "LibraryPath"};
        for (const char* key : keys) EXPECT_TRUE(store.HasEntry(key)) << key;
        EXPECT_EQ(store.GetNumberOfEntries(), 26u);  // 18 keys and the 8 recent files
        EXPECT_EQ(s.panelZoom, 100);
    }
    {
        wxFileConfig store("TaNGRA LuMI QV Editor", "Quorvane", file, "", wxCONFIG_USE_LOCAL_FILE);
        EditorSettings s;
        s.startupAction = 3;
        s.recentFiles[0] = "/a.syx";
        s.inputDevice = "In";
        WriteSettings(store, s);
        EditorSettings back;
        ReadSettings(store, back);
        EXPECT_EQ(back.startupAction, 3);
        EXPECT_EQ(back.recentFiles[0], "/a.syx");
        EXPECT_EQ(back.inputDevice, "In");
        EXPECT_EQ(back.abbreviateNames, 1);
    }
    wxRemoveFile(file);
}

TEST(SettingsStore, RecentFileListKeepsEightMostRecentFirst) {
    Settings() = EditorSettings();
    for (int i = 0; i < 10; ++i) Settings().addRecentFile(wxString::Format("/f%d.syx", i));
    EXPECT_EQ(Settings().recentFileCount(), 8);
    EXPECT_EQ(Settings().recentFile(0), "/f9.syx");
    EXPECT_EQ(Settings().recentFile(7), "/f2.syx");
    Settings().addRecentFile("/f5.syx");  // reopened: moves to the top, no duplicate
    EXPECT_EQ(Settings().recentFile(0), "/f5.syx");
    EXPECT_EQ(Settings().recentFile(1), "/f9.syx");
    EXPECT_EQ(Settings().recentFile(7), "/f2.syx");
    EXPECT_EQ(Settings().recentFileCount(), 8);
    EXPECT_TRUE(Settings().removeRecentFile("/f9.syx"));
    EXPECT_FALSE(Settings().removeRecentFile("/F5.syx"));  // exact, case-sensitive compare
    EXPECT_EQ(Settings().recentFileCount(), 7);
    EXPECT_EQ(Settings().recentFile(1), "/f8.syx");
    EXPECT_EQ(Settings().recentFile(7), "");
    Settings().clearRecentFiles();
    EXPECT_EQ(Settings().recentFileCount(), 0);
}

TEST(InstanceLock, SecondCopyForTheSameLoginIsDetected) {
    const wxString name = EditorApp().InstanceLockName();
    EXPECT_TRUE(name.StartsWith("TaNGRAQVLumiEditor-"));
    EXPECT_GT(name.length(), wxString("TaNGRAQVLumiEditor-").length());
    const wxString folder = wxFileName::GetTempDir();
    wxSingleInstanceChecker first;
    ASSERT_TRUE(first.Create(name + "-test", folder));
    EXPECT_FALSE(first.IsAnotherRunning());
    // Another process asks: the same name is taken, another login's is free.
    auto askInChild = [&](const wxString& lock) {
        const pid_t child = fork();
        if (child == 0) {
            wxSingleInstanceChecker second;
            const bool created = second.Create(lock, folder);
            _exit(created && second.IsAnotherRunning() ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    };
    EXPECT_TRUE(askInChild(name + "-test"));
    EXPECT_FALSE(askInChild(name + "-other-test"));
}

using AppTest = GuiTest;

namespace {
// Counts the questions put to the MIDI system and notes what the main window
// showed when the ports were listed.
class CountingMidiSystem : public FakeMidiSystem {
public:
    std::function<bool()> painted;
    int lists = 0, oneDirection = 0;
    bool paintedWhenListed = false;
    std::vector<std::string> InputNames() override {
        ++oneDirection;
        return ins;
    }
    std::vector<std::string> OutputNames() override {
        ++oneDirection;
        return outs;
    }
    PortLists ListPorts() override {
        ++lists;
        paintedWhenListed = painted && painted();
        return {ins, outs};
    }
};
}  // namespace

// The window with its template is drawn before anything asks the MIDI system;
// then the ports are listed once, both directions together, and chosen (with
// the message when there are none, over the window that is already shown).
TEST_F(AppTest, TheMidiPortsAreListedOnceAfterTheFirstPaintOfTheTemplate) {
    for (const bool withPorts : {true, false}) {
        SCOPED_TRACE(withPorts ? "ports" : "no ports");
        const wxString path = WriteTemplate("start.syx");
        Settings().startupAction = 0;  // files given: no welcome dialog
        frame->Destroy();
        Pump();
        auto owned = std::make_unique<CountingMidiSystem>();
        CountingMidiSystem& system = *owned;
        if (withPorts) {
            system.ins = {"Unit In"};
            system.outs = {"Unit Out"};
        }
        std::unique_ptr<MIDI::ISystem> previous = EditorApp().Midi().ReplaceSystem(std::move(owned));
        ASSERT_TRUE(EditorApp().CreateMainWindow());
        frame = EditorApp().GetMainFrame();
        system.painted = [this] { return frame->Canvas()->Painted(); };
        wxArrayString files;
        files.Add(path);
        EXPECT_NO_DIALOG(EditorApp().ShowAndStart(files));
        ASSERT_NE(frame->Document().currentTemplate(), nullptr) << "the first paint shows the template";
        EXPECT_EQ(system.lists, 0);
        auto waitForList = [&] {
            for (int i = 0; i < 300 && system.lists == 0; ++i) {
                Pump(1);
                wxMilliSleep(10);
            }
            Pump();
        };
        if (withPorts) {
            EXPECT_NO_DIALOG(waitForList());
        } else {
            wxTEST_DIALOG(waitForList(), ExpectMessage("Unable to find any MIDI input and/or output devices!\n\nYou "
                                                       "may still edit templates, but will be unable to transfer "
                                                       "them to/from the hardware.",
                                                       wxOK));
        }
        EXPECT_EQ(system.lists, 1);
        EXPECT_EQ(system.oneDirection, 0);
        EXPECT_TRUE(system.paintedWhenListed);
        EXPECT_EQ(EditorApp().Midi().IsInputSelected(), withPorts);
        EXPECT_EQ(EditorApp().Midi().IsOutputSelected(), withPorts);
        frame->Document().currentTemplate()->markSaved();
        EditorApp().Midi().ReplaceSystem(std::move(previous));
    }
}

namespace {
// Every item of the menu bar, submenus included: identifier, label with its
// accelerator, and state.
std::string MenuItemsOf(wxMenuBar& bar) {
    std::vector<std::string> items;
    std::function<void(wxMenu&)> walk = [&](wxMenu& menu) {
        for (wxMenuItem* item : menu.GetMenuItems()) {
            items.push_back(std::to_string(item->GetId()) + " " + item->GetItemLabel().ToStdString() +
                            (item->IsEnabled() ? "" : " (disabled)") + (item->IsCheckable() && item->IsChecked() ? " (checked)" : ""));
            if (item->GetSubMenu()) walk(*item->GetSubMenu());
        }
    };
    for (size_t i = 0; i < bar.GetMenuCount(); ++i) {
        items.push_back(bar.GetMenuLabel(i).ToStdString());
        walk(*bar.GetMenu(i));
    }
    std::string lines;  // one item a line, so that a failure shows the lines that differ
    for (const std::string& item : items) lines += item + "\n";
    return lines;
}
}  // namespace

// The editor's main window is drawn before its menus get their items: the
// menus' titles are there from the start, and right after the first paint
// the items are the same, in the same order, as in a window made with them.
TEST_F(AppTest, TheMenuItemsFollowTheFirstPaintAndAreTheUsualOnes) {
    const wxString path = WriteTemplate("start.syx");
    Settings().startupAction = 0;
    auto ports = std::make_unique<FakeMidiSystem>();
    ports->ins = {"Unit In"};
    ports->outs = {"Unit Out"};
    std::unique_ptr<MIDI::ISystem> previous = EditorApp().Midi().ReplaceSystem(std::move(ports));
    frame->Destroy();
    Pump();

    ASSERT_TRUE(EditorApp().CreateMainWindow(CMainMenus::Items::Later));
    frame = EditorApp().GetMainFrame();
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 6u);
    for (size_t i = 0; i < bar->GetMenuCount(); ++i) EXPECT_EQ(bar->GetMenu(i)->GetMenuItemCount(), 0u) << i;
    wxArrayString files;
    files.Add(path);
    EXPECT_NO_DIALOG(EditorApp().ShowAndStart(files));
    EXPECT_FALSE(frame->Menus().HasItems());
    bool paintedByThen = false;
    for (int i = 0; i < 300 && !frame->Menus().HasItems(); ++i) {
        Pump(1);
        paintedByThen = frame->Canvas()->Painted();
        wxMilliSleep(10);
    }
    // The ports are chosen after the first paint too.
    for (int i = 0; i < 300 && !EditorApp().Midi().IsOutputSelected(); ++i) {
        Pump(1);
        wxMilliSleep(10);
    }
    EXPECT_TRUE(paintedByThen);
    ASSERT_TRUE(frame->Menus().HasItems());
    const std::string afterPaint = MenuItemsOf(*MenuBar());
    frame->Document().currentTemplate()->markSaved();
    frame->Destroy();
    Pump();

    // A window made with its items, showing the same template with the same ports.
    ASSERT_TRUE(EditorApp().CreateMainWindow());
    frame = EditorApp().GetMainFrame();
    frame->Show();
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    const std::string usual = MenuItemsOf(*MenuBar());
    EXPECT_GT(std::count(usual.begin(), usual.end(), '\n'), 50);
    EXPECT_EQ(afterPaint, usual);
    frame->Document().currentTemplate()->markSaved();
    EditorApp().Midi().ReplaceSystem(std::move(previous));
}

// A lost port is told once per loss (found by the poll, told after it),
// naming the port; input and output lost together make one message.
TEST_F(AppTest, LostPortMessagesNameThePortOncePerLoss) {
    CMessageBoxes& messages = EditorApp().Messages();
    messages.ForgetDeviceLost();
    const wxString inputText =
        "The MIDI input \"Unit A MIDI 1\" is no longer accessible!\n\nPlease ensure the device is turned on and "
        "plugged in correctly; the editor connects to it again when it is back. Or select other MIDI devices.";
    EXPECT_EQ(CMessageBoxes::LostText(true, "Unit A MIDI 1"), inputText);
    messages.OnPortLost(true, "Unit A MIDI 1");
    EXPECT_FALSE(messages.DeviceLostReported());  // not from inside the poll
    wxTEST_DIALOG(messages.ShowPendingReports(), ExpectMessage(inputText, wxNO));
    EXPECT_TRUE(messages.DeviceLostReported());
    EXPECT_NO_DIALOG({
        messages.OnPortLost(true, "Unit A MIDI 1");
        messages.ShowPendingReports();
        messages.ReportInputLost("Unit A MIDI 1");
    });
    // The output is a loss of its own.
    wxTEST_DIALOG(messages.ReportOutputLost("Unit A MIDI 1"),
                  ExpectMessage(CMessageBoxes::LostText(false, "Unit A MIDI 1"), wxNO));
    // Back, then lost again: told again.
    messages.OnPortBack(true, "Unit A MIDI 1");
    messages.OnPortBack(false, "Unit A MIDI 1");
    EXPECT_FALSE(messages.DeviceLostReported());
    messages.OnPortLost(true, "Unit A MIDI 1");
    messages.OnPortLost(false, "Unit A MIDI 2");
    wxTEST_DIALOG(messages.ShowPendingReports(),
                  ExpectMessage("The MIDI input \"Unit A MIDI 1\" and the MIDI output \"Unit A MIDI 2\" are no longer "
                                "accessible!\n\nPlease ensure the device is turned on and plugged in correctly; the "
                                "editor connects to it again when it is back. Or select other MIDI devices.",
                                wxNO));
    EXPECT_NO_DIALOG(messages.ReportOutputLost("Unit A MIDI 2"));
    messages.ForgetDeviceLost();
}

TEST_F(AppTest, ShowMessageAnswersWithTheButtonPressed) {
    int answer = 0;
    wxTEST_DIALOG(answer = EditorApp().Messages().ShowMessage(wxYES_NO, "Question?"), ExpectMessage("Question?", wxNO));
    EXPECT_EQ(answer, wxNO);
    wxTEST_DIALOG(answer = EditorApp().Messages().ShowMessage(wxOK, "Note"), ExpectMessage("Note", wxOK));
    EXPECT_EQ(answer, wxOK);
}

TEST_F(AppTest, CommandLineFilesOpenInOrderAndIgnoreTheStartupAction) {
    Settings().startupAction = 0;  // would show the welcome dialog
    const wxString a = WriteTemplate("a.syx");
    const wxString b = WriteTemplate("b.syx");
    wxArrayString files;
    files.Add(a);
    files.Add(b);
    EXPECT_NO_DIALOG(EditorApp().RunStartupAction(files));
    ASSERT_EQ(frame->Document().templateCount(), 2);
    // Each opened file goes to the front: b was opened last.
    EXPECT_EQ(OpenTemplateNames(), (std::vector<wxString>{"b.syx", "a.syx"}));
}

TEST_F(AppTest, StartupActionsWithoutFiles) {
    struct Case {
        int action;
        bool recent;
        int templates;
    };
    const wxString last = WriteTemplate("last.syx");
    const Case cases[] = {{1, true, 0}, {2, false, 1}, {3, true, 1}, {3, false, 0}, {7, true, 0}, {-1, true, 0}};
    for (const Case& c : cases) {
        while (frame->Document().templateCount() > 0) {
            frame->Document().currentTemplate()->markSaved();
            frame->Document().closeCurrentTemplate();
        }
        Settings().clearRecentFiles();
        if (c.recent) Settings().addRecentFile(last);
        Settings().startupAction = c.action;
        if (c.action == 2) {
            // A new template opens with its settings dialog.
            wxTEST_DIALOG(EditorApp().RunStartupAction(wxArrayString()),
                          ExpectDialog<CTemplateSettings>([](CTemplateSettings*) { return wxID_CANCEL; }));
        } else {
            EXPECT_NO_DIALOG(EditorApp().RunStartupAction(wxArrayString()));
        }
        EXPECT_EQ(frame->Document().templateCount(), c.templates) << "action " << c.action << " recent " << c.recent;
    }
}

TEST_F(AppTest, StartupActionFourRunsTheOpenDialog) {
    const wxString path = WriteTemplate("chosen.syx");
    Settings().startupAction = 4;
    {
        FileDialogAnswers answer({{path, "", false}});
        EXPECT_NO_DIALOG(EditorApp().RunStartupAction(wxArrayString()));
    }
    ASSERT_EQ(frame->Document().templateCount(), 1);
    EXPECT_EQ(CTemplateDocument::templateFileName(*frame->Document().currentTemplate()), path);
}

TEST_F(AppTest, IdlePassesRunOnlyWhileThereIsWorkAndWakeOnRequests) {
    CEditorApp& app = EditorApp();
    NewTemplateKeepingDefaults(frame);
    app.IdlePass();  // carries out the pending repaint
    EXPECT_FALSE(frame->Canvas()->IsRepaintRequested());
    EXPECT_FALSE(frame->NeedsIdleWork());
    EXPECT_FALSE(app.IdlePassesRunning());
    // A repaint request starts the passes; the pass that paints stops them.
    frame->requestRepaint();
    EXPECT_TRUE(app.IdlePassesRunning());
    app.IdlePass();
    EXPECT_FALSE(frame->Canvas()->IsRepaintRequested());
    EXPECT_FALSE(app.IdlePassesRunning());
    // A deferred edit is opened by the next pass.
    frame->editControl(CPlacedControl(frame->Document().currentTemplate()->controlAt(4), 4), true);
    EXPECT_TRUE(app.IdlePassesRunning());
    for (int i = 0; i < 50 && !frame->EditWindow()->IsShown(); ++i) {
        Pump();
        wxMilliSleep(5);
    }
    EXPECT_TRUE(frame->EditWindow()->IsShown());
    EXPECT_EQ(frame->EditWindow()->GetControlIndex(), 4);
}
