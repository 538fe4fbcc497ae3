#include "ui/TemplateDialogs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cstdint>

#include "editing/TemplateCommands.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "ui/EditPanels.h"
#include "ui/EntryFields.h"
#include "ui/XrcResources.h"

namespace {
template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}
void removeNamed(wxWindow* parent, std::initializer_list<const char*> names) {
    for (const char* name : names) RemoveFromLayout(wxWindow::FindWindowByName(name, parent));
}
void setChecked(wxCheckBox* box, bool on) {
    if (box) box->SetValue(on);
}
bool checked(const wxCheckBox* box, bool otherwise) { return box ? box->GetValue() : otherwise; }
void* clientData(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }
int clientNumber(const wxChoice* choice, int fallback) {
    if (!choice || choice->GetSelection() == wxNOT_FOUND) return fallback;
    return static_cast<int>(reinterpret_cast<intptr_t>(choice->GetClientData(static_cast<unsigned>(choice->GetSelection()))));
}
void selectClientData(wxChoice* choice, int number) {
    if (!choice) return;
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        if (static_cast<int>(reinterpret_cast<intptr_t>(choice->GetClientData(i))) == number) {
            choice->SetSelection(static_cast<int>(i));
            return;
        }
}
// A spin value read back clamped to the field's range.
int spinValue(const wxSpinCtrl* spin, int otherwise) {
    if (!spin) return otherwise;
    return std::clamp(spin->GetValue(), spin->GetMin(), spin->GetMax());
}
wxString trimmed(const std::string& text) {
    wxString s = wxString::FromUTF8(text);
    s.Trim(true);
    return s;
}
bool loadDialog(wxDialog* dialog, wxWindow* parent, const char* name) {
    if (XrcResources::LoadDialog(dialog, parent, name)) return true;
    wxLogError(kMissingResourceText);
    return false;
}
}  // namespace

// --- Spin fields -----------------------------------------------------------------------

void CSpinGuard::watch(wxSpinCtrl* spin, std::function<void(int)> changed, std::function<int()> max) {
    if (!spin) return;
    Watched& w = fields[spin];
    w.shown = spin->GetValue();
    w.changed = std::move(changed);
    w.max = std::move(max);
    spin->Bind(wxEVT_TEXT, [this, spin](wxCommandEvent& event) { onText(spin, event.GetInt()); });
    spin->Bind(wxEVT_SPINCTRL, [this, spin](wxSpinEvent& event) { onText(spin, event.GetPosition()); });
}

void CSpinGuard::set(wxSpinCtrl* spin, int value) {
    if (!spin) return;
    spin->SetValue(value);
    auto it = fields.find(spin);
    if (it != fields.end()) it->second.shown = spin->GetValue();
}

int CSpinGuard::shown(wxSpinCtrl* spin) const {
    auto it = fields.find(spin);
    return it == fields.end() ? 0 : it->second.shown;
}

void CSpinGuard::onText(wxSpinCtrl* spin, int eventNumber) {
    auto it = fields.find(spin);
    if (it == fields.end()) return;
    Watched& w = it->second;
    int current = w.shown;
    const int max = w.max ? w.max() : -1;
    if (!spinCheck(eventNumber, spin, current, max)) return;
    w.shown = spin->GetValue();
    if (w.changed) w.changed(w.shown);
}

// --- Template settings -----------------------------------------------------------------

CTemplateSettings::CTemplateSettings(wxWindow* parent, const IDeviceProfile& profile,
                                     const TemplateDialogOptions& options, CTemplateLocals* record, CommandRunner run)
    : record(record), run(std::move(run)) {
    if (record) working = *record;
    loaded = loadDialog(this, parent, "ID_TEMPLATEDIALOG");
    if (!loaded) return;

    notebook = findNamed<wxNotebook>(this, "Template_Settings");
    templateName = findNamed<wxTextCtrl>(this, "Template_Name");
    manufacturerName = findNamed<wxTextCtrl>(this, "Manufacturer_Name");
    overrideChannel = findNamed<wxSpinCtrl>(this, "Override_Midi_Channel");
    pageCount = findNamed<wxSpinCtrl>(this, "Number_Of_Group_Pages");
    pageNumber = findNamed<wxSpinCtrl>(this, "Group_Page_Number");
    padX = findNamed<wxChoice>(this, "Pad_X_Type");
    padY = findNamed<wxChoice>(this, "Pad_Y_Type");
    synthByControl = findNamed<wxChoice>(this, "Synth_By_Control");
    synthByMidi = findNamed<wxCheckBox>(this, "Synth_By_MIDI");
    hybrid = findNamed<wxCheckBox>(this, "Hybrid");
    autoSnapshot = findNamed<wxCheckBox>(this, "Auto_Snapshot");
    synthTemplate = findNamed<wxCheckBox>(this, "Synth_Template");
    potPickup = findNamed<wxCheckBox>(this, "Pot_Pickup");
    keyboardPanel = findNamed<wxWindow>(this, "Keyboard_Panel");
    keyboardChannel = findNamed<wxSpinCtrl>(this, "Keybaord_Midi_Channel");
    velocityCurve = findNamed<wxSpinCtrl>(this, "Velocity_Curve");
    octave = findNamed<wxSpinCtrl>(this, "Octave_Setting");
    transpose = findNamed<wxSpinCtrl>(this, "Transpose");
    afterTouch = findNamed<wxCheckBox>(this, "After_Touch");
    ports[0] = findNamed<wxCheckBox>(this, "Enable_Midi_Port_1");
    ports[1] = findNamed<wxCheckBox>(this, "Enable_Midi_Port_2");
    ports[2] = findNamed<wxCheckBox>(this, "Enable_USB_Port");
    wxCheckBox* usb2 = findNamed<wxCheckBox>(this, "Enable_USB_Port_B");

    const int maxName = profile.GetMaxTemplateNameLength();
    if (templateName) {
        templateName->SetValidator(CNameValidator(maxName));
        templateName->SetMaxLength(static_cast<unsigned long>(maxName));
    }
    if (manufacturerName) manufacturerName->SetValidator(CNameValidator(CTemplateLocalData::kManufacturerNameLength));

    if (padX) {
        padX->Clear();
        padX->Append("No Spring / Hold", clientData(0));
        if (options.hasTouchpadType3) padX->Append("Spring Right", clientData(3));
        padX->Append("Spring Centre", clientData(2));
        padX->Append("Spring Left", clientData(1));
    }
    if (padY) {
        padY->Clear();
        padY->Append("No Spring / Hold", clientData(0));
        if (options.hasTouchpadType3) padY->Append("Spring Up", clientData(3));
        padY->Append("Spring Centre", clientData(2));
        padY->Append("Spring Down", clientData(1));
    }
    for (int i = 0; i < 3; ++i)
        if (ports[i]) ports[i]->SetLabel(options.portNames[i == 2 ? 2 : i]);
    if (usb2) usb2->SetLabel(options.portNames[3]);

    if (!profile.HasAutoSnapshot()) removeNamed(this, {"Auto_Snapshot", "ID_SNAPSPACER"});
    if (!options.hasSynthTemplateOption) removeNamed(this, {"Synth_Template", "ID_SYNTHSPACER"});
    if (!options.hasAftertouchSetting) removeNamed(this, {"After_Touch", "ID_AFTERSPACER"});
    if (profile.HasPortGroups())
        removeNamed(this, {"Override_Midi_Channel", "ID_OVERRIDE_TEXT", "Keybaord_Midi_Channel", "ID_KBDCHANTEXT",
                           "Enable_Midi_Port_1", "ID_MIDI1SPACER", "Enable_USB_Port", "IUD_USBSPACER"});
    if (profile.HasPortGroups() || !profile.HasMidiPort2()) removeNamed(this, {"Enable_Midi_Port_2", "ID_MIDI2SPACER"});
    if (profile.HasPortGroups() || !profile.HasUsbPort2()) removeNamed(this, {"Enable_USB_Port_B", "ID_USB2SPACER"});
    if (!profile.HasManufacturerName()) removeNamed(this, {"Manufacturer_Name", "ID_MFRNAMELABEL"});
    if (!profile.HasPotPickup()) removeNamed(this, {"Pot_Pickup", "ID_CATCHUPSPACER"});
    if (!profile.HasGroupPages())
        removeNamed(this, {"Number_Of_Group_Pages", "ID_GROUPPAGECOUNTTEXT", "Group_Page_Number", "ID_CURRENTPAGETEXT"});
    if (!options.hasTouchpad) removeNamed(this, {"Pad_X_Type", "Pad_Y_Type", "PADXTYPE_TEXT", "PADYTYPE_TEXT"});
    if (!profile.HasKeyboard()) {
        removeNamed(this, {"Octave_Setting", "OCTAVE_TEXT", "Velocity_Curve", "ID_VELCURVETEXT"});
        if (notebook && notebook->GetPageCount() > 2) notebook->RemovePage(2);
    }
    if (!options.hasSynthModes)
        removeNamed(this, {"Synth_By_Control", "Synth_By_MIDI", "Synth_By_Midi_Text", "Synth_By_Control_Text", "Hybrid",
                           "Global_Hybrid"});
    if (!options.hasTranspose) removeNamed(this, {"TRANSPOSE_TEXT", "Transpose"});
    if (!options.hasSynthModes && !options.hasTouchpad && !profile.HasPotPickup() && !profile.HasAutoSnapshot())
        if (notebook && notebook->GetPageCount() > 1) notebook->RemovePage(1);

    spins.watch(pageCount, [this](int count) {
        if (pageNumber && pageNumber->GetValue() > count) spins.set(pageNumber, count);
    });
    spins.watch(pageNumber, nullptr, [this] { return pageCount ? pageCount->GetValue() : -1; });
    for (wxSpinCtrl* spin : {overrideChannel, keyboardChannel, velocityCurve, octave, transpose}) spins.watch(spin);

    if (wxWindow* restore = FindWindowByName("Restore_Defaults", this))
        restore->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { restoreDefaults(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        commit();
        EndDialog(wxID_OK);
    }, wxID_OK);

    fill();
    if (GetSizer()) GetSizer()->SetSizeHints(this);
    CentreOnParent();
}

void CTemplateSettings::fill() {
    if (templateName) templateName->ChangeValue(trimmed(working.templateName));
    if (manufacturerName) manufacturerName->ChangeValue(trimmed(working.manufacturerName));
    if (keyboardPanel) {
        spins.set(keyboardChannel, working.keyboardChannel + 1);
        spins.set(velocityCurve, working.velocityCurve + 1);
        spins.set(octave, working.octave - 4);
        setChecked(ports[0], working.keyboardPortMidi1);
        setChecked(ports[1], working.keyboardPortMidi2);
        setChecked(ports[2], working.keyboardPortUsb);
        setChecked(afterTouch, working.afterTouch);
    }
    setChecked(potPickup, working.potPickup);
    setChecked(autoSnapshot, working.autoSnapshot);
    setChecked(synthTemplate, working.synthTemplate);
    spins.set(overrideChannel, working.overrideChannel);
    selectClientData(padX, working.padXType);
    selectClientData(padY, working.padYType);
    spins.set(pageCount, working.groupPageCount);
    spins.set(pageNumber, working.groupPageNumber);
    if (synthByControl && working.synthByControl >= 0 &&
        working.synthByControl < static_cast<int>(synthByControl->GetCount()))
        synthByControl->SetSelection(working.synthByControl);
    setChecked(synthByMidi, working.synthByMidi != 0);
    spins.set(transpose, working.transpose);
    setChecked(hybrid, working.hybrid != 0);
}

void CTemplateSettings::restoreDefaults() {
    // Only what the dialog shows goes back to its default; the bytes it never
    // shows stay as the template has them.
    CTemplateLocalData defaults;
    defaults.deviceByte48 = working.deviceByte48;
    defaults.deviceByte90 = working.deviceByte90;
    defaults.deviceByte91 = working.deviceByte91;
    defaults.localByteA = working.localByteA;
    defaults.localByteB = working.localByteB;
    defaults.hasDeviceByte51 = working.hasDeviceByte51;
    working = defaults;
    fill();
}

void CTemplateSettings::commit() {
    // Start from the template's own record so that what the dialog does not
    // show is carried over unchanged.
    CTemplateLocalData result = working;
    if (templateName) {
        templateNameText = templateName->GetValue();
        result.setTemplateName(templateNameText.ToStdString());
    }
    if (manufacturerName) {
        manufacturerText = manufacturerName->GetValue();
        result.setManufacturerName(manufacturerText.ToStdString());
    }
    result.keyboardChannel = static_cast<uint8_t>(spinValue(keyboardChannel, working.keyboardChannel + 1) - 1);
    result.velocityCurve = static_cast<uint8_t>(spinValue(velocityCurve, working.velocityCurve + 1) - 1);
    result.keyboardPortMidi1 = checked(ports[0], working.keyboardPortMidi1);
    result.keyboardPortMidi2 = checked(ports[1], working.keyboardPortMidi2);
    result.keyboardPortUsb = checked(ports[2], working.keyboardPortUsb);
    result.synthTemplate = checked(synthTemplate, working.synthTemplate);
    result.potPickup = checked(potPickup, working.potPickup);
    result.afterTouch = checked(afterTouch, working.afterTouch);
    result.autoSnapshot = checked(autoSnapshot, working.autoSnapshot);
    result.octave = static_cast<uint8_t>(spinValue(octave, working.octave - 4) + 4);
    result.overrideChannel = static_cast<uint8_t>(spinValue(overrideChannel, working.overrideChannel));
    result.padXType = clientNumber(padX, working.padXType);
    result.padYType = clientNumber(padY, working.padYType);
    result.groupPageCount = static_cast<uint8_t>(spinValue(pageCount, working.groupPageCount));
    result.groupPageNumber = static_cast<uint8_t>(spinValue(pageNumber, working.groupPageNumber));
    if (synthByControl && synthByControl->GetSelection() != wxNOT_FOUND)
        result.synthByControl = synthByControl->GetSelection();
    result.synthByMidi = checked(synthByMidi, working.synthByMidi != 0) ? 1 : 0;
    result.hybrid = checked(hybrid, working.hybrid != 0) ? 1 : 0;
    result.transpose = spinValue(transpose, working.transpose);
    if (run) run(std::make_unique<CSetTemplateLocalsCommand>(record, result));
}

// --- Port groups -------------------------------------------------------------------------

CEditPortGroups::CEditPortGroups(wxWindow* parent, const IDeviceProfile& profile, const TemplateDialogOptions& options,
                                 CTemplateGroups* record, CommandRunner run)
    : record(record), run(std::move(run)) {
    if (record) working = *record;
    loaded = loadDialog(this, parent, "ID_DIALOG");
    if (!loaded) return;

    if (wxWindow* box = FindWindowByName("KEYBOARD_GROUP", this))
        box->SetLabel(profile.HasKeyboard() ? "Keyboard" : "Program");
    commonChannel = findNamed<wxSpinCtrl>(this, "Common_Channel");
    const char* commonNames[5] = {"Common_Midi_Port_1", "Common_Midi_Port_2", "Common_USB_Port", "Common_USB_Port_B",
                                  "Common_USB_Port_C"};
    for (int i = 0; i < 5; ++i) {
        common[i] = findNamed<wxCheckBox>(this, commonNames[i]);
        if (common[i]) common[i]->SetLabel(options.portNames[i]);
    }
    kbdChannel = findNamed<wxSpinCtrl>(this, "Midi_Channel");
    kbdChannelText = findNamed<wxStaticText>(this, "ID_KBDCHANTEXT");
    asCommonChannel = findNamed<wxCheckBox>(this, "As_Common_Channel");
    asCommonPorts = findNamed<wxCheckBox>(this, "As_Common_Ports");
    const char* kbdNames[4] = {"Midi_Port_1", "Midi_Port_2", "USB_Port", "USB_Port_2"};
    for (int i = 0; i < 4; ++i) {
        kbd[i] = findNamed<wxCheckBox>(this, kbdNames[i]);
        if (kbd[i]) kbd[i]->SetLabel(options.portNames[i]);
    }
    if (!profile.HasMidiPort2()) {
        RemoveFromLayout(common[1]);
        RemoveFromLayout(kbd[1]);
    }
    if (!profile.HasUsbPort2()) {
        RemoveFromLayout(common[3]);
        RemoveFromLayout(kbd[3]);
    }
    if (!profile.HasUsbPort3()) RemoveFromLayout(common[4]);

    spins.watch(commonChannel, [this](int v) {
        working.commonChannel = static_cast<uint8_t>(v);
        refresh();
    });
    spins.watch(kbdChannel, [this](int v) {
        if (!working.kbdAsCommonChannel) working.kbdChannel = static_cast<uint8_t>(v);
    });
    for (wxCheckBox* box : common)
        if (box) box->Bind(wxEVT_CHECKBOX, &CEditPortGroups::OnCheck, this);
    for (wxCheckBox* box : kbd)
        if (box) box->Bind(wxEVT_CHECKBOX, &CEditPortGroups::OnCheck, this);
    for (wxCheckBox* box : {asCommonChannel, asCommonPorts})
        if (box) box->Bind(wxEVT_CHECKBOX, &CEditPortGroups::OnCheck, this);
    if (wxWindow* restore = FindWindowByName("Restore_Defaults", this))
        restore->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            working = CTemplateGroupData{};
            refresh();
        });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        commit();
        EndDialog(wxID_OK);
    }, wxID_OK);

    refresh();
    if (GetSizer()) GetSizer()->SetSizeHints(this);
    CentreOnParent();
}

void CEditPortGroups::refresh() {
    const CTemplateGroupData& w = working;
    spins.set(commonChannel, w.commonChannel);
    const bool c[5] = {w.commonPortMidi1, w.commonPortMidi2, w.commonPortUsb1, w.commonPortUsb2, w.commonPortUsb3};
    for (int i = 0; i < 5; ++i) setChecked(common[i], c[i]);
    spins.set(kbdChannel, w.kbdAsCommonChannel ? w.commonChannel : w.kbdChannel);
    const bool k[4] = {w.kbdAsCommonPorts ? w.commonPortMidi1 : w.kbdPortMidi1,
                       w.kbdAsCommonPorts ? w.commonPortMidi2 : w.kbdPortMidi2,
                       w.kbdAsCommonPorts ? w.commonPortUsb1 : w.kbdPortUsb1,
                       w.kbdAsCommonPorts ? w.commonPortUsb2 : w.kbdPortUsb2};
    for (int i = 0; i < 4; ++i) setChecked(kbd[i], k[i]);
    setChecked(asCommonChannel, w.kbdAsCommonChannel);
    if (kbdChannel) kbdChannel->Enable(!w.kbdAsCommonChannel);
    if (kbdChannelText) kbdChannelText->Enable(!w.kbdAsCommonChannel);
    setChecked(asCommonPorts, w.kbdAsCommonPorts);
    for (wxCheckBox* box : kbd)
        if (box) box->Enable(!w.kbdAsCommonPorts);
}

void CEditPortGroups::OnCheck(wxCommandEvent& event) {
    auto* box = dynamic_cast<wxCheckBox*>(event.GetEventObject());
    if (!box) return;
    CTemplateGroupData& w = working;
    const bool on = box->GetValue();
    if (box == common[2] || box == common[3] || box == common[4]) {
        if (on)
            for (int i = 2; i < 5; ++i)
                if (common[i] && common[i] != box) common[i]->SetValue(false);
        w.commonPortUsb1 = checked(common[2], false);
        w.commonPortUsb2 = checked(common[3], false);
        w.commonPortUsb3 = checked(common[4], false);
        refresh();
    } else if (box == common[0] || box == common[1]) {
        (box == common[0] ? w.commonPortMidi1 : w.commonPortMidi2) = on;
        refresh();
    } else if (box == kbd[2] || box == kbd[3]) {
        if (on) (box == kbd[2] ? kbd[3] : kbd[2])->SetValue(false);
        w.kbdPortUsb1 = checked(kbd[2], false);
        w.kbdPortUsb2 = checked(kbd[3], false);
    } else if (box == kbd[0] || box == kbd[1]) {
        (box == kbd[0] ? w.kbdPortMidi1 : w.kbdPortMidi2) = on;
    } else if (box == asCommonChannel || box == asCommonPorts) {
        (box == asCommonChannel ? w.kbdAsCommonChannel : w.kbdAsCommonPorts) = on;
        refresh();
    }
}

void CEditPortGroups::commit() {
    CTemplateGroupData& w = working;
    w.kbdAsCommonChannel = checked(asCommonChannel, w.kbdAsCommonChannel);
    w.kbdAsCommonPorts = checked(asCommonPorts, w.kbdAsCommonPorts);
    w.commonChannel = static_cast<uint8_t>(spinValue(commonChannel, w.commonChannel));
    w.commonPortMidi1 = checked(common[0], w.commonPortMidi1);
    w.commonPortMidi2 = checked(common[1], w.commonPortMidi2);
    w.commonPortUsb1 = checked(common[2], w.commonPortUsb1);
    w.commonPortUsb2 = checked(common[3], w.commonPortUsb2);
    w.commonPortUsb3 = checked(common[4], w.commonPortUsb3);
    if (!w.kbdAsCommonChannel) w.kbdChannel = static_cast<uint8_t>(spinValue(kbdChannel, w.kbdChannel));
    if (!w.kbdAsCommonPorts) {
        w.kbdPortMidi1 = checked(kbd[0], w.kbdPortMidi1);
        w.kbdPortMidi2 = checked(kbd[1], w.kbdPortMidi2);
        w.kbdPortUsb1 = checked(kbd[2], w.kbdPortUsb1);
        w.kbdPortUsb2 = checked(kbd[3], w.kbdPortUsb2);
    }
    if (run) run(std::make_unique<CSetTemplateGroupsCommand>(record, w));
}

// --- Keyboard zone ----------------------------------------------------------------------------

CKbdZoneDialog::CKbdZoneDialog(wxWindow* parent, const IDeviceProfile& profile, const TemplateDialogOptions& options,
                               CKeyboardZone* zone, int zoneIndex, CommandRunner run)
    : zone(zone), run(std::move(run)) {
    loaded = loadDialog(this, parent, "ID_KBDZONEDIALOG");
    if (!loaded) return;
    SetTitle(wxString::Format("Keyboard zone %d settings", zoneIndex + 1));
    const CKeyboardZone z = zone ? *zone : CKeyboardZone{};

    topNote = findNamed<wxSpinCtrl>(this, "Top_Note");
    bottomNote = findNamed<wxSpinCtrl>(this, "Bottom_Note");
    velocityOffset = findNamed<wxSpinCtrl>(this, "Velocity_Offset");
    transpose = findNamed<wxSpinCtrl>(this, "Transpose");
    channel = findNamed<wxSpinCtrl>(this, "Midi_Channel");
    topName = findNamed<wxStaticText>(this, "Top_Note_Name");
    bottomName = findNamed<wxStaticText>(this, "Bottom_Note_Name");
    afterTouch = findNamed<wxCheckBox>(this, "After_Touch");
    pitchBend = findNamed<wxCheckBox>(this, "Pitch_Bend");
    modWheel = findNamed<wxCheckBox>(this, "Mod_Wheel");
    channelGroup = findNamed<wxChoice>(this, "Midi_Channel_Group");
    portGroup = findNamed<wxChoice>(this, "Midi_Port_Group");
    ports[0] = findNamed<wxCheckBox>(this, "Enable_USB_Port");
    ports[1] = findNamed<wxCheckBox>(this, "Enable_USB_Port_2");
    ports[2] = findNamed<wxCheckBox>(this, "Enable_Midi_Port_1");
    ports[3] = findNamed<wxCheckBox>(this, "Enable_Midi_Port_2");
    const int captions[4] = {2, 3, 0, 1};
    for (int i = 0; i < 4; ++i)
        if (ports[i]) ports[i]->SetLabel(options.portNames[captions[i]]);

    spins.set(channel, z.channel + 1);
    spins.set(velocityOffset, z.velocityOffset + 1);
    spins.set(transpose, z.transpose - 64);
    setChecked(ports[2], z.portMidi1);
    setChecked(ports[3], z.portMidi2);
    setChecked(ports[0], z.portUsb1);
    setChecked(ports[1], z.portUsb2);
    setChecked(afterTouch, z.afterTouch);
    setChecked(pitchBend, z.pitchBend);
    setChecked(modWheel, z.modWheel);
    for (wxChoice* choice : {channelGroup, portGroup}) {
        if (!choice) continue;
        choice->Clear();
        choice->Append("As below:", clientData(0));
        choice->Append("Common", clientData(1));
        choice->Append("Keyboard", clientData(2));
    }
    selectClientData(channelGroup, z.channelGroup);
    selectClientData(portGroup, z.portGroup);
    for (const char* spacer : {"ID_TEXTSPACER1", "ID_TEXTSPACER2"})
        if (wxWindow* w = FindWindowByName(spacer, this)) w->Hide();
    if (!profile.HasMidiPort2()) RemoveFromLayout(ports[3]);
    if (!profile.HasUsbPort2()) RemoveFromLayout(ports[1]);
    if (!showGroups)
        removeNamed(this, {"Midi_Port_Group", "ID_MIDIGROUPTEXT", "Midi_Channel_Group", "ID_MIDICHANGROUPTEXT",
                           "ID_TEXTSPACER1"});
    spins.set(topNote, z.topNote);
    spins.set(bottomNote, z.bottomNote);
    notesChanged();

    spins.watch(topNote, [this](int) { notesChanged(); });
    spins.watch(bottomNote, [this](int) { notesChanged(); }, [this] { return topNote ? topNote->GetValue() : -1; });
    for (wxSpinCtrl* spin : {velocityOffset, transpose, channel}) spins.watch(spin);
    if (ports[0])
        ports[0]->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            if (ports[0]->GetValue() && ports[1]) ports[1]->SetValue(false);
        });
    if (ports[1])
        ports[1]->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            if (ports[1]->GetValue() && ports[0]) ports[0]->SetValue(false);
        });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        commit();
        EndDialog(wxID_OK);
    }, wxID_OK);
    if (GetSizer()) GetSizer()->SetSizeHints(this);
    CentreOnParent();
}

void CKbdZoneDialog::notesChanged() {
    if (!topNote || !bottomNote) return;
    const int top = topNote->GetValue(), bottom = bottomNote->GetValue();
    if (topName) topName->SetLabel(wxString::FromUTF8(CBaseControlState::noteName(top)));
    if (bottomName) bottomName->SetLabel(wxString::FromUTF8(CBaseControlState::noteName(bottom)));
    bottomNote->SetRange(0, top);
    topNote->SetRange(bottom, 127);
}

void CKbdZoneDialog::NoteReceived(int status, int note) {
    if (status < 0x90 || status > 0x9F || note < 0 || note > 127) return;
    wxWindow* focus = FindFocus();
    auto within = [focus](wxWindow* field) {
        for (wxWindow* w = focus; w; w = w->GetParent())
            if (w == field) return true;
        return false;
    };
    if (topNote && within(topNote)) spins.set(topNote, note);
    else if (bottomNote && within(bottomNote)) spins.set(bottomNote, note);
    else return;
    notesChanged();
}

void CKbdZoneDialog::commit() {
    if (!zone) return;
    CKeyboardZone result;
    result.channelGroup = clientNumber(channelGroup, zone->channelGroup);
    result.portGroup = clientNumber(portGroup, zone->portGroup);
    result.channel = spinValue(channel, zone->channel + 1) - 1;
    result.velocityOffset = spinValue(velocityOffset, zone->velocityOffset + 1) - 1;
    result.transpose = spinValue(transpose, zone->transpose - 64) + 64;
    result.portMidi1 = checked(ports[2], zone->portMidi1);
    result.portMidi2 = checked(ports[3], zone->portMidi2);
    result.portUsb1 = checked(ports[0], zone->portUsb1);
    result.portUsb2 = checked(ports[1], zone->portUsb2);
    // No field shows the third USB port: it passes through.
    result.portUsb3 = zone->portUsb3;
    result.afterTouch = checked(afterTouch, zone->afterTouch);
    result.pitchBend = checked(pitchBend, zone->pitchBend);
    result.modWheel = checked(modWheel, zone->modWheel);
    result.setTopNote(spinValue(topNote, zone->topNote));
    result.setBottomNote(spinValue(bottomNote, zone->bottomNote));
    if (!(result == *zone) && run) run(std::make_unique<CSetKeyboardZoneCommand>(zone, result));
}
