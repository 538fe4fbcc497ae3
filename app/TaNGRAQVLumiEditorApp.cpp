#include "app/TaNGRAQVLumiEditorApp.h"

#include "editing/PlacedControl.h"
#include "model/BulkDump.h"
#include "model/DeviceOS.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/TaNGRAQVLumiTemplateUI.h"

namespace {
const CTaNGRAQVDeviceProfile& profile() {
    static const CTaNGRAQVDeviceProfile instance;
    return instance;
}
wxString text(const std::string& s) { return wxString::FromUTF8(s); }
}  // namespace

CTaNGRAQVLumiEditorApp::CTaNGRAQVLumiEditorApp() { IDeviceProfile::setCurrent(&profile()); }

wxString CTaNGRAQVLumiEditorApp::GetEditorTitle() const { return text(profile().GetEditorTitle()); }
wxString CTaNGRAQVLumiEditorApp::GetDeviceName() const { return text(profile().GetDeviceName()); }

wxString CTaNGRAQVLumiEditorApp::GetAboutText() const {
    return "TaNGRA LuMI QV Editor\n\nVersion 1.0.0\n\nCreate, edit, load and save templates for the\n"
           "TaNGRA LuMI QV and send them to the hardware.\n\nCopyright (C) Quorvane Ltd.  All rights reserved.";
}

wxString CTaNGRAQVLumiEditorApp::GetOSUpdateInstructions() const {
    return "To ensure your TaNGRA QV LuMI is ready to receive the OS update:\n\nPress \"global\", then use the "
           "left-hand up (^) arrow next to the display\nto navigate to the \"Template dump and operating system "
           "control\" screen.\n\nIf you have selected \"TaNGRA QV MIDI\" as the MIDI output for this program,\nPress "
           "\"USBa Receive\" and then click \"OK\".\n\nIf you have selected \"TaNGRA QV MIDI [2]\",\nPress \"USBb "
           "Receive\" and then click \"OK\"\n\nIf your TaNGRA QV LuMI is not connected via USB, ensure you have "
           "selected the MIDI\ninterface it is connected to and press \"MIDI O/S Receive\" and then click \"OK\".\n\n"
           "To change the MIDI output for this program, press \"Cancel\" and click on\n\"Select MIDI devices...\".";
}

int CTaNGRAQVLumiEditorApp::GetMaxNameLength() const { return profile().GetMaxNameLength(); }
int CTaNGRAQVLumiEditorApp::GetDisplayNameLength() const { return profile().GetDisplayNameLength(); }
int CTaNGRAQVLumiEditorApp::GetDeviceType() const { return profile().GetDeviceType(); }
int CTaNGRAQVLumiEditorApp::GetMaxTemplateNameLength() const { return profile().GetMaxTemplateNameLength(); }
int CTaNGRAQVLumiEditorApp::GetMaxSysExLength() const { return profile().GetMaxSysExLength(); }
bool CTaNGRAQVLumiEditorApp::HasSysExMessages() const { return profile().HasSysExMessages(); }
bool CTaNGRAQVLumiEditorApp::HasMidiPort2() const { return profile().HasMidiPort2(); }
bool CTaNGRAQVLumiEditorApp::HasUsbPort2() const { return profile().HasUsbPort2(); }
bool CTaNGRAQVLumiEditorApp::HasUsbPort3() const { return profile().HasUsbPort3(); }
bool CTaNGRAQVLumiEditorApp::HasPortGroups() const { return profile().HasPortGroups(); }
bool CTaNGRAQVLumiEditorApp::HasAutoSnapshot() const { return profile().HasAutoSnapshot(); }
bool CTaNGRAQVLumiEditorApp::HasManufacturerName() const { return profile().HasManufacturerName(); }
bool CTaNGRAQVLumiEditorApp::HasKeyboard() const { return profile().HasKeyboard(); }
bool CTaNGRAQVLumiEditorApp::HasKeyboardZones() const { return profile().HasKeyboardZones(); }
bool CTaNGRAQVLumiEditorApp::HasPotPickup() const { return profile().HasPotPickup(); }
bool CTaNGRAQVLumiEditorApp::HasGroupPages() const { return profile().HasGroupPages(); }
bool CTaNGRAQVLumiEditorApp::CanNameMmcControls() const { return profile().CanNameMmcControls(); }
int CTaNGRAQVLumiEditorApp::GetMaxMmcDeviceNumber() const { return profile().GetMaxMmcDeviceNumber(); }
bool CTaNGRAQVLumiEditorApp::HasDisplayOnStrokeOff() const { return profile().HasDisplayOnStrokeOff(); }
bool CTaNGRAQVLumiEditorApp::HasRelativeEncoderModes() const { return profile().HasRelativeEncoderModes(); }
OsVersion CTaNGRAQVLumiEditorApp::GetCurrentOSVersion() const { return profile().GetCurrentOSVersion(); }
std::unique_ptr<CEditorTemplate> CTaNGRAQVLumiEditorApp::CreateTemplate() const { return profile().CreateTemplate(); }

std::unique_ptr<CTemplateUI> CTaNGRAQVLumiEditorApp::CreateTemplateUI(ITemplateUIHost& host) const {
    return std::make_unique<CTaNGRAQVLumiTemplateUI>(host);
}

bool CTaNGRAQVLumiEditorApp::AllowsPitchBend(int i) const { return profile().AllowsPitchBend(i); }
bool CTaNGRAQVLumiEditorApp::AllowsAftertouch(int i) const { return profile().AllowsAftertouch(i); }
bool CTaNGRAQVLumiEditorApp::Allows14BitValues(int i) const { return profile().Allows14BitValues(i); }
bool CTaNGRAQVLumiEditorApp::AllowsPotPickup(int i) const { return profile().AllowsPotPickup(i); }
bool CTaNGRAQVLumiEditorApp::HasDefaultValue(int i) const { return profile().HasDefaultValue(i); }
bool CTaNGRAQVLumiEditorApp::HasNoDisplayFormat(int i) const { return profile().HasNoDisplayFormat(i); }
bool CTaNGRAQVLumiEditorApp::IsPickupExempt(int i) const { return profile().IsPickupExempt(i); }
bool CTaNGRAQVLumiEditorApp::UsesDrumNotes(int i) const { return profile().UsesDrumNotes(i); }
bool CTaNGRAQVLumiEditorApp::IsImportedControl(int i) const { return profile().IsImportedControl(i); }

bool CTaNGRAQVLumiEditorApp::CanHoldState(const CPlacedControl& control, const CBaseControlState& state) const {
    return profile().CanHoldState(control.GetIndex(), state);
}

bool CTaNGRAQVLumiEditorApp::IsMessageTypeSupported(int t) const { return profile().IsMessageTypeSupported(t); }
bool CTaNGRAQVLumiEditorApp::IsContinuousControl(int i) const { return profile().IsContinuousControl(i); }
bool CTaNGRAQVLumiEditorApp::IsButtonControl(int i) const { return profile().IsButtonControl(i); }
wxString CTaNGRAQVLumiEditorApp::GetDefaultMidiDeviceName() const { return text(profile().GetDefaultMidiDeviceName()); }
wxString CTaNGRAQVLumiEditorApp::GetAppName() const { return text(profile().GetAppName()); }

std::unique_ptr<IBulkDump> CTaNGRAQVLumiEditorApp::CreateBulkDump() const {
    return IDeviceProfile::current().CreateBulkDump();
}

std::unique_ptr<CDeviceOS> CTaNGRAQVLumiEditorApp::CreateDeviceOS() const {
    return IDeviceProfile::current().CreateDeviceOS();
}
