#pragma once
// The commands that change one setting of one control. Each is made with the
// control and the new value, remembers the old value (and the control's whole
// settings) when performed, and puts them back when undone. UpdateView
// refreshes the control (Edit without deferral) and keeps the edit window open.
//
// Two shapes: "R" commands own a heap clone of the control reference, "E"
// commands hold the reference by value.
#include <cstdint>
#include <memory>
#include <string>

#include "model/Command.h"
#include "editing/CommandCreator.h"
#include "editing/ControlUndoRecord.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"

// Holds a heap copy of the caller's control reference.
class CClonedControlRef {
protected:
    explicit CClonedControlRef(const CPlacedControl& c) : control(c.Clone()) {}
    const CPlacedControl& placed() const { return *control; }
    std::unique_ptr<CPlacedControl> control;
};

// Holds the caller's control reference by value.
class CEmbeddedControlRef {
protected:
    explicit CEmbeddedControlRef(const CPlacedControl& c) : control(c) {}
    const CPlacedControl& placed() const { return control; }
    CPlacedControl control;
};

template <class Ref, class Value>
class CControlValueCommand : public ICommand, protected Ref {
public:
    void Do() override {
        CBaseControlState* s = this->placed().GetState();
        if (!s) return;
        undo.recordBefore(*s);
        oldValue = read(*s);
        write(*s, newValue);
        undo.recordAfter(*s);
    }
    void Undo() override {
        CBaseControlState* s = this->placed().GetState();
        if (!s) return;
        const CBaseControlState current = *s;
        write(*s, oldValue);  // the setter's own notifications and refreshes
        *s = undo.undoneState(current);
    }
    bool UpdateView(bool) override {
        this->placed().Edit(false);
        return true;
    }

    const Value& NewValue() const { return newValue; }
    const Value& OldValue() const { return oldValue; }

protected:
    CControlValueCommand(const CPlacedControl& c, Value v) : Ref(c), newValue(std::move(v)) {}
    virtual Value read(const CBaseControlState& s) const = 0;
    virtual void write(CBaseControlState& s, const Value& v) = 0;

    Value newValue;
    Value oldValue{};  // read by the last Do
    CControlUndoRecord undo;
};

using CControlByteCommand = CControlValueCommand<CClonedControlRef, uint8_t>;
using CControlIntCommand = CControlValueCommand<CClonedControlRef, int32_t>;
using CControlFlagCommand = CControlValueCommand<CClonedControlRef, bool>;
using CEmbeddedIntCommand = CControlValueCommand<CEmbeddedControlRef, int32_t>;

class CSetMIDIControlLSBNumCommand : public CControlByteCommand {
public:
    CSetMIDIControlLSBNumCommand(const CPlacedControl& c, int v) : CControlByteCommand(c, static_cast<uint8_t>(v)) {}
    std::string GetName() const override { return "Set Control LSB"; }

protected:
    uint8_t read(const CBaseControlState& s) const override { return s.getLsbNumber(); }
    void write(CBaseControlState& s, const uint8_t& v) override { s.setLsbNumber(v); }
};

class CSetMIDIControlMSBNumCommand : public CControlByteCommand {
public:
    CSetMIDIControlMSBNumCommand(const CPlacedControl& c, int v) : CControlByteCommand(c, static_cast<uint8_t>(v)) {}
    std::string GetName() const override { return "Set Control MSB"; }

protected:
    uint8_t read(const CBaseControlState& s) const override { return s.getMsbNumber(); }
    void write(CBaseControlState& s, const uint8_t& v) override { s.setMsbNumber(v); }
};

class CSetSnapshotValueCommand : public CControlIntCommand {
public:
    CSetSnapshotValueCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Snapshot Value"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getSnapshotValue(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setSnapshotValue(v); }
};

class CSetMIDIChannelOrMMCDeviceNumCommand : public CControlIntCommand {
public:
    CSetMIDIChannelOrMMCDeviceNumCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Control MIDIChannel / MMC Device"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getMidiChannel(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setMidiChannel(v); }
};

class CSetMMCControlTypeCommand : public CControlIntCommand {
public:
    CSetMMCControlTypeCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Control MMC Command"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getMmcCommand(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setMmcCommand(v); }
};

class CSetMIDIChanGroupCommand : public CControlIntCommand {
public:
    CSetMIDIChanGroupCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Control MIDI Channel Group"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getChannelGroup(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setChannelGroup(v); }
};

class CSetSysExDataCommand : public CControlValueCommand<CClonedControlRef, SysExMessage> {
public:
    CSetSysExDataCommand(const CPlacedControl& c, const SysExMessage& m) : CControlValueCommand(c, m) {}
    std::string GetName() const override { return "Set Control SysEx Data"; }

protected:
    SysExMessage read(const CBaseControlState& s) const override { return s.getSysExData(); }
    void write(CBaseControlState& s, const SysExMessage& v) override { s.setSysExData(v); }
};

class CSetDisplayFormatCommand : public CControlIntCommand {
public:
    CSetDisplayFormatCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Control Display Format"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getDisplayFormat(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setDisplayFormat(v); }
};

class CSetPotCatchupCommand : public CControlIntCommand {
public:
    CSetPotCatchupCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Edit Control Pot Strategy"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getPotCatchup(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setPotCatchup(v); }
};

class CSetMIDIPortGroupCommand : public CControlIntCommand {
public:
    CSetMIDIPortGroupCommand(const CPlacedControl& c, int v) : CControlIntCommand(c, v) {}
    std::string GetName() const override { return "Set Control MIDI Port Group"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getPortGroup(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setPortGroup(v); }
};

// The five port switches: the label is "Enable" or "Disable" after the new
// flag, followed by the port text.
class CEnableMIDIPortCommand : public CControlFlagCommand {
public:
    std::string GetName() const override { return std::string(newValue ? "Enable" : "Disable") + portText(); }

protected:
    CEnableMIDIPortCommand(const CPlacedControl& c, int flag) : CControlFlagCommand(c, flag != 0) {}
    virtual const char* portText() const = 0;
};

class CEnableMIDIPort1Command : public CEnableMIDIPortCommand {
public:
    CEnableMIDIPort1Command(const CPlacedControl& c, int flag) : CEnableMIDIPortCommand(c, flag) {}

protected:
    const char* portText() const override { return " Control MIDI Port 1"; }
    bool read(const CBaseControlState& s) const override { return s.getPortMidi1(); }
    void write(CBaseControlState& s, const bool& v) override { s.setPortMidi1(v); }
};

class CEnableMIDIPort2Command : public CEnableMIDIPortCommand {
public:
    CEnableMIDIPort2Command(const CPlacedControl& c, int flag) : CEnableMIDIPortCommand(c, flag) {}

protected:
    const char* portText() const override { return " Control MIDI Port 2"; }
    bool read(const CBaseControlState& s) const override { return s.getPortMidi2(); }
    void write(CBaseControlState& s, const bool& v) override { s.setPortMidi2(v); }
};

class CEnableMIDIPortUSBCommand : public CEnableMIDIPortCommand {
public:
    CEnableMIDIPortUSBCommand(const CPlacedControl& c, int flag) : CEnableMIDIPortCommand(c, flag) {}

protected:
    const char* portText() const override { return " Control MIDI Port USB"; }
    bool read(const CBaseControlState& s) const override { return s.getPortUsb1(); }
    void write(CBaseControlState& s, const bool& v) override { s.setPortUsb1(v); }
};

class CEnableMIDIPortUSB2Command : public CEnableMIDIPortCommand {
public:
    CEnableMIDIPortUSB2Command(const CPlacedControl& c, int flag) : CEnableMIDIPortCommand(c, flag) {}

protected:
    const char* portText() const override { return " Control MIDI Port USB 2"; }
    bool read(const CBaseControlState& s) const override { return s.getPortUsb2(); }
    void write(CBaseControlState& s, const bool& v) override { s.setPortUsb2(v); }
};

class CEnableMIDIPortUSB3Command : public CEnableMIDIPortCommand {
public:
    CEnableMIDIPortUSB3Command(const CPlacedControl& c, int flag) : CEnableMIDIPortCommand(c, flag) {}

protected:
    const char* portText() const override { return " Control MIDI Port USB 3"; }
    bool read(const CBaseControlState& s) const override { return s.getPortUsb3(); }
    void write(CBaseControlState& s, const bool& v) override { s.setPortUsb3(v); }
};

// Changes the type with the snapshot clamp and has the edit window rebuilt
// for the new type on the next idle pass (on Do, Undo and redo alike).
class CSetControlTypeCommand : public CControlIntCommand {
public:
    CSetControlTypeCommand(const CPlacedControl& c, int type) : CControlIntCommand(c, type) {}
    std::string GetName() const override { return "Set Control Type"; }
    bool UpdateView(bool) override { return true; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getControlType(); }
    void write(CBaseControlState& s, const int32_t& v) override {
        s.setControlType(v, true);
        if (refreshEditor) placed().Edit(true);
    }
    bool refreshEditor = true;
};

// setName also sets the short name of the plug-in binding.
class CSetNameCommand : public CControlValueCommand<CClonedControlRef, std::string> {
public:
    CSetNameCommand(const CPlacedControl& c, const std::string& name) : CControlValueCommand(c, name) {}
    std::string GetName() const override { return "Set Control Name"; }
    bool UpdateView(bool) override {
        if (refreshEditor) placed().Edit(false);
        return true;
    }

protected:
    std::string read(const CBaseControlState& s) const override { return s.getName(); }
    void write(CBaseControlState& s, const std::string& v) override { s.setName(v); }
    bool refreshEditor = true;
};

// Low value; reversedRange and the snapshot clamp follow.
class CSetOffValueCommand : public CEmbeddedIntCommand {
public:
    CSetOffValueCommand(const CPlacedControl& c, int v) : CEmbeddedIntCommand(c, v) {}
    std::string GetName() const override { return "Set Low Value"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getOffValue(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setOffValue(v, true); }
};

// High value; reversedRange and the snapshot clamp follow.
class CSetOnValueCommand : public CEmbeddedIntCommand {
public:
    CSetOnValueCommand(const CPlacedControl& c, int v) : CEmbeddedIntCommand(c, v) {}
    std::string GetName() const override { return "Set High Value"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getOnValue(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setOnValue(v, true); }
};

// setButtonAction notifies the edit window's observers.
class CSetActionCommand : public CEmbeddedIntCommand {
public:
    CSetActionCommand(const CPlacedControl& c, int v) : CEmbeddedIntCommand(c, v) {}
    std::string GetName() const override { return "Set Button Action"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.buttonAction; }
    void write(CBaseControlState& s, const int32_t& v) override { s.setButtonAction(v); }
};

class CSetMultiStepCommand : public CControlValueCommand<CEmbeddedControlRef, uint8_t> {
public:
    CSetMultiStepCommand(const CPlacedControl& c, int v) : CControlValueCommand(c, static_cast<uint8_t>(v)) {}
    std::string GetName() const override { return "Set Button Step Size"; }

protected:
    uint8_t read(const CBaseControlState& s) const override { return s.stepSize; }
    void write(CBaseControlState& s, const uint8_t& v) override { s.stepSize = v; }
};

class CSetDrumAutoOffTimeCommand : public CEmbeddedIntCommand {
public:
    CSetDrumAutoOffTimeCommand(const CPlacedControl& c, int v) : CEmbeddedIntCommand(c, v) {}
    std::string GetName() const override { return "Set High Value"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getDrumAutoOffTime(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setDrumAutoOffTime(v); }
};

class CSetDrumOffSyncCommand : public CEmbeddedIntCommand {
public:
    CSetDrumOffSyncCommand(const CPlacedControl& c, int v) : CEmbeddedIntCommand(c, v) {}
    std::string GetName() const override { return "Set High Value"; }

protected:
    int32_t read(const CBaseControlState& s) const override { return s.getDrumOffSync(); }
    void write(CBaseControlState& s, const int32_t& v) override { s.setDrumOffSync(v); }
};

// The creators the numeric entry fields are bound to.
inline const CommandCreator<CSetMIDIControlMSBNumCommand> setControlMsbCreator;
inline const CommandCreator<CSetMIDIControlLSBNumCommand> setControlLsbCreator;
inline const CommandCreator<CSetSnapshotValueCommand> setSnapshotValueCreator;
inline const CommandCreator<CSetMIDIChannelOrMMCDeviceNumCommand> setChannelOrMmcDeviceCreator;
inline const CommandCreator<CSetOnValueCommand> setHighValueCreator;
inline const CommandCreator<CSetOffValueCommand> setLowValueCreator;
inline const CommandCreator<CSetDrumAutoOffTimeCommand> setDrumAutoOffTimeCreator;
