#pragma once
// The editor application for the TaNGRA LuMI QV: the device profile's answers.
// The model-side answers come from the model's own profile, so the windows,
// the model and the command-line tool never disagree.
#include "app/EditorApp.h"

class CTaNGRAQVLumiEditorApp : public CEditorApp {
public:
    CTaNGRAQVLumiEditorApp();

    wxString GetEditorTitle() const override;
    wxString GetDeviceName() const override;
    wxString GetAboutText() const override;
    wxString GetOSUpdateInstructions() const override;
    int GetMaxNameLength() const override;
    int GetDisplayNameLength() const override;
    int GetDeviceType() const override;
    int GetMaxTemplateNameLength() const override;
    int GetMaxSysExLength() const override;
    bool HasSysExMessages() const override;
    bool HasSynthTemplateOption() const override { return false; }
    bool HasAudioFXSettings() const override { return false; }
    bool HasExpandingPanes() const override { return false; }
    bool HasMidiPort2() const override;
    bool HasUsbPort2() const override;
    bool HasUsbPort3() const override;
    bool HasPortGroups() const override;
    bool HasAutoSnapshot() const override;
    bool HasManufacturerName() const override;
    bool HasKeyboard() const override;
    bool HasKeyboardZones() const override;
    bool HasAftertouchSetting() const override { return false; }
    bool HasPotPickup() const override;
    bool HasPatchLibrarian() const override { return false; }
    bool HasSynthModes() const override { return false; }
    bool HasBulkDumps() const override { return true; }
    bool ChecksReceivedOSVersion() const override { return true; }
    bool HasGroupPages() const override;
    bool HasTouchpad() const override { return false; }
    bool HasTouchpadType3() const override { return false; }
    bool HasOSUpdate() const override { return true; }
    bool CanNameMmcControls() const override;
    int GetMaxMmcDeviceNumber() const override;
    bool HasDisplayOnStrokeOff() const override;
    bool HasRelativeEncoderModes() const override;
    bool HasTranspose() const override { return false; }
    wxString GetMidiPort1Name() const override { return "MIDI Port 1"; }
    wxString GetMidiPort2Name() const override { return "MIDI Port 2"; }
    wxString GetUsbPort1Name() const override { return "USB Port 1"; }
    wxString GetUsbPort2Name() const override { return "USB Port 2"; }
    wxString GetUsbPort3Name() const override { return "USB Port 3"; }
    bool HasViewMenu() const override { return false; }
    OsVersion GetCurrentOSVersion() const override;
    std::unique_ptr<CEditorTemplate> CreateTemplate() const override;
    std::unique_ptr<IBulkDump> CreateBulkDump() const override;
    void* CreateSpareObject() const override { return nullptr; }
    std::unique_ptr<IBulkDump> CreatePatchBankDump() const override { return nullptr; }
    std::unique_ptr<CDeviceOS> CreateDeviceOS() const override;
    std::unique_ptr<CTemplateUI> CreateTemplateUI(ITemplateUIHost& host) const override;
    bool IsBulkDumpSingleMessage() const override { return false; }
    bool AllowsPitchBend(int index) const override;
    bool AllowsAftertouch(int index) const override;
    bool Allows14BitValues(int index) const override;
    bool AllowsPotPickup(int index) const override;
    bool HasDefaultValue(int index) const override;
    bool HasNoDisplayFormat(int index) const override;
    bool IsPickupExempt(int index) const override;
    bool UsesDrumNotes(int index) const override;
    bool IsImportedControl(int index) const override;
    bool CanHoldState(const CPlacedControl& control, const CBaseControlState& state) const override;
    bool IsMessageTypeSupported(int controlType) const override;
    bool IsContinuousControl(int index) const override;
    bool IsButtonControl(int index) const override;
    wxString GetDefaultMidiDeviceName() const override;
    wxString GetAppName() const override;
};
