// The editor on a high-density screen (CTest's gui.hidpi runs these with
// GDK_SCALE=2 on a large virtual display): the panel is drawn with two screen
// pixels to each of its own, sharp, and the edit window and the template
// dialogs lay out with no text cut. Pictures: <build>/screenshots/*_gdk_scale_2.png.
#include <wx/uiaction.h>

#include "GuiTestSupport.h"
#include "LayoutChecks.h"
#include "app/MainFrame.h"
#include "model/Command.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"
#include "ui/EditControlDialog.h"
#include "ui/TemplateDialogs.h"
#include "ui/TemplateUI.h"

namespace {
class HiDpiTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        scale = frame->GetContentScaleFactor();
        ASSERT_EQ(scale, 2.0) << "run with GDK_SCALE=2";
    }
    void Settle() {
        for (int i = 0; i < 15; ++i) {
            Pump();
            wxMilliSleep(20);
        }
    }
    // A window as the screen shows it, in the screen's own pixels.
    wxImage Capture(wxWindow* window) const {
        const wxRect r = window->GetScreenRect();
        return CaptureScreen(wxRect(static_cast<int>(r.x * scale), static_cast<int>(r.y * scale),
                                    static_cast<int>(r.width * scale), static_cast<int>(r.height * scale)));
    }
    void Shoot(wxTopLevelWindow* window, const std::string& file) {
        window->Move(0, 0);
        window->Show();
        window->Raise();
        Settle();
        const wxImage image = Capture(window);
        ASSERT_TRUE(image.IsOk()) << file;
        EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/" + file, wxBITMAP_TYPE_PNG));
        ExpectNoCutText(window, file);
    }
    double scale = 1;
};
}  // namespace

TEST_F(HiDpiTest, ThePanelIsDrawnSharpAtTwiceTheSize) {
    const wxString path = WriteTemplate("hidpi.syx", [](CEditorTemplate& t) {
        const char* names[] = {"CUTOFF", "RESO", "ATTACK", "DECAY", "SUSTAIN", "RELEASE", "DRIVE", "VOLUME"};
        for (int i = 0; i < 8; ++i) {
            t.controlAt(i)->setName(names[i]);
            t.controlAt(i)->controlType = ControlType::CC;
        }
    }, "High Density");
    EXPECT_NO_DIALOG(frame->openFile(path, true));
    frame->Move(0, 0);
    frame->Raise();
    wxUIActionSimulator().MouseMove(wxGetDisplaySize().x - 2, wxGetDisplaySize().y - 2);
    frame->requestRepaint();
    frame->idleWork();
    Settle();
    const wxSize panel = frame->View()->GetBackgroundSize();
    EXPECT_EQ(frame->Canvas()->GetSize(), panel);  // the same layout, in logical pixels
    const wxImage shown = Capture(frame->Canvas());
    ASSERT_TRUE(shown.IsOk());
    ASSERT_EQ(shown.GetSize(), panel * 2);
    // Sharp: each panel pixel fills a 2 x 2 square of screen pixels exactly,
    // with no blend from an enlarged picture.
    long blended = 0;
    for (int y = 0; y + 1 < shown.GetHeight(); y += 2)
        for (int x = 0; x + 1 < shown.GetWidth(); x += 2)
            for (int k = 1; k < 4; ++k) {
                const int dx = k & 1, dy = k >> 1;
                if (shown.GetRed(x, y) != shown.GetRed(x + dx, y + dy) ||
                    shown.GetGreen(x, y) != shown.GetGreen(x + dx, y + dy) ||
                    shown.GetBlue(x, y) != shown.GetBlue(x + dx, y + dy)) {
                    ++blended;
                    break;
                }
            }
    std::cout << blended << " of " << panel.x * panel.y << " panel pixels are not whole 2 x 2 squares\n";
    EXPECT_EQ(blended, 0);
    const wxImage window = Capture(frame);
    ASSERT_TRUE(window.IsOk());
    EXPECT_TRUE(window.SaveFile(ScreenshotFolder() + "/main_window_gdk_scale_2.png", wxBITMAP_TYPE_PNG));
}

TEST_F(HiDpiTest, TheEditWindowAndTheTemplateDialogsCutNoText) {
    struct Shot {
        const char* file;  // null: checked, no picture kept
        int index;
        int type;
    };
    const Shot shots[] = {
        {nullptr, 24, ControlType::Disabled},
        {"edit_button_cc_gdk_scale_2.png", 24, ControlType::CC},
        {nullptr, 25, ControlType::NRPN},
        {"edit_button_sysex_gdk_scale_2.png", 26, ControlType::SysEx},
        {nullptr, 56, ControlType::MMC},
        {nullptr, 27, ControlType::NoteOnOff},
        {nullptr, 28, ControlType::ProgramChange},
        {nullptr, 70, ControlType::DrumNote},
        {"edit_pot_cc_gdk_scale_2.png", 0, ControlType::CC},
        {nullptr, 8, ControlType::NRPN},
        {nullptr, 64, ControlType::PitchBend},
    };
    NewTemplateKeepingDefaults(frame);
    CEditorTemplate* tpl = frame->currentTemplate();
    frame->Hide();
    for (const Shot& s : shots) {
        CBaseControlState& c = *tpl->controlAt(s.index);
        c.controlType = s.type;
        c.setName("CUTOFF");
        frame->editControl(CPlacedControl(&c, s.index), false);
        const std::string name = s.file ? s.file : "control " + std::to_string(s.index) + " type " + std::to_string(s.type);
        if (s.file)
            Shoot(frame->EditWindow(), s.file);
        else
            ExpectNoCutText(frame->EditWindow(), name);
        frame->hideEditWindow();
    }
    const IDeviceProfile& profile = frame->Profile();
    TemplateDialogOptions options;
    auto ignore = [](std::unique_ptr<ICommand>) {};
    {
        auto* d = new CTemplateSettings(frame, profile, options, &tpl->localSettings(), ignore);
        Shoot(d, "dialog_template_settings_gdk_scale_2.png");
        d->Destroy();
    }
    {
        auto* d = new CEditPortGroups(frame, profile, options, tpl->groupSettings(), ignore);
        Shoot(d, "dialog_port_groups_gdk_scale_2.png");
        d->Destroy();
    }
    CKeyboardZone zone;
    {
        auto* d = new CKbdZoneDialog(frame, profile, options, &zone, 0, ignore);
        Shoot(d, "dialog_keyboard_zone_gdk_scale_2.png");
        d->Destroy();
    }
    Pump();
    frame->Show();
}
