// The editor's MIDI side driven for real: the simulated unit on a private
// JACK server (started by the test fixture), the editor's own windows under a
// virtual display.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/choice.h>
#include <wx/statusbr.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "gui/GuiTestSupport.h"
#include "midi/SimControl.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/MidiDialogs.h"
#include "app/Settings.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"
#include "model/TemplateFile.h"

namespace {

using Clock = std::chrono::steady_clock;

MidiBytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return MidiBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string state() { return std::getenv("TQV_SIM_STATE") ? std::getenv("TQV_SIM_STATE") : ""; }

const char* const kInvalidDump =
    "The dump received was not a valid template.\n\nEither the dump came from another device, was corrupted, or you "
    "started listening in the middle of the dump.";
const char* const kInputLost =
    "The input MIDI device is no longer accessible!\n\nPlease ensure the device is turned on and plugged in correctly, "
    "then restart the editor";

class MidiGuiTest : public GuiTest {
protected:
    void SetUp() override {
        if (std::getenv("TQV_SIM_CONTROL") == nullptr) GTEST_SKIP() << "runs under the JACK test fixture";
        GuiTest::SetUp();
        ASSERT_EQ(unit("clear-received"), "ok");
        ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
        EditorApp().deviceLostReported = false;
        MidiService& midi = EditorApp().Midi();
        midi.Shutdown();
        ASSERT_TRUE(midi.Start(false));
        EXPECT_NO_DIALOG(EditorApp().ChooseMidiPorts());
        ASSERT_TRUE(midi.IsInputOpen()) << midi.LastError();
        ASSERT_TRUE(midi.IsOutputOpen()) << midi.LastError();
        frame->updateDeviceMenu();
        EditorApp().WakeIdle();
    }
    void TearDown() override {
        if (!frame) return;
        EditorApp().Midi().StopListening();
        GuiTest::TearDown();
    }
    // Lets the editor run (its idle passes poll the ports) until `done`.
    template <typename F>
    bool runUntil(F done, int limitMs = 5000) {
        const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
        while (!done()) {
            if (Clock::now() > until) return false;
            Pump(1);
            wxMilliSleep(1);
        }
        return true;
    }
    void runFor(int ms) {
        runUntil([] { return false; }, ms);
    }
    void listen() {
        frame->ListenCommand();
        ASSERT_TRUE(EditorApp().Midi().IsListening());
        // The user presses the unit's button a moment after clicking.
        runFor(200);
    }
    wxString field(int i) const { return frame->GetStatusBar()->GetStatusText(i); }
};

TEST_F(MidiGuiTest, DeviceSelectionListsTheUnitAndRemembersTheChoice) {
    CSelectMIDIDevices dialog(frame);
    ASSERT_NE(dialog.input, nullptr);
    ASSERT_NE(dialog.output, nullptr);
    EXPECT_EQ(dialog.GetTitle(), "Select MIDI devices");
    EXPECT_EQ(dialog.input->GetStringSelection(), "TaNGRA QV MIDI:out: Port 1");
    EXPECT_EQ(dialog.output->GetStringSelection(), "TaNGRA QV MIDI:in: Port 1");
    for (unsigned i = 0; i < dialog.input->GetCount(); ++i)
        EXPECT_FALSE(dialog.input->GetString(i).StartsWith("tqv-editor")) << "own port listed";
    dialog.Move(40, 40);
    dialog.Show();
    WaitUntilMapped(&dialog);
    const wxImage image = CaptureScreen(dialog.GetScreenRect());
    ASSERT_TRUE(image.IsOk());
    EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/select_midi_devices.png", wxBITMAP_TYPE_PNG));
    dialog.Hide();

    EXPECT_TRUE(Settings().inputDevice.empty());
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    // OK of a modeless dialog: select and remember, then end.
    EXPECT_NO_DIALOG(dialog.ProcessWindowEvent(ok));
    EXPECT_EQ(Settings().inputDevice, "TaNGRA QV MIDI:out: Port 1");
    EXPECT_EQ(Settings().outputDevice, "TaNGRA QV MIDI:in: Port 1");

    // The Device menu command shows the same dialog modally, listening stopped.
    frame->ListenCommand();
    wxTEST_DIALOG(frame->SelectMidiDeviceCommand(), ExpectDialog<CSelectMIDIDevices>([](CSelectMIDIDevices* d) {
                      EXPECT_EQ(d->input->GetCount(), 1u);
                      return wxID_CANCEL;
                  }));
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(MenuId::Listen));
}

TEST_F(MidiGuiTest, AReceivedTemplateOpensAsTheCurrentOneQuickly) {
    const int before = frame->templateCount();
    listen();
    EXPECT_EQ(field(0), "Listening for template dump from device: TaNGRA QV MIDI:out: Port 1");
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(MenuId::Listen));
    EXPECT_TRUE(frame->View()->GetListenButton().on);
    ASSERT_EQ(unit("send 6"), "ok sending location 6");
    Clock::time_point openedAt;
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] {
        if (frame->templateCount() == before + 1) {
            openedAt = Clock::now();
            return true;
        }
        return false;
    })));
    const auto lastByte = EditorApp().Midi().InputPort()->LastSysExAt();
    const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(openedAt - lastByte).count() / 1000.0;
    std::cout << "last byte of the dump -> template open in the editor: " << ms << " ms\n";
    EXPECT_LT(ms, 100.0);

    ASSERT_NE(frame->currentTemplate(), nullptr);
    EXPECT_EQ(frame->currentIndex(), 0);
    EXPECT_EQ(frame->currentTemplate()->displayName(), "Unknown - Template 7");
    unit("save-sent " + state() + "/gui-sent.syx");
    EXPECT_EQ(frame->currentTemplate()->save().vector(), readFile(state() + "/gui-sent.syx"));
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(MenuId::Listen));
    EXPECT_FALSE(frame->View()->GetListenButton().on);

    frame->Move(0, 0);
    frame->Raise();
    frame->requestRepaint();
    runFor(300);
    const wxImage image = CaptureScreen(frame->GetScreenRect());
    ASSERT_TRUE(image.IsOk());
    EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/received_template.png", wxBITMAP_TYPE_PNG));
}

TEST_F(MidiGuiTest, UploadSendsTheCurrentTemplateAsASingleTemplate) {
    const wxString path = WriteTemplate("bulk-entry.syx", [](CEditorTemplate& t) {
        t.header().bytes[7] = 1;  // came from a bulk dump
        t.header().bytes[12] = 11;
    }, "Upload Me");
    EXPECT_NO_DIALOG(frame->openFile(path, true));
    ASSERT_NE(frame->currentTemplate(), nullptr);
    ASSERT_TRUE(MenuEnabled(MenuId::Upload));
    listen();
    EXPECT_NO_DIALOG(frame->UploadCommand());
    EXPECT_FALSE(EditorApp().Midi().IsListening());  // sending ends the listen silently
    EXPECT_EQ(field(0), "Sending template to device: TaNGRA QV MIDI:in: Port 1");
    EXPECT_TRUE(frame->View()->GetSendButton().on);
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !EditorApp().Midi().IsSending(); })));
    EXPECT_EQ(field(0), "Template dump completed");
    EXPECT_FALSE(frame->View()->GetSendButton().on);
    ASSERT_EQ(unit("wait-received 1 3000"), "ok 1");
    MidiBytes expected = frame->currentTemplate()->save().vector();
    EXPECT_EQ(expected[7], 0);
    EXPECT_EQ(readFile(state() + "/unit/template-11.syx"), expected);
}

TEST_F(MidiGuiTest, AForeignDumpIsConvertedWithItsNote) {
    // A 2832-byte dump of the family's first device.
    MidiBytes d(2832, 0);
    const uint8_t head[] = {0xF0, 0, 0x20, 0x29, 2, 0, 0x7F};
    std::copy(std::begin(head), std::end(head), d.begin());
    auto text = [&](size_t at, const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) d[at + i] = i < s.size() ? static_cast<uint8_t>(s[i]) : ' ';
    };
    text(13, "Studio A", 16);
    text(38, "Quorvane", 13);
    d[126] = 1;
    for (size_t k = 0; k < 61; ++k) text(145 + k * 44, "", 16);
    d.back() = 0xF7;
    const std::string file = state() + "/gui-sibling.syx";
    ASSERT_TRUE(writeBytesToFile(file, ByteSequence(d), false));
    const int before = frame->templateCount();
    listen();
    ASSERT_EQ(unit("send-file " + file), "ok sending 1 message(s)");
    wxTEST_DIALOG(runUntil([&] { return frame->templateCount() == before + 1; }),
                  ExpectMessage("This template has been recieved from a TaNGRA.\n\nIt has been converted to a TaNGRA "
                                "LuMI QV template, which will not load back onto the TaNGRA.\n\nYou can find all of "
                                "the controls from the original template by right-clicking on a control and choosing "
                                "\"Imported Controls\".",
                                wxOK));
    ASSERT_EQ(frame->templateCount(), before + 1);
    EXPECT_EQ(frame->currentTemplate()->displayName(), "Quorvane - Studio A");
}

TEST_F(MidiGuiTest, GarbageFromTheUnitIsAnInvalidDump) {
    const int before = frame->templateCount();
    listen();
    ASSERT_EQ(unit("send-hex F0 00 20 29 02 11 22 F7"), "ok sending 8 byte(s)");
    wxTEST_DIALOG(runUntil([&] { return !EditorApp().Midi().IsListening(); }), ExpectMessage(kInvalidDump, wxOK));
    EXPECT_EQ(frame->templateCount(), before);
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(MenuId::Listen));
}

TEST_F(MidiGuiTest, ListenToggledOffDropsADump) {
    const int before = frame->templateCount();
    listen();
    frame->ListenCommand();  // Ctrl+L again
    EXPECT_EQ(field(0), "Stopped listening for template dumps");
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    ASSERT_EQ(unit("send 1"), "ok sending location 1");
    EXPECT_NO_DIALOG(runFor(500));
    EXPECT_EQ(frame->templateCount(), before);
    // A new listen does not get the dropped dump either.
    listen();
    EXPECT_NO_DIALOG(runFor(300));
    EXPECT_EQ(frame->templateCount(), before);
    EXPECT_TRUE(EditorApp().Midi().IsListening());
}

TEST_F(MidiGuiTest, AnOlderUnitShowsTheOldOSNoticeUntilTurnedOff) {
    ASSERT_EQ(unit("set-os 1.0.02"), "ok os=1.0.02");
    const int before = frame->templateCount();
    listen();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    wxTEST_DIALOG(runUntil([&] { return frame->templateCount() == before + 1; }),
                  ExpectDialog<COldOSDialog>([](COldOSDialog* d) {
                      EXPECT_EQ(d->GetTitle(), "Old operating system detected");
                      d->dontShowAgain->SetValue(true);
                      wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
                      d->ProcessWindowEvent(ok);
                      return wxID_OK;
                  }));
    EXPECT_EQ(Settings().showOldOSDialog, 0);
    listen();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    EXPECT_NO_DIALOG(runUntil([&] { return frame->templateCount() == before + 2; }));

    // The same version as expected: no notice even when asked for.
    Settings().showOldOSDialog = 1;
    ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
    listen();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    EXPECT_NO_DIALOG(runUntil([&] { return frame->templateCount() == before + 3; }));
}

TEST_F(MidiGuiTest, TheStatusBarMonitorsIncomingMessages) {
    struct Case {
        const char* hex;
        const char* type;
        const char* channel;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"B3 4A 64", "CC", "Channel: 4", "CC#: 74", "Value: 100"},
        {"90 3C 7F", "Note on", "Channel: 1", "Note: 60", "Velocity: 127"},
        {"C0 1A", "Prog. Change", "Channel: 1", "Data 1: 1A", ""},
        {"EF 00 40", "Pitchbend", "Channel: 16", "Value: 64", ""},
        {"F8", "SysEx", "", "Data 1: 0", "Data 2: 0"},  // clock
    };
    for (const auto& c : cases) {
        frame->SetStatus("");
        ASSERT_EQ(unit(std::string("send-hex ") + c.hex).rfind("ok", 0), 0u);
        EXPECT_TRUE(runUntil([&] { return field(0) == "Received MIDI message"; })) << c.hex;
        EXPECT_EQ(field(1), c.type) << c.hex;
        EXPECT_EQ(field(2), c.channel) << c.hex;
        EXPECT_EQ(field(3), c.first) << c.hex;
        EXPECT_EQ(field(4), c.second) << c.hex;
    }
}

TEST_F(MidiGuiTest, AtRestThePollSlowsAndAnIncomingMessageStillShowsAtOnce) {
    // Nothing moves: the passes drop to the resting pace (ports stay open).
    ASSERT_TRUE(runUntil([] { return EditorApp().IdlePassesResting(); }, 2000));
    EXPECT_TRUE(EditorApp().Midi().IsInputOpen());

    // A message arriving wakes the poll instead of waiting for the next
    // resting pass (up to 250 ms): the median of five stays well below.
    std::vector<long> delays;
    for (int i = 0; i < 5; ++i) {
        runFor(300);
        ASSERT_TRUE(EditorApp().IdlePassesResting());
        frame->SetStatus("");
        const auto sent = Clock::now();
        ASSERT_EQ(unit(wxString::Format("send-hex B0 07 %02X", 10 + i).ToStdString()).rfind("ok", 0), 0u);
        const wxString value = wxString::Format("Value: %d", 10 + i);
        ASSERT_TRUE(runUntil([&] { return field(3) == "CC#: 7" && field(4) == value; }, 2000));
        delays.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
    }
    std::sort(delays.begin(), delays.end());
    EXPECT_LT(delays[2], 100) << "median of " << delays[0] << ".." << delays[4] << " ms";

    // A transfer brings the quick pace back at once.
    frame->ListenCommand();
    EXPECT_FALSE(EditorApp().IdlePassesResting());
}

TEST_F(MidiGuiTest, AnUnpluggedUnitIsReportedOnceWithoutAHang) {
    const char* sim = std::getenv("TQV_SIM");
    ASSERT_NE(sim, nullptr);
    const std::string dir = state() + "/gui-lost-unit";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(sim, sim, "run", "--name", "Lost Unit", "--dir", dir.c_str(), "--log", (dir + ".log").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    MidiService& midi = EditorApp().Midi();
    ASSERT_TRUE(runUntil([&] {
        midi.Rescan();
        return midi.FindInput("Lost Unit") >= 0;
    }));
    ASSERT_TRUE(midi.SelectInputByName("Lost Unit"));
    ASSERT_TRUE(midi.SelectOutputByName("Lost Unit"));
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);

    // The health check runs every 200 polls (about 4 s at the idle rate).
    const auto start = Clock::now();
    wxTEST_DIALOG(runUntil([] { return EditorApp().deviceLostReported; }, 8000), ExpectMessage(kInputLost, wxOK));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
    EXPECT_NO_DIALOG(runFor(4500));  // reported once per run

    // Sending to the vanished unit: the output message is suppressed as well.
    NewTemplateKeepingDefaults(frame);
    EXPECT_NO_DIALOG(frame->UploadCommand());
    EXPECT_EQ(field(0), "Invalid output device");
    EXPECT_FALSE(frame->View()->GetSendButton().on);
}

}  // namespace
