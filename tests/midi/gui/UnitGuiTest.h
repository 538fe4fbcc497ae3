#pragma once
// Window tests with the simulated unit on the private JACK server that the
// test fixture starts: the editor's MIDI service is restarted on the unit's
// ports for every test, and the test lets the editor run (its idle passes
// poll the ports) while it waits for what the unit or the windows do.
#include <chrono>
#include <cstdlib>

#include "app/EditorApp.h"
#include "gui/GuiTestSupport.h"
#include "midi/SimControl.h"

class UnitGuiTest : public GuiTest {
protected:
    using Clock = std::chrono::steady_clock;

    // A derived SetUp calls this first and returns when IsSkipped() or
    // HasFatalFailure().
    void SetUp() override {
        if (std::getenv("TQV_SIM_CONTROL") == nullptr) GTEST_SKIP() << "runs under the JACK test fixture";
        GuiTest::SetUp();
        ASSERT_EQ(unit("clear-received"), "ok");
        EditorApp().Messages().ForgetDeviceLost();
        MidiService& midi = EditorApp().Midi();
        midi.Shutdown();
        ASSERT_TRUE(midi.Start(false));
        EXPECT_NO_DIALOG(EditorApp().ChooseMidiPorts());
        ASSERT_TRUE(midi.IsInputOpen()) << midi.LastError();
        ASSERT_TRUE(midi.IsOutputOpen()) << midi.LastError();
        EditorApp().WakeIdle();
    }
    void TearDown() override {
        if (!frame) return;
        EditorApp().Midi().StopListening();
        GuiTest::TearDown();
    }
    // Restarts the service as with "ReleaseDriver" set (ports closed while
    // another program is active) on the unit's ports.
    void restartReleasingPorts() {
        MidiService& midi = EditorApp().Midi();
        midi.Shutdown();
        ASSERT_TRUE(midi.Start(true));
        EXPECT_NO_DIALOG(EditorApp().ChooseMidiPorts());
    }
    // Another program became active: both ports are let go.
    void releasePorts() {
        MidiService& midi = EditorApp().Midi();
        midi.RequestRelease();
        midi.Poll();
        ASSERT_EQ(midi.State(), ServiceState::Released);
        ASSERT_FALSE(midi.IsInputOpen());
        ASSERT_FALSE(midi.IsOutputOpen());
    }
    template <typename F>
    bool runUntil(F done, int limitMs = 10000) {
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
