// The edit window from the keyboard and where windows open, on a desktop
// (gui.desktop runs these under openbox): keys go through the display server
// to whichever window the window manager made active.
#include <dlfcn.h>

#include <wx/choice.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

#include <functional>

#include "DesktopTest.h"
#include "app/ControlsTableWindow.h"
#include "GuiTestSupport.h"
#include "LayoutChecks.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/WelcomeDialog.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"
#include "ui/TemplateUI.h"

namespace {
class DesktopKeyboardTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        const wxString path = WriteTemplate("keys.syx", [](CEditorTemplate& t) {
            t.controlAt(0)->setName("");
            t.controlAt(0)->controlType = ControlType::CC;
            t.controlAt(0)->lsbNumber = 1;
        });
        OpenOnDesktop(path);
    }
    void Key(int code, int modifiers = wxMOD_NONE) {
        wxUIActionSimulator().Char(code, modifiers);
        for (int i = 0; i < 6; ++i) {
            Pump(1);
            frame->idleWork();
            wxMilliSleep(5);
        }
    }
    void Type(const char* text) {
        for (const char* c = text; *c; ++c)
            Key(static_cast<unsigned char>(*c), *c >= 'A' && *c <= 'Z' ? wxMOD_SHIFT : wxMOD_NONE);
    }
    // A real click on a control of the panel: the main window becomes active.
    void ClickControl(int index) {
        CControlButton* button = frame->View()->FindButton(index);
        ASSERT_NE(button, nullptr);
        wxUIActionSimulator sim;
        sim.MouseMove(frame->Canvas()->ClientToScreen(frame->View()->ToWindow(button->GetRect()).GetPosition() +
                                                      wxPoint(4, 4)));
        Pump();
        sim.MouseClick();
        ASSERT_TRUE(WaitFor([&] { return frame->View()->GetSelectedIndices() == std::vector<int>{index}; }));
        frame->hideEditWindow();  // a click may open it; the keys are what is tried here
        ASSERT_TRUE(WaitFor([&] { return frame->IsActive(); }));
    }
    CEditControlDialog* Window() const { return frame->EditWindow(); }
    template <class T>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(wxWindow::FindWindowByName(name, Window()));
    }

};
}  // namespace

namespace {
// The editor's menus get their items after the window's first paint; what
// the user does before then works all the same.
class DesktopMenuItemsTest : public DesktopTest {
protected:
    // A main window on the desktop with the template open and its menus
    // still without items: the first paint is not passed on, so only the
    // user can bring them.
    void ShowWithoutMenuItems() {
        const wxString path = WriteTemplate("keys.syx");
        frame->Destroy();
        Pump();
        ASSERT_TRUE(EditorApp().CreateMainWindow(CMainMenus::Items::Later));
        frame = EditorApp().GetMainFrame();
        frame->Canvas()->SetHooks({[] {}, [](wxKeyEvent&) { return false; }, {}});
        frame->Show();
        OpenOnDesktop(path);
        ASSERT_TRUE(WaitFor([&] { return frame->IsActive(); }));
        ASSERT_FALSE(frame->Menus().HasItems());
    }
};
}  // namespace

TEST_F(DesktopMenuItemsTest, AShortcutTypedBeforeTheMenusHaveTheirItemsRuns) {
    ShowWithoutMenuItems();
    ASSERT_EQ(frame->ControlsTable(), nullptr);

    wxUIActionSimulator().Char('t', wxMOD_CONTROL | wxMOD_SHIFT);  // View > Controls table
    EXPECT_TRUE(WaitFor([&] { return frame->ControlsTable() && frame->ControlsTable()->IsShown(); }));
    EXPECT_TRUE(frame->Menus().HasItems());
    ASSERT_NE(frame->ControlsTable(), nullptr);
    // Later the toolkit's own shortcuts do it.
    frame->ControlsTable()->Close();
    ASSERT_TRUE(WaitFor([&] { return !frame->ControlsTable()->IsShown() && frame->IsActive(); }));
    wxUIActionSimulator().Char('t', wxMOD_CONTROL | wxMOD_SHIFT);
    EXPECT_TRUE(WaitFor([&] { return frame->ControlsTable()->IsShown(); }));
    frame->ControlsTable()->Close();
    Pump();
}

// A menu opened with the pointer in that moment holds its items, and they work.
TEST_F(DesktopMenuItemsTest, AMenuOpenedBeforeItHasItsItemsHoldsThem) {
    ShowWithoutMenuItems();
    ASSERT_EQ(frame->Document().templateCount(), 1);
    // The File title: at the left of the menu bar, just above the panel.
    const wxPoint panel = frame->Canvas()->GetScreenPosition();
    wxUIActionSimulator sim;
    sim.MouseMove(panel.x + 18, panel.y - 12);
    Pump();
    sim.MouseClick();
    EXPECT_TRUE(WaitFor([&] { return frame->Menus().HasItems(); }));
    WaitFor([] { return false; }, 300);  // the menu open again, with its items
    // As wide as its items: a menu that stayed at its empty size is a sliver.
    using Width = int (*)(void*);
    auto width = reinterpret_cast<Width>(dlsym(RTLD_DEFAULT, "gtk_widget_get_allocated_width"));
    ASSERT_NE(width, nullptr);
    EXPECT_GT(width(frame->GetMenuBar()->GetMenu(0)->m_menu), 200);
    // New, Open..., Close.
    for (int i = 0; i < 3; ++i) wxUIActionSimulator().Char(WXK_DOWN);
    wxUIActionSimulator().Char(WXK_RETURN);
    EXPECT_TRUE(WaitFor([&] { return frame->Document().templateCount() == 0; }));
}

TEST_F(DesktopKeyboardTest, ReturnOpensTheWindowWithTheFocusOnItsFirstField) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown(); }));
    auto* name = Find<wxTextCtrl>("Name");
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(WaitFor([&] { return Window()->IsActive() && name->HasFocus(); }))
        << "the window is " << (Window()->IsActive() ? "" : "not ") << "active";
    // What the user types goes into the name.
    Type("AB");
    EXPECT_EQ(name->GetValue(), "AB");
    EXPECT_EQ(tpl->controlAt(0)->getName(), "AB");
}

TEST_F(DesktopKeyboardTest, EscapeClosesTheWindow) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown() && Window()->IsActive(); }));
    Key(WXK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !Window()->IsShown(); }));
    // The menus that the window disabled are back.
    EXPECT_TRUE(MenuEnabled(MenuId::Copy));
}

TEST_F(DesktopKeyboardTest, UndoAndRedoKeysWorkInTheWindowAndLeaveTheFocusThere) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown() && Window()->IsActive(); }));
    auto* number = Find<NumberTextCtrl>("CC_Number");
    ASSERT_NE(number, nullptr);
    number->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return number->HasFocus(); }));
    number->SelectAll();
    Type("74");
    Key(WXK_RETURN);
    ASSERT_EQ(tpl->controlAt(0)->getLsbNumber(), 74);
    Key('Z', wxMOD_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return tpl->controlAt(0)->getLsbNumber() == 1; })) << "Ctrl+Z in the window";
    EXPECT_TRUE(WaitFor([&] { return number->GetValue() == "1"; }));
    Key('Y', wxMOD_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return tpl->controlAt(0)->getLsbNumber() == 74; })) << "Ctrl+Y in the window";
    EXPECT_TRUE(Window()->IsShown());
    EXPECT_TRUE(WaitFor([&] { return Window()->IsActive(); })) << "the focus stays in the window";
}

TEST_F(DesktopKeyboardTest, ATypeChangeKeepsTheFocusOnTheTypeList) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown() && Window()->IsActive(); }));
    Key(WXK_TAB);  // from the name to the type list
    Key(WXK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return tpl->controlAt(0)->getControlType() == ControlType::NRPN; }));
    // The window is rebuilt for the new type; the next key still reaches the list.
    ASSERT_TRUE(WaitFor([&] { return Find<wxWindow>("ID_NRPNDIALOG") != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return Window()->IsActive(); }));
    Key(WXK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return tpl->controlAt(0)->getControlType() == ControlType::RPN; }))
        << "type " << tpl->controlAt(0)->getControlType();
}

TEST_F(DesktopKeyboardTest, F6MovesBetweenThePanelAndTheWindow) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown() && Window()->IsActive(); }));
    Key(WXK_F6);
    EXPECT_TRUE(WaitFor([&] { return frame->IsActive() && frame->Canvas()->HasFocus(); })) << "F6 to the panel";
    EXPECT_TRUE(Window()->IsShown());
    Key(WXK_F6);
    EXPECT_TRUE(WaitFor([&] { return Window()->IsActive(); })) << "F6 back to the window";
}

TEST_F(DesktopKeyboardTest, TheWindowManagersSwitchingReachesTheWindow) {
    ClickControl(0);
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown() && Window()->IsActive(); }));
    Key(WXK_TAB, wxMOD_ALT);
    EXPECT_TRUE(WaitFor([&] { return frame->IsActive(); })) << "Alt+Tab to the main window";
    Key(WXK_TAB, wxMOD_ALT);
    EXPECT_TRUE(WaitFor([&] { return Window()->IsActive(); })) << "Alt+Tab back to the edit window";
}

// The first edit window a program opens: the toolkit measures some fields
// smaller before it has shown any window of the kind, so CTest runs each of
// these in a program of its own (gui.desktop_first_opening_*).
using DesktopFirstOpeningTest = DesktopKeyboardTest;

TEST_F(DesktopFirstOpeningTest, FitsAndGoesWhereTheUserLeftTheWindow) {
    Settings().editWindowPosition = "700,260";
    frame->editControl(CPlacedControl(tpl->controlAt(0), 0), false);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown(); }));
    WaitUntilMapped(Window());
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(Window()->GetPosition(), wxPoint(700, 260));
    // Tall enough for everything: the last display option is not cut.
    EXPECT_GE(Window()->GetClientSize().y, Window()->GetSizer()->GetMinSize().y);
    ExpectNoCutText(Window(), "first opening");
}

TEST_F(DesktopFirstOpeningTest, WithNoStoredPlaceGoesBesideTheMainWindowsMenus) {
    Settings().editWindowPosition = "";
    frame->editControl(CPlacedControl(tpl->controlAt(0), 0), false);
    ASSERT_TRUE(WaitFor([&] { return Window()->IsShown(); }));
    WaitUntilMapped(Window());
    WaitFor([] { return false; }, 200);
    const wxRect window = Window()->GetScreenRect();
    const wxRect menus(frame->GetScreenPosition(),
                       wxSize(frame->GetSize().x, frame->GetClientAreaOrigin().y +
                                                      (frame->Canvas()->GetScreenPosition().y - frame->GetScreenPosition().y)));
    EXPECT_FALSE(window.Intersects(menus)) << "window at " << window.x << "," << window.y << ", menus down to "
                                           << menus.GetBottom();
    EXPECT_TRUE(wxRect(wxGetDisplaySize()).Contains(window));
}

namespace {
// Where the other windows open on the desktop.
class DesktopPlacementTest : public GuiTest {
protected:
    void Settle(int ms = 300) {
        for (int waited = 0; waited < ms; waited += 10) {
            Pump(1);
            wxMilliSleep(10);
        }
    }
    // The main window's title and menu bars, on the screen.
    wxRect MenuArea() const {
        const wxRect outer = frame->GetScreenRect();
        return wxRect(outer.x, outer.y, outer.width, frame->Canvas()->GetScreenPosition().y - outer.y);
    }
};
}  // namespace

TEST_F(DesktopPlacementTest, TheWelcomeDialogOpensCentredOnTheMainWindow) {
    // As at start-up: the main window placed and shown, the dialog at once.
    frame->Hide();
    Pump();
    frame->Centre(wxBOTH);
    frame->Show();
    CWelcomeDialog dialog(frame, Services());
    ASSERT_TRUE(dialog.Loaded());
    dialog.Show();
    WaitUntilMapped(&dialog);
    Settle();
    const wxPoint mainCentre = frame->GetScreenRect().GetPosition() + frame->GetSize() / 2;
    const wxPoint centre = dialog.GetScreenRect().GetPosition() + dialog.GetSize() / 2;
    EXPECT_LE(std::abs(centre.x - mainCentre.x), 20) << centre.x << " vs " << mainCentre.x;
    EXPECT_LE(std::abs(centre.y - mainCentre.y), 40) << centre.y << " vs " << mainCentre.y;
    dialog.Hide();
}

TEST_F(DesktopPlacementTest, TheMidiMonitorOpensClearOfTheMainWindowsMenus) {
    frame->Centre(wxBOTH);  // where start-up puts it
    WaitUntilMapped(frame);
    Settle();
    wxCommandEvent open(wxEVT_MENU, MenuId::MidiMonitor);
    frame->ProcessWindowEvent(open);
    wxFrame* monitor = frame->Device().MidiMonitorWindow();
    ASSERT_NE(monitor, nullptr);
    WaitUntilMapped(monitor);
    Settle();
    const wxRect shown = monitor->GetScreenRect();
    EXPECT_FALSE(shown.Intersects(MenuArea())) << "monitor at " << shown.x << "," << shown.y << " size "
                                               << shown.width << "x" << shown.height;
    EXPECT_TRUE(wxRect(wxGetDisplaySize()).Contains(shown));
    monitor->Close();
    Pump();
}

// The panel enlarged on a screen too small for it (1280 x 1024 here; the panel
// is 900 x 450, so 150 % and 200 % do not fit).
TEST_F(DesktopPlacementTest, OnlyTheZoomsThatFitTheScreenAreOfferedAndAStoredOneFallsBack) {
    const wxRect screen = wxDisplay(0u).GetClientArea();
    ASSERT_LT(screen.width, frame->View()->GetBackgroundSize().x * 3 / 2) << "needs a screen narrower than 150 %";
    wxMenuBar* bar = frame->GetMenuBar();
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_TRUE(bar->IsEnabled(MenuId::Zoom100));
    for (int id : {MenuId::Zoom150, MenuId::Zoom200}) {
        EXPECT_FALSE(bar->IsEnabled(id)) << id;
        EXPECT_NE(bar->FindItem(id)->GetHelp().Find("too large for this screen"), wxNOT_FOUND)
            << bar->FindItem(id)->GetHelp().ToStdString();
    }
    // A zoom stored on a larger screen: the largest that fits, said in the
    // status bar, and the choice kept for that screen.
    Settings().panelZoom = 200;
    frame->Destroy();
    Pump();
    ASSERT_TRUE(EditorApp().CreateMainWindow());
    frame = EditorApp().GetMainFrame();
    frame->Show();
    WaitUntilMapped(frame);
    EXPECT_EQ(frame->View()->GetZoom(), 100);
    EXPECT_EQ(Settings().panelZoom, 200);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Zoom 200% does not fit this screen: the panel is shown at 100%");
    EXPECT_TRUE(screen.Contains(frame->GetScreenRect()));
}
