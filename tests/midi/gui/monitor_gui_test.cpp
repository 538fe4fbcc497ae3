// The MIDI monitor window on the real transport: the simulated unit on a
// private JACK server sends, the editor's window lists what arrives.
#include <wx/menu.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>

#include "midi/gui/UnitGuiTest.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/MidiMonitorWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

class MonitorJackTest : public UnitGuiTest {
protected:
    void SetUp() override {
        UnitGuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        wxCommandEvent open(wxEVT_MENU, MenuId::MidiMonitor);
        frame->ProcessWindowEvent(open);
        monitor = dynamic_cast<CMidiMonitorWindow*>(frame->Device().MidiMonitorWindow());
        ASSERT_NE(monitor, nullptr);
        WaitUntilMapped(monitor);
        runFor(200);  // a new JACK connection settles
    }
    void TearDown() override {
        if (!frame) return;
        unit("stream 0 0");
        UnitGuiTest::TearDown();
    }
    long rows() const { return monitor->List()->GetItemCount(); }
    wxString cell(long row, int column) const { return monitor->List()->GetItemText(row, column); }

    CMidiMonitorWindow* monitor = nullptr;
};

TEST_F(MonitorJackTest, ListsWhatTheUnitSendsWhileAListenTakesItsDump) {
    const char* sent[] = {"90 3C 64", "B0 07 64", "F8", "C0 05", "E0 00 50", "F0 7E 7F 06 01 F7", "A0 3C 20",
                          "80 3C 00", "B1 4A 20"};
    for (const char* hex : sent) {
        ASSERT_EQ(unit(std::string("send-hex ") + hex).rfind("ok", 0), 0u) << hex;
        runFor(30);
    }
    const int before = frame->Document().templateCount();
    frame->Device().ListenCommand();
    ASSERT_TRUE(EditorApp().Midi().IsListening());
    runFor(200);
    ASSERT_EQ(unit("send 6"), "ok sending location 6");
    // The listen gets its template as if the monitor were not there.
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return frame->Document().templateCount() == before + 1; })));
    ASSERT_EQ(unit("send-hex 91 40 7F"), "ok sending 3 byte(s)");
    ASSERT_TRUE(runUntil([&] { return rows() == 10; })) << rows() << " rows";

    struct Row {
        const char* kind;
        const char* channel;
        const char* data;
    };
    const Row expected[] = {
        {"Note On", "1", "Note 60, Velocity 100"},
        {"Control Change", "1", "Controller 7, Value 100"},
        {"Program Change", "1", "Program 5"},
        {"Pitch Bend", "1", "Value 10240 (+2048)"},
        {"SysEx", "", "F0 7E 7F 06 01 F7 (6 bytes)"},
        {"Poly Aftertouch", "1", "Note 60, Pressure 32"},
        {"Note Off", "1", "Note 60, Velocity 0"},
        {"Control Change", "2", "Controller 74, Value 32"},
        {"SysEx", "", "F0 00 20 29 02 11 ... F7 (4112 bytes)"},
        {"Note On", "2", "Note 64, Velocity 127"},
    };
    for (long r = 0; r < 10; ++r) {
        EXPECT_EQ(cell(r, 1), expected[r].kind) << r;
        EXPECT_EQ(cell(r, 2), expected[r].channel) << r;
        if (r == 8) {
            EXPECT_TRUE(cell(r, 3).StartsWith("F0 00 20 29")) << cell(r, 3);
            EXPECT_TRUE(cell(r, 3).EndsWith(" ... F7 (4112 bytes)")) << cell(r, 3);
        } else {
            EXPECT_EQ(cell(r, 3), expected[r].data) << r;
        }
    }
    EXPECT_EQ(monitor->Log().hidden(), 1u);  // the clock

    monitor->SetSize(40, 40, 820, 420);
    monitor->List()->SetItemState(8, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    monitor->Raise();
    runFor(400);
    const wxImage image = CaptureScreen(monitor->GetScreenRect());
    ASSERT_TRUE(image.IsOk());
    EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/midi_monitor.png", wxBITMAP_TYPE_PNG));
}

// Ticks of a short timer on the GUI thread: the longest gap between two is
// how long the editor could not answer the user.
class TickProbe : public wxTimer {
public:
    void Notify() override {
        const auto now = Clock::now();
        if (ticks > 0) maxGap = std::max(maxGap, now - last);
        last = now;
        ++ticks;
    }
    void restart() {
        Stop();
        ticks = 0;
        maxGap = Clock::duration::zero();
        Start(10);
    }
    double maxGapMs() const { return std::chrono::duration<double, std::milli>(maxGap).count(); }
    long ticks = 0;
    Clock::time_point last;
    Clock::duration maxGap{};
};

TEST_F(MonitorJackTest, TenThousandMessagesASecondKeepTheEditorResponsive) {
    constexpr long kCount = 50000, kRate = 10000;
    const std::string stream = "stream " + std::to_string(kCount) + " " + std::to_string(kRate);
    TickProbe probe;
    probe.restart();
    runFor(2000);
    const double quietGap = probe.maxGapMs();

    // The same stream with the monitor closed, then open.
    monitor->Close();
    Pump();
    ASSERT_EQ(frame->Device().MidiMonitorWindow(), nullptr);
    probe.restart();
    ASSERT_EQ(unit(stream), "ok streaming 50000 messages at 10000 a second");
    runUntil([&] { return unit("status").find("streamed=50000") != std::string::npos; }, 9000);
    runFor(300);
    const double closedGap = probe.maxGapMs();

    wxCommandEvent open(wxEVT_MENU, MenuId::MidiMonitor);
    frame->ProcessWindowEvent(open);
    monitor = dynamic_cast<CMidiMonitorWindow*>(frame->Device().MidiMonitorWindow());
    ASSERT_NE(monitor, nullptr);
    WaitUntilMapped(monitor);
    const auto dropsBefore = EditorApp().Midi().MonitorDroppedCount();
    probe.restart();
    const auto start = Clock::now();
    ASSERT_EQ(unit(stream), "ok streaming 50000 messages at 10000 a second");
    runUntil([&] { return monitor->Log().received() >= static_cast<uint64_t>(kCount); }, 9000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    runFor(300);
    const double openGap = probe.maxGapMs();
    const uint64_t received = monitor->Log().received();
    const size_t lost = EditorApp().Midi().MonitorDroppedCount() - dropsBefore;
    std::printf("a stream of %ld messages at %ld/s, monitor open: %llu counted (%zu lost by the tap) in %.2f s, "
                "%ld list updates, %zu lines kept\n",
                kCount, kRate, static_cast<unsigned long long>(received), lost, seconds, monitor->ListUpdates(),
                monitor->Log().size());
    std::printf("longest gap between 10 ms timer ticks on the GUI thread: %.1f ms with the monitor open, %.1f ms "
                "with it closed, %.1f ms without a stream\n",
                openGap, closedGap, quietGap);
    const std::string status = unit("status");
    EXPECT_NE(status.find("streamed=50000"), std::string::npos) << status;
    EXPECT_GE(received, static_cast<uint64_t>(kCount * 99 / 100));
    EXPECT_EQ(monitor->Log().size(), MidiMonitorLog::kDefaultCapacity);
    EXPECT_LT(openGap, 250.0);
    // The list followed a few times a second, not once per message.
    EXPECT_LT(monitor->ListUpdates(), 100);
    EXPECT_TRUE(monitor->List()->IsVisible(rows() - 1));
}

}  // namespace
