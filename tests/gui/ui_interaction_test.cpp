// Selection, dragging, keyboard navigation, tool tips and panel buttons.
#include <wx/tooltip.h>

#include "app/EditorApp.h"
#include "editing/ControlClipboard.h"
#include "ui_support.h"

using namespace uitest;

namespace {

using SelectionTest = PanelFixture;

wxKeyEvent keyEvent(int key, bool shift = false) {
    wxKeyEvent event(wxEVT_KEY_DOWN);
    event.m_keyCode = key;
    event.SetShiftDown(shift);
    return event;
}

// The panel's keys, and the keypad keys that must act the same.
const struct {
    int key;
    int keypadKey;
} kKeyTwins[] = {{WXK_UP, WXK_NUMPAD_UP},
                 {WXK_DOWN, WXK_NUMPAD_DOWN},
                 {WXK_LEFT, WXK_NUMPAD_LEFT},
                 {WXK_RIGHT, WXK_NUMPAD_RIGHT}};

// Selection after one key press from a single selected control.
std::vector<int> selectionAfterKey(CTemplateUI& view, wxWindow* target, int from, int key) {
    view.ClearSelection();
    view.SelectControl(from, true);
    wxKeyEvent event = keyEvent(key);
    if (target) {
        event.SetEventObject(target);
        target->GetEventHandler()->ProcessEvent(event);
    } else {
        view.HandleKeyEvent(event);
    }
    return view.GetSelectedIndices();
}

// The view's own translation and a canvas window showing it give the same
// answer, keypad keys included, and both skip keys the panel does not use.
TEST_F(SelectionTest, KeypadKeysActAsTheirTwinsThroughTheViewAndTheCanvas) {
    auto* canvas = new CTemplateCanvas(frame);
    canvas->SetView(view.get());
    for (wxWindow* target : {static_cast<wxWindow*>(nullptr), static_cast<wxWindow*>(canvas)})
        for (int from : {0, 9, 40}) {
            for (const auto& twin : kKeyTwins) {
                const std::vector<int> moved = selectionAfterKey(*view, target, from, twin.key);
                ASSERT_EQ(moved.size(), 1u);
                EXPECT_EQ(selectionAfterKey(*view, target, from, twin.keypadKey), moved)
                    << "from " << from << " key " << twin.keypadKey << (target ? " (canvas)" : "");
            }
            EXPECT_EQ(selectionAfterKey(*view, target, from, WXK_NUMPAD_ENTER), std::vector<int>{from});
            ASSERT_FALSE(host->edited.empty());
            EXPECT_EQ(host->edited.back(), from);
        }
    EXPECT_FALSE(view->HandleKeyEvent(keyEvent('A')).used);
    EXPECT_TRUE(view->HandleKeyEvent(keyEvent(WXK_NUMPAD_PAGEUP)).used);
    canvas->SetView(nullptr);
}

// Records the wheel turns the view is given.
class WheelRecordingUI : public CTaNGRAQVLumiTemplateUI {
public:
    using CTaNGRAQVLumiTemplateUI::CTaNGRAQVLumiTemplateUI;
    bool OnMouseWheel(double ratio) override {
        turns.push_back(ratio);
        return true;
    }
    std::vector<double> turns;
};

// A wheel event that states no delta counts 120 per notch, wherever it comes from.
TEST_F(SelectionTest, WheelTurnsAreMeasuredAlikeByTheViewAndTheCanvas) {
    WheelRecordingUI wheelView(*host, profile);
    wheelView.SetTemplate(tpl.get());
    auto* canvas = new CTemplateCanvas(frame);
    canvas->SetView(&wheelView);
    const struct {
        int rotation, delta;
        double turns;
    } cases[] = {{120, 120, 1.0}, {-240, 120, -2.0}, {240, 0, 2.0}, {60, 0, 0.5}};
    for (const auto& c : cases) {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = c.rotation;
        event.m_wheelDelta = c.delta;
        event.SetEventObject(canvas);
        wheelView.turns.clear();
        EXPECT_TRUE(wheelView.HandleMouseEvent(event).repaint);
        canvas->GetEventHandler()->ProcessEvent(event);
        EXPECT_EQ(wheelView.turns, (std::vector<double>{c.turns, c.turns})) << c.rotation << "/" << c.delta;
    }
    canvas->SetView(nullptr);
}

TEST_F(SelectionTest, PressSelectsAndShowsLabelPressOnEmptySpaceClears) {
    Assign(0, ControlType::CC, "Cutoff");
    Click(0);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});
    ASSERT_FALSE(host->statusTexts.empty());
    EXPECT_EQ(host->statusTexts.back(), "Cutoff");
    Click(3);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{3});
    view->OnMouseButton({5, 445}, false, false, false, false);
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_TRUE(view->IsRubberBandActive());
    view->OnMouseButton({5, 445}, false, false, true, false);
    EXPECT_FALSE(view->IsRubberBandActive());
}

TEST_F(SelectionTest, CtrlPressTogglesButKeepsTheOnlySelectedControl) {
    Click(0);
    Click(0, true);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});
    Click(5, true);
    EXPECT_EQ(view->GetSelectedIndices(), (std::vector<int>{0, 5}));
    Click(0, true);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{5});
    EXPECT_FALSE(view->IsRubberBandActive());
}

TEST_F(SelectionTest, RubberBandSelectsTouchedControlsAndCtrlBandToggles) {
    // A band across the first three pots (y 206..245) and nothing else.
    const wxPoint start(10, 215), end(140, 230);
    view->OnMouseButton(start, false, false, false, false);
    view->OnMouseMove(end);
    EXPECT_EQ(view->GetRubberBand(), wxRect(10, 215, 130, 15));
    EXPECT_EQ(view->GetSelectedIndices(), (std::vector<int>{0, 1, 2}));
    view->OnMouseButton(end, false, false, true, false);
    EXPECT_FALSE(view->IsRubberBandActive());
    EXPECT_EQ(view->GetSelectedIndices(), (std::vector<int>{0, 1, 2}));

    // With Ctrl at its start (on empty space between Pot 2 and Pot 3), a band
    // over Pot 3 and Pot 4 toggles them against the earlier selection.
    const wxPoint ctrlStart(115, 240), ctrlEnd(230, 241);
    ASSERT_EQ(view->HitTest(ctrlStart), nullptr);
    view->OnMouseButton(ctrlStart, true, false, false, false);
    ASSERT_TRUE(view->IsRubberBandActive());
    view->OnMouseMove(ctrlEnd);
    auto selected = view->GetSelectedIndices();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<int>{0, 1, 3}));
    // Shrinking the band gives the controls it left back their earlier state.
    view->OnMouseMove({150, 241});
    selected = view->GetSelectedIndices();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<int>{0, 1}));
    view->OnMouseButton({150, 241}, true, false, true, false);
}

TEST_F(SelectionTest, ZeroHeightBandTouchesNothing) {
    view->OnMouseButton({10, 220}, false, false, false, false);
    view->OnMouseMove({300, 220});
    EXPECT_TRUE(view->GetSelection().empty());
    view->OnMouseButton({300, 220}, false, false, true, false);
}

TEST_F(SelectionTest, ReleaseOpensEditWindowOnDoubleClickOrWhenAlreadyShown) {
    Click(2);
    EXPECT_TRUE(host->edited.empty());
    view->OnMouseButton(CentreOf(2), false, true, true, false);  // double click
    EXPECT_EQ(host->edited, std::vector<int>{2});
    EXPECT_FALSE(host->editDeferred);
    Click(4);  // edit window shown: a plain click re-targets it
    EXPECT_EQ(host->edited, (std::vector<int>{2, 4}));
    Click(6, true);  // Ctrl never opens it, and two selected controls hide it
    EXPECT_EQ(host->edited, (std::vector<int>{2, 4}));
    EXPECT_FALSE(host->editShown);
}

TEST_F(SelectionTest, SelectAllAndSelectionInfo) {
    view->SelectAll();
    EXPECT_EQ(view->GetSelection().size(), 72u);
    view->ClearSelection();
    view->SelectControl(3, true);
    view->SelectControl(3, true);
    EXPECT_EQ(view->GetSelection().size(), 1u);
    EXPECT_EQ(view->SelectionInfoText(), "Pot 4\n");
    view->ClearSelection();
    for (int i = 0; i < 12; ++i) view->SelectControl(i, true);
    const wxString expected =
        "12 controls selected:\n\nPot 1\nPot 2\nPot 3\nPot 4\nPot 5\nPot 6\nPot 7\nPot 8\n"
        "Encoder 1\nEncoder 2\n\n .......\n\nEncoder 4\n";
    EXPECT_EQ(view->SelectionInfoText(), expected);
    EXPECT_TRUE(view->SelectControl(11, false));
    EXPECT_FALSE(view->IsSelected(11));
}

// ---------------------------------------------------------------- dragging

using DragTest = PanelFixture;

TEST_F(DragTest, OntoUnassignedControlMoves) {
    Assign(3, ControlType::CC, "Cutoff", 74, 2);
    Click(3);
    Drag(CentreOf(3), CentreOf(7));
    ASSERT_EQ(host->commandNames, std::vector<std::string>{"Move control"});
    EXPECT_EQ(Control(7).getName(), "Cutoff");
    EXPECT_EQ(Control(7).getLsbNumber(), 74);
    EXPECT_EQ(Control(3).getControlType(), ControlType::Disabled);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{7});
    EXPECT_FALSE(view->IsDragging());
    undoCommand(*tpl);
    EXPECT_EQ(Control(3).getName(), "Cutoff");
    EXPECT_EQ(Control(7).getControlType(), ControlType::Disabled);
}

TEST_F(DragTest, OntoAssignedControlSwaps) {
    Assign(3, ControlType::CC, "Cutoff", 74);
    Assign(5, ControlType::CC, "Reso", 71);
    Click(3);
    Drag(CentreOf(3), CentreOf(5));
    ASSERT_EQ(host->commandNames, std::vector<std::string>{"Swap controls"});
    EXPECT_EQ(Control(5).getName(), "Cutoff");
    EXPECT_EQ(Control(3).getName(), "Reso");
}

TEST_F(DragTest, CtrlAtReleaseCopiesThroughTheClipboard) {
    Assign(3, ControlType::CC, "Cutoff", 74);
    Assign(5, ControlType::CC, "Reso", 71);
    Click(3);
    Drag(CentreOf(3), CentreOf(5), /*ctrlAtRelease=*/true);
    ASSERT_EQ(host->commandNames, std::vector<std::string>{"Paste Control"});
    EXPECT_EQ(Control(5).getName(), "Cutoff");
    EXPECT_EQ(Control(3).getName(), "Cutoff");
    ASSERT_EQ(CControlClipboard::instance().placed().size(), 1u);
    EXPECT_EQ(CControlClipboard::instance().placed().front().GetIndex(), 3);
}

TEST_F(DragTest, NothingIssuedOntoItselfOrOntoARefusingControl) {
    Assign(3, ControlType::CC, "Cutoff");
    Click(3);
    Drag(CentreOf(3), CentreOf(3) + wxPoint(3, 3));
    EXPECT_TRUE(host->commandNames.empty());
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{3});

    // A plain press on one of two selected controls narrows the selection to
    // it, so a drag always carries exactly one control.
    Click(4, true);
    ASSERT_EQ(view->GetSelection().size(), 2u);
    view->OnMouseButton(CentreOf(4), false, false, false, false);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{4});
    EXPECT_TRUE(view->IsDragging());
    view->OnMouseButton(CentreOf(4), false, false, true, false);
    EXPECT_TRUE(host->commandNames.empty());

    // A drum note may not go onto a pot (and a pot's CC may go onto a pad, but not back).
    Assign(70, ControlType::DrumNote, "Kick");
    view->ClearSelection();
    Click(70);
    Drag(CentreOf(70), CentreOf(0));
    EXPECT_TRUE(host->commandNames.empty());
    EXPECT_EQ(Control(0).getControlType(), ControlType::Disabled);
}

TEST_F(DragTest, ReleaseOutsideTheWindowDropsNothing) {
    Assign(3, ControlType::CC, "Cutoff");
    Click(3);
    view->OnMouseButton(CentreOf(3), false, false, false, false);
    view->OnMouseMove(CentreOf(7));
    ASSERT_TRUE(view->IsDragging());
    const wxPoint outside(-20, 900);
    view->OnMouseMove(outside);
    view->OnMouseButton(outside, false, false, true, false);
    EXPECT_FALSE(view->IsDragging());
    EXPECT_TRUE(host->commandNames.empty());
    EXPECT_EQ(Control(3).getName(), "Cutoff");
}

// -------------------------------------------------------------- keyboard

using KeyboardTest = PanelFixture;

TEST_F(KeyboardTest, TabStepsThroughShownControlsInIndexOrder) {
    EXPECT_TRUE(view->TabToNext(true));
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});
    view->ClearSelection();
    EXPECT_TRUE(view->TabToNext(false));
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{77});  // 78..85 are not on the panel
    view->ClearSelection();
    view->SelectControl(63, true);
    view->TabToNext(true);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{70});  // 64..69 skipped
    view->TabToNext(false);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{63});
    view->ClearSelection();
    view->SelectControl(77, true);
    view->TabToNext(true);
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});  // wraps around
}

TEST_F(KeyboardTest, ArrowsPickTheNearestControlInThatDirection) {
    EXPECT_TRUE(view->MoveSelection(3));
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{0});  // empty selection: control 0
    const struct {
        int from, direction, to;
    } moves[] = {
        {0, 0, 32},   // Pot 1 up: Left Middle Button 1
        {0, 1, 70},   // Pot 1 down: Drumpad 1
        {0, 3, 1},    // Pot 1 right: Pot 2
        {0, 2, 0},    // nothing left of Pot 1: stays
        {47, 3, 47},  // rightmost: stays
        {24, 0, 24},  // top row: stays
        {59, 2, 58},  // Play left: Stop
        {16, 1, 40},  // Slider 1 down: Right Top Button 1
    };
    for (const auto& m : moves) {
        view->ClearSelection();
        view->SelectControl(m.from, true);
        EXPECT_TRUE(view->MoveSelection(m.direction));
        EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{m.to}) << m.from << " dir " << m.direction;
    }
    view->ClearSelection();
    view->SelectControl(3, true);
    view->SelectControl(5, true);
    view->MoveSelection(3);  // from the last selected control
    EXPECT_EQ(view->GetSelectedIndices(), std::vector<int>{6});
}

// A layout with hand-placed buttons for the tie and cone rules.
class GridUI : public CTemplateUI {
public:
    GridUI(ITemplateUIHost& host, CEditorTemplate& tpl, std::vector<std::pair<int, wxPoint>> places)
        : CTemplateUI(host, EditorApp().Profile()), tpl(tpl), places(std::move(places)) {}
    void SetTemplate(CEditorTemplate*) override {
        RebuildButtons();
        panelReady = true;
    }
    CEditorTemplate* GetTemplate() const override { return &tpl; }

protected:
    void BuildLayout() override {
        for (const auto& [index, at] : places) {
            CControlButton::Params p;
            p.kind = 7;
            p.position = at;
            p.name = wxString::Format("C%d", index);
            AddButton(MakeButton(p, std::make_unique<CPlacedControl>(tpl.controlAt(index), index)));
        }
    }

private:
    CEditorTemplate& tpl;
    std::vector<std::pair<int, wxPoint>> places;
};

TEST_F(KeyboardTest, EqualDistanceGoesToTheFirstCreatedAndConeComesFirst) {
    // 0 in the middle; 1 and 2 equally far up-left and up-right; 3 further up but straight above.
    GridUI grid(*host, *tpl, {{0, {200, 200}}, {2, {240, 160}}, {1, {160, 160}}, {3, {200, 100}}});
    grid.SetTemplate(tpl.get());
    grid.SelectControl(0, true);
    grid.MoveSelection(0);
    EXPECT_EQ(grid.GetSelectedIndices(), std::vector<int>{3});  // inside the cone beats nearer diagonals
    GridUI ties(*host, *tpl, {{0, {200, 200}}, {2, {240, 160}}, {1, {160, 160}}});
    ties.SetTemplate(tpl.get());
    ties.SelectControl(0, true);
    ties.MoveSelection(0);
    EXPECT_EQ(ties.GetSelectedIndices(), std::vector<int>{2});  // no cone candidate: first created wins
    ties.ClearSelection();
    ties.SelectControl(1, true);
    ties.MoveSelection(3);
    EXPECT_EQ(ties.GetSelectedIndices(), std::vector<int>{2});
}

TEST_F(KeyboardTest, ReturnEditsOnlyASingleSelection) {
    view->EditSelection();
    EXPECT_TRUE(host->edited.empty());
    view->SelectControl(4, true);
    view->EditSelection();
    EXPECT_EQ(host->edited, std::vector<int>{4});
    view->SelectControl(5, true);
    view->EditSelection();
    EXPECT_EQ(host->edited, std::vector<int>{4});
}

// ------------------------------------------------------ hover and tool tips

using HoverTest = PanelFixture;

TEST_F(HoverTest, ToolTipShowsInfoTextAndNothingForUnassignedControls) {
    Assign(0, ControlType::CC, "Cutoff", 74, 2);
    EXPECT_TRUE(view->OnMouseMove(CentreOf(0)));
    EXPECT_EQ(view->GetHoveredIndex(), 0);
    EXPECT_EQ(view->GetToolTipText(), wxString::FromUTF8(Control(0).infoText()));
    EXPECT_NE(view->GetToolTipText().Find("CC#: 74"), wxNOT_FOUND);
    ASSERT_NE(frame->GetToolTip(), nullptr);
    EXPECT_EQ(frame->GetToolTip()->GetTip(), view->GetToolTipText());
    EXPECT_EQ(host->statusTexts.back(), "Cutoff");
    EXPECT_FALSE(view->OnMouseMove(CentreOf(0) + wxPoint(1, 0)));  // same control: nothing to redraw

    EXPECT_TRUE(view->OnMouseMove(CentreOf(1)));
    EXPECT_TRUE(view->GetToolTipText().empty());
    EXPECT_TRUE(view->OnMouseMove({3, 447}));  // leaving the controls
    EXPECT_EQ(view->GetHoveredIndex(), -1);
    EXPECT_FALSE(view->OnMouseMove({4, 447}));

    host->toolTips = false;
    view->OnMouseMove(CentreOf(0));
    EXPECT_TRUE(view->GetToolTipText().empty());
}

// ------------------------------------------------------------ panel buttons

using PanelButtonTest = PanelFixture;

TEST_F(PanelButtonTest, ClicksStartAndStopListeningAndSend) {
    const wxPoint listen(500, 305), send(550, 305);
    EXPECT_TRUE(view->OnMouseMove(listen));  // hover asks for a repaint
    Click(listen);
    Click(listen);
    Click(send);
    EXPECT_EQ(host->calls, (std::vector<std::string>{"listen", "stop", "send"}));

    host->calls.clear();
    host->inputOpen = false;
    host->outputOpen = false;
    Click(listen);
    Click(send);
    EXPECT_TRUE(host->calls.empty());
    // A press inside and a release outside is no click.
    host->inputOpen = true;
    view->OnMouseButton(listen, false, false, false, false);
    view->OnMouseButton({700, 420}, false, false, true, false);
    EXPECT_TRUE(host->calls.empty());
}

TEST_F(PanelButtonTest, PulseOnlyWhileOn) {
    EXPECT_FALSE(view->Tick(150));
    view->ListenStarted();
    EXPECT_TRUE(view->GetListenButton().on);
    int steps[8];
    for (int& s : steps) {
        EXPECT_TRUE(view->Tick(101));
        s = view->GetListenButton().step;
    }
    // The listen pulse rises to 4, rests there one period, then falls.
    EXPECT_EQ(std::vector<int>(steps, steps + 8), (std::vector<int>{2, 3, 4, 4, 3, 2, 1, 0}));
    EXPECT_FALSE(view->Tick(50));  // not past the period yet
    view->SendStarted();
    EXPECT_FALSE(view->GetListenButton().on);
    EXPECT_TRUE(view->GetSendButton().on);
    EXPECT_TRUE(view->Tick(60));
    view->SendFinished();
    EXPECT_FALSE(view->GetSendButton().on);
    EXPECT_FALSE(view->Tick(1000));
    view->ListenStarted();
    view->ListenStopped();
    EXPECT_FALSE(view->GetListenButton().on);
}

}  // namespace
