// The bulk dump and OS update dialogs over the real transport: the editor's
// MIDI service on a private JACK server with the simulated unit (started by
// the test fixture), the dialogs under a virtual display.
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "app/BulkDumpDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/UpdateOSDialog.h"
#include "midi/gui/UnitGuiTest.h"
#include "model/BulkDump.h"
#include "model/TemplateFile.h"

namespace {
using Clock = std::chrono::steady_clock;

int receivedCount() { return std::atoi(unit("received").substr(3).c_str()); }

// The simulated unit's log lines for the messages of `size` bytes it received
// after line `from`: when each arrived (ms, UTC) and the JACK frame of its event.
struct Arrival {
    double ms;
    uint32_t frame;
};
std::string simLog() { return std::string(std::getenv("TQV_SIM_STATE")) + "/sim.log"; }
size_t simLogLines() {
    std::ifstream in(simLog());
    size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}
std::vector<Arrival> arrivalsOf(size_t size, size_t from) {
    std::ifstream in(simLog());
    std::vector<Arrival> list;
    size_t n = 0;
    for (std::string line; std::getline(in, line);) {
        if (n++ < from || line.find(" in  " + std::to_string(size) + " bytes") == std::string::npos) continue;
        std::tm tm{};
        double seconds = 0;
        std::istringstream stamp(line.substr(0, line.find('Z')));
        stamp >> std::get_time(&tm, "%Y-%m-%dT%H:%M:") >> seconds;
        const size_t f = line.rfind("(frame ");
        if (stamp.fail() || f == std::string::npos) continue;
        list.push_back({(static_cast<double>(timegm(&tm)) + seconds) * 1000.0,
                        static_cast<uint32_t>(std::stoul(line.substr(f + 7)))});
    }
    return list;
}

class BulkJackTest : public UnitGuiTest {
protected:
    void SetUp() override {
        UnitGuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(unit("normal"), "ok normal mode");
        ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
        runFor(300);  // new JACK connections settle
    }
};

void click(wxDialog* dialog, wxWindow* button) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    dialog->ProcessWindowEvent(event);
}
}  // namespace

TEST_F(BulkJackTest, ReceivesTheUnitsDumpThenSendsItBackUntilCancelled) {
    CBulkDumpDialog d(frame, Services(), Services().transfers);
    d.Show();
    ASSERT_TRUE(d.listen->IsEnabled());
    click(&d, d.listen);
    ASSERT_TRUE(d.IsListening());
    runFor(100);
    const auto asked = Clock::now();
    ASSERT_EQ(unit("send-bulk"), "ok sending bulk dump");  // as fast as the transport goes
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 10000)));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    std::cout << "editor received the unit's 40 templates " << ms << " ms after the unit was told to send\n";
    ASSERT_TRUE(d.Dump().HasContents());
    ASSERT_EQ(d.list->GetItemCount(), 40);
    // The unit's templates are numbered in their names (which set it holds
    // depends on what earlier tests stored): the entries arrive in that order.
    for (int i = 0; i < 40; ++i) {
        const wxString name = d.list->GetItemText(i, 1);
        long number = 0;
        EXPECT_TRUE(name.StartsWith("Unknown - ")) << name;
        EXPECT_TRUE(name.AfterLast(' ').ToLong(&number)) << name;
        EXPECT_EQ(number, i + 1) << name;
    }

    // Send it back; Cancel in the pause after the third template.
    ASSERT_EQ(unit("clear-received"), "ok");
    ASSERT_TRUE(d.upload->IsEnabled());
    click(&d, d.upload);
    ASSERT_TRUE(runUntil([] { return receivedCount() >= 3; }, 5000));
    runFor(150);
    click(&d, d.cancel);
    EXPECT_FALSE(d.IsBusy());
    runFor(800);
    EXPECT_EQ(receivedCount(), 3);
    d.Hide();
}

// The whole dump back to the unit from the dialog, with the editor's own
// timers driving it: 500 ms between templates to the frame, and the span from
// the first to the last arrival at most 1.05 times the 39 pauses.
TEST_F(BulkJackTest, SendsAllFortyTemplatesKeepingThePauseExactly) {
    CBulkDumpDialog d(frame, Services(), Services().transfers);
    d.Show();
    click(&d, d.listen);
    runFor(100);
    ASSERT_EQ(unit("send-bulk"), "ok sending bulk dump");
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 10000)));
    ASSERT_TRUE(d.Dump().HasContents());

    ASSERT_EQ(unit("clear-received"), "ok");
    const size_t logFrom = simLogLines();
    click(&d, d.upload);
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 30000)));
    ASSERT_EQ(unit("wait-received 40 3000"), "ok 40");
    const std::vector<Arrival> arrivals = arrivalsOf(4112, logFrom);
    ASSERT_EQ(arrivals.size(), 40u);
    uint32_t shortest = UINT32_MAX, longest = 0;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        const uint32_t gap = arrivals[i].frame - arrivals[i - 1].frame;
        shortest = std::min(shortest, gap);
        longest = std::max(longest, gap);
    }
    // Time at the unit is JACK's frame count (48 frames a millisecond): the
    // test server waits for every client each cycle, so on a busy machine its
    // clock may run behind the wall clock, but never ahead.
    const double span = (arrivals.back().frame - arrivals.front().frame) / 48.0;
    std::cout << "editor bulk send: first to last template at the unit " << span << " ms against 19500 ms (ratio "
              << span / 19500.0 << "); gaps " << shortest << " to " << longest << " frames; "
              << arrivals.back().ms - arrivals.front().ms << " ms on JACK's clock\n";
    EXPECT_GE(shortest, 24000u) << "a pause shorter than 500 ms at 48 kHz";
    EXPECT_LE(span / 19500.0, 1.05);
    d.Hide();
}

// With "ReleaseDriver" the ports are closed while another program is active;
// the click that brings the editor back can come before they are opened
// again. Listen and Upload then open them first: the unit is heard and gets
// the templates, and nobody is told that the device is gone.
TEST_F(BulkJackTest, ListenAndUploadClickedWhileThePortsAreReleasedOpenThemFirst) {
    ASSERT_NO_FATAL_FAILURE(restartReleasingPorts());
    CBulkDumpDialog d(frame, Services(), Services().transfers);
    d.Show();
    ASSERT_NO_FATAL_FAILURE(releasePorts());
    EXPECT_NO_DIALOG(click(&d, d.listen));
    ASSERT_TRUE(d.IsListening());
    runFor(300);  // a new JACK connection settles
    ASSERT_EQ(unit("send-bulk"), "ok sending bulk dump");
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 10000)));
    ASSERT_TRUE(d.Dump().HasContents());

    ASSERT_NO_FATAL_FAILURE(releasePorts());
    ASSERT_EQ(unit("clear-received"), "ok");
    EXPECT_NO_DIALOG(click(&d, d.upload));
    EXPECT_TRUE(d.IsSending());
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([] { return receivedCount() >= 2; }, 5000)));
    click(&d, d.cancel);
    EXPECT_FALSE(EditorApp().Messages().DeviceLostReported());
    EXPECT_TRUE(d.upload->IsEnabled());
    d.Hide();
}

TEST_F(BulkJackTest, LearnsTheUnitsOSAndUpdatesIt) {
    const wxString image = Path("os.syx");
    {
        ByteSequence all;
        for (uint8_t marker : {0x7F, 0x7E, 0x7D}) {
            std::vector<uint8_t> m(64, 0x22);
            m.front() = 0xF0;
            m.back() = 0xF7;
            m[7] = marker;
            m[9] = 0x0A;  // 1.2.05
            m[10] = 5;
            for (uint8_t b : m) all.appendRaw(b);
        }
        ASSERT_TRUE(writeBytesToFile(std::string(image.utf8_str()), all, false));
    }
    CUpdateOSDialog d(frame, Services(), Services().transfers);
    d.Show();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    ASSERT_TRUE(runUntil([&] { return d.VersionEstablished(); }, 5000));
    EXPECT_EQ(d.currentVersion->GetValue(), "1.0.10");
    ASSERT_TRUE(d.LoadImage(image));
    ASSERT_EQ(unit("os-receive"), "ok waiting for an OS image");
    const size_t logFrom = simLogLines();
    wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>([](CConfirmOSUpdateDialog*) {
                      return CConfirmOSUpdateDialog::kConfirmed;
                  }));
    wxTEST_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 5000)),
                  ExpectMessage("OS update completed!\n\nPlease click \"OK\" and exit the program before switching the "
                                "hardware back on.",
                                wxOK));
    ASSERT_TRUE(runUntil([] { return unit("status").find("os=1.2.05") != std::string::npos; }, 3000));
    // 100 ms after each message, to the frame (4800 at 48 kHz), however the
    // editor's timers fall: no pause shorter than the unit needs, none longer.
    const std::vector<Arrival> arrivals = arrivalsOf(64, logFrom);
    ASSERT_EQ(arrivals.size(), 3u);
    for (size_t i = 1; i < arrivals.size(); ++i) {
        EXPECT_EQ(arrivals[i].frame - arrivals[i - 1].frame, 4800u) << "message " << i + 1;
    }
    std::cout << "editor OS update: messages " << arrivals[1].ms - arrivals[0].ms << " and "
              << arrivals[2].ms - arrivals[1].ms << " ms apart at the unit\n";
    d.Hide();
}

// The unit goes away half way through its dump: the templates that arrived
// stay, the dialog says how many, and the device-lost message names the port.
TEST_F(BulkJackTest, AUnitUnpluggedDuringAReceiveLeavesWhatArrived) {
    SpareUnit lostUnit("Bulk Lost Unit");
    ASSERT_TRUE(lostUnit.start());
    MidiService& midi = EditorApp().Midi();
    ASSERT_TRUE(runUntil(
        [&] {
            midi.Rescan();
            return midi.FindInput("Bulk Lost Unit") >= 0;
        },
        5000));
    ASSERT_TRUE(midi.SelectInputByName("Bulk Lost Unit")) << midi.LastError();
    ASSERT_TRUE(midi.SelectOutputByName("Bulk Lost Unit")) << midi.LastError();
    const std::string inputName = midi.InputName();
    runFor(300);  // new JACK connections settle
    CBulkDumpDialog d(frame, Services(), Services().transfers);
    d.Show();
    click(&d, d.listen);
    ASSERT_EQ(lostUnit.tell("send-bulk 100"), "ok sending bulk dump");
    ASSERT_TRUE(runUntil([&] { return d.Counter() >= 3; }, 5000));
    lostUnit.stop();
    int kept = -1;
    std::string lostText;
    wxTEST_DIALOG(runUntil([&] { return !d.IsBusy() && EditorApp().Messages().DeviceLostReported(); }, 8000),
                  ExpectDialog<wxMessageDialog>([&](wxMessageDialog* box) {
                      const std::string text = box->GetMessage().ToStdString();
                      const std::string head = "The MIDI input went away during the bulk dump.\n\nThe ";
                      EXPECT_EQ(text.rfind(head, 0), 0u) << text;
                      kept = std::atoi(text.substr(head.size()).c_str());
                      return wxID_OK;
                  }),
                  ExpectDialog<wxMessageDialog>([&](wxMessageDialog* box) {
                      lostText = box->GetMessage().ToStdString();
                      return wxID_NO;
                  }));
    EXPECT_GE(kept, 3);
    EXPECT_LT(kept, 40);
    EXPECT_NE(lostText.find("\"" + inputName + "\""), std::string::npos) << lostText;
    EXPECT_TRUE(d.Dump().HasContents());
    EXPECT_EQ(d.list->GetItemCount(), 40);
    EXPECT_TRUE(d.save->IsEnabled());
    d.Hide();
}
