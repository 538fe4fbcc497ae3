// The control edit window inside the main window: panels rebuilt on a type
// change and on undo, the Edit menu while it is shown, the template dialogs
// from the Template menu, shortcuts, the imported-controls menu, stale texts.
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/tglbtn.h>
#include <wx/xrc/xmlres.h>

#include <set>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editing/ClipboardCommands.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"
#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"
#include "ui/TemplateDialogs.h"
#include "ui/TemplateUI.h"

namespace {
class EditWindowTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        const wxString path = WriteTemplate("window.syx", [](CEditorTemplate& t) {
            t.controlAt(24)->setName("PRG UP");
            t.controlAt(24)->controlType = ControlType::ProgramChange;
            t.controlAt(0)->setName("CUTOFF");
            t.controlAt(0)->controlType = ControlType::CC;
        });
        EXPECT_NO_DIALOG(frame->openFile(path, true));
        tpl = frame->currentTemplate();
        ASSERT_NE(tpl, nullptr);
    }
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->ProcessWindowEvent(event);
    }
    void Open(int index) {
        frame->View()->ClearSelection();
        frame->editControl(CPlacedControl(tpl->controlAt(index), index), false);
        Pump();
    }
    std::vector<std::string> PanelNames() const {
        std::vector<std::string> names;
        for (wxSizerItem* item : frame->EditWindow()->GetSizer()->GetChildren())
            if (item->GetWindow()) names.push_back(item->GetWindow()->GetName().ToStdString());
        return names;
    }
    template <class T>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(wxWindow::FindWindowByName(name, frame->EditWindow()));
    }
    // Idle passes run the deferred rebuilds.
    void Idle() {
        for (int i = 0; i < 3; ++i) {
            frame->idleWork();
            Pump();
        }
    }
    CEditorTemplate* tpl = nullptr;
};

const std::vector<std::string> kProgramChangePanels = {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "staticText",
                                                       "ID_SNAPVALUEDIALOG", "ID_BUTTONSPECIFICDIALOG"};

class ErrorCapture : public wxLog {
public:
    ErrorCapture() : previous(wxLog::SetActiveTarget(this)) {}
    ~ErrorCapture() override { wxLog::SetActiveTarget(previous); }
    std::vector<std::string> errors;

protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& msg) override {
        if (level == wxLOG_Error) errors.push_back(msg.ToStdString());
    }

private:
    wxLog* previous;
};
}  // namespace

TEST_F(EditWindowTest, TypeChangeRebuildsThePanelsAndUndoRebuildsThemAgain) {
    Open(24);
    ASSERT_TRUE(frame->EditWindow()->IsShown());
    EXPECT_EQ(PanelNames(), kProgramChangePanels);
    auto* type = Find<wxChoice>("Type");
    ASSERT_NE(type, nullptr);
    type->SetSelection(type->FindString("MMC"));
    wxCommandEvent chosen(wxEVT_CHOICE, type->GetId());
    chosen.SetEventObject(type);
    type->GetEventHandler()->ProcessEvent(chosen);
    Idle();
    EXPECT_EQ(PanelNames(), (std::vector<std::string>{"ID_GENERICDIALOG", "ID_MMCDIALOG"}));
    EXPECT_EQ(MenuLabel(MenuId::Undo), "&Undo Set Control Type\tCtrl+Z");
    Menu(MenuId::Undo);
    Idle();
    EXPECT_EQ(tpl->controlAt(24)->getControlType(), ControlType::ProgramChange);
    EXPECT_EQ(PanelNames(), kProgramChangePanels);
    Menu(MenuId::Redo);
    Idle();
    EXPECT_EQ(PanelNames(), (std::vector<std::string>{"ID_GENERICDIALOG", "ID_MMCDIALOG"}));
}

TEST_F(EditWindowTest, UndoOfAFieldEditRefreshesTheOpenPanel) {
    Open(0);
    auto* number = Find<NumberTextCtrl>("CC_Number");
    ASSERT_NE(number, nullptr);
    number->ChangeValue("74");
    number->MarkDirty();
    number->commit();
    EXPECT_EQ(tpl->controlAt(0)->getLsbNumber(), 74);
    EXPECT_EQ(MenuLabel(MenuId::Undo), "&Undo Set Control LSB\tCtrl+Z");
    EXPECT_TRUE(frame->GetTitle().EndsWith("*"));
    frame->editControl(CPlacedControl(tpl->controlAt(0), 0), false);
    const int before = tpl->controlAt(0)->getLsbNumber();
    undoCommand(*tpl);
    Pump();
    EXPECT_NE(tpl->controlAt(0)->getLsbNumber(), before);
    EXPECT_EQ(number->GetValue(), wxString::Format("%d", tpl->controlAt(0)->getLsbNumber()));
}

TEST_F(EditWindowTest, EditMenuItemsAreDisabledWhileTheWindowIsShown) {
    frame->View()->SelectControl(0, true);
    frame->UpdateEditMenuFromHistory();
    EXPECT_TRUE(MenuEnabled(MenuId::Copy));
    frame->editControl(CPlacedControl(tpl->controlAt(0), 0), false);
    Pump();
    ASSERT_TRUE(frame->EditWindow()->IsShown());
    for (int id : {MenuId::Cut, MenuId::Copy, MenuId::Paste, MenuId::Delete, MenuId::SelectAll, MenuId::GetInfo})
        EXPECT_FALSE(MenuEnabled(id)) << id;
    frame->EditWindow()->Close();
    Pump();
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    for (int id : {MenuId::Copy, MenuId::SelectAll, MenuId::GetInfo}) EXPECT_TRUE(MenuEnabled(id)) << id;
}

TEST_F(EditWindowTest, TemplateSettingsFromTheMenuMakeOneEntryAndKeepCarriedBytes) {
    tpl->localSettings().localByteA = 0x5A;
    tpl->localSettings().deviceByte91 = 0x21;
    Open(0);
    wxTEST_DIALOG(Menu(MenuId::TemplateSettings), ExpectDialog<CTemplateSettings>([](CTemplateSettings* d) {
                      d->templateName->ChangeValue("Pads");
                      d->commit();
                      return wxID_OK;
                  }));
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_EQ(undoName(*tpl), "Edit Template Settings");
    EXPECT_EQ(tpl->localSettings().templateName, "Pads");
    EXPECT_EQ(tpl->localSettings().localByteA, 0x5A);
    EXPECT_EQ(tpl->localSettings().deviceByte91, 0x21);
    EXPECT_TRUE(frame->GetTitle().EndsWith("*"));

    wxTEST_DIALOG(Menu(MenuId::MidiGroups), ExpectDialog<CEditPortGroups>([](CEditPortGroups* d) {
                      d->commit();
                      return wxID_OK;
                  }));
    EXPECT_EQ(undoName(*tpl), "Edit Port Groups");
}

TEST_F(EditWindowTest, AMissingLayoutShowsTheErrorAndNoDialog) {
    const wxString file = ProgramFolder() + "/TaNGRAQVLumiEditor.xrc";
    const wxString common = ProgramFolder() + "/Common.xrc";
    ASSERT_TRUE(wxXmlResource::Get()->Unload(file));
    ASSERT_TRUE(wxXmlResource::Get()->Unload(common));
    {
        ErrorCapture capture;
        // No modal window of any size may appear.
        EXPECT_NO_DIALOG({
            Menu(MenuId::TemplateSettings);
            Menu(MenuId::MidiGroups);
            Menu(MenuId::Preferences);
        });
        EXPECT_GE(capture.errors.size(), 3u);
        for (const std::string& e : capture.errors) {
            if (e.find("XRC") == std::string::npos)
                EXPECT_NE(e.find("Missing wxXmlResource::Get()->Load() in OnInit()?"), std::string::npos) << e;
        }
        EXPECT_FALSE(canUndo(*tpl));
    }
    ASSERT_TRUE(wxXmlResource::Get()->Load(common));
    ASSERT_TRUE(wxXmlResource::Get()->Load(file));
}

TEST_F(EditWindowTest, EveryShortcutBelongsToOneMenuItem) {
    std::set<std::string> seen;
    std::function<void(wxMenu*)> walk = [&](wxMenu* menu) {
        for (wxMenuItem* item : menu->GetMenuItems()) {
            if (item->GetSubMenu()) walk(item->GetSubMenu());
            const wxString label = item->GetItemLabel();
            const int tab = label.Find('\t');
            if (tab == wxNOT_FOUND) continue;
            const std::string key = label.Mid(static_cast<size_t>(tab) + 1).Upper().ToStdString();
            if (key.empty()) continue;
            EXPECT_TRUE(seen.insert(key).second) << "shortcut " << key << " twice, again on "
                                                 << item->GetItemLabelText().ToStdString();
        }
    };
    wxMenuBar* bar = frame->GetMenuBar();
    for (size_t i = 0; i < bar->GetMenuCount(); ++i) walk(bar->GetMenu(i));
    EXPECT_TRUE(seen.count("CTRL+G"));
    EXPECT_TRUE(seen.count("CTRL+SHIFT+G"));
}

TEST_F(EditWindowTest, ImportedControlsShowTheirMessageTypeInTheLabel) {
    CBaseControlState imported;
    imported.setName("LFO");
    imported.controlType = ControlType::NRPN;
    tpl->importedControls.push_back(imported);
    CBaseControlState transport;
    transport.controlType = ControlType::MMC;
    transport.mmcCommand = MmcCommand::Play;
    tpl->importedControls.push_back(transport);
    frame->View()->SelectControl(0, true);
    std::unique_ptr<wxMenu> menu = frame->BuildContextMenu();
    ASSERT_NE(menu, nullptr);
    wxMenuItem* first = menu->FindItem(MenuId::FirstImported);
    wxMenuItem* second = menu->FindItem(MenuId::FirstImported + 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetItemLabel(), "LFO  (NRPN)");
    EXPECT_EQ(second->GetItemLabel(),
              wxString::FromUTF8(CBaseControlState::mmcCommandName(MmcCommand::Play)) + "  (MMC)");
    EXPECT_EQ(first->GetItemLabel().Find('\t'), wxNOT_FOUND);
}

TEST_F(EditWindowTest, StatusTextAndToolTipFollowDeletesAndClosedTemplates) {
    CTemplateUI* view = frame->View();
    CControlButton* button = view->FindButton(0);
    ASSERT_NE(button, nullptr);
    view->OnMouseMove(button->Centre());
    const wxString described = frame->GetStatusBar()->GetStatusText(0);
    EXPECT_NE(described.Find("CUTOFF"), wxNOT_FOUND);
    EXPECT_NE(view->GetToolTipText(), "");
    view->SelectControl(0, true);
    Menu(MenuId::Delete);
    EXPECT_EQ(undoName(*tpl), "Delete Control");
    EXPECT_EQ(tpl->controlAt(0)->getControlType(), ControlType::Disabled);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Disabled");  // said, not left empty
    EXPECT_EQ(view->GetToolTipText(), "");  // a disabled control has no tip
    Menu(MenuId::Undo);
    EXPECT_NE(frame->GetStatusBar()->GetStatusText(0).Find("CUTOFF"), wxNOT_FOUND);
    EXPECT_NE(view->GetToolTipText(), "");
    tpl->markSaved();
    frame->closeCurrentTemplate();
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "");
    EXPECT_EQ(view->GetToolTipText(), "");
    EXPECT_EQ(frame->Canvas()->GetToolTipText(), "");
}

namespace {
// The position the window manager reports can lag a move: wait for it.
wxPoint SettledPosition(wxWindow* window, const wxPoint& expected) {
    for (int i = 0; i < 50 && window->GetPosition() != expected; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
    return window->GetPosition();
}
}  // namespace

TEST_F(EditWindowTest, TheWindowReopensWhereTheUserLeftItEvenAfterARestart) {
    Open(0);
    CEditControlDialog* window = frame->EditWindow();
    ASSERT_TRUE(window->IsShown());
    window->Move(310, 220);
    EXPECT_EQ(SettledPosition(window, wxPoint(310, 220)), wxPoint(310, 220));
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, window->GetId());
    window->ProcessWindowEvent(close);
    Pump();
    EXPECT_FALSE(window->IsShown());
    EXPECT_EQ(Settings().editWindowPosition, "310,220");

    // Another control opens the window at the same place.
    window->Move(20, 20);  // where a toolkit might put a hidden window back
    Open(24);
    EXPECT_EQ(SettledPosition(window, wxPoint(310, 220)), wxPoint(310, 220));

    // A new main window (the next start) reads the place from the store.
    frame->hideEditWindow();
    frame->templateAt(0)->markSaved();
    frame->Destroy();
    Pump();
    WriteSettings(*config, Settings());
    Settings() = EditorSettings();
    ReadSettings(*config, Settings());
    EXPECT_EQ(Settings().editWindowPosition, "310,220");
    ASSERT_TRUE(EditorApp().CreateMainWindow());
    frame = EditorApp().GetMainFrame();
    frame->Show();
    const wxString path = WriteTemplate("again.syx");
    EXPECT_NO_DIALOG(frame->openFile(path, true));
    tpl = frame->currentTemplate();
    Open(0);
    EXPECT_EQ(SettledPosition(frame->EditWindow(), wxPoint(310, 220)), wxPoint(310, 220));
}

TEST_F(EditWindowTest, APlaceOffEveryDisplayBringsTheWindowBackOnScreen) {
    const wxRect screen(wxPoint(0, 0), wxGetDisplaySize());
    for (const char* stored : {"5000,4000", "-3000,100", "100,-900"}) {
        SCOPED_TRACE(stored);
        frame->hideEditWindow();
        Settings().editWindowPosition = stored;
        Open(0);
        Pump();
        const wxRect placed = frame->EditWindow()->GetScreenRect();
        EXPECT_TRUE(screen.Contains(placed)) << placed.x << "," << placed.y << " " << placed.width << "x"
                                             << placed.height;
    }
    // A place with its title bar on the display is kept as it is, even
    // partly outside.
    const wxSize size(300, 200);
    const wxRect mainWindow(100, 100, 900, 500);
    EXPECT_EQ(CEditControlDialog::KeepOnScreen(wxPoint(1100, 40), size, mainWindow), wxPoint(1100, 40));
    EXPECT_EQ(CEditControlDialog::KeepOnScreen(wxPoint(-30, 40), size, mainWindow), wxPoint(-30, 40));
    // Otherwise it is centred on the main window.
    EXPECT_EQ(CEditControlDialog::KeepOnScreen(wxPoint(9000, 9000), size, mainWindow), wxPoint(400, 250));
}

TEST_F(EditWindowTest, LearnWithoutAnOpenInputSaysSoAndStaysOff) {
    Open(0);
    auto* common = Find<CGenericDialog>("ID_GENERICDIALOG");
    ASSERT_NE(common, nullptr);
    ASSERT_NE(common->learn, nullptr);
    EXPECT_EQ(common->learn->GetLabel(), "Learn");
    common->learn->SetValue(true);
    wxCommandEvent toggled(wxEVT_TOGGLEBUTTON, common->learn->GetId());
    toggled.SetEventObject(common->learn);
    toggled.SetInt(1);
    common->learn->GetEventHandler()->ProcessEvent(toggled);
    EXPECT_FALSE(common->IsLearning());
    EXPECT_FALSE(common->learn->GetValue());
    EXPECT_FALSE(frame->IsLearning());
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0),
              "MIDI learn needs an open MIDI input: choose one with Device > Select MIDI input/output device");
    EXPECT_FALSE(canUndo(*tpl));
}
