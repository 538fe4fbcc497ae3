// The control edit panels on a window of their own, driven through their
// real controls: panel sets, type lists, name and number entry, the SysEx
// text, the pot and button options, and the observers between panels.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/spinctrl.h>

#include <algorithm>
#include <set>

#include "EditPanelsSupport.h"
#include "model/SysExText.h"
#include "model/WordHistory.h"

using namespace paneltest;

namespace {
struct SetCase {
    int index;
    int type;
    std::vector<std::string> panels;
};
}  // namespace

TEST_F(PanelTest, EachKindAndTypeStacksItsPanels) {
    const SetCase cases[] = {
        {24, ControlType::Disabled, {"ID_GENERICDIALOG"}},
        {24, ControlType::CC,
         {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_CCDIALOG", "ID_SNAPVALUEDIALOG", "ID_BUTTONSPECIFICDIALOG"}},
        {24, ControlType::RPN,
         {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_NRPNDIALOG", "ID_SNAPVALUEDIALOG", "ID_BUTTONSPECIFICDIALOG"}},
        {24, ControlType::SysEx,
         {"ID_GENERICDIALOG", "ID_SYSEXDIALOG", "ID_SNAPVALUEDIALOG", "ID_BUTTONSPECIFICDIALOG"}},
        {24, ControlType::MMC, {"ID_GENERICDIALOG", "ID_MMCDIALOG"}},
        {24, ControlType::NoteOnOffAlt, {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_NOTEONDIALOG"}},
        {24, ControlType::ProgramChange,
         {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "staticText", "ID_SNAPVALUEDIALOG", "ID_BUTTONSPECIFICDIALOG"}},
        {70, ControlType::DrumNote, {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_DRUMNOTEDIALOG"}},
        // A type the control cannot have: the common panel, to choose another.
        {24, ControlType::BankSelect, {"ID_GENERICDIALOG"}},
        {0, ControlType::CC,
         {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_CCDIALOG", "ID_SNAPVALUEDIALOG", "ID_POTSPECIFICDIALOG"}},
        {8, ControlType::NRPN,
         {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_NRPNDIALOG", "ID_SNAPVALUEDIALOG", "ID_POTSPECIFICDIALOG"}},
        {16, ControlType::SysEx, {"ID_GENERICDIALOG", "ID_SYSEXDIALOG", "ID_SNAPVALUEDIALOG", "ID_POTSPECIFICDIALOG"}},
        {64, ControlType::PitchBend, {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "ID_POTSPECIFICDIALOG"}},
        {65, ControlType::Aftertouch, {"ID_GENERICDIALOG", "ID_MIDICHANNELDIALOG", "panel"}},
        {0, ControlType::MMC, {"ID_GENERICDIALOG"}},
    };
    for (const SetCase& c : cases) {
        Control(c.index).controlType = c.type;
        Open(c.index);
        EXPECT_EQ(PanelNames(), c.panels) << "control " << c.index << " type " << c.type;
        // Every panel found its layout.
        for (wxSizerItem* item : sizer->GetChildren())
            if (auto* panel = dynamic_cast<CEditPanel*>(item->GetWindow())) {
                EXPECT_TRUE(panel->Loaded());
            }
    }
}

TEST_F(PanelTest, TypeListFollowsTheControl) {
    struct Case {
        int index;
        std::vector<std::string> types;
    };
    const Case cases[] = {
        {24, {"Disabled", "CC", "NRPN", "RPN", "SysEx", "Program Change", "MMC", "Note On/Off"}},
        {70, {"Disabled", "CC", "NRPN", "RPN", "SysEx", "Program Change", "MMC", "Drum Note"}},
        {64, {"Disabled", "CC", "NRPN", "RPN", "SysEx", "Pitch Bend"}},
        {0, {"Disabled", "CC", "NRPN", "RPN", "SysEx"}},
    };
    for (const Case& c : cases) {
        Control(c.index).controlType = ControlType::Disabled;
        Open(c.index);
        auto* type = Find<wxChoice>("Type");
        ASSERT_NE(type, nullptr);
        std::vector<std::string> shown;
        for (unsigned i = 0; i < type->GetCount(); ++i) shown.push_back(type->GetString(i).ToStdString());
        std::vector<std::string> expected;
        for (const std::string& t : c.types) expected.push_back(t);
        EXPECT_EQ(shown, expected) << "control " << c.index;
    }
}

TEST_F(PanelTest, ChoosingATypeRunsOneTypeCommand) {
    Control(24).controlType = ControlType::ProgramChange;
    Open(24);
    auto* type = Find<wxChoice>("Type");
    ASSERT_NE(type, nullptr);
    Choose(type, type->FindString("MMC"));
    EXPECT_EQ(host.commands, std::vector<std::string>{"Set Control Type"});
    EXPECT_EQ(Control(24).getControlType(), ControlType::MMC);
    // Choosing the type it already has makes no command.
    Choose(type, type->FindString("MMC"));
    EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(PanelTest, NameFieldRefusesANinthCharacterAndUnderscores) {
    Control(0).controlType = ControlType::CC;
    Control(0).setName("");
    Open(0);
    auto* name = Find<wxTextCtrl>("Name");
    ASSERT_NE(name, nullptr);
    struct Key {
        wxString before;
        wxChar key;
        bool accepted;
    };
    const Key keys[] = {
        {"", 'A', true},         {"ABCDEFG", 'H', true}, {"ABCDEFGH", 'I', false}, {"", '_', false},
        {"AB", '[', false},      {"AB", '~', false},     {"AB", '?', true},        {"AB", ' ', true},
        {"AB", '"', true},       {"AB", '|', false},
    };
    for (const Key& k : keys) {
        name->ChangeValue(k.before);
        name->SetInsertionPointEnd();
        const int beeps = EntryFields::BeepCount();
        const bool passed = SendChar(name, k.key);
        EXPECT_EQ(passed, k.accepted) << "'" << char(k.key) << "' after \"" << k.before.ToStdString() << "\"";
        EXPECT_EQ(EntryFields::BeepCount() - beeps, k.accepted ? 0 : 1) << char(k.key);
    }
}

TEST_F(PanelTest, TypingANameMakesOneEntryPerChangeAndRefreshMakesNone) {
    Control(0).controlType = ControlType::CC;
    Control(0).setName("");
    Open(0);
    auto* name = Find<wxTextCtrl>("Name");
    ASSERT_NE(name, nullptr);
    name->SetFocus();
    Pump();
    TypeText("CUT");
    EXPECT_EQ(name->GetValue(), "CUT");
    EXPECT_EQ(host.commands, std::vector<std::string>(3, "Set Control Name"));
    EXPECT_EQ(Control(0).getName(), "CUT");
    RefreshPanels();
    EXPECT_EQ(host.commands.size(), 3u);
    // Undo brings the field back with the model, without a command.
    undoCommand(*tpl);
    RefreshPanels();
    EXPECT_EQ(name->GetValue(), "CU");
    EXPECT_EQ(host.commands.size(), 3u);
}

TEST_F(PanelTest, NumberFieldsCommitOnlyValuesInRange) {
    Control(0).controlType = ControlType::CC;
    Control(0).midiChannel = 3;
    Open(0);
    auto* channel = Find<NumberTextCtrl>("Midi_Channel");
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->GetValue(), "3");
    struct Step {
        wxString typed;
        bool enter;  // else the focus leaves the field
        size_t commands;
        wxString shownAfter;
        int channelAfter;
    };
    const Step steps[] = {
        {"17", false, 0, "3", 3}, {"0", true, 0, "3", 3}, {"5", true, 1, "5", 5},
        {"5", false, 1, "5", 5},  {"16", false, 2, "16", 16}, {"", true, 2, "16", 16},
    };
    for (const Step& s : steps) {
        channel->ChangeValue(s.typed);
        channel->MarkDirty();
        if (s.enter) {
            wxCommandEvent enter(wxEVT_TEXT_ENTER, channel->GetId());
            enter.SetEventObject(channel);
            channel->ProcessWindowEvent(enter);
        } else {
            wxFocusEvent leave(wxEVT_KILL_FOCUS, channel->GetId());
            leave.SetEventObject(channel);
            channel->ProcessWindowEvent(leave);
        }
        EXPECT_EQ(host.commands.size(), s.commands) << "typed " << s.typed.ToStdString();
        EXPECT_EQ(channel->GetValue(), s.shownAfter) << "typed " << s.typed.ToStdString();
        EXPECT_EQ(Control(0).getMidiChannel(), s.channelAfter);
    }
    EXPECT_EQ(host.commands.back(), "Set Control MIDIChannel / MMC Device");
}

TEST_F(PanelTest, NumberValidatorTakesOnlyWholeNumbers) {
    Control(0).controlType = ControlType::CC;
    Open(0);
    auto* number = Find<NumberTextCtrl>("CC_Number");
    ASSERT_NE(number, nullptr);
    struct Key {
        wxString before;
        wxChar key;
        bool accepted;
    };
    const Key keys[] = {{"", '5', true}, {"", '-', false}, {"1", 'x', false}, {"12", '.', false},
                        {"-", '5', true}, {"-5", '-', false}, {"7", ':', false}};
    for (const Key& k : keys) {
        number->ChangeValue(k.before);
        number->SetInsertionPointEnd();
        const int beeps = EntryFields::BeepCount();
        EXPECT_EQ(SendChar(number, k.key), k.accepted) << "'" << char(k.key) << "' after " << k.before.ToStdString();
        EXPECT_EQ(EntryFields::BeepCount() - beeps, k.accepted ? 0 : 1);
    }
}

TEST_F(PanelTest, CommonChannelGroupShowsTheTemplateChannelAndLocksTheField) {
    Control(0).controlType = ControlType::CC;
    Control(0).midiChannel = 3;
    Control(0).channelGroup = ChannelGroup::Common;
    tpl->groupSettings()->commonChannel = 9;
    tpl->groupSettings()->kbdChannel = 12;
    Open(0);
    auto* channel = Find<NumberTextCtrl>("Midi_Channel");
    auto* group = Find<wxChoice>("Midi_Chanel_Group");
    ASSERT_TRUE(channel && group);
    EXPECT_EQ(group->GetSelection(), 1);
    EXPECT_FALSE(channel->IsEnabled());
    EXPECT_EQ(channel->GetValue(), "9");
    // The program group; then the control's own channel again.
    Choose(group, 2);
    EXPECT_EQ(channel->GetValue(), "12");
    EXPECT_FALSE(channel->IsEnabled());
    Choose(group, 0);
    EXPECT_EQ(channel->GetValue(), "3");
    EXPECT_TRUE(channel->IsEnabled());
    EXPECT_EQ(host.commands, std::vector<std::string>(2, "Set Control MIDI Channel Group"));
}

TEST_F(PanelTest, TickingASecondUsbPortIsOneEntryThatUndoesWhole) {
    Control(0).controlType = ControlType::CC;
    Control(0).portUsb1 = true;
    Control(0).portUsb2 = false;
    Open(0);
    auto* usb2 = Find<wxCheckBox>("Enable_USB_Port_B");
    ASSERT_NE(usb2, nullptr);
    Check(usb2, true);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Enable Control USB Port 2"});
    EXPECT_EQ(undoName(*tpl), "Enable Control USB Port 2");
    EXPECT_FALSE(Control(0).getPortUsb1());
    EXPECT_TRUE(Control(0).getPortUsb2());
    EXPECT_FALSE(Find<wxCheckBox>("Enable_USB_Port")->GetValue());
    undoCommand(*tpl);
    EXPECT_TRUE(Control(0).getPortUsb1());
    EXPECT_FALSE(Control(0).getPortUsb2());
    // The MIDI ports are independent of each other.
    Check(Find<wxCheckBox>("Enable_Midi_Port_2"), false);
    EXPECT_EQ(host.commands.back(), "Disable Control MIDI Port 2");
    EXPECT_TRUE(Control(0).getPortMidi1());
}

TEST_F(PanelTest, PortGroupLocksTheOwnPortBoxesAndDisabledLocksAll) {
    Control(0).controlType = ControlType::CC;
    Control(0).portGroup = PortGroup::Common;
    tpl->groupSettings()->commonPortUsb3 = true;
    tpl->groupSettings()->commonPortUsb1 = false;
    Open(0);
    EXPECT_TRUE(Find<wxCheckBox>("Enable_USB_Port_C")->GetValue());
    EXPECT_FALSE(Find<wxCheckBox>("Enable_USB_Port_C")->IsEnabled());
    EXPECT_TRUE(Find<wxChoice>("Midi_Port_Group")->IsEnabled());
    Control(1).controlType = ControlType::Disabled;
    Open(1);
    EXPECT_FALSE(Find<wxChoice>("Midi_Port_Group")->IsEnabled());
    EXPECT_FALSE(Find<wxCheckBox>("Enable_Midi_Port_1")->IsEnabled());
    EXPECT_FALSE(Find<wxWindow>("ID_SEPARATOR")->IsShown());
}

TEST_F(PanelTest, SysExTextChangesNothingUntilSet) {
    Control(24).controlType = ControlType::SysEx;
    Open(24);
    auto* text = Find<wxTextCtrl>("Sys_Ex_Message");
    auto* status = Find<wxStaticText>("Message_Status");
    auto* panel = FindPanel<CSysExDialog>();
    ASSERT_NE(panel, nullptr);
    auto* set = Find<wxButton>("ID_SETBUTTON");
    ASSERT_TRUE(text && status && set);
    const SysExMessage before = Control(24).getSysExData();
    int valid = 0, invalid = 0;
    for (const char* typed : {"00 GG", "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D", "00 11 DV 7F", "0a dv", "1"}) {
        text->SetValue(typed);  // as typed: a text event
        SysExMessage parsed = before;
        std::string expectedStatus;
        const bool ok = parseMessageText(typed, parsed, expectedStatus);
        EXPECT_EQ(set->IsEnabled(), ok) << typed;
        ++(ok ? valid : invalid);
        // The label is wrapped to the window; its words are the parser's.
        EXPECT_EQ(panel->StatusText().ToStdString(), expectedStatus) << typed;
        wxString unwrapped = status->GetLabel();
        unwrapped.Replace("\n", " ");
        EXPECT_EQ(unwrapped, panel->StatusText());
        EXPECT_TRUE(Control(24).getSysExData() == before) << typed;
        // A repaint keeps what was typed.
        RefreshPanels();
        EXPECT_EQ(text->GetValue(), typed);
    }
    EXPECT_GE(valid, 1);
    EXPECT_GE(invalid, 2);
    EXPECT_TRUE(host.commands.empty());
    text->SetValue("00 11 DV 7F");
    ASSERT_TRUE(set->IsEnabled());
    Click(set);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Set Control SysEx Data"});
    SysExMessage expected = before;
    std::string ignored;
    ASSERT_TRUE(parseMessageText("00 11 DV 7F", expected, ignored));
    EXPECT_TRUE(Control(24).getSysExData() == expected);
}

TEST_F(PanelTest, PickUpAnd14BitOptionsAppearOnTheirControlsOnly) {
    for (int i = 0; i <= 23; ++i) {
        Control(i).controlType = ControlType::CC;
        Open(i);
        const bool strategy = Find<wxWindow>("Pot_Strategy")->IsShown();
        const bool wide = Find<wxWindow>("Send_14_Bit_Values")->IsShown();
        EXPECT_EQ(strategy, i <= 7 || i >= 16) << "control " << i;
        EXPECT_EQ(Find<wxWindow>("ID_CATCHUPTEXT")->IsShown(), strategy) << "control " << i;
        EXPECT_EQ(wide, i >= 8 && i <= 15) << "control " << i;
        // This device sets pick-up per template, so the per-pot box never shows.
        EXPECT_FALSE(Find<wxWindow>("Do_Pot_Pickup")->IsShown());
    }
    Control(64).controlType = ControlType::PitchBend;
    Open(64);
    EXPECT_FALSE(Find<wxWindow>("Display_0_To_127")->IsShown());
    EXPECT_FALSE(Find<wxWindow>("Pot_Strategy")->IsShown());
}

TEST_F(PanelTest, FourteenBitValuesWidenTheRanges) {
    Control(8).controlType = ControlType::CC;
    Control(8).displayFormat = DisplayFormat::Send14Bit;
    Control(8).onValue = 16000;
    Open(8);
    auto* wide = Find<wxCheckBox>("Send_14_Bit_Values");
    auto* high = Find<NumberTextCtrl>("High_Value");
    auto* low = Find<NumberTextCtrl>("Low_Value");
    ASSERT_TRUE(wide && high && low);
    EXPECT_TRUE(wide->GetValue());
    for (const char* name : {"Display_0_To_127", "Display_Minus_64_To_63", "REL_1", "REL_2", "A_POT"})
        EXPECT_FALSE(Find<wxWindow>(name)->IsEnabled()) << name;
    EXPECT_EQ(high->GetValue(), "16000");
    Commit(high, "16383");
    EXPECT_EQ(Control(8).getOnValue(), 16383);
    Commit(low, "200");
    EXPECT_EQ(Control(8).getOffValue(), 200);
    Check(wide, false);
    EXPECT_EQ(Control(8).getDisplayFormat(), DisplayFormat::Range0To127);
    EXPECT_TRUE(Find<wxRadioButton>("Display_0_To_127")->GetValue());
    EXPECT_TRUE(Find<wxWindow>("REL_1")->IsEnabled());
    const size_t before = host.commands.size();
    Commit(high, "200");
    EXPECT_EQ(host.commands.size(), before);
    EXPECT_EQ(high->GetValue(), "16383");
    EXPECT_EQ(host.commands, (std::vector<std::string>{"Set High Value", "Set Low Value", "Set Control Display Format"}));
}

TEST_F(PanelTest, ButtonActionDrivesTheSnapshotFieldThroughTheObservers) {
    Control(24).controlType = ControlType::CC;
    Control(24).buttonAction = ButtonAction::Normal;
    Open(24);
    auto* snapshot = Find<NumberTextCtrl>("Snapshot_Value");
    auto* high = Find<NumberTextCtrl>("Release_Stroke_Max_Value");
    ASSERT_TRUE(snapshot && high);
    EXPECT_FALSE(snapshot->IsEnabled());
    EXPECT_FALSE(high->IsEnabled());
    EXPECT_EQ(host.observers.size(), 2u);
    Radio(Find<wxRadioButton>("Toggle_Button"));
    EXPECT_EQ(host.commands, std::vector<std::string>{"Set Button Action"});
    EXPECT_TRUE(snapshot->IsEnabled());
    EXPECT_TRUE(high->IsEnabled());
    undoCommand(*tpl);
    EXPECT_FALSE(snapshot->IsEnabled());
    EXPECT_TRUE(Find<wxRadioButton>("Normal_Button")->GetValue());
    // Step enables the step size; its spin commits a changed size.
    Radio(Find<wxRadioButton>("Step_Button"));
    auto* step = Find<wxSpinCtrl>("Button_Step_Size");
    ASSERT_NE(step, nullptr);
    EXPECT_TRUE(step->IsEnabled());
    step->SetValue(4);
    wxCommandEvent text(wxEVT_TEXT, step->GetId());
    text.SetEventObject(step);
    text.SetInt(4);
    step->ProcessWindowEvent(text);
    EXPECT_EQ(Control(24).stepSize, 4);
    EXPECT_EQ(host.commands.back(), "Set Button Step Size");
}

TEST_F(PanelTest, NoteControlWithStepActionIsRepairedQuietly) {
    Control(30).controlType = ControlType::NoteOnOff;
    Control(30).buttonAction = ButtonAction::Step;
    Open(30);
    EXPECT_TRUE(Find<wxRadioButton>("Normal_Button")->GetValue());
    EXPECT_EQ(Control(30).buttonAction, ButtonAction::Normal);
    EXPECT_FALSE(canUndo(*tpl));
    EXPECT_FALSE(tpl->isModified());
    EXPECT_EQ(Find<wxStaticText>("ID_NOTENAME")->GetLabel(),
              wxString::FromUTF8(CBaseControlState::noteName(Control(30).getLsbNumber())));
}

TEST_F(PanelTest, DrumPadAndMmcSpecifics) {
    Control(70).controlType = ControlType::CC;
    Open(70);
    auto* momentary = Find<wxRadioButton>("Momentary_Button");
    ASSERT_NE(momentary, nullptr);
    EXPECT_EQ(momentary->GetLabel(), "Velocity");
    EXPECT_EQ(momentary->GetToolTipText(), "Send a value in proportion to hit velocity");
    Control(25).controlType = ControlType::CC;
    Open(25);
    EXPECT_NE(Find<wxRadioButton>("Momentary_Button")->GetLabel(), "Velocity");

    Control(56).controlType = ControlType::MMC;
    Control(56).mmcCommand = 0;
    Open(56);
    for (const char* name : {"ID_STOP", "ID_PLAY", "ID_DEFPLAY", "ID_FORWARD", "ID_REWIND", "ID_RECORD", "ID_RECEXIT",
                             "ID_RECPAUSE", "ID_PAUSE", "ID_EJECT", "ID_CHASE", "ID_ERRRESET", "ID_MMCRESET"})
        EXPECT_FALSE(Find<wxRadioButton>(name)->GetValue()) << name;
    EXPECT_FALSE(Find<wxWindow>("Name")->IsEnabled());
    Radio(Find<wxRadioButton>("ID_EJECT"));
    EXPECT_EQ(Control(56).getMmcCommand(), MmcCommand::Eject);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Set Control MMC Command"});
    Commit(Find<NumberTextCtrl>("MMC_Device_Number"), "127");
    EXPECT_EQ(Control(56).getMidiChannel(), 127);
}

TEST_F(PanelTest, CompletionOffersHistoryWordsForTheWordBeingTyped) {
    CWordHistory::instance().addWord("filter");
    Control(0).controlType = ControlType::CC;
    Control(0).setName("");
    Open(0);
    auto* panel = FindPanel<CGenericDialog>();
    ASSERT_TRUE(panel && panel->completion);
    CAutoCompleteMenu* menu = panel->completion;
    menu->update("fi");
    ASSERT_FALSE(menu->Candidates().empty());
    EXPECT_EQ(menu->Candidates().front(), "filter");
    EXPECT_EQ(menu->replacementText(0), "filter ");
    // Words that would not fit in 8 characters are left out.
    menu->update("Lo fi");
    for (const wxString& c : menu->Candidates()) EXPECT_LE(("Lo " + c).Trim().length(), 8u) << c.ToStdString();
    menu->update("x");
    menu->update("fi");
    menu->activate(0);
    EXPECT_EQ(panel->name->GetValue(), "filter ");
}

namespace {
// The fields that begin a row of the form, and the labels beside them.
const char* const kRowFields[] = {
    "Name", "Type", "Midi_Port_Group", "Enable_Midi_Port_1", "Midi_Chanel_Group", "Midi_Channel", "CC_Number",
    "Most_Significant_Byte", "Least_Significant_Byte", "Snapshot_Value", "MMC_Device_Number", "ID_STOP",
    "Sys_Ex_Message", "Message_Status", "Press_Stroke_Min_Value", "Release_Stroke_Max_Value", "Display_0_To_127",
    "Normal_Button", "Button_Step_Size", "Note_Number", "Velocity_Curve", "Auto_Off", "Off_Sync", "Note_Velocity",
    "Low_Value", "High_Value", "Pot_Strategy", "Do_Pot_Pickup", "Send_14_Bit_Values", "REL_1", "A_POT"};

void collect(wxWindow* window, std::vector<wxWindow*>& out) {
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsShown()) continue;
        out.push_back(child);
        collect(child, out);
    }
}
}  // namespace

TEST_F(PanelTest, EveryPanelSetIsOneFormWithItsFieldsInOneColumn) {
    const SetCase cases[] = {
        {24, ControlType::CC, {}},         {25, ControlType::NRPN, {}},     {26, ControlType::SysEx, {}},
        {56, ControlType::MMC, {}},        {27, ControlType::NoteOnOff, {}}, {28, ControlType::ProgramChange, {}},
        {70, ControlType::DrumNote, {}},   {0, ControlType::CC, {}},        {8, ControlType::NRPN, {}},
        {1, ControlType::SysEx, {}},       {64, ControlType::PitchBend, {}}, {24, ControlType::Disabled, {}},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "control " << c.index << " type " << c.type);
        Control(c.index).controlType = c.type;
        Open(c.index);
        std::vector<wxWindow*> shown;
        collect(frame, shown);
        std::set<int> fieldX, labelX, headingX;
        int labelRight = 0;
        for (wxWindow* w : shown) {
            const std::string name = w->GetName().ToStdString();
            const int x = w->GetScreenPosition().x;
            if (std::find(std::begin(kRowFields), std::end(kRowFields), name) != std::end(kRowFields)) {
                fieldX.insert(x);
            } else if (name == "Section_Heading") {
                headingX.insert(x);
            } else if (dynamic_cast<wxStaticText*>(w) && name != "ID_NOTENAME") {
                labelX.insert(x);
                labelRight = std::max(labelRight, x + w->GetBestSize().x);
            }
        }
        EXPECT_EQ(fieldX.size(), 1u) << "fields start at " << fieldX.size() << " places";
        EXPECT_EQ(labelX.size(), 1u) << "labels start at " << labelX.size() << " places";
        EXPECT_EQ(headingX.size(), 1u);
        if (fieldX.size() == 1 && labelX.size() == 1 && headingX.size() == 1) {
            EXPECT_LT(*headingX.begin(), *labelX.begin()) << "rows are indented under their heading";
            EXPECT_LE(labelRight + 6, *fieldX.begin()) << "labels keep clear of the fields";
        }
    }
}

TEST_F(PanelTest, LowComesBeforeHighAndAProgramChangeNamesItsNumber) {
    auto above = [this](const char* upper, const char* lower) {
        return Find<wxWindow>(upper)->GetScreenPosition().y < Find<wxWindow>(lower)->GetScreenPosition().y;
    };
    Control(0).controlType = ControlType::CC;
    Open(0);
    EXPECT_TRUE(above("Low_Value", "High_Value"));
    Control(24).controlType = ControlType::CC;
    Open(24);
    EXPECT_TRUE(above("Press_Stroke_Min_Value", "Release_Stroke_Max_Value"));
    auto* low = Find<wxStaticText>("ID_LOWTEXT");
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(low->GetLabel(), "Low value:");
    Control(24).controlType = ControlType::ProgramChange;
    Open(24);
    low = Find<wxStaticText>("ID_LOWTEXT");
    auto* high = Find<wxStaticText>("ID_HIGHTEXT");
    ASSERT_TRUE(low && high);
    EXPECT_EQ(low->GetLabel(), "Program:");
    EXPECT_EQ(high->GetLabel(), "High value:");
    // The caption sits beside the program's field.
    const wxRect caption = low->GetScreenRect();
    const wxRect field = Find<wxWindow>("Press_Stroke_Min_Value")->GetScreenRect();
    EXPECT_LT(std::abs(caption.y + caption.height / 2 - (field.y + field.height / 2)), 4);
}

TEST_F(PanelTest, ThePickUpListNamesItsEntriesAndKeepsAValueFromAFile) {
    Control(0).controlType = ControlType::CC;
    Control(0).potCatchup = 3;
    Open(0);
    auto* strategy = Find<wxChoice>("Pot_Strategy");
    ASSERT_NE(strategy, nullptr);
    const std::vector<wxString> named = {"Jump", "Pick-up", "Template setting", "Value scaling"};
    const wxArrayString entries = strategy->GetStrings();
    EXPECT_EQ(std::vector<wxString>(entries.begin(), entries.end()), named);
    EXPECT_EQ(strategy->GetSelection(), 3);
    // A file may hold a value beyond them: entry n still stands for value n.
    Control(0).potCatchup = 6;
    Open(0);
    strategy = Find<wxChoice>("Pot_Strategy");
    ASSERT_EQ(strategy->GetCount(), 7u);
    EXPECT_EQ(strategy->GetSelection(), 6);
    EXPECT_EQ(strategy->GetString(6), "Value 6");
    Choose(strategy, 1);
    EXPECT_EQ(Control(0).getPotCatchup(), 1);
    EXPECT_EQ(host.commands, std::vector<std::string>{"Edit Control Pot Strategy"});
}
