// The MIDI monitor window driven for real under a virtual display, with the
// messages handed to it as the MIDI poll would hand them.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>
#include <wx/uiaction.h>

#include <chrono>
#include <regex>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/MidiMonitorWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class MidiMonitorTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        wxCommandEvent open(wxEVT_MENU, MenuId::MidiMonitor);
        frame->ProcessWindowEvent(open);
        monitor = dynamic_cast<CMidiMonitorWindow*>(frame->MidiMonitorWindow());
        ASSERT_NE(monitor, nullptr);
        WaitUntilMapped(monitor);
    }
    void feed(const MidiBytes& bytes) { monitor->OnMonitoredMessage(MonitorEvent::make(nowUs(), bytes.data(), bytes.size())); }
    // Lets the window's timer bring the list up to the log.
    void settle() {
        const auto until = Clock::now() + std::chrono::milliseconds(2000);
        while (!monitor->ListUpToDate() && Clock::now() < until) {
            Pump(1);
            wxMilliSleep(5);
        }
        Pump();
    }
    void runFor(int ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            Pump(1);
            wxMilliSleep(5);
        }
    }
    wxString cell(long row, int column) const { return monitor->List()->GetItemText(row, column); }
    long rows() const { return monitor->List()->GetItemCount(); }
    void click(wxCheckBox* box, bool on) {
        box->SetValue(on);
        wxCommandEvent e(wxEVT_CHECKBOX, box->GetId());
        e.SetEventObject(box);
        e.SetInt(on);
        box->ProcessWindowEvent(e);
    }
    void togglePause(bool on) {
        monitor->PauseButton()->SetValue(on);
        wxCommandEvent e(wxEVT_TOGGLEBUTTON, monitor->PauseButton()->GetId());
        e.SetEventObject(monitor->PauseButton());
        e.SetInt(on);
        monitor->PauseButton()->ProcessWindowEvent(e);
    }
    void press(wxButton* button) {
        wxCommandEvent e(wxEVT_BUTTON, button->GetId());
        e.SetEventObject(button);
        button->ProcessWindowEvent(e);
    }
    void select(std::initializer_list<long> list) {
        for (long r = 0; r < rows(); ++r) monitor->List()->SetItemState(r, 0, wxLIST_STATE_SELECTED);
        for (long r : list) monitor->List()->SetItemState(r, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    bool following() const {
        return monitor->List()->GetTopItem() + monitor->List()->GetCountPerPage() >= rows();
    }
    static wxString clipboardText() {
        wxClipboardLocker locker;
        if (!locker) return "<no clipboard>";
        wxTextDataObject data;
        if (!wxTheClipboard->GetData(data)) return "<no text>";
        return data.GetText();
    }

    CMidiMonitorWindow* monitor = nullptr;
};

TEST_F(MidiMonitorTest, OpensOnceFromTheDeviceMenuWithItsColumns) {
    wxMenuItem* item = frame->GetMenuBar()->FindItem(MenuId::MidiMonitor);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetItemLabelText(), "MIDI Monitor");
    int menuIndex = frame->GetMenuBar()->FindMenu("Device");
    ASSERT_NE(menuIndex, wxNOT_FOUND);
    EXPECT_NE(frame->GetMenuBar()->GetMenu(static_cast<size_t>(menuIndex))->FindItem(MenuId::MidiMonitor), nullptr);

    EXPECT_EQ(monitor->GetTitle(), "MIDI Monitor");
    EXPECT_TRUE(monitor->IsShown());
    EXPECT_TRUE(monitor->List()->HasFlag(wxLC_VIRTUAL));
    const char* columns[] = {"Time", "Kind", "Channel", "Data"};
    ASSERT_EQ(monitor->List()->GetColumnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT);
        monitor->List()->GetColumn(c, column);
        EXPECT_EQ(column.GetText(), columns[c]);
    }
    // The editor stays usable beside it.
    EXPECT_TRUE(frame->IsEnabled());

    // Again from the menu: the same window.
    wxCommandEvent again(wxEVT_MENU, MenuId::MidiMonitor);
    frame->ProcessWindowEvent(again);
    EXPECT_EQ(frame->MidiMonitorWindow(), monitor);

    // Closed, it stops listening to the service and a new one opens next time.
    MidiService& midi = EditorApp().Midi();
    monitor->Close();
    Pump();
    EXPECT_EQ(frame->MidiMonitorWindow(), nullptr);
    EXPECT_FALSE(midi.RemoveMonitor(monitor));
    frame->ProcessWindowEvent(again);
    monitor = dynamic_cast<CMidiMonitorWindow*>(frame->MidiMonitorWindow());
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(midi.RemoveMonitor(monitor));  // it registered itself
    midi.AddMonitor(monitor);
}

TEST_F(MidiMonitorTest, MessagesAppearOnTheTimerWithTheirTexts) {
    feed({0x90, 60, 100});
    feed({0xB3, 74, 127});
    feed({0xF8});  // clock: hidden by default
    feed({0xE0, 0x00, 0x40});
    MidiBytes dump(4112, 0x01);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    feed(dump);
    // Nothing is drawn per message: the list follows on the timer.
    EXPECT_EQ(rows(), 0);
    settle();
    ASSERT_EQ(rows(), 4);
    struct Row {
        const char* kind;
        const char* channel;
        const char* data;
    };
    const Row expected[] = {
        {"Note On", "1", "Note 60, Velocity 100"},
        {"Control Change", "4", "Controller 74, Value 127"},
        {"Pitch Bend", "1", "Value 8192 (+0)"},
        {"SysEx", "", "F0 01 01 01 01 01 01 01 01 01 01 01 ... F7 (4112 bytes)"},
    };
    const std::regex time("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}");
    for (long r = 0; r < 4; ++r) {
        EXPECT_TRUE(std::regex_match(cell(r, 0).ToStdString(), time)) << cell(r, 0);
        EXPECT_EQ(cell(r, 1), expected[r].kind);
        EXPECT_EQ(cell(r, 2), expected[r].channel);
        EXPECT_EQ(cell(r, 3), expected[r].data);
    }
    EXPECT_EQ(monitor->StatusLine()->GetLabel(), "4 lines, 5 received, 1 hidden");
}

TEST_F(MidiMonitorTest, EveryColumnShowsItsTextsWhole) {
    // The widest of each kind: the longest kind names, channel 16, a SysEx
    // message kept whole and a long one folded.
    feed({0xDF, 127});
    feed({0xAF, 127, 127});
    feed({0xBF, 127, 127});
    MidiBytes whole(MonitorEvent::kKept, 0x7F);
    whole.front() = 0xF0;
    whole.back() = 0xF7;
    feed(whole);
    MidiBytes dump(4112, 0x7F);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    feed(dump);
    settle();
    ASSERT_EQ(rows(), 5);
    wxListCtrl* list = monitor->List();
    for (int c = 0; c < list->GetColumnCount(); ++c) {
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT);
        list->GetColumn(c, column);
        // A cell's text needs its width plus the cell's margins.
        const int margins = 8;
        EXPECT_GE(list->GetColumnWidth(c), list->GetTextExtent(column.GetText()).x + margins) << column.GetText();
        for (long r = 0; r < rows(); ++r)
            EXPECT_GE(list->GetColumnWidth(c), list->GetTextExtent(cell(r, c)).x + margins)
                << "column " << column.GetText() << ": " << cell(r, c);
    }
}

TEST_F(MidiMonitorTest, TheFilterHidesClockAndActiveSensingByDefault) {
    for (const auto& choice : CMidiMonitorWindow::FilterChoices()) {
        const bool streaming = choice.group == MonitorGroup::Clock || choice.group == MonitorGroup::ActiveSensing;
        EXPECT_EQ(monitor->FilterBox(choice.group)->GetValue(), !streaming) << choice.label;
    }
    feed({0xF8});
    feed({0xFE});
    feed({0x90, 1, 1});
    settle();
    ASSERT_EQ(rows(), 1);

    click(monitor->FilterBox(MonitorGroup::Clock), true);
    feed({0xF8});
    feed({0xFE});
    settle();
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(cell(1, 1), "Clock");

    click(monitor->FilterBox(MonitorGroup::Notes), false);
    settle();
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 1), "Clock");
    EXPECT_EQ(monitor->Log().shown(), (MonitorGroup::Default & ~MonitorGroup::Notes) | MonitorGroup::Clock);
}

TEST_F(MidiMonitorTest, PauseHoldsTheListAndResumeShowsWhatCameMeanwhile) {
    feed({0x90, 1, 1});
    settle();
    ASSERT_EQ(rows(), 1);
    togglePause(true);
    EXPECT_TRUE(monitor->Log().paused());
    for (int i = 0; i < 3; ++i) feed({0xB0, 7, static_cast<uint8_t>(i)});
    runFor(3 * CMidiMonitorWindow::kRefreshMs);
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(monitor->StatusLine()->GetLabel(), "1 lines, 4 received, 0 hidden - paused, 3 waiting");

    togglePause(false);
    settle();
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(cell(3, 3), "Controller 7, Value 2");

    press(monitor->ClearButton());
    Pump();
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(monitor->StatusLine()->GetLabel(), "0 lines, 0 received, 0 hidden");
}

TEST_F(MidiMonitorTest, CtrlCCopiesTheSelectedLines) {
    feed({0x90, 60, 100});
    feed({0xB0, 7, 64});
    feed({0xC2, 5});
    settle();
    ASSERT_EQ(rows(), 3);
    select({0, 2});
    {
        wxClipboardLocker locker;
        ASSERT_TRUE(!!locker);
        wxTheClipboard->SetData(new wxTextDataObject("before"));
    }
    monitor->Raise();
    monitor->List()->SetFocus();
    runFor(100);
    wxUIActionSimulator keys;
    keys.Char('c', wxMOD_CONTROL);
    wxString text;
    for (int i = 0; i < 100; ++i) {
        runFor(10);
        text = clipboardText();
        if (text != "before") break;
    }
    const wxString expected = cell(0, 0) + "\tNote On\t1\tNote 60, Velocity 100\n" + cell(2, 0) +
                              "\tProgram Change\t3\tProgram 5\n";
    EXPECT_EQ(text, expected);

    // The Copy button does the same; nothing selected leaves the clipboard alone.
    select({1});
    press(monitor->CopyButton());
    EXPECT_EQ(clipboardText(), cell(1, 0) + "\tControl Change\t1\tController 7, Value 64\n");
    select({});
    EXPECT_FALSE(monitor->CopySelection());
    EXPECT_EQ(clipboardText(), cell(1, 0) + "\tControl Change\t1\tController 7, Value 64\n");
}

TEST_F(MidiMonitorTest, FollowsTheNewestUnlessScrolledUpAndKeepsTheSelectionOnItsMessage) {
    for (int i = 0; i < 500; ++i) feed({0xB0, 1, static_cast<uint8_t>(i & 0x7F)});
    settle();
    ASSERT_EQ(rows(), 500);
    EXPECT_TRUE(following());
    EXPECT_TRUE(monitor->List()->IsVisible(499));

    // The user scrolls up to read: new lines do not pull the list down.
    monitor->List()->EnsureVisible(0);
    Pump();
    for (int i = 0; i < 100; ++i) feed({0x90, 1, 1});
    settle();
    ASSERT_EQ(rows(), 600);
    EXPECT_EQ(monitor->List()->GetTopItem(), 0);

    // At the bound the oldest lines go; the selection stays on its message.
    for (size_t i = 600; i < MidiMonitorLog::kDefaultCapacity; ++i) feed({0x80, 2, 2});
    settle();
    ASSERT_EQ(rows(), static_cast<long>(MidiMonitorLog::kDefaultCapacity));
    monitor->List()->EnsureVisible(40);
    select({50});
    const wxString selectedTime = cell(50, 0);
    const wxString selectedData = cell(50, 3);
    for (int i = 0; i < 10; ++i) feed({0xE0, 0, 0x40});
    settle();
    EXPECT_EQ(rows(), static_cast<long>(MidiMonitorLog::kDefaultCapacity));
    EXPECT_EQ(monitor->List()->SelectedRows(), std::vector<size_t>{40});
    EXPECT_EQ(cell(40, 3), selectedData);
    EXPECT_EQ(cell(40, 0), selectedTime);
    EXPECT_FALSE(following());

    // Back at the bottom it follows again.
    monitor->List()->EnsureVisible(rows() - 1);
    Pump();
    feed({0xD0, 3});
    settle();
    EXPECT_TRUE(monitor->List()->IsVisible(rows() - 1));
    EXPECT_EQ(cell(rows() - 1, 1), "Channel Aftertouch");
}

}  // namespace
