// View > Controls table driven as a user drives it on a desktop (gui.desktop
// runs these under openbox): keys and pointer go through the display server
// to the real windows.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/ffile.h>
#include <wx/grid.h>
#include <wx/headerctrl.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <functional>

#include "DesktopTest.h"
#include "GuiTestSupport.h"
#include "LayoutChecks.h"
#include "app/ControlsTableWindow.h"
#include "app/MainFrame.h"
#include "editing/ControlsTable.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "ui/ControlButton.h"
#include "ui/EditControlDialog.h"
#include "ui/TemplateUI.h"

namespace {
using C = TableColumn;
constexpr int col(C c) { return static_cast<int>(c); }

class DesktopControlsTableTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        path = WriteTemplate("table.syx", [](CEditorTemplate& t) {
            // The pots and encoders send controllers 0..15 on channel 1.
            for (int i = 0; i < 16; ++i) {
                t.controlAt(i)->controlType = ControlType::CC;
                t.controlAt(i)->lsbNumber = i;
            }
            t.controlAt(0)->setName("QZCut");
            t.controlAt(1)->setName("QZRes");
            // Slider 1 sends what pot 1 sends: a clash.
            t.controlAt(16)->controlType = ControlType::CC;
            t.controlAt(16)->lsbNumber = 0;
            t.controlAt(16)->setName("QZVol");
        });
        OpenOnDesktop(path);
    }

    void Settle() {
        for (int i = 0; i < 6; ++i) {
            Pump(1);
            frame->idleWork();
            wxMilliSleep(5);
        }
    }
    void Key(int code, int modifiers = wxMOD_NONE) {
        wxUIActionSimulator().Char(code, modifiers);
        Settle();
    }
    void Type(const char* text) {
        wxUIActionSimulator sim;
        for (const char* c = text; *c; ++c) {
            sim.Char(static_cast<unsigned char>(*c), *c >= 'A' && *c <= 'Z' ? wxMOD_SHIFT : wxMOD_NONE);
            Settle();
        }
    }
    void Click(const wxPoint& at) {
        wxUIActionSimulator sim;
        sim.MouseMove(at);
        Settle();
        sim.MouseClick();
        Settle();
    }

    // Opens the table from the panel with its shortcut, as a user does.
    CControlsTableWindow* OpenTable() {
        frame->Raise();
        frame->Canvas()->SetFocus();
        EXPECT_TRUE(WaitFor([&] { return frame->IsActive(); }));
        Key('T', wxMOD_CONTROL | wxMOD_SHIFT);
        CControlsTableWindow* window = frame->ControlsTable();
        if (!window) return nullptr;
        EXPECT_TRUE(WaitFor([&] { return window->IsShown() && window->IsActive(); }));
        WaitUntilMapped(window);
        EXPECT_TRUE(WaitFor([&] { return window->Grid()->HasFocus(); }));
        return window;
    }
    // The cursor to a control's row and a column, with the keys.
    void GoTo(CControlsTableWindow* window, int index, C column) {
        wxGrid* grid = window->Grid();
        const int row = window->Table()->rowOf(index);
        ASSERT_GE(row, 0);
        Key(WXK_HOME, wxMOD_CONTROL);
        for (int r = 0; r < row; ++r) Key(WXK_DOWN);
        for (int c = 0; c < col(column); ++c) Key(WXK_RIGHT);
        EXPECT_EQ(grid->GetGridCursorRow(), row);
        EXPECT_EQ(grid->GetGridCursorCol(), col(column));
    }
    std::string Cell(CControlsTableWindow* window, int index, C column) const {
        const int row = window->Table()->rowOf(index);
        return row < 0 ? "(hidden)" : window->Grid()->GetCellValue(row, col(column)).ToStdString();
    }
    static void SetClipboardText(const wxString& text) {
        wxClipboardLocker locker;
        ASSERT_TRUE(!!locker);
        ASSERT_TRUE(wxTheClipboard->SetData(new wxTextDataObject(text)));
    }
    static wxString ClipboardText() {
        wxClipboardLocker locker;
        wxTextDataObject data;
        if (!locker || !wxTheClipboard->GetData(data)) return {};
        return data.GetText();
    }
    std::vector<int> PanelSelection() const {
        std::vector<int> indices = frame->View()->GetSelectedIndices();
        std::sort(indices.begin(), indices.end());
        return indices;
    }
    static std::string FileBytes(const wxString& file) {
        wxFFile in(file, "rb");
        std::string bytes;
        if (!in.IsOpened()) return bytes;
        bytes.resize(static_cast<size_t>(in.Length()));
        in.Read(bytes.data(), bytes.size());
        return bytes;
    }

    wxString path;
};

TEST_F(DesktopControlsTableTest, TypingIntoSeveralSelectedRowsIsOneUndoStep) {
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Grid()->GetNumberRows(), tpl->lastIndex() + 1);
    GoTo(window, 0, C::Channel);
    for (int i = 0; i < 15; ++i) Key(WXK_DOWN, wxMOD_SHIFT);
    ASSERT_EQ(window->SelectedIndices().size(), 16u);

    // Escape throws the typed text away.
    Type("9");
    EXPECT_TRUE(window->Grid()->IsCellEditControlEnabled());
    Key(WXK_ESCAPE);
    EXPECT_FALSE(window->Grid()->IsCellEditControlEnabled());
    EXPECT_TRUE(tpl->history.empty());
    EXPECT_EQ(Cell(window, 0, C::Channel), "1");

    // Typing starts the edit, Return sets it on all 16 controls as one step.
    Type("5");
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !tpl->history.empty(); }));
    EXPECT_EQ(tpl->history.size(), 1u);
    EXPECT_EQ(undoName(*tpl), "Set MIDI Channel on 16 controls");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(tpl->controlAt(i)->midiChannel, 5) << i;
        EXPECT_EQ(Cell(window, i, C::Channel), "5") << i;
    }
    EXPECT_EQ(tpl->controlAt(16)->midiChannel, 1);
    // The user stays in the table: no edit window, the rows still selected.
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_EQ(window->SelectedIndices().size(), 16u);
    EXPECT_TRUE(window->Grid()->HasFocus());

    // Ctrl+Z in the table undoes the step, and the table shows it at once.
    Key('Z', wxMOD_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return tpl->controlAt(15)->midiChannel == 1; }));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(tpl->controlAt(i)->midiChannel, 1) << i;
        EXPECT_EQ(Cell(window, i, C::Channel), "1") << i;
    }
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_TRUE(WaitFor([&] { return window->Grid()->HasFocus(); }));
    // Redo from the main window's menu shows here too.
    frame->RunMenuCommand(MenuId::Redo);
    EXPECT_TRUE(WaitFor([&] { return Cell(window, 15, C::Channel) == "5"; }));

    // F2 edits the one cell under the cursor when it is outside the selection;
    // a value out of range is refused with a message naming the cell.
    // (The main window's own redo gave the panel the focus.)
    window->Raise();
    window->Grid()->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return window->Grid()->HasFocus(); }));
    Key(WXK_HOME, wxMOD_CONTROL);
    for (int c = 0; c < col(C::High); ++c) Key(WXK_RIGHT);
    for (int i = 0; i < 3; ++i) Key(WXK_DOWN, wxMOD_SHIFT);
    Key(WXK_F2);
    ASSERT_TRUE(window->Grid()->IsCellEditControlEnabled());
    wxUIActionSimulator().Char('A', wxMOD_CONTROL);  // select the text in the cell editor
    Type("200");
    wxTEST_DIALOG(Key(WXK_RETURN); WaitFor([&] { return window->Grid()->HasFocus(); }, 500),
                  ExpectMessage("High of Pot 1 (control 0): 200 is outside 0..127", wxOK));
    EXPECT_EQ(tpl->history.size(), 1u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tpl->controlAt(i)->onValue, 127) << i;
}

TEST_F(DesktopControlsTableTest, APasteIsCheckedWholeAndCopyGivesTabSeparatedText) {
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    GoTo(window, 1, C::Name);
    // Copy: Name to Number of rows 1 and 2.
    Key(WXK_DOWN, wxMOD_SHIFT);
    for (int c = col(C::Name); c < col(C::Number); ++c) Key(WXK_RIGHT, wxMOD_SHIFT);
    Key('C', wxMOD_CONTROL);
    EXPECT_EQ(ClipboardText(), "QZRes\tCC\t1\t1\n\tCC\t1\t2\n");

    // A block from a spreadsheet with one bad cell: nothing changes.
    const auto before = tpl->save();
    SetClipboardText("3\t40\r\n4\t300\r\n");
    GoTo(window, 4, C::Channel);
    wxTEST_DIALOG(Key('V', wxMOD_CONTROL); WaitFor([] { return false; }, 300),
                  ExpectMessage("Pasted line 2, cell 2 (Number of Pot 6 (control 5)): 300 is outside 0..127", wxOK));
    EXPECT_EQ(tpl->save(), before);
    EXPECT_TRUE(tpl->history.empty());
    // The cursor shows the bad cell.
    EXPECT_EQ(window->Grid()->GetGridCursorRow(), window->Table()->rowOf(5));
    EXPECT_EQ(window->Grid()->GetGridCursorCol(), col(C::Number));

    // Larger than the table from here: refused with a message.
    SetClipboardText("a\nb\nc\n");
    Key(WXK_END, wxMOD_CONTROL);
    for (int c = 0; c < col(C::Action) - col(C::Name); ++c) Key(WXK_LEFT);
    ASSERT_EQ(window->Grid()->GetGridCursorCol(), col(C::Name));
    wxTEST_DIALOG(Key('V', wxMOD_CONTROL); WaitFor([] { return false; }, 300),
                  ExpectMessage(wxString::Format("The pasted block of 3 row(s) and 1 column(s) does not fit: from "
                                                 "row %d, column Name on, the table has 1 row(s) and 10 column(s).",
                                                 tpl->lastIndex() + 1),
                                wxOK));
    EXPECT_TRUE(tpl->history.empty());

    // The good block: one step.
    SetClipboardText("3\t40\r\n4\t41\r\n");
    GoTo(window, 4, C::Channel);
    Key('V', wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return !tpl->history.empty(); }));
    EXPECT_EQ(undoName(*tpl), "Paste 4 cells");
    EXPECT_EQ(tpl->controlAt(4)->midiChannel, 3);
    EXPECT_EQ(tpl->controlAt(5)->lsbNumber, 41);
    EXPECT_EQ(Cell(window, 5, C::Number), "41");
}

TEST_F(DesktopControlsTableTest, SortAndFilter) {
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    wxGrid* grid = window->Grid();
    const int all = tpl->lastIndex() + 1;
    // Ctrl+F goes to the filter box; what is typed filters as it is typed.
    Key('F', wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return window->FilterBox()->HasFocus(); }));
    Type("pedal");
    EXPECT_TRUE(WaitFor([&] { return grid->GetNumberRows() == 2; })) << grid->GetNumberRows();
    EXPECT_EQ(grid->GetCellValue(0, col(C::Place)), "Pedal 1");
    EXPECT_EQ(grid->GetCellValue(1, col(C::Place)), "Pedal 2");
    EXPECT_EQ(window->GetStatusBar()->GetStatusText(1).ToStdString(), "2 of " + std::to_string(all) + " controls");
    window->FilterBox()->SelectAll();
    Type("qz");
    EXPECT_TRUE(WaitFor([&] { return grid->GetNumberRows() == 3; })) << grid->GetNumberRows();
    // Return goes to the grid.
    Key(WXK_RETURN);
    EXPECT_TRUE(WaitFor([&] { return grid->HasFocus(); }));

    // A click on a column title sorts by it, a second one reverses.
    wxHeaderCtrl* header = grid->GetGridColHeader();
    ASSERT_NE(header, nullptr);
    const wxRect cell = grid->CellToRect(0, col(C::Name));
    const wxRect nameTitle(header->ClientToScreen(wxPoint(cell.x, 0)), wxSize(cell.width, header->GetSize().y));
    Click(nameTitle.GetPosition() + nameTitle.GetSize() / 2);
    EXPECT_TRUE(WaitFor([&] { return window->SortChoice()->GetSelection() == col(C::Name); }));
    EXPECT_FALSE(window->DescendingBox()->GetValue());
    const auto names = [&] {
        std::vector<std::string> shown;
        for (int row = 0; row < grid->GetNumberRows(); ++row)
            shown.push_back(grid->GetCellValue(row, col(C::Name)).ToStdString());
        return shown;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"QZCut", "QZRes", "QZVol"}));
    Click(nameTitle.GetPosition() + nameTitle.GetSize() / 2);
    EXPECT_TRUE(WaitFor([&] { return window->DescendingBox()->GetValue(); }));
    EXPECT_EQ(names(), (std::vector<std::string>{"QZVol", "QZRes", "QZCut"}));

    // Without the filter: every control, still by name, the unnamed ones last.
    Key('F', wxMOD_CONTROL);
    Key(WXK_DELETE);
    EXPECT_TRUE(WaitFor([&] { return grid->GetNumberRows() == all; }));
    const std::vector<std::string> sorted = names();
    EXPECT_EQ(sorted.front(), "QZVol");
    for (size_t i = 1; i < sorted.size(); ++i)
        if (!sorted[i].empty()) EXPECT_GE(wxString(sorted[i - 1]).CmpNoCase(sorted[i]), 0) << i;

    // The clashes filter from the keyboard: Tab from the filter box, Space.
    Key(WXK_TAB);
    Key(WXK_SPACE);
    EXPECT_TRUE(WaitFor([&] { return window->ClashesBox()->GetValue(); }));
    EXPECT_LT(grid->GetNumberRows(), all);
    EXPECT_GE(window->Table()->rowOf(0), 0);
    EXPECT_GE(window->Table()->rowOf(16), 0);
    EXPECT_EQ(window->Table()->rowOf(2), -1);
    // Still sorted by name, descending.
    EXPECT_LT(window->Table()->rowOf(16), window->Table()->rowOf(0));
    // The cursor's row tells what it shares and with whom.
    grid->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return grid->HasFocus(); }));
    Key(WXK_HOME, wxMOD_CONTROL);
    for (int row = 0; row < window->Table()->rowOf(16); ++row) Key(WXK_DOWN);
    const std::string status = window->GetStatusBar()->GetStatusText(0).ToStdString();
    EXPECT_NE(status.find("like Pot 1 (control 0)"), std::string::npos) << status;

    // Sorting from the keyboard: the "Sort by" list, after the filter box and "Clashes".
    Key('F', wxMOD_CONTROL);
    Key(WXK_TAB);
    Key(WXK_SPACE);  // all controls again
    EXPECT_TRUE(WaitFor([&] { return grid->GetNumberRows() == all; }));
    Key(WXK_TAB);
    Key(WXK_DOWN);  // from Name to Type
    EXPECT_TRUE(WaitFor([&] { return window->SortChoice()->GetSelection() == col(C::Type); }));
    EXPECT_TRUE(window->DescendingBox()->GetValue());
    const auto types = [&] {
        std::vector<std::string> shown;
        for (int row = 0; row < grid->GetNumberRows(); ++row)
            shown.push_back(grid->GetCellValue(row, col(C::Type)).ToStdString());
        return shown;
    };
    const std::vector<std::string> descending = types();
    Key(WXK_TAB);
    Key(WXK_SPACE);  // ascending
    EXPECT_TRUE(WaitFor([&] { return !window->DescendingBox()->GetValue(); }));
    std::vector<std::string> ascending = types();
    EXPECT_NE(ascending.front(), ascending.back());
    std::reverse(ascending.begin(), ascending.end());
    EXPECT_EQ(ascending, descending);
}

TEST_F(DesktopControlsTableTest, TheSelectionFollowsThePanelBothWays) {
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    // Table to panel: the cursor's row, then a range of rows.
    GoTo(window, 5, C::Name);
    EXPECT_TRUE(WaitFor([&] { return PanelSelection() == std::vector<int>{5}; }));
    Key(WXK_DOWN, wxMOD_SHIFT);
    Key(WXK_DOWN, wxMOD_SHIFT);
    EXPECT_TRUE(WaitFor([&] { return PanelSelection() == std::vector<int>{5, 6, 7}; }));

    // Panel to table: a click on slider 3 on the panel.
    CControlButton* slider = frame->View()->FindButton(18);
    ASSERT_NE(slider, nullptr);
    const wxRect onPanel = frame->View()->ToWindow(slider->GetRect());
    Click(frame->Canvas()->ClientToScreen(onPanel.GetPosition() + onPanel.GetSize() / 2));
    ASSERT_EQ(PanelSelection(), std::vector<int>{18});
    EXPECT_TRUE(WaitFor([&] { return window->SelectedIndices() == std::vector<int>{18}; }));
    EXPECT_EQ(window->Grid()->GetGridCursorRow(), window->Table()->rowOf(18));
    // With the arrow keys on the panel too.
    Key(WXK_RIGHT);
    const std::vector<int> moved = PanelSelection();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_NE(moved.front(), 18);
    EXPECT_TRUE(WaitFor([&] { return window->SelectedIndices() == moved; }));

    // Another template: the table shows it; none: an empty table that says so.
    const wxString second = WriteTemplate("second.syx", [](CEditorTemplate& t) { t.controlAt(0)->setName("SECOND"); });
    EXPECT_NO_DIALOG(frame->Document().openFile(second, true));
    EXPECT_TRUE(WaitFor([&] { return Cell(window, 0, C::Name) == "SECOND"; }));
    EXPECT_EQ(window->GetTitle(), "Controls table - second.syx");
    EXPECT_NO_DIALOG(frame->Document().closeCurrentTemplate());
    EXPECT_TRUE(WaitFor([&] { return Cell(window, 0, C::Name) == "QZCut"; }));
    EXPECT_NO_DIALOG(frame->Document().closeCurrentTemplate());
    ASSERT_EQ(frame->Document().currentTemplate(), nullptr);
    EXPECT_EQ(window->Table(), nullptr);
    EXPECT_EQ(window->Grid()->GetNumberRows(), 0);
    EXPECT_EQ(window->GetStatusBar()->GetStatusText(0), "No template loaded");
    window->Grid()->Refresh();
    Settle();
}

TEST_F(DesktopControlsTableTest, ThePitchBendControlIsEditedFromTheTableAndSaved) {
    const std::string before = FileBytes(path);
    ASSERT_FALSE(before.empty());
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(tpl->controlAt(64)->getControlType(), ControlType::PitchBend);
    // No place on the panel: only the table reaches it.
    EXPECT_EQ(frame->View()->FindButton(64), nullptr);
    GoTo(window, 64, C::Name);
    // Return on the row opens its edit window, as for a control on the panel.
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return frame->EditWindow()->IsShown(); }));
    EXPECT_EQ(frame->EditWindow()->GetControlIndex(), 64);
    Key(WXK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !frame->EditWindow()->IsShown(); }));
    // A double-click on the row does the same.
    wxGrid* grid = window->Grid();
    const wxRect cell = grid->CellToRect(window->Table()->rowOf(64), col(C::Place));
    const wxPoint at = grid->GetGridWindow()->ClientToScreen(grid->CalcScrolledPosition(cell.GetPosition()) +
                                                             cell.GetSize() / 2);
    wxUIActionSimulator sim;
    sim.MouseMove(at);
    Settle();
    sim.MouseDblClick();
    ASSERT_TRUE(WaitFor([&] { return frame->EditWindow()->IsShown(); }));
    EXPECT_EQ(frame->EditWindow()->GetControlIndex(), 64);
    Key(WXK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !frame->EditWindow()->IsShown(); }));
    window->Raise();
    ASSERT_TRUE(WaitFor([&] { return window->IsActive() && window->Grid()->HasFocus(); }));
    ASSERT_EQ(grid->GetGridCursorRow(), window->Table()->rowOf(64));
    ASSERT_EQ(grid->GetGridCursorCol(), col(C::Place));
    Key(WXK_RIGHT);

    // F2 on its channel, a new value, Return; then Ctrl+S from the table.
    for (int c = col(C::Name); c < col(C::Channel); ++c) Key(WXK_RIGHT);
    ASSERT_EQ(grid->GetGridCursorCol(), col(C::Channel));
    Key(WXK_F2);
    ASSERT_TRUE(grid->IsCellEditControlEnabled());
    wxUIActionSimulator().Char('A', wxMOD_CONTROL);
    Type("3");
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return tpl->controlAt(64)->midiChannel == 3; }));
    EXPECT_EQ(undoName(*tpl), "Set Control MIDIChannel / MMC Device");  // the edit window's label
    EXPECT_EQ(Cell(window, 64, C::Channel), "3");
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    Key('S', wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return !tpl->isModified(); }));

    // The file holds exactly the old file with that one change.
    const std::string written = FileBytes(path);
    CTaNGRAQVTemplate expected;
    ASSERT_TRUE(expected.load(ByteSequence(std::vector<uint8_t>(before.begin(), before.end()))));
    expected.controlAt(64)->midiChannel = 3;
    const ByteSequence expectedBytes = expected.save();
    EXPECT_EQ(written, std::string(expectedBytes.vector().begin(), expectedBytes.vector().end()));
    CTaNGRAQVTemplate reopened;
    ASSERT_TRUE(reopened.load(ByteSequence(std::vector<uint8_t>(written.begin(), written.end()))));
    EXPECT_EQ(reopened.controlAt(64)->midiChannel, 3);
    EXPECT_EQ(reopened.controlAt(64)->getControlType(), ControlType::PitchBend);
}

TEST_F(DesktopControlsTableTest, MarkedRowsAndTheLookOfTheTable) {
    // A template that differs in two controls, compared with.
    const wxString other = WriteTemplate("other.syx", [](CEditorTemplate& t) {
        for (int i = 0; i < 16; ++i) {
            t.controlAt(i)->controlType = ControlType::CC;
            t.controlAt(i)->lsbNumber = i;
        }
        t.controlAt(0)->setName("QZCut");
        t.controlAt(1)->setName("QZRes");
        t.controlAt(16)->controlType = ControlType::CC;
        t.controlAt(16)->lsbNumber = 0;
        t.controlAt(16)->setName("QZVol");
        t.controlAt(3)->lsbNumber = 99;
        t.controlAt(8)->midiChannel = 2;
    });
    CControlsTableWindow* window = OpenTable();
    ASSERT_NE(window, nullptr);
    frame->CompareWithFile(other);
    wxGrid* grid = window->Grid();
    const auto background = [&](int index) {
        wxGridCellAttr* attr = grid->GetTable()->GetAttr(window->Table()->rowOf(index), col(C::Name),
                                                         wxGridCellAttr::Any);
        const wxColour colour = attr && attr->HasBackgroundColour() ? attr->GetBackgroundColour() : wxColour();
        if (attr) attr->DecRef();
        return colour;
    };
    const wxColour plain = background(4);
    EXPECT_TRUE(WaitFor([&] { return background(3) != plain; }));
    EXPECT_NE(background(8), plain);
    EXPECT_EQ(background(2), plain);
    // Cells wide enough for their texts, the bar above the grid uncut.
    grid->SetFocus();
    Key(WXK_HOME, wxMOD_CONTROL);
    Key(WXK_DOWN, wxMOD_SHIFT);
    Settle();
    ExpectNoCutText(grid->GetParent(), "controls table");
    for (int row = 0; row < grid->GetNumberRows(); ++row)
        for (int c = 0; c < kTableColumnCount; ++c) {
            const wxString text = grid->GetCellValue(row, c);
            EXPECT_LE(grid->GetTextExtent(text).x + 4, grid->GetColSize(c)) << "cut: " << text.ToStdString();
        }
    const wxImage shot = CaptureScreen(window->GetScreenRect());
    ASSERT_TRUE(shot.IsOk());
    EXPECT_TRUE(shot.SaveFile(ScreenshotFolder() + "/controls_table.png", wxBITMAP_TYPE_PNG));

    // The marks go with the next edit, as on the panel.
    GoTo(window, 2, C::Name);
    Type("X");
    Key(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return tpl->controlAt(2)->getName() == "X"; }));
    EXPECT_TRUE(WaitFor([&] { return background(3) == plain; }));

    // Filtered to the clashes, and sorted.
    Key('F', wxMOD_CONTROL);
    Key(WXK_TAB);
    Key(WXK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return window->ClashesBox()->GetValue(); }));
    Settle();
    const wxImage clashes = CaptureScreen(window->GetScreenRect());
    ASSERT_TRUE(clashes.IsOk());
    EXPECT_TRUE(clashes.SaveFile(ScreenshotFolder() + "/controls_table_clashes.png", wxBITMAP_TYPE_PNG));
}
}  // namespace
