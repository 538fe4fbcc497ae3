// The editor's MIDI ports follow the application's activation, and a unit
// that appears after start-up is found; run over a fake MIDI system, so
// that no MIDI server is needed.
#include <memory>

#include "gui/GuiTestSupport.h"
#include "midi/FakeMidiSystem.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"

namespace {

class MidiActivationTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        auto fakeSystem = std::make_unique<FakeMidiSystem>();
        fake = fakeSystem.get();
        real = EditorApp().Midi().ReplaceSystem(std::move(fakeSystem));
    }
    void TearDown() override {
        MidiService& midi = EditorApp().Midi();
        midi.ReplaceSystem(std::move(real));
        wxTheApp->SetActive(true, nullptr);
        GuiTest::TearDown();
    }
    void setActive(bool active) {
        wxTheApp->SetActive(active, active ? static_cast<wxWindow*>(frame) : nullptr);
        EditorApp().WakeIdle();
    }
    template <typename F>
    bool runUntil(F done, int limitMs = 3000) {
        const wxLongLong until = wxGetLocalTimeMillis() + limitMs;
        while (!done()) {
            if (wxGetLocalTimeMillis() > until) return false;
            Pump(1);
            wxMilliSleep(2);
        }
        return true;
    }
    FakeMidiSystem* fake = nullptr;
    std::unique_ptr<MIDI::ISystem> real;
};

TEST_F(MidiActivationTest, ReleasedPortsCloseWhenTheEditorIsLeftAndReopenOnReturn) {
    fake->ins = {"TaNGRA QV MIDI:out"};
    fake->outs = {"TaNGRA QV MIDI:in"};
    MidiService& midi = EditorApp().Midi();
    ASSERT_TRUE(midi.Start(/*releaseDriver=*/true));
    EXPECT_NO_DIALOG(EditorApp().ChooseMidiPorts());
    EXPECT_FALSE(midi.IsInputOpen()) << "a released driver opens only for the active editor";

    setActive(false);
    runUntil([] { return false; }, 100);
    setActive(true);
    ASSERT_TRUE(runUntil([&] { return midi.IsInputOpen() && midi.IsOutputOpen(); }));
    const int opensWhileActive = fake->opens;

    // Another application takes the foreground: the driver is released.
    setActive(false);
    ASSERT_TRUE(runUntil([&] { return !midi.IsInputOpen() && !midi.IsOutputOpen(); }));
    EXPECT_TRUE(runUntil([] { return !EditorApp().IdlePassesRunning(); })) << "nothing left to poll";

    // Back to the editor: the same ports open again and messages arrive.
    setActive(true);
    ASSERT_TRUE(runUntil([&] { return midi.IsInputOpen() && midi.IsOutputOpen(); }));
    EXPECT_EQ(fake->opens, opensWhileActive + 2);
    EXPECT_EQ(midi.InputName().rfind("TaNGRA QV MIDI", 0), 0u) << midi.InputName();
    frame->SetStatus("");
    fake->lastInput->arrive({0xB2, 0x07, 0x21});
    EXPECT_TRUE(runUntil([&] { return frame->GetStatusBar()->GetStatusText(3) == "CC#: 7"; }));
}

TEST_F(MidiActivationTest, AUnitPluggedInAfterAPortlessStartIsFoundOnReturn) {
    MidiService& midi = EditorApp().Midi();
    ASSERT_TRUE(midi.Start(false));
    EXPECT_EQ(midi.PortCount(), 0);
    EXPECT_FALSE(MenuEnabled(MenuId::SelectMidiDevice));
    EXPECT_FALSE(MenuEnabled(MenuId::Listen));

    setActive(false);
    runUntil([] { return false; }, 100);
    // The user plugs the unit in, then comes back to the editor.
    fake->ins = {"Other Synth:out", "TaNGRA QV MIDI:out"};
    fake->outs = {"Other Synth:in", "TaNGRA QV MIDI:in"};
    setActive(true);
    ASSERT_TRUE(runUntil([&] { return MenuEnabled(MenuId::SelectMidiDevice); }));
    EXPECT_TRUE(MenuEnabled(MenuId::Listen));
    // The unit's own ports are chosen, as at start-up, and nothing is asked.
    EXPECT_EQ(midi.InputName().rfind("TaNGRA QV MIDI", 0), 0u) << midi.InputName();
    EXPECT_EQ(midi.OutputName().rfind("TaNGRA QV MIDI", 0), 0u) << midi.OutputName();
    EXPECT_TRUE(midi.IsInputOpen());
}

}  // namespace
