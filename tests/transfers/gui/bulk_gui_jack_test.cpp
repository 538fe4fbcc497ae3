// The bulk dump and OS update dialogs over the real transport: the editor's
// MIDI service on a private JACK server with the simulated unit (started by
// the test fixture), the dialogs under a virtual display.
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <chrono>
#include <iostream>

#include "app/BulkDumpDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/UpdateOSDialog.h"
#include "gui/GuiTestSupport.h"
#include "midi/SimControl.h"
#include "model/BulkDump.h"
#include "model/TemplateFile.h"

namespace {
using Clock = std::chrono::steady_clock;

int receivedCount() { return std::atoi(unit("received").substr(3).c_str()); }

class BulkJackTest : public GuiTest {
protected:
    void SetUp() override {
        if (std::getenv("TQV_SIM_CONTROL") == nullptr) GTEST_SKIP() << "runs under the JACK test fixture";
        GuiTest::SetUp();
        ASSERT_EQ(unit("clear-received"), "ok");
        ASSERT_EQ(unit("normal"), "ok normal mode");
        ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
        EditorApp().Messages().ForgetDeviceLost();
        MidiService& midi = EditorApp().Midi();
        midi.Shutdown();
        ASSERT_TRUE(midi.Start(false));
        EXPECT_NO_DIALOG(EditorApp().ChooseMidiPorts());
        ASSERT_TRUE(midi.IsInputOpen()) << midi.LastError();
        ASSERT_TRUE(midi.IsOutputOpen()) << midi.LastError();
        EditorApp().WakeIdle();
        runFor(300);  // new JACK connections settle
    }
    void TearDown() override {
        if (!frame) return;
        EditorApp().Midi().StopListening();
        GuiTest::TearDown();
    }
    template <typename F>
    bool runUntil(F done, int limitMs) {
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
    wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>([](CConfirmOSUpdateDialog*) {
                      return CConfirmOSUpdateDialog::kConfirmed;
                  }));
    wxTEST_DIALOG(ASSERT_TRUE(runUntil([&] { return !d.IsBusy(); }, 5000)),
                  ExpectMessage("OS update completed!\n\nPlease click \"OK\" and exit the program before switching the "
                                "hardware back on.",
                                wxOK));
    ASSERT_TRUE(runUntil([] { return unit("status").find("os=1.2.05") != std::string::npos; }, 3000));
    d.Hide();
}
