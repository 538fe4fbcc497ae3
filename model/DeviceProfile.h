#pragma once
// The device profile: every device-specific answer the program needs (names,
// port labels, which settings and menu items exist, which message types a
// control may take). Plain C++: the editor builds one and hands it to its
// windows; the command-line tool and the tests use the same answers. It is
// made of two model pieces: the facts a template asks (DeviceFacts), which it
// answers from, and the factory of the device's templates, bulk dumps and OS
// images (ITemplateFactory). Making the panel view is a window matter and
// stays with the editor program.
#include <memory>
#include <string>

#include "DeviceFacts.h"
#include "OsVersion.h"
#include "TemplateFactory.h"

class CBaseControlState;

class IDeviceProfile {
public:
    virtual ~IDeviceProfile() = default;

    // The facts a template asks, and the maker of the device's objects.
    virtual const DeviceFacts& Facts() const = 0;
    virtual const ITemplateFactory& Factory() const = 0;

    virtual std::string GetEditorTitle() const = 0;
    virtual std::string GetDeviceName() const = 0;
    virtual std::string GetAboutText() const = 0;
    virtual std::string GetOSUpdateInstructions() const = 0;
    int GetMaxNameLength() const { return Facts().maxNameLength; }
    virtual int GetDisplayNameLength() const = 0;
    int GetDeviceType() const { return Facts().deviceType; }
    virtual int GetMaxTemplateNameLength() const = 0;
    int GetMaxSysExLength() const { return Facts().maxSysExLength; }
    virtual bool HasSysExMessages() const = 0;
    virtual bool HasSynthTemplateOption() const = 0;
    virtual bool HasAudioFXSettings() const = 0;
    virtual bool HasExpandingPanes() const = 0;
    bool HasMidiPort2() const { return Facts().hasMidiPort2; }
    virtual bool HasUsbPort2() const = 0;
    virtual bool HasUsbPort3() const = 0;
    virtual bool HasPortGroups() const = 0;
    virtual bool HasAutoSnapshot() const = 0;
    virtual bool HasManufacturerName() const = 0;
    virtual bool HasKeyboard() const = 0;
    bool HasKeyboardZones() const { return Facts().hasKeyboardZones; }
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

    // What Factory() makes.
    std::unique_ptr<CEditorTemplate> CreateTemplate() const;
    // The set of all templates the unit keeps, and its OS image.
    std::unique_ptr<IBulkDump> CreateBulkDump() const;
    std::unique_ptr<CDeviceOS> CreateDeviceOS() const;
    virtual bool IsBulkDumpSingleMessage() const = 0;

    // Per-index answers (control index 0..lastIndex; higher = imported control).
    bool AllowsPitchBend(int index) const { return Facts().allowsPitchBend(index); }
    virtual bool AllowsAftertouch(int index) const = 0;
    bool Allows14BitValues(int index) const { return Facts().allows14BitValues(index); }
    virtual bool AllowsPotPickup(int index) const = 0;
    virtual bool HasDefaultValue(int index) const = 0;
    virtual bool HasNoDisplayFormat(int index) const = 0;
    virtual bool IsPickupExempt(int index) const = 0;
    bool UsesDrumNotes(int index) const { return Facts().usesDrumNotes(index); }
    bool IsImportedControl(int index) const { return Facts().isImportedControl(index); }
    bool IsMessageTypeSupported(int controlType) const { return Facts().isMessageTypeSupported(controlType); }
    bool IsContinuousControl(int index) const { return Facts().isContinuousControl(index); }
    bool IsButtonControl(int index) const { return Facts().isButtonControl(index); }
    // Where the control sits on the unit, as a user finds it ("Pot 3",
    // "Button row 2, 5"); empty for an index the unit does not have.
    virtual std::string GetControlPlace(int) const { return {}; }
    // Whether the control at `index` may take the settings `state`.
    bool CanHoldState(int index, const CBaseControlState& state) const { return Facts().canHoldState(index, state); }
};

// The answers for the TaNGRA LuMI QV.
class CTaNGRAQVDeviceProfile : public IDeviceProfile {
public:
    const DeviceFacts& Facts() const override { return TaNGRAQVFacts(); }
    const ITemplateFactory& Factory() const override { return factory; }
    std::string GetEditorTitle() const override { return "TaNGRA LuMI QV Editor"; }
    std::string GetDeviceName() const override { return "TaNGRA LuMI QV"; }
    std::string GetAboutText() const override;
    std::string GetOSUpdateInstructions() const override;
    int GetDisplayNameLength() const override { return 8; }
    int GetMaxTemplateNameLength() const override { return 34; }
    bool HasSysExMessages() const override { return true; }
    bool HasSynthTemplateOption() const override { return false; }
    bool HasAudioFXSettings() const override { return false; }
    bool HasExpandingPanes() const override { return false; }
    bool HasUsbPort2() const override { return true; }
    bool HasUsbPort3() const override { return true; }
    bool HasPortGroups() const override { return true; }
    bool HasAutoSnapshot() const override { return false; }
    bool HasManufacturerName() const override { return true; }
    bool HasKeyboard() const override { return false; }
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

    bool IsBulkDumpSingleMessage() const override { return false; }

    bool AllowsAftertouch(int) const override { return false; }
    bool AllowsPotPickup(int i) const override { return (i >= 0 && i <= 7) || (i >= 16 && i <= 23); }
    bool HasDefaultValue(int) const override { return true; }
    bool HasNoDisplayFormat(int i) const override { return i == 64 || i == 65; }
    bool IsPickupExempt(int i) const override { return i >= 66 && i <= 69; }
    std::string GetControlPlace(int index) const override;

private:
    CTaNGRAQVTemplateFactory factory;
};
