// The editor's MIDI side driven for real: the simulated unit on a private
// JACK server (started by the test fixture), the editor's own windows under a
// virtual display.
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/choice.h>
#include <wx/statusbr.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "midi/gui/UnitGuiTest.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/MidiDialogs.h"
#include "app/Settings.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"
#include "model/TemplateFile.h"
#include "model/ControlState.h"
#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"
#include "ui/TemplateDialogs.h"
#include <wx/spinctrl.h>
#include <wx/tglbtn.h>
#include <wx/uiaction.h>

namespace {

MidiBytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return MidiBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string state() { return std::getenv("TQV_SIM_STATE") ? std::getenv("TQV_SIM_STATE") : ""; }

const char* const kInvalidDump =
    "The dump received was not a valid template.\n\nEither the dump came from another device, was corrupted, or you "
    "started listening in the middle of the dump.";

class MidiGuiTest : public UnitGuiTest {
protected:
    void SetUp() override {
        UnitGuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
    }
    void listen() {
        frame->Device().ListenCommand();
        ASSERT_TRUE(EditorApp().Midi().IsListening());
        // The user presses the unit's button a moment after clicking.
        runFor(200);
    }
    wxString field(int i) const { return frame->GetStatusBar()->GetStatusText(i); }
};

TEST_F(MidiGuiTest, DeviceSelectionListsTheUnitAndRemembersTheChoice) {
    CSelectMIDIDevices dialog(frame, Services());
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
    frame->Device().ListenCommand();
    wxTEST_DIALOG(frame->Device().SelectMidiDeviceCommand(), ExpectDialog<CSelectMIDIDevices>([](CSelectMIDIDevices* d) {
                      EXPECT_EQ(d->input->GetCount(), 1u);
                      return wxID_CANCEL;
                  }));
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    EXPECT_FALSE(MenuBar()->IsChecked(MenuId::Listen));
}

TEST_F(MidiGuiTest, AReceivedTemplateOpensAsTheCurrentOneQuickly) {
    const int before = frame->Document().templateCount();
    listen();
    EXPECT_EQ(field(0), "Listening for template dump from device: TaNGRA QV MIDI:out: Port 1");
    EXPECT_TRUE(MenuBar()->IsChecked(MenuId::Listen));
    EXPECT_TRUE(frame->View()->GetListenButton().on);
    ASSERT_EQ(unit("send 6"), "ok sending location 6");
    Clock::time_point openedAt;
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] {
        if (frame->Document().templateCount() == before + 1) {
            openedAt = Clock::now();
            return true;
        }
        return false;
    })));
    const auto lastByte = EditorApp().Midi().InputPort()->LastSysExAt();
    const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(openedAt - lastByte).count() / 1000.0;
    std::cout << "last byte of the dump -> template open in the editor: " << ms << " ms\n";
    EXPECT_LT(ms, 100.0);

    ASSERT_NE(frame->Document().currentTemplate(), nullptr);
    EXPECT_EQ(frame->Document().currentIndex(), 0);
    EXPECT_EQ(frame->Document().currentTemplate()->displayName(), "Unknown - Template 7");
    unit("save-sent " + state() + "/gui-sent.syx");
    EXPECT_EQ(frame->Document().currentTemplate()->save().vector(), readFile(state() + "/gui-sent.syx"));
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    EXPECT_FALSE(MenuBar()->IsChecked(MenuId::Listen));
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
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    ASSERT_NE(frame->Document().currentTemplate(), nullptr);
    ASSERT_TRUE(MenuEnabled(MenuId::Upload));
    listen();
    EXPECT_NO_DIALOG(frame->Device().UploadCommand());
    EXPECT_FALSE(EditorApp().Midi().IsListening());  // sending ends the listen silently
    EXPECT_EQ(field(0), "Sending template to device: TaNGRA QV MIDI:in: Port 1");
    EXPECT_TRUE(frame->View()->GetSendButton().on);
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return !EditorApp().Midi().IsSending(); })));
    EXPECT_EQ(field(0), "Template dump completed");
    EXPECT_FALSE(frame->View()->GetSendButton().on);
    ASSERT_EQ(unit("wait-received 1 3000"), "ok 1");
    MidiBytes expected = frame->Document().currentTemplate()->save().vector();
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
    const int before = frame->Document().templateCount();
    listen();
    ASSERT_EQ(unit("send-file " + file), "ok sending 1 message(s)");
    wxTEST_DIALOG(runUntil([&] { return frame->Document().templateCount() == before + 1; }),
                  ExpectMessage("This template has been recieved from a TaNGRA.\n\nIt has been converted to a TaNGRA "
                                "LuMI QV template, which will not load back onto the TaNGRA.\n\nYou can find all of "
                                "the controls from the original template by right-clicking on a control and choosing "
                                "\"Imported Controls\".",
                                wxOK));
    ASSERT_EQ(frame->Document().templateCount(), before + 1);
    EXPECT_EQ(frame->Document().currentTemplate()->displayName(), "Quorvane - Studio A");
}

// With "ReleaseDriver" the ports are closed while another program is
// active; Listen and Send clicked before the poll reopens them open them
// first, and nobody is told that the device is gone.
TEST_F(MidiGuiTest, ListenAndSendFromTheMainWindowOpenReleasedPortsFirst) {
    MidiService& midi = EditorApp().Midi();
    ASSERT_NO_FATAL_FAILURE(restartReleasingPorts());
    const int before = frame->Document().templateCount();
    ASSERT_NO_FATAL_FAILURE(releasePorts());
    EXPECT_NO_DIALOG(frame->Device().ListenCommand());
    ASSERT_TRUE(midi.IsListening());
    runFor(300);  // a new JACK connection settles
    ASSERT_EQ(unit("send 6"), "ok sending location 6");
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return frame->Document().templateCount() == before + 1; })));

    ASSERT_NO_FATAL_FAILURE(releasePorts());
    ASSERT_EQ(unit("clear-received"), "ok");
    EXPECT_NO_DIALOG(frame->Device().UploadCommand());
    EXPECT_NE(field(0), "Invalid output device");
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([] { return unit("received") == "ok 1"; }, 3000)));
    EXPECT_NO_DIALOG(EXPECT_TRUE(runUntil([&] { return !midi.IsSending(); }, 3000)));
    EXPECT_FALSE(EditorApp().Messages().DeviceLostReported());
}

TEST_F(MidiGuiTest, GarbageFromTheUnitIsAnInvalidDump) {
    const int before = frame->Document().templateCount();
    listen();
    ASSERT_EQ(unit("send-hex F0 00 20 29 02 11 22 F7"), "ok sending 8 byte(s)");
    wxTEST_DIALOG(runUntil([&] { return !EditorApp().Midi().IsListening(); }), ExpectMessage(kInvalidDump, wxOK));
    EXPECT_EQ(frame->Document().templateCount(), before);
    EXPECT_FALSE(MenuBar()->IsChecked(MenuId::Listen));
}

// Another device on the same input: its SysEx is no dump and the listen
// goes on to take the unit's.
TEST_F(MidiGuiTest, AListenPassesOverSysExFromAnotherMaker) {
    const int before = frame->Document().templateCount();
    listen();
    ASSERT_EQ(unit("send-hex F0 7E 7F 06 01 F7"), "ok sending 6 byte(s)");
    EXPECT_NO_DIALOG(runFor(400));
    EXPECT_TRUE(EditorApp().Midi().IsListening());
    EXPECT_TRUE(MenuBar()->IsChecked(MenuId::Listen));
    ASSERT_EQ(unit("send 6"), "ok sending location 6");
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return frame->Document().templateCount() == before + 1; })));
    EXPECT_FALSE(EditorApp().Midi().IsListening());
}

TEST_F(MidiGuiTest, ListenToggledOffDropsADump) {
    const int before = frame->Document().templateCount();
    listen();
    frame->Device().ListenCommand();  // Ctrl+L again
    EXPECT_EQ(field(0), "Stopped listening for template dumps");
    EXPECT_FALSE(EditorApp().Midi().IsListening());
    ASSERT_EQ(unit("send 1"), "ok sending location 1");
    EXPECT_NO_DIALOG(runFor(500));
    EXPECT_EQ(frame->Document().templateCount(), before);
    // A new listen does not get the dropped dump either.
    listen();
    EXPECT_NO_DIALOG(runFor(300));
    EXPECT_EQ(frame->Document().templateCount(), before);
    EXPECT_TRUE(EditorApp().Midi().IsListening());
}

TEST_F(MidiGuiTest, AnOlderUnitShowsTheOldOSNoticeUntilTurnedOff) {
    ASSERT_EQ(unit("set-os 1.0.02"), "ok os=1.0.02");
    const int before = frame->Document().templateCount();
    listen();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    wxTEST_DIALOG(runUntil([&] { return frame->Document().templateCount() == before + 1; }),
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
    EXPECT_NO_DIALOG(runUntil([&] { return frame->Document().templateCount() == before + 2; }));

    // The same version as expected: no notice even when asked for.
    Settings().showOldOSDialog = 1;
    ASSERT_EQ(unit("set-os 1.0.10"), "ok os=1.0.10");
    listen();
    ASSERT_EQ(unit("send 0"), "ok sending location 0");
    EXPECT_NO_DIALOG(runUntil([&] { return frame->Document().templateCount() == before + 3; }));
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
    frame->Device().ListenCommand();
    EXPECT_FALSE(EditorApp().IdlePassesResting());
}

// Each loss of the unit is told once while it lasts, naming its ports and
// offering the device selection; once the unit is back, a new loss is told
// again.
TEST_F(MidiGuiTest, EachLossOfTheUnitIsToldOnceByNameWithTheDeviceSelection) {
    SpareUnit lostUnit("Lost Unit");
    ASSERT_TRUE(lostUnit.start());
    MidiService& midi = EditorApp().Midi();
    ASSERT_TRUE(runUntil([&] {
        midi.Rescan();
        return midi.FindInput("Lost Unit") >= 0;
    }));
    ASSERT_TRUE(midi.SelectInputByName("Lost Unit")) << midi.LastError();
    ASSERT_TRUE(midi.SelectOutputByName("Lost Unit")) << midi.LastError();
    const std::string inputName = midi.InputName(), outputName = midi.OutputName();
    ASSERT_NE(inputName.find("Lost Unit"), std::string::npos);
    int told = 0;
    auto lossMessage = [&](int answer) {
        return ExpectDialog<wxMessageDialog>([&, answer](wxMessageDialog* box) {
            ++told;
            const std::string text = box->GetMessage().ToStdString();
            EXPECT_NE(text.find("\"" + inputName + "\""), std::string::npos) << text;
            EXPECT_NE(text.find("\"" + outputName + "\""), std::string::npos) << text;
            EXPECT_NE(text.find("no longer accessible"), std::string::npos) << text;
            EXPECT_EQ(text.find("restart the editor"), std::string::npos) << text;
            EXPECT_TRUE(box->GetYesLabel().Contains("Select MIDI devices...")) << box->GetYesLabel();
            return answer;
        });
    };
    for (int loss = 1; loss <= 2; ++loss) {
        SCOPED_TRACE("loss " + std::to_string(loss));
        lostUnit.stop();
        const auto start = Clock::now();
        wxTEST_DIALOG(runUntil([] { return EditorApp().Messages().DeviceLostReported(); }, 8000),
                      lossMessage(wxID_NO));
        EXPECT_EQ(told, loss);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
        EXPECT_NO_DIALOG(runFor(1500));  // not again while the loss lasts

        // Sending to the vanished unit says only that it is not there.
        NewTemplateKeepingDefaults(frame);
        EXPECT_NO_DIALOG(frame->Device().UploadCommand());
        EXPECT_EQ(field(0), "Invalid output device");
        EXPECT_FALSE(frame->View()->GetSendButton().on);

        // The unit comes back under the same name: the ports are taken again.
        ASSERT_TRUE(lostUnit.start());
        ASSERT_TRUE(runUntil([&] { return midi.IsInputOpen() && midi.IsOutputOpen(); }, 8000));
        EXPECT_FALSE(EditorApp().Messages().DeviceLostReported());
    }
    // The message's "Select MIDI devices..." opens the device selection.
    lostUnit.stop();
    wxTEST_DIALOG(runUntil([&] { return told == 3; }, 8000), lossMessage(wxID_YES), wxExpectAny(wxID_CANCEL));
    EXPECT_EQ(told, 3);
}

// --- The edit window and dialogs listening to the input -----------------------

class MidiLearnTest : public MidiGuiTest {
protected:
    void SetUp() override {
        MidiGuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const wxString path = WriteTemplate("learn.syx", [](CEditorTemplate& t) {
            t.controlAt(0)->setName("CUTOFF");
            t.controlAt(0)->controlType = ControlType::CC;
            t.controlAt(0)->lsbNumber = 1;
            t.controlAt(1)->setName("RESO");
            t.controlAt(1)->controlType = ControlType::CC;
            t.controlAt(24)->setName("KICK");
            t.controlAt(24)->controlType = ControlType::CC;
        });
        EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
        tpl = frame->Document().currentTemplate();
        ASSERT_NE(tpl, nullptr);
    }
    void Open(int index) {
        frame->View()->ClearSelection();
        frame->editControl(CPlacedControl(tpl->controlAt(index), index), false);
        Pump();
    }
    // The idle passes run the rebuild a type change asks for.
    void Idle() {
        for (int i = 0; i < 3; ++i) {
            frame->idleWork();
            Pump();
        }
    }
    CGenericDialog* Common() const {
        return dynamic_cast<CGenericDialog*>(wxWindow::FindWindowByName("ID_GENERICDIALOG", frame->EditWindow()));
    }
    void PressLearn() {
        CGenericDialog* common = Common();
        ASSERT_NE(common, nullptr);
        ASSERT_NE(common->learn, nullptr);
        common->learn->SetValue(!common->learn->GetValue());
        wxCommandEvent toggled(wxEVT_TOGGLEBUTTON, common->learn->GetId());
        toggled.SetEventObject(common->learn);
        toggled.SetInt(common->learn->GetValue());
        common->learn->GetEventHandler()->ProcessEvent(toggled);
    }
    void Send(const char* hex) { ASSERT_EQ(unit(std::string("send-hex ") + hex).rfind("ok", 0), 0u) << hex; }
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->ProcessWindowEvent(event);
    }
    const CBaseControlState& At(int index) const { return *tpl->controlAt(index); }
    std::string UndoLabel() const {
        return MenuBar()->FindItem(MenuId::Undo)->GetItemLabel().BeforeFirst('\t').ToStdString();
    }

    CEditorTemplate* tpl = nullptr;
};

TEST_F(MidiLearnTest, AControlChangeIsLearnedAsOneUndoStepAndLearningStops) {
    Open(0);
    PressLearn();
    ASSERT_TRUE(Common()->IsLearning());
    EXPECT_TRUE(frame->EditHost().IsLearning());
    EXPECT_EQ(field(0), "MIDI learn: send a CC, NRPN, RPN, Note On, Program Change or Pitch Bend (Esc cancels)");

    // The screenshot shows the window with Learn pressed.
    frame->EditWindow()->Move(40, 40);
    frame->EditWindow()->Raise();
    WaitUntilMapped(frame->EditWindow());
    runFor(200);
    const wxImage image = CaptureScreen(frame->EditWindow()->GetScreenRect());
    ASSERT_TRUE(image.IsOk());
    EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/edit_window_learn.png", wxBITMAP_TYPE_PNG));

    Send("B3 4A 40");  // CC 74 on channel 4
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return At(0).getLsbNumber() == 74; })));
    EXPECT_EQ(At(0).getControlType(), ControlType::CC);
    EXPECT_EQ(At(0).getMidiChannel(), 4);
    EXPECT_EQ(UndoLabel(), "&Undo Learn CC 74");
    EXPECT_FALSE(Common()->IsLearning());
    EXPECT_FALSE(Common()->learn->GetValue());
    EXPECT_FALSE(frame->EditHost().IsLearning());
    EXPECT_EQ(field(0), "Learned CC 74 on channel 4");

    // Learning stopped after one assignment: the next CC changes nothing.
    Send("B0 10 00");
    runFor(300);
    EXPECT_EQ(At(0).getLsbNumber(), 74);
    EXPECT_EQ(At(0).getMidiChannel(), 4);

    Menu(MenuId::Undo);
    EXPECT_EQ(At(0).getLsbNumber(), 1);
    EXPECT_EQ(At(0).getMidiChannel(), 1);
}

TEST_F(MidiLearnTest, AnNrpnSequenceIsAssembledAndRebuildsThePanels) {
    Open(1);
    PressLearn();
    // Parameter 1/2 with a 14-bit value, as controllers send it.
    for (const char* hex : {"B0 63 01", "B0 62 02", "B0 06 40", "B0 26 00"}) Send(hex);
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return At(1).getControlType() == ControlType::NRPN; })));
    Idle();
    EXPECT_EQ(At(1).getMsbNumber(), 1);
    EXPECT_EQ(At(1).getLsbNumber(), 2);
    EXPECT_EQ(At(1).getMidiChannel(), 1);
    EXPECT_EQ(UndoLabel(), "&Undo Learn NRPN 1/2");
    EXPECT_NE(wxWindow::FindWindowByName("ID_NRPNDIALOG", frame->EditWindow()), nullptr);
    EXPECT_EQ(wxWindow::FindWindowByName("ID_CCDIALOG", frame->EditWindow()), nullptr);
    // One step back restores the CC control and its panels.
    Menu(MenuId::Undo);
    Idle();
    EXPECT_EQ(At(1).getControlType(), ControlType::CC);
    EXPECT_EQ(At(1).getMsbNumber(), 0);
    EXPECT_NE(wxWindow::FindWindowByName("ID_CCDIALOG", frame->EditWindow()), nullptr);
}

TEST_F(MidiLearnTest, ANoteOnMakesAButtonANoteControlAndAPotRefusesIt) {
    // A pot cannot send notes: a beep, the reason, and learning goes on.
    Open(0);
    PressLearn();
    Send("90 3C 64");
    EXPECT_TRUE(runUntil([&] { return field(0).StartsWith("MIDI learn: Note On"); }));
    EXPECT_EQ(field(0), "MIDI learn: Note On " + wxString::FromUTF8(CBaseControlState::noteName(60)) +
                            " on channel 1 refused: this control cannot send Note On messages");
    EXPECT_EQ(At(0).getControlType(), ControlType::CC);
    EXPECT_FALSE(tpl->isModified());
    EXPECT_TRUE(Common()->IsLearning());
    // Escape ends learning.
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(Common()->learn);
    frame->EditWindow()->GetEventHandler()->ProcessEvent(escape);
    EXPECT_FALSE(Common()->IsLearning());
    EXPECT_FALSE(Common()->learn->GetValue());
    EXPECT_FALSE(frame->EditHost().IsLearning());

    // A button takes the note, on the channel it came on.
    Open(24);
    PressLearn();
    Send("80 3C 00");  // a note released is no assignment
    Send("99 24 64");  // note 36 on channel 10
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return At(24).getControlType() == ControlType::NoteOnOff; })));
    Idle();
    EXPECT_EQ(At(24).getLsbNumber(), 36);
    EXPECT_EQ(At(24).getMidiChannel(), 10);
    EXPECT_EQ(UndoLabel(), "&Undo Learn Note On " + CBaseControlState::noteName(36));
    Menu(MenuId::Undo);
    EXPECT_EQ(At(24).getControlType(), ControlType::CC);
    EXPECT_EQ(At(24).getMidiChannel(), 1);
}

TEST_F(MidiLearnTest, TheOpenWindowShowsWhatWasLearnedAtOnce) {
    Open(0);
    CEditControlDialog* window = frame->EditWindow();
    WaitUntilMapped(window);
    auto* number = dynamic_cast<NumberTextCtrl*>(wxWindow::FindWindowByName("CC_Number", window));
    auto* channel = dynamic_cast<NumberTextCtrl*>(wxWindow::FindWindowByName("Midi_Channel", window));
    ASSERT_TRUE(number && channel);
    EXPECT_EQ(number->GetValue(), "1");
    EXPECT_EQ(channel->GetValue(), "1");
    // Learn pressed with the pointer, as a user does.
    ASSERT_NE(Common(), nullptr);
    wxUIActionSimulator sim;
    sim.MouseMove(Common()->learn->GetScreenRect().GetPosition() + Common()->learn->GetSize() / 2);
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(runUntil([&] { return Common()->IsLearning(); }, 2000));
    Send("B4 10 40");  // CC 16 on channel 5
    EXPECT_NO_DIALOG(ASSERT_TRUE(runUntil([&] { return At(0).getLsbNumber() == 16; })));
    EXPECT_EQ(UndoLabel(), "&Undo Learn CC 16");
    // The fields show the learned number and channel without waiting for a repaint.
    EXPECT_EQ(number->GetValue(), "16");
    EXPECT_EQ(channel->GetValue(), "5");
}

TEST_F(MidiLearnTest, ClosingTheWindowEndsLearning) {
    Open(0);
    PressLearn();
    ASSERT_TRUE(frame->EditHost().IsLearning());
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, frame->EditWindow()->GetId());
    frame->EditWindow()->ProcessWindowEvent(close);
    Pump();
    EXPECT_FALSE(frame->EditWindow()->IsShown());
    EXPECT_FALSE(frame->EditHost().IsLearning());
    Send("B0 4A 40");
    runFor(300);
    EXPECT_EQ(At(0).getLsbNumber(), 1);
    EXPECT_FALSE(tpl->isModified());
}

TEST_F(MidiLearnTest, TheKeyboardZoneDialogTakesTheNotePlayed) {
    CKeyboardZone* zone = tpl->keyboardZone(0);
    ASSERT_NE(zone, nullptr);
    zone->bottomNote = 0;
    zone->topNote = 127;
    bool shown = false;
    wxTEST_DIALOG(frame->TemplateCommands().EditKeyboardZone(0), ExpectDialog<CKbdZoneDialog>([&](CKbdZoneDialog* d) {
                      shown = true;
                      d->Show();
                      WaitUntilMapped(d);
                      d->topNote->SetFocus();
                      runUntil([&] { return d->topNote->HasFocus(); }, 1000);
                      Send("90 48 64");  // C4-ish: note 72
                      EXPECT_TRUE(runUntil([&] { return d->topNote->GetValue() == 72; }));
                      Send("90 30 00");  // velocity 0: a key released
                      runFor(300);
                      EXPECT_EQ(d->topNote->GetValue(), 72);
                      d->bottomNote->SetFocus();
                      runUntil([&] { return d->bottomNote->HasFocus(); }, 1000);
                      Send("93 24 40");  // note 36 on channel 4
                      EXPECT_TRUE(runUntil([&] { return d->bottomNote->GetValue() == 36; }));
                      EXPECT_EQ(d->topNote->GetValue(), 72);
                      d->Hide();
                      d->commit();  // what OK does
                      return wxID_OK;
                  }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(zone->topNote, 72);
    EXPECT_EQ(zone->bottomNote, 36);
    EXPECT_EQ(UndoLabel(), "&Undo Edit Keyboard Zone");
    // The dialog is gone and no longer listens.
    Send("90 10 64");
    EXPECT_NO_DIALOG(runFor(300));
    EXPECT_EQ(zone->topNote, 72);
}

}  // namespace
