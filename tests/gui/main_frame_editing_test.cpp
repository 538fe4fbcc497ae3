// Editing on the main window's panel with the real view: selection, rubber
// band, drag to move, swap and copy, the Edit menu and undo.
#include <wx/menu.h>
#include <wx/uiaction.h>

#include "GuiTestSupport.h"
#include "ui/EditControlDialog.h"
#include "app/MainFrame.h"
#include "editing/ControlClipboard.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "ui/TemplateUI.h"

namespace {
class EditingTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        const wxString path = WriteTemplate("editing.syx", [](CEditorTemplate& t) {
            t.controlAt(0)->setName("POT A");
            t.controlAt(0)->controlType = ControlType::CC;
            t.controlAt(0)->lsbNumber = 21;
            t.controlAt(1)->setName("POT B");
            t.controlAt(1)->controlType = ControlType::NRPN;
        });
        EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
        ASSERT_NE(frame->Document().currentTemplate(), nullptr);
        tpl = frame->Document().currentTemplate();
        view = frame->View();
        canvas = frame->Canvas();
        frame->Raise();
        Pump();
    }

    wxPoint Centre(int index) const {
        CControlButton* button = view->FindButton(index);
        EXPECT_NE(button, nullptr) << "control " << index << " not on the panel";
        if (!button) return wxPoint();
        const wxRect r = button->GetRect();
        return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
    }

    void Mouse(wxEventType type, wxPoint p, bool ctrl = false) {
        wxMouseEvent event(type);
        event.SetPosition(p);
        event.SetControlDown(ctrl);
        event.m_leftDown = type == wxEVT_LEFT_DOWN || type == wxEVT_MOTION;
        event.SetEventObject(canvas);
        canvas->GetEventHandler()->ProcessEvent(event);
    }

    void Drag(int from, int to, bool ctrlAtRelease = false) {
        const wxPoint a = Centre(from), b = Centre(to);
        Mouse(wxEVT_LEFT_DOWN, a);
        Mouse(wxEVT_MOTION, wxPoint((a.x + b.x) / 2, (a.y + b.y) / 2));
        Mouse(wxEVT_MOTION, b);
        Mouse(wxEVT_LEFT_UP, b, ctrlAtRelease);
    }

    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->ProcessWindowEvent(event);
    }

    CEditorTemplate* tpl = nullptr;
    CTemplateUI* view = nullptr;
    wxWindow* canvas = nullptr;
};
}  // namespace

TEST_F(EditingTest, ClickSelectsAndCtrlClickAdds) {
    Mouse(wxEVT_LEFT_DOWN, Centre(0));
    Mouse(wxEVT_LEFT_UP, Centre(0));
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});
    EXPECT_TRUE(MenuEnabled(MenuId::Copy));
    EXPECT_TRUE(MenuEnabled(MenuId::GetInfo));
    Mouse(wxEVT_LEFT_DOWN, Centre(1), true);
    Mouse(wxEVT_LEFT_UP, Centre(1), true);
    EXPECT_EQ(view->GetSelectedIndices(), (std::vector<int>{0, 1}));
}

TEST_F(EditingTest, RubberBandFromEmptySpaceSelectsTheControlsItTouches) {
    const wxRect r0 = view->FindButton(0)->GetRect();
    const wxRect r1 = view->FindButton(1)->GetRect();
    const wxRect both = wxRect(r0).Union(r1);
    // Start in empty space left of and above both controls.
    wxPoint start(both.x - 4, both.y - 4);
    ASSERT_EQ(view->HitTest(start), nullptr);
    Mouse(wxEVT_LEFT_DOWN, start);
    Mouse(wxEVT_MOTION, wxPoint(both.GetRight() - 2, both.GetBottom() - 2));
    EXPECT_TRUE(view->IsRubberBandActive());
    Mouse(wxEVT_LEFT_UP, wxPoint(both.GetRight() - 2, both.GetBottom() - 2));
    EXPECT_FALSE(view->IsRubberBandActive());
    const std::vector<int> selected = view->GetSelectedIndices();
    EXPECT_NE(std::find(selected.begin(), selected.end(), 0), selected.end());
    EXPECT_NE(std::find(selected.begin(), selected.end(), 1), selected.end());
}

TEST_F(EditingTest, DragMovesOntoUnassignedSwapsOntoAssignedCopiesWithCtrlAndUndoes) {
    ASSERT_EQ(tpl->controlAt(2)->controlType, ControlType::Disabled);
    // Move: 0 onto the unassigned 2.
    Drag(0, 2);
    EXPECT_EQ(tpl->controlAt(2)->getName(), "POT A");
    EXPECT_EQ(tpl->controlAt(0)->controlType, ControlType::Disabled);
    EXPECT_EQ(MenuLabel(MenuId::Undo).BeforeFirst('\t'), "&Undo Move control");
    EXPECT_TRUE(frame->GetTitle().EndsWith("*"));
    // Swap: 2 onto the assigned 1.
    Drag(2, 1);
    EXPECT_EQ(tpl->controlAt(1)->getName(), "POT A");
    EXPECT_EQ(tpl->controlAt(2)->getName(), "POT B");
    EXPECT_EQ(undoName(*tpl), "Swap controls");
    // Copy: Ctrl at release pastes through the clipboard.
    Drag(1, 3, true);
    EXPECT_EQ(tpl->controlAt(3)->getName(), "POT A");
    EXPECT_EQ(tpl->controlAt(1)->getName(), "POT A");
    EXPECT_EQ(undoName(*tpl), "Paste Control");
    EXPECT_FALSE(CControlClipboard::instance().empty());

    // Undo all three from the Edit menu, back to the file's state.
    Menu(MenuId::Undo);
    EXPECT_EQ(tpl->controlAt(3)->controlType, ControlType::Disabled);
    EXPECT_EQ(MenuLabel(MenuId::Redo).BeforeFirst('\t'), "&Redo Paste Control");
    Menu(MenuId::Undo);
    Menu(MenuId::Undo);
    EXPECT_EQ(tpl->controlAt(0)->getName(), "POT A");
    EXPECT_EQ(tpl->controlAt(1)->getName(), "POT B");
    EXPECT_EQ(tpl->controlAt(2)->controlType, ControlType::Disabled);
    EXPECT_FALSE(tpl->isModified());
    EXPECT_FALSE(frame->GetTitle().EndsWith("*"));
    EXPECT_FALSE(MenuEnabled(MenuId::Undo));
    EXPECT_EQ(MenuLabel(MenuId::Undo).BeforeFirst('\t'), "Can't undo");
    Menu(MenuId::Redo);
    EXPECT_EQ(tpl->controlAt(2)->getName(), "POT A");
    EXPECT_TRUE(tpl->isModified());
}

TEST_F(EditingTest, EditMenuCopyPasteCutDeleteWorkOnTheSelection) {
    ASSERT_TRUE(view->SelectControl(0, true));
    Menu(MenuId::Copy);
    view->ClearSelection();
    ASSERT_TRUE(view->SelectControl(5, true));
    EXPECT_TRUE(MenuEnabled(MenuId::Paste));
    Menu(MenuId::Paste);
    EXPECT_EQ(tpl->controlAt(5)->getName(), "POT A");
    // Two targets for one copied control: no paste.
    ASSERT_TRUE(view->SelectControl(6, true));
    EXPECT_FALSE(MenuEnabled(MenuId::Paste));

    view->ClearSelection();
    ASSERT_TRUE(view->SelectControl(0, true));
    ASSERT_TRUE(view->SelectControl(1, true));
    Menu(MenuId::Cut);
    EXPECT_EQ(tpl->controlAt(0)->controlType, ControlType::Disabled);
    EXPECT_EQ(tpl->controlAt(1)->controlType, ControlType::Disabled);
    EXPECT_EQ(undoName(*tpl), "Cut Controls");
    Menu(MenuId::Undo);
    EXPECT_EQ(tpl->controlAt(0)->getName(), "POT A");
    EXPECT_EQ(tpl->controlAt(1)->getName(), "POT B");

    Menu(MenuId::SelectAll);
    EXPECT_EQ(view->GetSelectedIndices().size(), view->GetButtons().size());
    view->ClearSelection();
    ASSERT_TRUE(view->SelectControl(1, true));
    Menu(MenuId::Delete);
    EXPECT_EQ(tpl->controlAt(1)->getName(), "");
    EXPECT_EQ(undoName(*tpl), "Delete Control");
}

TEST_F(EditingTest, RealPointerClickReachesThePanel) {
    // Driven through the display server, as a user's click would be.
    canvas->SetFocus();
    Pump();
    wxUIActionSimulator sim;
    const wxPoint screen = canvas->ClientToScreen(Centre(1));
    sim.MouseMove(screen);
    Pump();
    sim.MouseClick();
    for (int i = 0; i < 20 && view->GetSelectedIndices() != std::vector<int>{1}; ++i) {
        Pump();
        wxMilliSleep(10);
    }
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{1});
}
