// The main window: menus, title, status bar, open templates, switching,
// keyboard, drops and the context menu.
#include <wx/menu.h>
#include <wx/statusbr.h>

#include "GuiTestSupport.h"
#include "ui/EditControlDialog.h"
#include "app/EditorApp.h"
#include "ui/Observer.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"

namespace {
struct MenuCase {
    int id;
    const char* label;
    const char* help;
    wxItemKind kind;
};

void sendKey(wxWindow* target, wxEventType type, int key, bool ctrl = false, bool shift = false) {
    wxKeyEvent event(type);
    event.m_keyCode = key;
    event.SetControlDown(ctrl);
    event.SetShiftDown(shift);
    event.SetEventObject(target);
    target->GetEventHandler()->ProcessEvent(event);
}
}  // namespace

using MainFrameTest = GuiTest;

TEST_F(MainFrameTest, EveryMenuItemHasItsLabelHelpAndKind) {
    const MenuCase cases[] = {
        {10, "&New\tCtrl+N", "Create a new empty template", wxITEM_NORMAL},
        {3, "&Open...\tCtrl+O", "Open file...", wxITEM_NORMAL},
        {8, "&Close", "Close current template", wxITEM_NORMAL},
        {5, "&Save\tCtrl+S", "Save file", wxITEM_NORMAL},
        {6, "S&ave As...\tCtrl+Shift+S", "Save file as...", wxITEM_NORMAL},
        {4, "&Import Controls from Template...\tCtrl+I", "Import controls from another template", wxITEM_NORMAL},
        {12, "Import Names from &Plug-in...\tCtrl+Shift+I", "Import parameter names from a plug-in", wxITEM_NORMAL},
        {13, "Recent files...", "", wxITEM_NORMAL},
        {2, "E&xit\t", "Quit this program", wxITEM_NORMAL},
        {26, "Can't undo\tCtrl+Z", "Undo", wxITEM_NORMAL},
        {27, "Can't redo\tCtrl+Y", "Redo", wxITEM_NORMAL},
        {22, "Cu&t\tCtrl+X", "Cut", wxITEM_NORMAL},
        {23, "&Copy\tCtrl+C", "Copy", wxITEM_NORMAL},
        {24, "&Paste\tCtrl+V", "Paste", wxITEM_NORMAL},
        {25, "&Delete\tDel", "Delete", wxITEM_NORMAL},
        {30, "Select &All\tCtrl+A", "Select All", wxITEM_NORMAL},
        {29, "&Get Info...\tCtrl+G", "Info on selected control(s)", wxITEM_NORMAL},
        {5019, "&Preferences...\tCtrl+P", "Edit preferences", wxITEM_NORMAL},
        {33, "&Select MIDI input/output device...", "Choose input and output MIDI devices", wxITEM_NORMAL},
        {31, "&Listen for template dump\tCtrl+L", "Listen for a template dump from the hardware", wxITEM_CHECK},
        {32, "&Upload template\tCtrl+U", "Send a template dump to the hardware", wxITEM_NORMAL},
        {34, "&Bulk dumps...\tCtrl+B", "Dump multiple templates", wxITEM_NORMAL},
        {36, "Update &OS...", "Update the hardware operating system", wxITEM_NORMAL},
        {40, "Edit Se&ttings...\tCtrl+T", "Edit the settings of the current template", wxITEM_NORMAL},
        {41, "MIDI &Groups...\tCtrl+G", "Edit the Keyboard and Common MIDI port & channel groups", wxITEM_NORMAL},
        {49, "No templates loaded", "", wxITEM_RADIO},
        {37, "&View help...\t", "View documentation", wxITEM_NORMAL},
        {38, "Visit the Quorvane &website...\t", "Visit the Quorvane website", wxITEM_NORMAL},
        {39, "Online &support...\t", "Visit the online answerbase", wxITEM_NORMAL},
        {5013, "&About...\tF1", "Show about dialog", wxITEM_NORMAL},
        {720, "Zoom &100%", "Show the panel at its own size", wxITEM_RADIO},
        {721, "Zoom 1&50%", "Show the panel one and a half times as large", wxITEM_RADIO},
        {722, "Zoom &200%", "Show the panel twice as large", wxITEM_RADIO},
        {730, "&Controls table\tCtrl+Shift+T", "See and edit every control in a table", wxITEM_NORMAL},
        {651, "Template &Library...\tCtrl+Shift+L",
         "Find, open and send the templates the editor has kept, and back up the unit", wxITEM_NORMAL},
    };
    wxMenuBar* bar = MenuBar();
    for (const MenuCase& c : cases) {
        wxMenuItem* item = bar->FindItem(c.id);
        ASSERT_NE(item, nullptr) << "id " << c.id;
        // GTK keeps accelerators in its own form; compare the visible text and the key.
        EXPECT_EQ(item->GetItemLabel().BeforeFirst('\t').ToStdString(), wxString(c.label).BeforeFirst('\t').ToStdString())
            << "id " << c.id;
        std::string help = c.help;
        // A zoom whose window would not fit this screen gives the reason instead.
        const int zoom = c.id == MenuId::Zoom150 ? 150 : c.id == MenuId::Zoom200 ? 200 : 0;
        if (zoom && !frame->Canvas()->ZoomFitsScreen(zoom))
            help = "Zoom " + std::to_string(zoom) + "% is too large for this screen";
        EXPECT_EQ(item->GetHelp().ToStdString(), help) << "id " << c.id;
        EXPECT_EQ(item->GetKind(), c.kind) << "id " << c.id;
    }
    // Only devices with those features get these items; this one has none of them.
    for (int absent : {35, 42, 43, 44, 114, 115, 116}) EXPECT_EQ(bar->FindItem(absent), nullptr) << absent;
    // The View menu holds only the zoom, the controls table and the library on this device.
    const wxString titles[] = {"&File", "&Edit", "&View", "&Device", "&Template", "&Help"};
    ASSERT_EQ(bar->GetMenuCount(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(bar->GetMenuLabel(i), titles[i]);
    EXPECT_EQ(bar->GetMenu(2)->GetMenuItemCount(), 6u);  // three zooms, a separator, the table, the library
    EXPECT_TRUE(bar->IsChecked(720));
}

TEST_F(MainFrameTest, WithoutTemplateTheFileItemsAreDisabledAndTheTitleSaysSo) {
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - No Template Loaded");
    for (int id : {MenuId::Save, MenuId::SaveAs, MenuId::Close, MenuId::ImportControls})
        EXPECT_FALSE(MenuEnabled(id)) << id;
    for (int id : {MenuId::New, MenuId::Open, MenuId::ImportPluginNames, MenuId::Exit})
        EXPECT_TRUE(MenuEnabled(id)) << id;
    EXPECT_FALSE(MenuEnabled(MenuId::RecentFiles));
    EXPECT_FALSE(MenuEnabled(MenuId::TemplateSettings));
    EXPECT_FALSE(MenuEnabled(MenuId::MidiGroups));
    EXPECT_EQ(TemplateMenuLabels(), std::vector<wxString>{"No templates loaded"});
    EXPECT_FALSE(MenuEnabled(MenuId::FirstTemplate));
    // No ports: nothing to select, listen to or send to.
    for (int id : {MenuId::SelectMidiDevice, MenuId::Listen, MenuId::Upload, MenuId::UpdateOS})
        EXPECT_FALSE(MenuEnabled(id)) << id;
    wxStatusBar* status = frame->GetStatusBar();
    ASSERT_NE(status, nullptr);
    ASSERT_EQ(status->GetFieldsCount(), 5);
    const wxSize panel = frame->View()->GetBackgroundSize();
    EXPECT_EQ(frame->GetClientSize(), panel);
    EXPECT_EQ(status->GetStatusWidth(0), panel.GetWidth() - 306);
    EXPECT_EQ(status->GetStatusWidth(4), 84);
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_EQ(frame->EditWindow()->GetId(), 10007);
}

TEST_F(MainFrameTest, NewTemplatesGoToTheFrontAndMenuChoiceMovesToFront) {
    NewTemplateKeepingDefaults(frame);
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - Unknown - Untitled.syx");
    for (int id : {MenuId::Save, MenuId::SaveAs, MenuId::Close, MenuId::ImportControls, MenuId::TemplateSettings})
        EXPECT_TRUE(MenuEnabled(id)) << id;
    const wxString p = WriteTemplate("p.syx");
    const wxString q = WriteTemplate("q.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(p, true);
        frame->Document().openFile(q, true);
    });
    EXPECT_EQ(TemplateMenuLabels(), (std::vector<wxString>{"q.syx", "p.syx", "Unknown - Untitled.syx"}));
    EXPECT_TRUE(MenuBar()->FindItem(MenuId::FirstTemplate)->IsChecked());
    // Choosing the last entry makes it current and moves it to the front.
    wxCommandEvent choose(wxEVT_MENU, MenuId::FirstTemplate + 2);
    frame->ProcessWindowEvent(choose);
    EXPECT_EQ(TemplateMenuLabels(), (std::vector<wxString>{"Unknown - Untitled.syx", "q.syx", "p.syx"}));
    EXPECT_EQ(frame->Document().currentIndex(), 0);
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - Unknown - Untitled.syx");
    // Closing them all brings the placeholder back.
    for (int i = 0; i < 3; ++i) frame->Document().closeCurrentTemplate();
    EXPECT_EQ(TemplateMenuLabels(), std::vector<wxString>{"No templates loaded"});
    EXPECT_FALSE(MenuEnabled(MenuId::FirstTemplate));
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - No Template Loaded");
}

TEST_F(MainFrameTest, CtrlTabCyclesAndReleasingCtrlMovesTheChoiceToTheFront) {
    const wxString r = WriteTemplate("R.syx");
    const wxString q = WriteTemplate("Q.syx");
    const wxString p = WriteTemplate("P.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(r, true);
        frame->Document().openFile(q, true);
        frame->Document().openFile(p, true);
    });
    ASSERT_EQ(OpenTemplateNames(), (std::vector<wxString>{"P.syx", "Q.syx", "R.syx"}));
    wxWindow* canvas = frame->Canvas();
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_TAB, true);
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - " + q);
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_TAB, true);
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - " + r);
    // No reordering until Ctrl goes up.
    EXPECT_EQ(OpenTemplateNames(), (std::vector<wxString>{"P.syx", "Q.syx", "R.syx"}));
    sendKey(canvas, wxEVT_KEY_UP, WXK_CONTROL);
    EXPECT_EQ(OpenTemplateNames(), (std::vector<wxString>{"R.syx", "P.syx", "Q.syx"}));
    EXPECT_EQ(frame->Document().currentIndex(), 0);
    // A plain Ctrl release afterwards changes nothing.
    sendKey(canvas, wxEVT_KEY_UP, WXK_CONTROL);
    EXPECT_EQ(OpenTemplateNames(), (std::vector<wxString>{"R.syx", "P.syx", "Q.syx"}));
}

TEST_F(MainFrameTest, CtrlTabWithOneTemplateDoesNothing) {
    NewTemplateKeepingDefaults(frame);
    sendKey(frame->Canvas(), wxEVT_KEY_DOWN, WXK_TAB, true);
    sendKey(frame->Canvas(), wxEVT_KEY_UP, WXK_CONTROL);
    EXPECT_EQ(frame->Document().templateCount(), 1);
    EXPECT_EQ(frame->Document().currentIndex(), 0);
}

// A dropped folder is taken, so that opening it can say it is a folder (see
// the file operation tests).
TEST_F(MainFrameTest, DropAcceptsOnlyExistingLowerCaseSyxFiles) {
    const wxString a = WriteTemplate("a.syx");
    const wxString upper = WriteTemplate("b.SYX");
    struct Case {
        std::vector<wxString> paths;
        bool accepted;
    };
    const Case cases[] = {
        {{a, upper}, false},                 // one wrong extension refuses the whole drop
        {{Path("missing.syx")}, false},
        {{}, false},
        {{a}, true},
    };
    for (const Case& c : cases) {
        wxArrayString paths;
        for (const wxString& p : c.paths) paths.Add(p);
        const int before = frame->Document().templateCount();
        bool result = false;
        EXPECT_NO_DIALOG(result = frame->Document().DropFiles(paths));
        EXPECT_EQ(result, c.accepted) << (c.paths.empty() ? wxString("(none)") : c.paths.front());
        EXPECT_EQ(frame->Document().templateCount(), before + (c.accepted ? 1 : 0));
    }
}

TEST_F(MainFrameTest, ImportedControlsMenuListsAtMost513In49RowColumns) {
    NewTemplateKeepingDefaults(frame);
    CEditorTemplate* tpl = frame->Document().currentTemplate();
    for (int k = 0; k < 600; ++k) {
        CBaseControlState ctl;
        ctl.setName(std::string("IMP") + std::to_string(k));
        ctl.controlType = k == 1 ? ControlType::DrumNote : ControlType::CC;
        tpl->importedControls.push_back(ctl);
    }
    // Control 0 carries imported control 0: it shows as assigned.
    *tpl->controlAt(0) = tpl->importedControls[0];
    frame->View()->SetTemplate(tpl);
    ASSERT_TRUE(frame->View()->SelectControl(0, true));
    std::unique_ptr<wxMenu> menu = frame->Menus().BuildContextMenu();
    ASSERT_NE(menu, nullptr);
    wxMenuItem* sub = menu->FindItem(MenuId::ImportedControls);
    ASSERT_NE(sub, nullptr);
    ASSERT_NE(sub->GetSubMenu(), nullptr);
    wxMenu* imported = sub->GetSubMenu();
    EXPECT_EQ(imported->GetMenuItemCount(), 513u);
    EXPECT_EQ(imported->FindItem(MenuId::FirstImported + 513), nullptr);
    wxMenuItem* first = imported->FindItem(MenuId::FirstImported);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsCheckable());
    EXPECT_TRUE(first->IsChecked());
    EXPECT_EQ(first->GetItemLabel().BeforeFirst(' '), "IMP0");
    // A drum note cannot go onto a pot.
    EXPECT_FALSE(imported->FindItem(MenuId::FirstImported + 1)->IsEnabled());
    EXPECT_TRUE(imported->FindItem(MenuId::FirstImported + 2)->IsEnabled());
    EXPECT_FALSE(imported->FindItem(MenuId::FirstImported + 2)->IsChecked());
    EXPECT_NE(menu->FindItem(MenuId::EditSelection), nullptr);

    // Choosing an entry assigns it as one undoable step.
    wxCommandEvent choose(wxEVT_MENU, MenuId::FirstImported + 5);
    frame->ProcessWindowEvent(choose);
    EXPECT_EQ(tpl->controlAt(0)->getName(), "IMP5");
    EXPECT_EQ(undoName(*tpl), "Assign Imported Control");

    // With two controls selected there is no submenu and no "Edit selection".
    ASSERT_TRUE(frame->View()->SelectControl(1, true));
    menu = frame->Menus().BuildContextMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->FindItem(MenuId::ImportedControls), nullptr);
    EXPECT_EQ(menu->FindItem(MenuId::EditSelection), nullptr);
}

TEST_F(MainFrameTest, KeysNavigateUnlessTheEditWindowIsShown) {
    NewTemplateKeepingDefaults(frame);
    CTemplateUI* view = frame->View();
    wxWindow* canvas = frame->Canvas();
    ASSERT_TRUE(view->SelectControl(0, true));
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_TAB);
    ASSERT_EQ(view->GetSelectedIndices().size(), 1u);
    const int afterTab = view->GetSelectedIndices().front();
    EXPECT_NE(afterTab, 0);
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_TAB, false, true);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_RIGHT);
    ASSERT_EQ(view->GetSelectedIndices().size(), 1u);
    const int afterRight = view->GetSelectedIndices().front();
    EXPECT_NE(afterRight, 0);

    // Return opens the edit window on the selected control; then keys pass by.
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_RETURN);
    Pump();
    ASSERT_TRUE(frame->EditWindow()->IsShown());
    EXPECT_EQ(frame->EditWindow()->GetControlIndex(), afterRight);
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_LEFT);
    sendKey(canvas, wxEVT_KEY_DOWN, WXK_TAB);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{afterRight});
}

// The main window's panel goes through the view's one key translation:
// keypad arrows move the selection exactly as the arrow keys do.
TEST_F(MainFrameTest, KeypadArrowsMoveTheSelectionLikeTheArrowKeys) {
    NewTemplateKeepingDefaults(frame);
    CTemplateUI* view = frame->View();
    wxWindow* canvas = frame->Canvas();
    const int twins[][2] = {{WXK_RIGHT, WXK_NUMPAD_RIGHT}, {WXK_DOWN, WXK_NUMPAD_DOWN},
                            {WXK_LEFT, WXK_NUMPAD_LEFT}, {WXK_UP, WXK_NUMPAD_UP}};
    for (const auto& twin : twins) {
        std::vector<int> after[2];
        for (int k = 0; k < 2; ++k) {
            view->ClearSelection();
            ASSERT_TRUE(view->SelectControl(9, true));
            sendKey(canvas, wxEVT_KEY_DOWN, twin[k]);
            after[k] = view->GetSelectedIndices();
        }
        ASSERT_EQ(after[0].size(), 1u);
        EXPECT_EQ(after[1], after[0]) << twin[1];
    }
}

TEST_F(MainFrameTest, EditWindowDisablesClipboardItemsAndItsCloseBoxOnlyHides) {
    NewTemplateKeepingDefaults(frame);
    CTemplateUI* view = frame->View();
    ASSERT_TRUE(view->SelectControl(3, true));
    for (int id : {MenuId::Cut, MenuId::Copy, MenuId::Delete, MenuId::SelectAll, MenuId::GetInfo})
        EXPECT_TRUE(MenuEnabled(id)) << id;

    // A deferred edit opens on the next idle pass.
    CPlacedControl placed(frame->Document().currentTemplate()->controlAt(3), 3);
    frame->editControl(placed, true);
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    frame->idleWork();
    WaitUntilMapped(frame->EditWindow());
    ASSERT_TRUE(frame->EditWindow()->IsShown());
    for (int id : {MenuId::Cut, MenuId::Copy, MenuId::Paste, MenuId::Delete, MenuId::SelectAll, MenuId::GetInfo})
        EXPECT_FALSE(MenuEnabled(id)) << id;

    // Observers live only while the window shows its control.
    struct Counter : IObserver {
        int n = 0;
        void Notify() override { ++n; }
    } counter;
    frame->EditHost().AddObserver(&counter);
    frame->EditHost().SetSnapshotObserver(&counter);
    frame->Document().currentTemplate()->controlAt(3)->setButtonAction(ButtonAction::Toggle);
    EXPECT_GE(counter.n, 1);

    frame->EditWindow()->Close();
    EXPECT_FALSE(frame->EditWindow()->IsShown()) << "right after Close";
    Pump();
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_NE(frame->EditWindow(), nullptr);
    EXPECT_TRUE(frame->EditHost().Observers().empty());
    const int seen = counter.n;
    frame->Document().currentTemplate()->controlAt(3)->setButtonAction(ButtonAction::Momentary);
    EXPECT_EQ(counter.n, seen);
    for (int id : {MenuId::Cut, MenuId::Copy, MenuId::Delete, MenuId::SelectAll, MenuId::GetInfo})
        EXPECT_TRUE(MenuEnabled(id)) << id;
}
