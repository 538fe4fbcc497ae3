// The template settings, port groups and keyboard zone dialogs, driven
// through their controls and OK, on a template of their own.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/log.h>
#include <wx/notebook.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/EditorApp.h"
#include "EditPanelsSupport.h"
#include "GuiTestSupport.h"
#include "editing/TemplateCommands.h"
#include "ui/TemplateDialogs.h"
#include "ui/XrcResources.h"

using paneltest::PanelTest;

namespace {
class DialogTest : public PanelTest {
protected:
    CommandRunner Runner() {
        return [this](std::unique_ptr<ICommand> command) { host.RunPanelCommand(std::move(command)); };
    }
    static void Press(wxDialog* dialog, int id) {
        wxWindow* button = dialog->FindWindow(id);
        ASSERT_NE(button, nullptr);
        wxCommandEvent event(wxEVT_BUTTON, id);
        event.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(event);
    }
    static void PressNamed(wxDialog* dialog, const char* name) {
        wxWindow* button = wxWindow::FindWindowByName(name, dialog);
        ASSERT_NE(button, nullptr) << name;
        wxCommandEvent event(wxEVT_BUTTON, button->GetId());
        event.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(event);
    }
    // Text put into a spin field as typed, with the number the field reports.
    static void TypeInSpin(wxSpinCtrl* spin, const wxString& text, int reported) {
        spin->SetValue(text);
        wxCommandEvent event(wxEVT_TEXT, spin->GetId());
        event.SetEventObject(spin);
        event.SetString(text);
        event.SetInt(reported);
        spin->GetEventHandler()->ProcessEvent(event);
    }
    template <class T>
    static T* Named(wxWindow* dialog, const char* name) {
        T* found = dynamic_cast<T*>(wxWindow::FindWindowByName(name, dialog));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    TemplateDialogOptions options;
};

// Captures what is logged as an error.
class ErrorCapture : public wxLog {
public:
    ErrorCapture() : previous(wxLog::SetActiveTarget(this)) {}
    ~ErrorCapture() override { wxLog::SetActiveTarget(previous); }
    std::vector<std::string> errors;

protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& msg) override {
        if (level == wxLOG_Error) errors.push_back(msg.ToStdString());
    }

private:
    wxLog* previous;
};
}  // namespace

TEST_F(DialogTest, TemplateSettingsOkAddsOneEntryAndKeepsTheBytesItNeverShows) {
    CTemplateLocals& locals = tpl->localSettings();
    locals.deviceByte48 = 0x11;
    locals.deviceByte90 = 0x22;
    locals.deviceByte91 = 0x33;
    locals.localByteA = 0x44;
    locals.localByteB = 0x55;
    locals.hasDeviceByte51 = true;
    locals.setTemplateName("Strings");
    locals.groupPageCount = 3;
    locals.groupPageNumber = 2;
    const CTemplateLocalData before = locals;

    auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &locals, Runner());
    ASSERT_TRUE(dialog->Loaded());
    EXPECT_EQ(dialog->templateName->GetValue(), "Strings");
    Press(dialog, wxID_OK);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Edit Template Settings"});
    EXPECT_TRUE(tpl->isModified());
    const CTemplateLocalData& after = locals;
    EXPECT_EQ(after.deviceByte48, 0x11);
    EXPECT_EQ(after.deviceByte90, 0x22);
    EXPECT_EQ(after.deviceByte91, 0x33);
    EXPECT_EQ(after.localByteA, 0x44);
    EXPECT_EQ(after.localByteB, 0x55);
    EXPECT_TRUE(after.hasDeviceByte51);
    EXPECT_EQ(after.groupPageCount, 3);
    EXPECT_EQ(after.groupPageNumber, 2);
    EXPECT_EQ(after.templateName.substr(0, 7), "Strings");
    dialog->Destroy();

    // A renamed template keeps them too, and undo restores the name.
    dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &locals, Runner());
    dialog->templateName->SetValue("Brass");
    Press(dialog, wxID_OK);
    EXPECT_EQ(locals.templateName, "Brass");
    EXPECT_EQ(locals.deviceByte90, 0x22);
    EXPECT_EQ(locals.localByteB, 0x55);
    undoCommand(*tpl);
    EXPECT_EQ(locals.templateName, before.templateName);
    dialog->Destroy();
}

TEST_F(DialogTest, TemplateSettingsOffersWhatTheDeviceHas) {
    auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &tpl->localSettings(), Runner());
    ASSERT_TRUE(dialog->Loaded());
    for (const char* shown : {"Template_Name", "Manufacturer_Name", "Number_Of_Group_Pages", "Group_Page_Number"})
        EXPECT_TRUE(Named<wxWindow>(dialog, shown)->IsShown()) << shown;
    EXPECT_TRUE(Named<wxWindow>(dialog, "Pot_Pickup")->IsShown());
    for (const char* gone : {"Override_Midi_Channel", "Auto_Snapshot", "Synth_Template", "Pad_X_Type", "Hybrid",
                             "Synth_By_Control"})
        EXPECT_FALSE(Named<wxWindow>(dialog, gone)->IsShown()) << gone;
    // Settings and controls; no keyboard page on a device without a keyboard.
    EXPECT_EQ(dialog->notebook->GetPageCount(), 2u);
    // Cancel changes nothing.
    dialog->templateName->SetValue("Other");
    Press(dialog, wxID_CANCEL);
    EXPECT_TRUE(host.commands.empty());
    dialog->Destroy();
}

TEST_F(DialogTest, TemplateNameRefusesTextBeyondItsLengthAndForeignCharacters) {
    auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &tpl->localSettings(), Runner());
    struct Key {
        wxString before;
        wxChar key;
        bool accepted;
    };
    const Key keys[] = {{wxString('A', 33), 'B', true}, {wxString('A', 34), 'B', false}, {"Pad", '_', false},
                        {"Pad", '\\', false},          {"Pad", '2', true}};
    for (const Key& k : keys) {
        dialog->templateName->ChangeValue(k.before);
        dialog->templateName->SetInsertionPointEnd();
        const int beeps = EntryFields::BeepCount();
        EXPECT_EQ(SendChar(dialog->templateName, k.key), k.accepted) << k.before.length() << " " << char(k.key);
        EXPECT_EQ(EntryFields::BeepCount() - beeps, k.accepted ? 0 : 1);
    }
    dialog->manufacturerName->ChangeValue(wxString('M', 13));
    EXPECT_FALSE(SendChar(dialog->manufacturerName, 'x'));
    dialog->Destroy();
}

TEST_F(DialogTest, SpinFieldsPutBackWhatTheyShowedForText) {
    CTemplateLocals& locals = tpl->localSettings();
    locals.velocityCurve = 2;
    locals.octave = 6;
    locals.groupPageCount = 5;
    locals.groupPageNumber = 4;
    auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &locals, Runner());
    struct Case {
        const char* name;
        int shown;
    };
    // Shown values carry their offsets: velocity curve + 1, octave - 4.
    const Case cases[] = {{"Number_Of_Group_Pages", 5}, {"Group_Page_Number", 4}, {"Override_Midi_Channel", 0}};
    for (const Case& c : cases) {
        auto* spin = Named<wxSpinCtrl>(dialog, c.name);
        ASSERT_NE(spin, nullptr);
        TypeInSpin(spin, "x", c.shown);
        EXPECT_EQ(spin->GetValue(), c.shown) << c.name;
        EXPECT_EQ(spin->GetTextValue(), wxString::Format("%d", c.shown)) << c.name;
    }
    // The keyboard fields are filled only on devices with a keyboard; the
    // zone dialog shows its own offsets.
    CKeyboardZone zone;
    zone.velocityOffset = 4;
    zone.transpose = 70;
    zone.channel = 2;
    auto* zoneDialog = new CKbdZoneDialog(frame, EditorApp().Profile(), options, &zone, 0, Runner());
    const Case zoneCases[] = {{"Velocity_Offset", 5}, {"Transpose", 6}, {"Midi_Channel", 3}, {"Top_Note", 127}};
    for (const Case& c : zoneCases) {
        auto* spin = Named<wxSpinCtrl>(zoneDialog, c.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->GetValue(), c.shown) << c.name;
        TypeInSpin(spin, "x", c.shown);
        EXPECT_EQ(spin->GetValue(), c.shown) << c.name;
        TypeInSpin(spin, "999", 999);
        EXPECT_EQ(spin->GetValue(), c.shown) << c.name;
    }
    zoneDialog->Destroy();

    // Fewer pages than the current page number lowers the page number.
    auto* count = Named<wxSpinCtrl>(dialog, "Number_Of_Group_Pages");
    auto* page = Named<wxSpinCtrl>(dialog, "Group_Page_Number");
    TypeInSpin(count, "2", 2);
    EXPECT_EQ(page->GetValue(), 2);
    // A page beyond the count is refused.
    TypeInSpin(page, "3", 3);
    EXPECT_EQ(page->GetValue(), 2);
    Press(dialog, wxID_OK);
    EXPECT_EQ(locals.groupPageCount, 2);
    EXPECT_EQ(locals.groupPageNumber, 2);
    EXPECT_EQ(locals.velocityCurve, 2);
    EXPECT_EQ(locals.octave, 6);
    dialog->Destroy();
}

TEST_F(DialogTest, RestoreDefaultsRefillsTheFields) {
    CTemplateLocals& locals = tpl->localSettings();
    locals.setTemplateName("Keys");
    locals.potPickup = true;
    locals.localByteA = 9;
    auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &locals, Runner());
    PressNamed(dialog, "Restore_Defaults");
    EXPECT_EQ(dialog->templateName->GetValue(), "Untitled");
    EXPECT_FALSE(dialog->potPickup->GetValue());
    Press(dialog, wxID_OK);
    EXPECT_EQ(locals.templateName, "Untitled");
    EXPECT_FALSE(locals.potPickup);
    EXPECT_EQ(locals.localByteA, 9);
    dialog->Destroy();
}

TEST_F(DialogTest, PortGroupsEditTheKeyboardAndCommonGroups) {
    CTemplateGroups* groups = tpl->groupSettings();
    ASSERT_NE(groups, nullptr);
    groups->commonChannel = 4;
    groups->kbdChannel = 11;
    groups->commonPortUsb1 = true;
    groups->kbdPortUsb3 = true;  // no field shows it
    auto* dialog = new CEditPortGroups(frame, EditorApp().Profile(), options, groups, Runner());
    ASSERT_TRUE(dialog->Loaded());
    EXPECT_EQ(Named<wxWindow>(dialog, "KEYBOARD_GROUP")->GetLabel(), "Program");
    EXPECT_EQ(dialog->kbdChannel->GetValue(), 11);

    // Same channel as the common group: the field shows that channel and locks.
    Check(dialog->asCommonChannel, true);
    EXPECT_EQ(dialog->kbdChannel->GetValue(), 4);
    EXPECT_FALSE(dialog->kbdChannel->IsEnabled());
    EXPECT_FALSE(dialog->kbdChannelText->IsEnabled());

    // One common USB port at a time.
    Check(dialog->common[4], true);
    EXPECT_FALSE(dialog->common[2]->GetValue());
    EXPECT_FALSE(dialog->common[3]->GetValue());
    EXPECT_TRUE(dialog->common[4]->GetValue());

    TypeInSpin(dialog->commonChannel, "6", 6);
    EXPECT_EQ(dialog->kbdChannel->GetValue(), 6);
    Press(dialog, wxID_OK);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Edit Port Groups"});
    EXPECT_TRUE(groups->kbdAsCommonChannel);
    EXPECT_EQ(groups->kbdChannel, 11);  // kept while the common channel stands in
    EXPECT_EQ(groups->commonChannel, 6);
    EXPECT_FALSE(groups->commonPortUsb1);
    EXPECT_TRUE(groups->commonPortUsb3);
    EXPECT_TRUE(groups->kbdPortUsb3);
    dialog->Destroy();

    // The keyboard channel field changes only the keyboard channel.
    groups->kbdAsCommonChannel = false;
    dialog = new CEditPortGroups(frame, EditorApp().Profile(), options, groups, Runner());
    TypeInSpin(dialog->kbdChannel, "13", 13);
    EXPECT_EQ(dialog->commonChannel->GetValue(), 6);
    Press(dialog, wxID_OK);
    EXPECT_EQ(groups->kbdChannel, 13);
    EXPECT_EQ(groups->commonChannel, 6);
    EXPECT_EQ(host.commands.size(), 2u);
    dialog->Destroy();

    // OK without a change still makes one entry.
    dialog = new CEditPortGroups(frame, EditorApp().Profile(), options, groups, Runner());
    Press(dialog, wxID_OK);
    EXPECT_EQ(host.commands.size(), 3u);
    dialog->Destroy();
}

TEST_F(DialogTest, KeyboardZoneOkMakesAnEntryOnlyForAChange) {
    CKeyboardZone zone;
    zone.bottomNote = 36;
    zone.topNote = 60;
    zone.portUsb3 = true;
    auto* dialog = new CKbdZoneDialog(frame, EditorApp().Profile(), options, &zone, 1, Runner());
    ASSERT_TRUE(dialog->Loaded());
    EXPECT_EQ(dialog->GetTitle(), "Keyboard zone 2 settings");
    EXPECT_EQ(dialog->topName->GetLabel(), wxString::FromUTF8(CBaseControlState::noteName(60)));
    EXPECT_EQ(dialog->bottomNote->GetMax(), 60);
    EXPECT_FALSE(Named<wxWindow>(dialog, "Midi_Port_Group")->IsShown());
    Press(dialog, wxID_OK);
    EXPECT_TRUE(host.commands.empty());
    dialog->Destroy();

    dialog = new CKbdZoneDialog(frame, EditorApp().Profile(), options, &zone, 1, Runner());
    TypeInSpin(dialog->bottomNote, "48", 48);
    EXPECT_EQ(dialog->topNote->GetMin(), 48);
    Check(dialog->ports[1], true);
    EXPECT_FALSE(dialog->ports[0]->GetValue());
    Press(dialog, wxID_OK);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Edit Keyboard Zone"});
    EXPECT_EQ(zone.bottomNote, 48);
    EXPECT_TRUE(zone.portUsb2);
    EXPECT_FALSE(zone.portUsb1);
    EXPECT_TRUE(zone.portUsb3);
    dialog->Destroy();
}

TEST_F(DialogTest, KeyboardZoneNoteFieldsTakeTheNotePlayedWhileFocused) {
    CKeyboardZone zone;
    zone.bottomNote = 36;
    zone.topNote = 84;
    auto* dialog = new CKbdZoneDialog(frame, EditorApp().Profile(), options, &zone, 0, Runner());
    ASSERT_TRUE(dialog->Loaded());
    dialog->Show();
    struct Case {
        const char* focus;  // field with the keyboard focus
        int status, note;
        int top, bottom;    // the fields afterwards
    };
    const Case cases[] = {
        {"Top_Note", 0x90, 72, 72, 36},         // Note On, channel 1
        {"Top_Note", 0x9F, 96, 96, 36},         // channel 16
        {"Top_Note", 0x80, 60, 96, 36},         // Note Off: ignored
        {"Top_Note", 0xB0, 60, 96, 36},         // a CC: ignored
        {"Bottom_Note", 0x93, 48, 96, 48},
        {"Velocity_Offset", 0x90, 50, 96, 48},  // no note field focused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + std::to_string(c.status) + " " + std::to_string(c.note));
        wxWindow* field = Named<wxWindow>(dialog, c.focus);
        field->SetFocus();
        for (int i = 0; i < 50 && !field->HasFocus(); ++i) {
            Pump();
            wxMilliSleep(10);
        }
        dialog->NoteReceived(c.status, c.note);
        EXPECT_EQ(dialog->topNote->GetValue(), c.top);
        EXPECT_EQ(dialog->bottomNote->GetValue(), c.bottom);
    }
    EXPECT_EQ(dialog->bottomName->GetLabel(), wxString::FromUTF8(CBaseControlState::noteName(48)));
    // The bottom note may not rise above the top note.
    EXPECT_EQ(dialog->bottomNote->GetMax(), 96);
    Press(dialog, wxID_OK);
    EXPECT_EQ(zone.topNote, 96);
    EXPECT_EQ(zone.bottomNote, 48);
    dialog->Destroy();
}

TEST_F(DialogTest, AMissingLayoutIsReportedAndTheDialogIsNotLoaded) {
    const wxString file = ProgramFolder() + "/TaNGRAQVLumiEditor.xrc";
    // The file is read when first needed: read it, then take it away.
    XrcResources::Ensure("ID_TEMPLATEDIALOG");
    ASSERT_TRUE(wxXmlResource::Get()->Unload(file));
    {
        ErrorCapture capture;
        auto* dialog = new CTemplateSettings(frame, EditorApp().Profile(), options, &tpl->localSettings(), Runner());
        EXPECT_FALSE(dialog->Loaded());
        delete dialog;  // never created as a window
        ASSERT_FALSE(capture.errors.empty());
        EXPECT_NE(capture.errors.back().find("Missing wxXmlResource::Get()->Load() in OnInit()?"), std::string::npos)
            << capture.errors.back();
    }
    ASSERT_TRUE(wxXmlResource::Get()->Load(file));
}
