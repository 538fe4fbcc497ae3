// Pictures of the control edit window for every panel set and of the three
// template dialogs (<build>/screenshots/edit_*.png, dialog_*.png), with a
// check that every field lies inside its window and no caption is cut.
#include <wx/checkbox.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>
#include <wx/utils.h>

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

namespace {
class EditScreenshotTest : public GuiTest {
protected:
    void Settle() {
        for (int i = 0; i < 12; ++i) {
            Pump();
            wxMilliSleep(15);
        }
    }
    void Shoot(wxTopLevelWindow* window, const std::string& file) {
        window->Move(0, 0);
        window->Show();
        window->Raise();
        Settle();
        const wxImage image = CaptureScreen(window->GetScreenRect());
        ASSERT_TRUE(image.IsOk()) << file;
        EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/" + file, wxBITMAP_TYPE_PNG));
        ExpectNoCutText(window, file);
    }
};
}  // namespace

TEST_F(EditScreenshotTest, EditWindowForEveryPanelSet) {
    struct Shot {
        const char* file;
        int index;
        int type;
    };
    const Shot shots[] = {
        {"edit_disabled.png", 24, ControlType::Disabled},
        {"edit_button_cc.png", 24, ControlType::CC},
        {"edit_button_nrpn.png", 25, ControlType::NRPN},
        {"edit_button_sysex.png", 26, ControlType::SysEx},
        {"edit_button_mmc.png", 56, ControlType::MMC},
        {"edit_button_note.png", 27, ControlType::NoteOnOff},
        {"edit_button_program.png", 28, ControlType::ProgramChange},
        {"edit_drum_note.png", 70, ControlType::DrumNote},
        {"edit_pot_cc.png", 0, ControlType::CC},
        {"edit_encoder_nrpn.png", 8, ControlType::NRPN},
        {"edit_pot_sysex.png", 1, ControlType::SysEx},
        {"edit_pitch_bend.png", 64, ControlType::PitchBend},
        {"edit_aftertouch.png", 65, ControlType::Aftertouch},
    };
    NewTemplateKeepingDefaults(frame);
    CEditorTemplate* tpl = frame->currentTemplate();
    for (const Shot& s : shots) {
        CBaseControlState& c = *tpl->controlAt(s.index);
        c.controlType = s.type;
        c.setName("CUTOFF");
        if (s.type == ControlType::MMC) c.mmcCommand = MmcCommand::Play;
        frame->Hide();
        frame->editControl(CPlacedControl(&c, s.index), false);
        Shoot(frame->EditWindow(), s.file);
        frame->hideEditWindow();
    }
    frame->Show();
}

TEST_F(EditScreenshotTest, TemplateDialogs) {
    NewTemplateKeepingDefaults(frame);
    CEditorTemplate* tpl = frame->currentTemplate();
    tpl->setTemplateName("Analog Lead");
    const IDeviceProfile& profile = IDeviceProfile::current();
    TemplateDialogOptions options;
    auto ignore = [](std::unique_ptr<ICommand>) {};
    CKeyboardZone zone;
    zone.bottomNote = 36;
    zone.topNote = 84;
    frame->Hide();
    {
        auto* d = new CTemplateSettings(frame, profile, options, &tpl->localSettings(), ignore);
        Shoot(d, "dialog_template_settings.png");
        d->Destroy();
    }
    {
        auto* d = new CEditPortGroups(frame, profile, options, tpl->groupSettings(), ignore);
        Shoot(d, "dialog_port_groups.png");
        d->Destroy();
    }
    {
        auto* d = new CKbdZoneDialog(frame, profile, options, &zone, 0, ignore);
        Shoot(d, "dialog_keyboard_zone.png");
        d->Destroy();
    }
    // A device with everything: every field of the settings dialog on its pages.
    {
        TemplateDialogOptions all;
        all.hasSynthTemplateOption = all.hasAftertouchSetting = all.hasTouchpad = all.hasTouchpadType3 = true;
        all.hasSynthModes = all.hasTranspose = true;
        auto* d = new CTemplateSettings(frame, profile, all, &tpl->localSettings(), ignore);
        d->notebook->SetSelection(1);
        Shoot(d, "dialog_template_settings_controls.png");
        d->Destroy();
    }
    Pump();
    frame->Show();
}
