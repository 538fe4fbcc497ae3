// Keeps a picture of the main window with a varied template as a build
// artefact (<build>/screenshots/main_window.png) and checks what it shows.
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/statusbr.h>

#include "GuiTestSupport.h"
#include "app/AboutDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/PreferencesDialog.h"
#include "app/WelcomeDialog.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "ui/TemplateUI.h"

namespace {
struct Assignment {
    int index;
    const char* name;
    int type;
    int number;
    int channel;
};

// A realistic synth template: filter and envelope pots, transport buttons,
// drum pads, the wheels and a pedal.
const Assignment kAssignments[] = {
    {0, "CUTOFF", ControlType::CC, 74, 1},      {1, "RESO", ControlType::CC, 71, 1},
    {2, "ATTACK", ControlType::CC, 73, 1},      {3, "DECAY", ControlType::CC, 75, 1},
    {4, "SUSTAIN", ControlType::NRPN, 300, 2},  {5, "RELEASE", ControlType::CC, 72, 1},
    {8, "LFO RATE", ControlType::CC, 76, 3},    {9, "LFO AMT", ControlType::RPN, 5, 3},
    {16, "VOL 1", ControlType::CC, 7, 1},       {17, "VOL 2", ControlType::CC, 7, 2},
    {18, "PAN 1", ControlType::CC, 10, 1},      {24, "MUTE 1", ControlType::CC, 20, 1},
    {25, "SOLO 1", ControlType::NoteOnOff, 60, 1}, {26, "PRG UP", ControlType::ProgramChange, 1, 1},
    {32, "ARM", ControlType::NoteOnOff, 64, 10}, {56, "STOP", ControlType::MMC, 0, 1},
    {57, "PLAY", ControlType::MMC, 0, 1},       {64, "PITCH", ControlType::PitchBend, 0, 1},
    {65, "MOD", ControlType::CC, 1, 1},         {66, "EXPR", ControlType::CC, 11, 1},
    {70, "KICK", ControlType::DrumNote, 36, 10}, {71, "SNARE", ControlType::DrumNote, 38, 10},
    {72, "HAT", ControlType::DrumNote, 42, 10},  {78, "SEND A", ControlType::CC, 91, 4},
};

int countColour(const wxImage& image, const wxRect& area, unsigned char r, unsigned char g, unsigned char b) {
    int n = 0;
    for (int y = area.y; y < area.GetBottom(); ++y)
        for (int x = area.x; x < area.GetRight(); ++x)
            if (image.GetRed(x, y) == r && image.GetGreen(x, y) == g && image.GetBlue(x, y) == b) ++n;
    return n;
}
}  // namespace

using ScreenshotTest = GuiTest;

TEST_F(ScreenshotTest, MainWindowWithAVariedTemplate) {
    const wxString path = WriteTemplate(
        "Analog Lead.syx",
        [](CEditorTemplate& t) {
            t.setManufacturerName("Quorvane");
            for (const Assignment& a : kAssignments) {
                CBaseControlState* c = t.controlAt(a.index);
                ASSERT_NE(c, nullptr);
                c->setName(a.name);
                c->controlType = a.type;
                c->lsbNumber = static_cast<uint8_t>(a.number & 0x7F);
                c->msbNumber = static_cast<uint8_t>(a.number >> 7);
                c->midiChannel = a.channel - 1;
                if (a.type == ControlType::MMC) c->mmcCommand = a.index == 56 ? MmcCommand::Stop : MmcCommand::Play;
            }
        },
        "Analog Lead");
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    ASSERT_NE(frame->Document().currentTemplate(), nullptr);
    frame->View()->SelectControl(0, true);
    frame->View()->SelectControl(70, true);
    frame->SetStatus("Opened template: " + path);
    frame->Move(0, 0);
    frame->Raise();
    frame->requestRepaint();
    frame->idleWork();
    for (int i = 0; i < 10; ++i) {
        Pump();
        wxMilliSleep(20);
    }

    const wxRect screen = frame->GetScreenRect();
    ASSERT_GT(screen.width, 200);
    const wxImage image = CaptureScreen(screen);
    ASSERT_TRUE(image.IsOk());
    const wxString file = ScreenshotFolder() + "/main_window.png";
    ASSERT_TRUE(image.SaveFile(file, wxBITMAP_TYPE_PNG));
    // The template shown goes beside it (the start-up benchmark opens it).
    EXPECT_TRUE(wxCopyFile(path, ScreenshotFolder() + "/main_window.syx"));

    // The panel area is drawn: selection frames in the selection purple, and
    // the text of the assigned controls in black under their buttons.
    const wxPoint panelAt = frame->Canvas()->GetScreenPosition() - screen.GetTopLeft();
    const wxRect control0 = frame->View()->FindButton(0)->GetRect();
    const wxRect frame0(panelAt.x + control0.x - 1, panelAt.y + control0.y - 1, control0.width + 2, control0.height + 2);
    EXPECT_GT(countColour(image, frame0, 213, 23, 143), 10);
    const wxRect below(panelAt.x + control0.x - 8, panelAt.y + control0.GetBottom() + 1, control0.width + 16, 30);
    EXPECT_GT(countColour(image, below, 0, 0, 0), 10);
}

namespace {
wxImage capture(wxWindow* window) { return CaptureScreen(window->GetScreenRect()); }
}  // namespace

TEST_F(ScreenshotTest, DialogsAreLaidOutWithTheirControls) {
    struct Shot {
        const char* file;
        std::function<wxDialog*()> make;
    };
    const Shot shots[] = {
        {"welcome.png", [this] { return static_cast<wxDialog*>(new CWelcomeDialog(frame, Services())); }},
        {"preferences.png", [this] { return static_cast<wxDialog*>(new CPreferencesDialog(frame, Services())); }},
        {"about.png",
         [this] {
             return static_cast<wxDialog*>(new CProductAboutDialog(frame, "About TaNGRA LuMI QV Editor",
                                                                    wxString::FromUTF8(EditorApp().Profile().GetAboutText()),
                                                                    ProgramFolder() + "/images/signatures.png"));
         }},
    };
    for (const Shot& s : shots) {
        wxDialog* dialog = s.make();
        // Alone on the screen: there is no window manager to stack windows.
        frame->Hide();
        dialog->Move(0, 0);
        dialog->Show();
        dialog->Raise();
        for (int i = 0; i < 10; ++i) {
            Pump();
            wxMilliSleep(15);
        }
        const wxImage image = capture(dialog);
        EXPECT_GT(image.GetWidth(), 150) << s.file;
        EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/" + s.file, wxBITMAP_TYPE_PNG));
        // Every control the dialog kept lies inside its client area.
        const wxSize client = dialog->GetClientSize();
        for (wxWindow* child : dialog->GetChildren()) {
            if (!child->IsShown()) continue;
            const wxRect r = child->GetRect();
            EXPECT_TRUE(wxRect(client).Contains(r)) << s.file << ": " << child->GetName().ToStdString();
        }
        dialog->Destroy();
        Pump();
    }
    frame->Show();
}
