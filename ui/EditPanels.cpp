#include "ui/EditPanels.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>
#include <wx/utils.h>

#include <algorithm>
#include <functional>
#include <chrono>
#include <cstdint>

#include "editing/ControlCommands.h"
#include "editing/MetaCommand.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/TemplateParts.h"
#include "model/SysExText.h"
#include "ui/XrcResources.h"

const char* const kMissingResourceText = "Missing wxXmlResource::Get()->Load() in OnInit()?";

void RemoveFromLayout(wxWindow* window) {
    if (!window) return;
    // In a grid the cell stays, hidden, so that the cells after it keep their
    // columns; a grid row with nothing shown takes no room.
    wxSizer* sizer = window->GetContainingSizer();
    if (sizer && !dynamic_cast<wxGridSizer*>(sizer)) sizer->Detach(window);
    window->Hide();
}

namespace {
void* clientData(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }
int clientNumber(wxChoice* choice, int entry) {
    return static_cast<int>(reinterpret_cast<intptr_t>(choice->GetClientData(static_cast<unsigned>(entry))));
}
// Selects the entry carrying `number`; nothing changes when there is none.
void selectByClientData(wxChoice* choice, int number) {
    if (!choice) return;
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        if (clientNumber(choice, static_cast<int>(i)) == number) {
            if (choice->GetSelection() != static_cast<int>(i)) choice->SetSelection(static_cast<int>(i));
            return;
        }
}
void setChecked(wxCheckBox* box, bool on) {
    if (box && box->GetValue() != on) box->SetValue(on);
}
void setRadio(wxRadioButton* button, bool on) {
    if (button && button->GetValue() != on) button->SetValue(on);
}
void enable(wxWindow* w, bool on) {
    if (w && w->IsEnabled() != on) w->Enable(on);
}
void setLabel(wxWindow* w, const wxString& text) {
    if (w && w->GetLabel() != text) w->SetLabel(text);
}
}  // namespace

// --- Base ---------------------------------------------------------------------------

CEditPanel::CEditPanel(IEditPanelHost& host, wxWindow* parent, const char* resource) : host(host) {
    loaded = XrcResources::LoadPanel(this, parent, resource);
    if (!loaded) {
        wxLogError(kMissingResourceText);
        Create(parent, wxID_ANY);
    }
    Bind(wxEVT_PAINT, &CEditPanel::OnPaint, this);
}

void CEditPanel::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    refresh();
}

void CEditPanel::run(std::unique_ptr<ICommand> command) {
    if (!command) return;
    host.RunPanelCommand(std::move(command));
    // A command may change more than this panel shows (MIDI learn sets the
    // type, number and channel at once): every panel shows the model again.
    if (wxWindow* parent = GetParent())
        for (wxWindow* child : parent->GetChildren())
            if (auto* panel = dynamic_cast<CEditPanel*>(child); panel && panel->Control()) panel->refresh();
}

NumberTextCtrl::CommandRunner CEditPanel::runner() {
    return [this](std::unique_ptr<ICommand> command) { run(std::move(command)); };
}

void CEditPanel::showNumber(NumberTextCtrl* field, int value) {
    if (!field) return;
    // Text the user is typing stays until it is committed or refused.
    if (field->HasFocus() && field->IsModified()) return;
    field->show(value);
}

void CEditPanel::OnPaint(wxPaintEvent& event) {
    if (control) refresh();
    event.Skip();
}

// --- Common panel ---------------------------------------------------------------------------

CGenericDialog::CGenericDialog(IEditPanelHost& host, wxWindow* parent, int controlIndex)
    : CEditPanel(host, parent, "ID_GENERICDIALOG") {
    const IDeviceProfile& p = profile();
    name = find<wxTextCtrl>("Name");
    RemoveFromLayout(find<wxWindow>("ID_PARAMNAMETEXT"));
    RemoveFromLayout(find<wxWindow>("Parameter_Name"));
    type = find<wxChoice>("Type");
    learn = find<wxToggleButton>("Learn");
    if (learn) learn->Bind(wxEVT_TOGGLEBUTTON, &CGenericDialog::OnLearn, this);
    portGroup = find<wxChoice>("Midi_Port_Group");
    const char* portNames[5] = {"Enable_Midi_Port_1", "Enable_Midi_Port_2", "Enable_USB_Port", "Enable_USB_Port_B",
                                "Enable_USB_Port_C"};
    for (int i = 0; i < 5; ++i) {
        ports[i] = find<wxCheckBox>(portNames[i]);
        if (ports[i]) ports[i]->SetLabel(host.PortCaption(i));
    }

    if (name) {
        name->SetValidator(CNameValidator(p.GetMaxNameLength()));
        if (host.PanelAutoComplete())
            completion = CAutoCompleteMenu::create(this, name, p.GetMaxNameLength(), this);
        name->Bind(wxEVT_TEXT, &CGenericDialog::OnName, this);
    }

    if (type) {
        type->Clear();
        auto add = [this](int t) {
            type->Append(wxString::FromUTF8(CBaseControlState::typeName(t)), clientData(t));
        };
        if (p.IsButtonControl(controlIndex)) {
            for (int t : {ControlType::Disabled, ControlType::CC, ControlType::NRPN, ControlType::RPN}) add(t);
            if (p.HasSysExMessages()) add(ControlType::SysEx);
            add(ControlType::ProgramChange);
            add(ControlType::MMC);
            add(p.UsesDrumNotes(controlIndex) ? ControlType::DrumNote : ControlType::NoteOnOff);
        } else {
            for (int t : {ControlType::Disabled, ControlType::CC, ControlType::NRPN, ControlType::RPN}) add(t);
            if (p.HasSysExMessages()) add(ControlType::SysEx);
            if (p.AllowsPitchBend(controlIndex)) add(ControlType::PitchBend);
            if (p.AllowsAftertouch(controlIndex)) add(ControlType::Aftertouch);
        }
        type->Bind(wxEVT_CHOICE, &CGenericDialog::OnType, this);
    }

    if (portGroup) {
        portGroup->Clear();
        portGroup->Append("As below:", clientData(0));
        portGroup->Append("Common ports", clientData(1));
        portGroup->Append(p.HasKeyboard() ? "Keyboard ports" : "Program ports", clientData(2));
        portGroup->Bind(wxEVT_CHOICE, &CGenericDialog::OnPortGroup, this);
    }
    if (!p.HasMidiPort2()) RemoveFromLayout(ports[1]);
    if (!p.HasUsbPort2()) RemoveFromLayout(ports[3]);
    if (!p.HasUsbPort3()) RemoveFromLayout(ports[4]);
    if (!p.HasPortGroups()) {
        RemoveFromLayout(portGroup);
        RemoveFromLayout(find<wxWindow>("ID_MIDIGROUPTEXT"));
    }
    for (wxCheckBox* box : ports)
        if (box) box->Bind(wxEVT_CHECKBOX, &CGenericDialog::OnPort, this);
}

void CGenericDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    const IDeviceProfile& p = profile();
    const int t = s->getControlType();
    if (name) {
        enable(name, !(t == ControlType::MMC && !p.CanNameMmcControls()));
        const wxString text = wxString::FromUTF8(s->getName());
        if (name->GetValue() != text) name->ChangeValue(text);
    }
    showType(t);
    refreshPorts();
    if (wxWindow* separator = find<wxWindow>("ID_SEPARATOR")) separator->Show(t != ControlType::Disabled);
}

void CGenericDialog::showType(int t) {
    if (!type) return;
    // A type the control cannot have (a file from elsewhere) is shown as an
    // extra entry, so that the user sees it and can choose a proper one; the
    // entry goes once the control has another type.
    const wxString marker = " (not for this control)";
    for (unsigned i = type->GetCount(); i-- > 0;)
        if (type->GetString(i).EndsWith(marker) && clientNumber(type, static_cast<int>(i)) != t) type->Delete(i);
    bool listed = false;
    for (unsigned i = 0; i < type->GetCount() && !listed; ++i) listed = clientNumber(type, static_cast<int>(i)) == t;
    if (!listed) {
        type->Append(wxString::FromUTF8(CBaseControlState::typeName(t)) + marker, clientData(t));
        type->InvalidateBestSize();
    }
    selectByClientData(type, t);
}

void CGenericDialog::refreshPorts() {
    const CBaseControlState* s = state();
    if (!s) return;
    const IDeviceProfile& p = profile();
    bool values[5] = {s->getPortMidi1(), s->getPortMidi2(), s->getPortUsb1(), s->getPortUsb2(), s->getPortUsb3()};
    bool editable = true;
    if (p.HasPortGroups() && portGroup) {
        const int group = s->getPortGroup();
        selectByClientData(portGroup, group);
        editable = group == PortGroup::Own;
        const CEditorTemplate* tpl = host.PanelTemplate();
        const CTemplateGroupData* groups =
            tpl ? const_cast<CEditorTemplate*>(tpl)->groupSettings() : nullptr;
        if (groups && group == PortGroup::Common) {
            const bool g[5] = {groups->commonPortMidi1, groups->commonPortMidi2, groups->commonPortUsb1,
                               groups->commonPortUsb2, groups->commonPortUsb3};
            std::copy(g, g + 5, values);
        } else if (groups && group == PortGroup::Keyboard) {
            const bool common = groups->kbdAsCommonPorts;
            const bool g[5] = {common ? groups->commonPortMidi1 : groups->kbdPortMidi1,
                               common ? groups->commonPortMidi2 : groups->kbdPortMidi2,
                               common ? groups->commonPortUsb1 : groups->kbdPortUsb1,
                               common ? groups->commonPortUsb2 : groups->kbdPortUsb2,
                               common ? groups->commonPortUsb3 : groups->kbdPortUsb3};
            std::copy(g, g + 5, values);
        }
    }
    const bool disabled = s->getControlType() == ControlType::Disabled;
    for (int i = 0; i < 5; ++i) {
        setChecked(ports[i], values[i]);
        enable(ports[i], editable && !disabled);
    }
    enable(portGroup, !disabled);
}

bool CGenericDialog::ShouldComplete() {
    const CBaseControlState* s = state();
    return name && s && name->GetValue() != wxString::FromUTF8(s->getName());
}

void CGenericDialog::OnLearn(wxCommandEvent&) {
    if (learn && learn->GetValue())
        StartLearn();
    else if (EndLearn())
        host.SetPanelStatus("MIDI learn cancelled");
}

void CGenericDialog::StartLearn() {
    if (learning || !control) return;
    assembler.Reset();
    learning = host.StartMidiInput([this](int status, int data1, int data2) { LearnMessage(status, data1, data2); });
    if (learn && learn->GetValue() != learning) learn->SetValue(learning);
    if (!learning) {
        wxBell();
        host.SetPanelStatus("MIDI learn needs an open MIDI input: choose one with Device > Select MIDI input/output device");
        return;
    }
    host.SetPanelStatus("MIDI learn: send a CC, NRPN, RPN, Note On, Program Change or Pitch Bend (Esc cancels)");
}

bool CGenericDialog::EndLearn() {
    if (learn && learn->GetValue()) learn->SetValue(false);
    if (!learning) return false;
    learning = false;
    host.StopMidiInput();
    return true;
}

void CGenericDialog::LearnMessage(int status, int data1, int data2) {
    if (!learning || !state()) return;
    const long long now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::optional<LearnedMessage> message = assembler.Feed(status, data1, data2, now);
    if (!message) return;
    const CEditorTemplate* tpl = host.PanelTemplate();
    const CTemplateGroupData* groups = tpl ? const_cast<CEditorTemplate*>(tpl)->groupSettings() : nullptr;
    LearnResult result = learnAssignment(*control, *message, profile(), groups);
    const wxString what = wxString::FromUTF8(message->describe()) + wxString::Format(" on channel %d", message->channel + 1);
    if (!result.refusal.empty()) {
        // Learning goes on: the user may send another message.
        wxBell();
        host.SetPanelStatus("MIDI learn: " + what + " refused: " + wxString::FromUTF8(result.refusal));
        return;
    }
    // One assignment ends learning; the command may rebuild this window.
    EndLearn();
    const bool changed = result.command != nullptr;
    run(std::move(result.command));
    host.SetPanelStatus(changed ? "Learned " + what : "MIDI learn: the control already sends " + what);
}

void CGenericDialog::OnName(wxCommandEvent& event) {
    event.Skip();
    const CBaseControlState* s = state();
    if (!s || !name) return;
    const std::string text = name->GetValue().ToStdString();
    // Completion is offered for typed text only: it must see the text
    // before the name command makes it the control's name.
    if (completion) completion->FieldChanged();
    if (text != s->getName()) run(std::make_unique<CSetNameCommand>(*control, text));
}

void CGenericDialog::OnType(wxCommandEvent&) {
    const CBaseControlState* s = state();
    if (!s || !type || type->GetSelection() == wxNOT_FOUND) return;
    const int chosen = clientNumber(type, type->GetSelection());
    if (chosen != s->getControlType()) run(std::make_unique<CSetControlTypeCommand>(*control, chosen));
}

void CGenericDialog::OnPort(wxCommandEvent& event) {
    const CBaseControlState* s = state();
    if (!s) return;
    auto* box = dynamic_cast<wxCheckBox*>(event.GetEventObject());
    const int which = static_cast<int>(std::find(ports, ports + 5, box) - ports);
    if (which >= 5) return;
    const bool ticked = box->GetValue();
    switch (which) {
        case 0: run(std::make_unique<CEnableMIDIPort1Command>(*control, ticked)); break;
        case 1: run(std::make_unique<CEnableMIDIPort2Command>(*control, ticked)); break;
        default: {
            // At most one USB port of a control is on: ticking one clears the others.
            const int usb = which - 2;
            if (!ticked) {
                if (usb == 0) run(std::make_unique<CEnableMIDIPortUSBCommand>(*control, false));
                if (usb == 1) run(std::make_unique<CEnableMIDIPortUSB2Command>(*control, false));
                if (usb == 2) run(std::make_unique<CEnableMIDIPortUSB3Command>(*control, false));
                break;
            }
            auto meta = std::make_unique<CMetaCommand>("Enable Control USB Port " + std::to_string(usb + 1));
            meta->AddCommand(std::make_unique<CEnableMIDIPortUSBCommand>(*control, usb == 0));
            meta->AddCommand(std::make_unique<CEnableMIDIPortUSB2Command>(*control, usb == 1));
            meta->AddCommand(std::make_unique<CEnableMIDIPortUSB3Command>(*control, usb == 2));
            run(std::move(meta));
            refreshPorts();
            break;
        }
    }
}

void CGenericDialog::OnPortGroup(wxCommandEvent&) {
    const CBaseControlState* s = state();
    if (!s || !portGroup || portGroup->GetSelection() == wxNOT_FOUND) return;
    const int chosen = clientNumber(portGroup, portGroup->GetSelection());
    if (chosen != s->getPortGroup()) run(std::make_unique<CSetMIDIPortGroupCommand>(*control, chosen));
    refreshPorts();
}

// --- Channel --------------------------------------------------------------------------------

CMIDIChannelDialog::CMIDIChannelDialog(IEditPanelHost& host, wxWindow* parent)
    : CEditPanel(host, parent, "ID_MIDICHANNELDIALOG") {
    group = find<wxChoice>("Midi_Chanel_Group");
    channel = find<NumberTextCtrl>("Midi_Channel");
    if (channel) channel->setRange(1, 16);
    if (group) {
        group->Clear();
        group->Append("As below:", clientData(0));
        group->Append("Common", clientData(1));
        group->Append(profile().HasKeyboard() ? "Keyboard" : "Program", clientData(2));
        group->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
            const CBaseControlState* s = state();
            if (!s || group->GetSelection() == wxNOT_FOUND) return;
            const int chosen = clientNumber(group, group->GetSelection());
            if (chosen != s->getChannelGroup()) run(std::make_unique<CSetMIDIChanGroupCommand>(*control, chosen));
            refresh();
        });
    }
    if (!profile().HasPortGroups()) {
        RemoveFromLayout(group);
        RemoveFromLayout(find<wxWindow>("ID_MIDICHANGROUPTEXT"));
    }
}

void CMIDIChannelDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (channel) channel->bind(&setChannelOrMmcDeviceCreator, control.get(), runner());
    refresh();
}

void CMIDIChannelDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s || !channel) return;
    int shown = std::clamp(s->getMidiChannel(), 1, 16);
    bool editable = true;
    if (profile().HasPortGroups() && group) {
        const int g = s->getChannelGroup();
        selectByClientData(group, g);
        editable = g == ChannelGroup::Own;
        const CEditorTemplate* tpl = host.PanelTemplate();
        const CTemplateGroupData* groups = tpl ? const_cast<CEditorTemplate*>(tpl)->groupSettings() : nullptr;
        if (groups && g == ChannelGroup::Common) shown = groups->commonChannel;
        if (groups && g == ChannelGroup::Keyboard)
            shown = groups->kbdAsCommonChannel ? groups->commonChannel : groups->kbdChannel;
    }
    enable(channel, editable);
    if (editable)
        showNumber(channel, shown);
    else
        channel->show(shown);
}

// --- CC and NRPN ------------------------------------------------------------------------------

CCCDialog::CCCDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_CCDIALOG") {
    number = find<NumberTextCtrl>("CC_Number");
}

void CCCDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (number) number->bind(&setControlLsbCreator, control.get(), runner());
    refresh();
}

void CCCDialog::refresh() {
    if (const CBaseControlState* s = state()) showNumber(number, s->getLsbNumber());
}

CNRPNDialog::CNRPNDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_NRPNDIALOG") {
    msb = find<NumberTextCtrl>("Most_Significant_Byte");
    lsb = find<NumberTextCtrl>("Least_Significant_Byte");
}

void CNRPNDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (msb) msb->bind(&setControlMsbCreator, control.get(), runner());
    if (lsb) lsb->bind(&setControlLsbCreator, control.get(), runner());
    refresh();
}

void CNRPNDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    showNumber(msb, s->getMsbNumber());
    showNumber(lsb, s->getLsbNumber());
}

// --- Snapshot -----------------------------------------------------------------------------------

CSnapValueDialog::CSnapValueDialog(IEditPanelHost& host, wxWindow* parent)
    : CEditPanel(host, parent, "ID_SNAPVALUEDIALOG") {
    if (!profile().HasAutoSnapshot()) setLabel(find<wxWindow>("ID_SNAPLABEL"), "Default value:");
    value = find<NumberTextCtrl>("Snapshot_Value");
}

void CSnapValueDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (value) value->bind(&setSnapshotValueCreator, control.get(), runner());
    host.SetPanelSnapshotObserver(this);
    host.AddPanelObserver(this);
    refresh();
}

void CSnapValueDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s || !value) return;
    value->setRange(s->getOffValue(), s->getOnValue());
    showNumber(value, s->getSnapshotValue());
    if (profile().IsButtonControl(index())) enable(value, s->buttonAction != ButtonAction::Normal);
}

// --- MMC --------------------------------------------------------------------------------------------

namespace {
const char* const kMmcButtons[13] = {"ID_STOP",  "ID_PLAY",   "ID_DEFPLAY", "ID_FORWARD", "ID_REWIND",
                                     "ID_RECORD", "ID_RECEXIT", "ID_RECPAUSE", "ID_PAUSE",  "ID_EJECT",
                                     "ID_CHASE", "ID_ERRRESET", "ID_MMCRESET"};
}

CMMCDialog::CMMCDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_MMCDIALOG") {
    device = find<NumberTextCtrl>("MMC_Device_Number");
    if (device) device->setRange(0, profile().GetMaxMmcDeviceNumber());
    for (int i = 0; i < 13; ++i) {
        commands[i] = find<wxRadioButton>(kMmcButtons[i]);
        if (!commands[i]) continue;
        const int number = i + 1;
        commands[i]->Bind(wxEVT_RADIOBUTTON, [this, number](wxCommandEvent&) {
            const CBaseControlState* s = state();
            if (s && s->getMmcCommand() != number) run(std::make_unique<CSetMMCControlTypeCommand>(*control, number));
        });
    }
}

void CMMCDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (device) device->bind(&setChannelOrMmcDeviceCreator, control.get(), runner());
    refresh();
}

void CMMCDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    const int command = s->getMmcCommand();
    if (command >= 1 && command <= 13)
        setRadio(commands[command - 1], true);
    else
        setRadio(find<wxRadioButton>("ID_MMCNONE"), true);
    showNumber(device, s->getMidiChannel());
}

// --- SysEx ---------------------------------------------------------------------------------------------

CSysExDialog::CSysExDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_SYSEXDIALOG") {
    message = find<wxTextCtrl>("Sys_Ex_Message");
    status = find<wxStaticText>("Message_Status");
    set = find<wxButton>("ID_SETBUTTON");
    if (status) status->Disable();
    if (message)
        message->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
            event.Skip();
            editing = true;
            check();
        });
    if (set)
        set->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            if (!state() || !message) return;
            SysExMessage record = state()->getSysExData();
            std::string text;
            if (!parseMessageText(message->GetValue().ToStdString(), record, text, profile().GetMaxSysExLength())) return;
            editing = false;
            run(std::make_unique<CSetSysExDataCommand>(*control, record));
        });
}

void CSysExDialog::check() {
    if (!message || !state()) return;
    SysExMessage record = state()->getSysExData();
    std::string text;
    const bool ok = parseMessageText(message->GetValue().ToStdString(), record, text, profile().GetMaxSysExLength());
    enable(set, ok);
    showStatus(wxString::FromUTF8(text));
}

wxString CSysExDialog::StatusText() const {
    wxString text = status ? status->GetLabel() : wxString();
    text.Replace("\n", " ");
    return text;
}

void CSysExDialog::showStatus(const wxString& text) {
    if (!status || StatusText() == text) return;
    // Wrapped under the message field, with room for two lines kept, so that
    // a long status is never cut at the window's edge.
    int width = message ? message->GetBestSize().x : 200;
    if (set) width += 6 + set->GetBestSize().x;
    status->SetLabel(text);
    status->Wrap(width);
    const int height = std::max(2 * status->GetCharHeight(), status->GetBestSize().y);
    const bool taller = status->GetMinSize().y >= 0 && height > status->GetMinSize().y;
    status->SetMinSize(wxSize(width, height));
    if (taller)
        if (wxWindow* top = wxGetTopLevelParent(this)) {
            top->Layout();
            top->Fit();
        }
}

void CSysExDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s || !message) return;
    // Text being typed stays until it is set; the model changes only then.
    if (!editing) {
        const wxString text = wxString::FromUTF8(formatMessageText(s->getSysExData(), profile().GetMaxSysExLength()));
        if (message->GetValue() != text) message->ChangeValue(text);
    }
    check();
}

// --- Button --------------------------------------------------------------------------------------------

CButtonDialog::CButtonDialog(IEditPanelHost& host, wxWindow* parent)
    : CEditPanel(host, parent, "ID_BUTTONSPECIFICDIALOG") {
    high = find<NumberTextCtrl>("Release_Stroke_Max_Value");
    low = find<NumberTextCtrl>("Press_Stroke_Min_Value");
    lowText = find<wxStaticText>("ID_LOWTEXT");
    displayText = find<wxStaticText>("ID_DISPFMTTEXT");
    const char* displays[3] = {"Display_0_To_127", "Display_Minus_64_To_63", "Display_On_Stroke_Off"};
    const int formats[3] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        display[i] = find<wxRadioButton>(displays[i]);
        const int format = formats[i];
        if (display[i])
            display[i]->Bind(wxEVT_RADIOBUTTON, [this, format](wxCommandEvent&) {
                const CBaseControlState* s = state();
                if (s && s->getDisplayFormat() != format)
                    run(std::make_unique<CSetDisplayFormatCommand>(*control, format));
            });
    }
    const char* actions[4] = {"Normal_Button", "Momentary_Button", "Toggle_Button", "Step_Button"};
    stepSize = find<wxSpinCtrl>("Button_Step_Size");
    for (int i = 0; i < 4; ++i) {
        action[i] = find<wxRadioButton>(actions[i]);
        if (!action[i]) continue;
        action[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) {
            enable(stepSize, i == ButtonAction::Step);
            const CBaseControlState* s = state();
            if (s && s->buttonAction != i) run(std::make_unique<CSetActionCommand>(*control, i));
        });
    }
    if (stepSize)
        stepSize->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
            const CBaseControlState* s = state();
            if (!s) return;
            int current = s->stepSize;
            if (spinCheck(event.GetInt(), stepSize, current, -1) && stepSize->GetValue() != s->stepSize)
                run(std::make_unique<CSetMultiStepCommand>(*control, stepSize->GetValue()));
        });
    if (!profile().HasDisplayOnStrokeOff()) RemoveFromLayout(display[2]);
}

void CButtonDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (high) high->bind(&setHighValueCreator, control.get(), runner());
    if (low) low->bind(&setLowValueCreator, control.get(), runner());
    host.AddPanelObserver(this);
    refresh();
}

void CButtonDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    showNumber(high, s->getOnValue());
    showNumber(low, s->getOffValue());
    // A Program Change sends its low value as the program number.
    setLabel(lowText, s->getControlType() == ControlType::ProgramChange ? "Program:" : "Low value:");
    if (profile().UsesDrumNotes(index()) && action[1]) {
        setLabel(action[1], "Velocity");
        action[1]->SetToolTip("Send a value in proportion to hit velocity");
    }
    if (s->hasValueRange()) {
        const int f = s->getDisplayFormat();
        setRadio(display[1], f == 1);
        setRadio(display[2], f == 3 && display[2] && display[2]->IsShown());
        setRadio(display[0], f != 1 && !(f == 3 && display[2] && display[2]->IsShown()));
    } else {
        for (wxRadioButton* b : display) RemoveFromLayout(b);
        RemoveFromLayout(displayText);
    }
    enable(stepSize, false);
    switch (s->buttonAction) {
        case ButtonAction::Normal:
            setRadio(action[0], true);
            enable(high, false);
            break;
        case ButtonAction::Momentary:
        case ButtonAction::Toggle:
            setRadio(action[s->buttonAction], true);
            enable(high, true);
            break;
        case ButtonAction::Step:
            setRadio(action[3], true);
            if (stepSize && stepSize->GetValue() != s->stepSize) stepSize->SetValue(s->stepSize);
            enable(stepSize, true);
            enable(high, true);
            break;
        default: break;
    }
}

// --- Drum note -----------------------------------------------------------------------------------------

CDrumnoteDialog::CDrumnoteDialog(IEditPanelHost& host, wxWindow* parent)
    : CEditPanel(host, parent, "ID_DRUMNOTEDIALOG") {
    note = find<NumberTextCtrl>("Note_Number");
    noteName = find<wxStaticText>("ID_NOTENAME");
    velocity = find<NumberTextCtrl>("Velocity_Curve");
    autoOff = find<NumberTextCtrl>("Auto_Off");
    offSync = find<wxChoice>("Off_Sync");
    if (offSync)
        offSync->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
            const CBaseControlState* s = state();
            const int entry = offSync->GetSelection();
            if (s && entry != wxNOT_FOUND && entry != s->getDrumOffSync())
                run(std::make_unique<CSetDrumOffSyncCommand>(*control, entry));
        });
}

void CDrumnoteDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (note) note->bind(&setLowValueCreator, control.get(), runner());
    if (velocity) velocity->bind(&setHighValueCreator, control.get(), runner());
    if (autoOff) autoOff->bind(&setDrumAutoOffTimeCreator, control.get(), runner());
    refresh();
}

void CDrumnoteDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    showNumber(note, s->getOffValue());
    setLabel(noteName, wxString::FromUTF8(CBaseControlState::noteName(s->getOffValue())));
    showNumber(velocity, s->getOnValue());
    showNumber(autoOff, s->getDrumAutoOffTime());
    const int sync = s->getDrumOffSync();
    if (offSync && sync >= 0 && sync < static_cast<int>(offSync->GetCount()) && offSync->GetSelection() != sync)
        offSync->SetSelection(sync);
}

// --- Note on ---------------------------------------------------------------------------------------------

CNoteOnDialog::CNoteOnDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_NOTEONDIALOG") {
    note = find<NumberTextCtrl>("Note_Number");
    noteName = find<wxStaticText>("ID_NOTENAME");
    velocity = find<NumberTextCtrl>("Note_Velocity");
    const char* actions[3] = {"Normal_Button", "Momentary_Button", "Toggle_Button"};
    for (int i = 0; i < 3; ++i) {
        action[i] = find<wxRadioButton>(actions[i]);
        if (!action[i]) continue;
        action[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) {
            const CBaseControlState* s = state();
            if (s && s->buttonAction != i) run(std::make_unique<CSetActionCommand>(*control, i));
        });
    }
}

void CNoteOnDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    if (note) note->bind(&setControlLsbCreator, control.get(), runner());
    if (velocity) velocity->bind(&setLowValueCreator, control.get(), runner());
    refresh();
}

void CNoteOnDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    showNumber(note, s->getLsbNumber());
    setLabel(noteName, wxString::FromUTF8(CBaseControlState::noteName(s->getLsbNumber())));
    showNumber(velocity, s->getOffValue());
    int a = s->buttonAction;
    if (a < 0 || a > 2) {
        // Notes have no Step action: repaired quietly, outside the history.
        CSetActionCommand repair(*control, ButtonAction::Normal);
        repair.Do();
        a = ButtonAction::Normal;
    }
    setRadio(action[a], true);
}

// --- Pot -----------------------------------------------------------------------------------------------------

namespace {
const int kPotFormats[5] = {DisplayFormat::Range0To127, DisplayFormat::RangeMinus64To63, DisplayFormat::Relative1,
                            DisplayFormat::Relative2, DisplayFormat::AbsolutePot};
}

CPotDialog::CPotDialog(IEditPanelHost& host, wxWindow* parent) : CEditPanel(host, parent, "ID_POTSPECIFICDIALOG") {
    high = find<NumberTextCtrl>("High_Value");
    low = find<NumberTextCtrl>("Low_Value");
    catchupText = find<wxStaticText>("ID_CATCHUPTEXT");
    strategy = find<wxChoice>("Pot_Strategy");
    pickup = find<wxCheckBox>("Do_Pot_Pickup");
    send14Bit = find<wxCheckBox>("Send_14_Bit_Values");
    displayText = find<wxStaticText>("ID_DISPFMTTEXT");
    const char* names[5] = {"Display_0_To_127", "Display_Minus_64_To_63", "REL_1", "REL_2", "A_POT"};
    for (int i = 0; i < 5; ++i) {
        display[i] = find<wxRadioButton>(names[i]);
        const int format = kPotFormats[i];
        if (display[i])
            display[i]->Bind(wxEVT_RADIOBUTTON, [this, format](wxCommandEvent&) {
                const CBaseControlState* s = state();
                if (s && s->getDisplayFormat() != format)
                    run(std::make_unique<CSetDisplayFormatCommand>(*control, format));
            });
    }
    if (strategy)
        strategy->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
            const CBaseControlState* s = state();
            const int entry = strategy->GetSelection();
            if (s && entry != wxNOT_FOUND && entry != s->getPotCatchup())
                run(std::make_unique<CSetPotCatchupCommand>(*control, entry));
        });
    if (pickup)
        pickup->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            if (state()) run(std::make_unique<CSetPotCatchupCommand>(*control, pickup->GetValue() ? 1 : 0));
        });
    if (send14Bit)
        send14Bit->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            if (!state()) return;
            run(std::make_unique<CSetDisplayFormatCommand>(
                *control, send14Bit->GetValue() ? DisplayFormat::Send14Bit : DisplayFormat::Range0To127));
            refresh();
        });
}

void CPotDialog::setControl(const CPlacedControl& placed) {
    control = placed.Clone();
    const IDeviceProfile& p = profile();
    const int i = index();
    if (p.HasNoDisplayFormat(i)) {
        RemoveFromLayout(display[0]);
        RemoveFromLayout(display[1]);
        RemoveFromLayout(displayText);
    }
    if (!p.Allows14BitValues(i)) RemoveFromLayout(send14Bit);
    const bool exempt = p.IsPickupExempt(i) || p.HasNoDisplayFormat(i);
    if (p.HasPotPickup()) {
        RemoveFromLayout(pickup);
        if (exempt) {
            RemoveFromLayout(strategy);
            RemoveFromLayout(catchupText);
        }
    } else {
        RemoveFromLayout(strategy);
        RemoveFromLayout(catchupText);
        if (exempt) RemoveFromLayout(pickup);
    }
    if (!p.AllowsPotPickup(i)) {
        RemoveFromLayout(strategy);
        RemoveFromLayout(catchupText);
        RemoveFromLayout(pickup);
    }
    if (!p.HasRelativeEncoderModes()) {
        RemoveFromLayout(display[2]);
        RemoveFromLayout(display[3]);
        RemoveFromLayout(display[4]);
    }
    // Options that stay keep their caption, so that none stands unexplained.
    if (displayText && !displayText->IsShown() &&
        std::any_of(std::begin(display), std::end(display), [](wxRadioButton* b) { return b && b->IsShown(); }))
        displayText->Show();
    if (high) high->bind(&setHighValueCreator, control.get(), runner());
    if (low) low->bind(&setLowValueCreator, control.get(), runner());
    refresh();
}

void CPotDialog::refresh() {
    const CBaseControlState* s = state();
    if (!s) return;
    const int f = s->getDisplayFormat();
    const bool wide = f == DisplayFormat::Send14Bit;
    setChecked(send14Bit, wide);
    for (wxRadioButton* b : display) enable(b, !wide);
    const int top = wide ? 16383 : 127;
    if (high) high->setRange(0, top);
    if (low) low->setRange(0, top);
    if (!wide) {
        const int* chosen = std::find(kPotFormats, kPotFormats + 5, f);
        if (chosen != kPotFormats + 5)
            setRadio(display[chosen - kPotFormats], true);
        else
            setRadio(find<wxRadioButton>("ID_DISPNONE"), true);
    }
    showNumber(high, s->getOnValue());
    showNumber(low, s->getOffValue());
    setChecked(pickup, s->getPotCatchup() == 1);
    // Entry n stands for value n: a value from a file beyond the named
    // strategies gets entries up to it.
    if (strategy)
        for (int n = static_cast<int>(strategy->GetCount()); n <= s->getPotCatchup() && n < 8; ++n)
            strategy->Append(wxString::Format("Value %d", n));
    if (strategy && s->getPotCatchup() >= 0 && s->getPotCatchup() < static_cast<int>(strategy->GetCount()) &&
        strategy->GetSelection() != s->getPotCatchup())
        strategy->SetSelection(s->getPotCatchup());
}

// --- Panel sets ---------------------------------------------------------------------------------------------

namespace {
enum class Panel { Common, Channel, CC, NRPN, SysEx, Snapshot, Button, MMC, NoteOn, DrumNote, Pot, Line, Empty };

// A type the control cannot have (from a file made elsewhere) gets the common
// panel, where the user sees it and can choose a proper one.
std::vector<Panel> panelSet(const IDeviceProfile& p, int index, int type) {
    using enum Panel;
    if (p.IsButtonControl(index)) {
        switch (type) {
            case ControlType::Disabled: return {Common};
            case ControlType::CC: return {Common, Channel, CC, Snapshot, Button};
            case ControlType::NRPN:
            case ControlType::RPN: return {Common, Channel, NRPN, Snapshot, Button};
            case ControlType::SysEx: return {Common, SysEx, Snapshot, Button};
            case ControlType::MMC: return {Common, MMC};
            case ControlType::NoteOnOff:
            case ControlType::NoteOnOffAlt: return {Common, Channel, NoteOn};
            case ControlType::ProgramChange: return {Common, Channel, Line, Snapshot, Button};
            case ControlType::DrumNote: return {Common, Channel, DrumNote};
            default: return {Common};
        }
    }
    if (p.IsContinuousControl(index)) {
        const bool snapshot = p.HasDefaultValue(index);
        switch (type) {
            case ControlType::Disabled: return {Common};
            case ControlType::CC:
                return snapshot ? std::vector<Panel>{Common, Channel, CC, Snapshot, Pot}
                                : std::vector<Panel>{Common, Channel, CC, Pot};
            case ControlType::NRPN:
            case ControlType::RPN:
                return snapshot ? std::vector<Panel>{Common, Channel, NRPN, Snapshot, Pot}
                                : std::vector<Panel>{Common, Channel, NRPN, Pot};
            case ControlType::SysEx: return {Common, SysEx, Snapshot, Pot};
            case ControlType::PitchBend: return {Common, Channel, Pot};
            case ControlType::Aftertouch: return {Common, Channel, Empty};
            default: return {Common};
        }
    }
    return {};
}
}  // namespace

namespace {
// The form grid of a panel: the first two-column grid of its layout (grids
// of options sit inside its cells).
wxFlexGridSizer* formGrid(wxSizer* sizer) {
    if (!sizer) return nullptr;
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (!item->IsSizer()) continue;
        auto* grid = dynamic_cast<wxFlexGridSizer*>(item->GetSizer());
        if (grid && grid->GetCols() == 2) return grid;
        if (wxFlexGridSizer* inner = formGrid(item->GetSizer())) return inner;
    }
    return nullptr;
}

// The stacked panels read as one form: panels of a section after the first
// leave out its heading, the first heading sits close to the window's top,
// and every label column takes the width of the widest label, so that all
// fields start at one x.
void joinPanels(const std::vector<CEditPanel*>& panels) {
    wxString lastHeading;
    bool first = true;
    for (CEditPanel* panel : panels) {
        auto* heading = dynamic_cast<wxStaticText*>(wxWindow::FindWindowByName("Section_Heading", panel));
        if (!heading) continue;
        if (heading->GetLabel() == lastHeading) {
            heading->Hide();
            continue;
        }
        lastHeading = heading->GetLabel();
        if (first && panel->GetSizer())
            if (wxSizerItem* item = panel->GetSizer()->GetItem(heading->GetContainingSizer())) item->SetBorder(6);
        first = false;
    }
    int width = 0;
    for (CEditPanel* panel : panels)
        if (wxFlexGridSizer* grid = formGrid(panel->GetSizer()))
            for (size_t i = 0; i < grid->GetItemCount(); i += 2) {
                wxWindow* label = grid->GetItem(i)->GetWindow();
                if (label && label->IsShown()) width = std::max(width, label->GetBestSize().x);
            }
    for (CEditPanel* panel : panels)
        if (wxFlexGridSizer* grid = formGrid(panel->GetSizer()))
            for (size_t i = 0; i < grid->GetItemCount(); i += 2) {
                wxSizerItem* cell = grid->GetItem(i);
                if (wxWindow* label = cell->GetWindow())
                    label->SetMinSize(wxSize(width, -1));
                else if (cell->IsSpacer())
                    cell->SetMinSize(width, 0);
            }
    // The lists of choices share one width too: the column reads as one.
    std::vector<wxChoice*> choices;
    std::function<void(wxWindow*)> collect = [&](wxWindow* w) {
        for (wxWindow* child : w->GetChildren()) {
            if (auto* choice = dynamic_cast<wxChoice*>(child); choice && choice->IsShown()) choices.push_back(choice);
            collect(child);
        }
    };
    for (CEditPanel* panel : panels) collect(panel);
    int choiceWidth = 0;
    for (wxChoice* choice : choices) choiceWidth = std::max(choiceWidth, choice->GetBestSize().x);
    for (wxChoice* choice : choices) choice->SetMinSize(wxSize(choiceWidth, -1));
}
}  // namespace

void BuildControlPanels(wxWindow& window, wxSizer& sizer, const CPlacedControl& placed, IEditPanelHost& host) {
    const CBaseControlState* s = placed.GetState();
    if (!s) return;
    const IDeviceProfile& p = host.PanelProfile();
    const int flags = wxEXPAND | wxALL;
    std::vector<CEditPanel*> built;
    for (Panel kind : panelSet(p, placed.GetIndex(), s->getControlType())) {
        CEditPanel* panel = nullptr;
        switch (kind) {
            case Panel::Common: panel = new CGenericDialog(host, &window, placed.GetIndex()); break;
            case Panel::Channel: panel = new CMIDIChannelDialog(host, &window); break;
            case Panel::CC: panel = new CCCDialog(host, &window); break;
            case Panel::NRPN: panel = new CNRPNDialog(host, &window); break;
            case Panel::SysEx: panel = new CSysExDialog(host, &window); break;
            case Panel::Snapshot: panel = new CSnapValueDialog(host, &window); break;
            case Panel::Button: panel = new CButtonDialog(host, &window); break;
            case Panel::MMC: panel = new CMMCDialog(host, &window); break;
            case Panel::NoteOn: panel = new CNoteOnDialog(host, &window); break;
            case Panel::DrumNote: panel = new CDrumnoteDialog(host, &window); break;
            case Panel::Pot: panel = new CPotDialog(host, &window); break;
            case Panel::Line:
                sizer.Add(new wxStaticLine(&window, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL,
                                           "staticText"),
                          0, flags, 10);
                continue;
            case Panel::Empty:
                sizer.Add(new wxPanel(&window, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel"),
                          0, flags, 0);
                continue;
        }
        // Side borders only: the panels' rows keep their own even gaps.
        sizer.Add(panel, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);
        panel->setControl(placed);
        built.push_back(panel);
    }
    joinPanels(built);
    for (CEditPanel* panel : built) {
        panel->Layout();
        panel->Fit();
    }
    if (!built.empty()) sizer.AddSpacer(12);
}
