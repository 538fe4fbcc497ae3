#pragma once
// The device profile: every device-specific answer (names, port labels, which
// settings and menu items exist, which message types a control may take,
// which template class to make). Plain C++: the editor owns one and hands it
// to its windows, the command-line tool and the tests use the same answers.
// Making the panel view is a window matter and stays with the editor program.
#include <memory>
#include <string>

#include "OsVersion.h"

class CBaseControlState;
class CEditorTemplate;
class IBulkDump;
class CDeviceOS;

class IDeviceProfile {
public:
    virtual ~IDeviceProfile() = default;

    virtual std::string GetEditorTitle() const = 0;
    virtual std::string GetDeviceName() const = 0;
    virtual std::string GetAboutText() const = 0;
    virtual std::string GetOSUpdateInstructions() const = 0;
    virtual int GetMaxNameLength() const = 0;
    virtual int GetDisplayNameLength() const = 0;
    virtual int GetDeviceType() const = 0;
    virtual int GetMaxTemplateNameLength() const = 0;
    virtual int GetMaxSysExLength() const = 0;
    virtual bool HasSysExMessages() const = 0;
    virtual bool HasSynthTemplateOption() const = 0;
    virtual bool HasAudioFXSettings() const = 0;
    virtual bool HasExpandingPanes() const = 0;
    virtual bool HasMidiPort2() const = 0;
    virtual bool HasUsbPort2() const = 0;
    virtual bool HasUsbPort3() const = 0;
    virtual bool HasPortGroups() const = 0;
    virtual bool HasAutoSnapshot() const = 0;
    virtual bool HasManufacturerName() const = 0;
    virtual bool HasKeyboard() const = 0;
    virtual bool HasKeyboardZones() const = 0;
    virtual bool HasAftertouchSetting() const = 0;
    virtual bool HasPotPickup() const = 0;
    virtual bool HasPatchLibrarian() const = 0;
    virtual bool HasSynthModes() const = 0;
    virtual bool HasBulkDumps() const = 0;
    // Whether a received template's OS version is compared with GetCurrentOSVersion.
    virtual bool ChecksReceivedOSVersion() const = 0;
    virtual bool HasGroupPages() const = 0;
    virtual bool HasTouchpad() const = 0;
    virtual bool HasTouchpadType3() const = 0;
    virtual bool HasOSUpdate() const = 0;
    virtual bool CanNameMmcControls() const = 0;
    virtual int GetMaxMmcDeviceNumber() const { return 99; }
    virtual bool HasDisplayOnStrokeOff() const = 0;
    virtual bool HasRelativeEncoderModes() const = 0;
    virtual bool HasTranspose() const { return false; }
    virtual std::string GetMidiPort1Name() const = 0;
    virtual std::string GetMidiPort2Name() const = 0;
    virtual std::string GetUsbPort1Name() const = 0;
    virtual std::string GetUsbPort2Name() const = 0;
    virtual std::string GetUsbPort3Name() const = 0;
    // Without a View menu the panel always shows the three-line view.
    virtual bool HasViewMenu() const = 0;
    virtual OsVersion GetCurrentOSVersion() const = 0;
    virtual std::string GetDefaultMidiDeviceName() const = 0;
    virtual std::string GetAppName() const = 0;

    virtual std::unique_ptr<CEditorTemplate> CreateTemplate() const = 0;
    // The set of all templates the unit keeps, and its OS image.
    virtual std::unique_ptr<IBulkDump> CreateBulkDump() const = 0;
    virtual std::unique_ptr<CDeviceOS> CreateDeviceOS() const = 0;
    virtual bool IsBulkDumpSingleMessage() const = 0;

    // Per-index answers (control index 0..lastIndex; higher = imported control).
    virtual bool AllowsPitchBend(int index) const = 0;
    virtual bool AllowsAftertouch(int index) const = 0;
    virtual bool Allows14BitValues(int index) const = 0;
    virtual bool AllowsPotPickup(int index) const = 0;
    virtual bool HasDefaultValue(int index) const = 0;
    virtual bool HasNoDisplayFormat(int index) const = 0;
    virtual bool IsPickupExempt(int index) const = 0;
    virtual bool UsesDrumNotes(int index) const = 0;
    virtual bool IsImportedControl(int index) const = 0;
    virtual bool IsMessageTypeSupported(int controlType) const = 0;
    virtual bool IsContinuousControl(int index) const = 0;
    virtual bool IsButtonControl(int index) const = 0;
    // Where the control sits on the unit, as a user finds it ("Pot 3",
    // "Button row 2, 5"); empty for an index the unit does not have.
    virtual std::string GetControlPlace(int) const { return {}; }
    // Whether the control at `index` may take the settings `state`.
    virtual bool CanHoldState(int index, const CBaseControlState& state) const;

    // The profile the model itself consults (the target device unless the
    // editor installs its own); code that is handed a profile uses that one.
    static const IDeviceProfile& current();
    static void setCurrent(const IDeviceProfile* profile);
};

// The answers for the TaNGRA LuMI QV.
class CTaNGRAQVDeviceProfile : public IDeviceProfile {
public:
    std::string GetEditorTitle() const override { return "TaNGRA LuMI QV Editor"; }
    std::string GetDeviceName() const override { return "TaNGRA LuMI QV"; }
    std::string GetAboutText() const override;
    std::string GetOSUpdateInstructions() const override;
    int GetMaxNameLength() const override { return 8; }
    int GetDisplayNameLength() const override { return 8; }
    int GetDeviceType() const override { return 2; }
    int GetMaxTemplateNameLength() const override { return 34; }
    int GetMaxSysExLength() const override { return 12; }
    bool HasSysExMessages() const override { return true; }
    bool HasSynthTemplateOption() const override { return false; }
    bool HasAudioFXSettings() const override { return false; }
    bool HasExpandingPanes() const override { return false; }
    bool HasMidiPort2() const override { return true; }
    bool HasUsbPort2() const override { return true; }
    bool HasUsbPort3() const override { return true; }
    bool HasPortGroups() const override { return true; }
    bool HasAutoSnapshot() const override { return false; }
    bool HasManufacturerName() const override { return true; }
    bool HasKeyboard() const override { return false; }
    bool HasKeyboardZones() const override { return false; }
    bool HasAftertouchSetting() const override { return false; }
    bool HasPotPickup() const override { return true; }
    bool HasPatchLibrarian() const override { return false; }
    bool HasSynthModes() const override { return false; }
    bool HasBulkDumps() const override { return true; }
    bool ChecksReceivedOSVersion() const override { return true; }
    bool HasGroupPages() const override { return true; }
    bool HasTouchpad() const override { return false; }
    bool HasTouchpadType3() const override { return false; }
    bool HasOSUpdate() const override { return true; }
    bool CanNameMmcControls() const override { return false; }
    int GetMaxMmcDeviceNumber() const override { return 127; }
    bool HasDisplayOnStrokeOff() const override { return true; }
    bool HasRelativeEncoderModes() const override { return true; }
    std::string GetMidiPort1Name() const override { return "MIDI Port 1"; }
    std::string GetMidiPort2Name() const override { return "MIDI Port 2"; }
    std::string GetUsbPort1Name() const override { return "USB Port 1"; }
    std::string GetUsbPort2Name() const override { return "USB Port 2"; }
    std::string GetUsbPort3Name() const override { return "USB Port 3"; }
    bool HasViewMenu() const override { return false; }
    OsVersion GetCurrentOSVersion() const override { return OsVersion{1, 0, 10}; }
    std::string GetDefaultMidiDeviceName() const override { return "TaNGRA QV MIDI"; }
    std::string GetAppName() const override { return "TaNGRAQVLumiEditor"; }

    std::unique_ptr<CEditorTemplate> CreateTemplate() const override;
    std::unique_ptr<IBulkDump> CreateBulkDump() const override;
    std::unique_ptr<CDeviceOS> CreateDeviceOS() const override;
    bool IsBulkDumpSingleMessage() const override { return false; }

    bool AllowsPitchBend(int i) const override { return i == 64 || (i >= 66 && i <= 69); }
    bool AllowsAftertouch(int) const override { return false; }
    bool Allows14BitValues(int i) const override { return i >= 8 && i <= 15; }
    bool AllowsPotPickup(int i) const override { return (i >= 0 && i <= 7) || (i >= 16 && i <= 23); }
    bool HasDefaultValue(int) const override { return true; }
    bool HasNoDisplayFormat(int i) const override { return i == 64 || i == 65; }
    bool IsPickupExempt(int i) const override { return i >= 66 && i <= 69; }
    bool UsesDrumNotes(int i) const override { return i >= 70 && i <= 85; }
    bool IsImportedControl(int i) const override { return i > 85; }
    bool IsMessageTypeSupported(int t) const override { return (t >= 0 && t <= 6) || (t >= 9 && t <= 11); }
    bool IsContinuousControl(int i) const override {
        return (i >= 0 && i <= 23) || (i >= 63 && i <= 69) || (i >= 78 && i <= 85);
    }
    bool IsButtonControl(int i) const override { return (i >= 24 && i <= 62) || (i >= 70 && i <= 77); }
    std::string GetControlPlace(int index) const override;
};
