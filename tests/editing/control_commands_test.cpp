// The property commands: labels, the field each one changes, exact undo of
// the setters' side effects, and what each asks of the views.
#include <functional>

#include "EditingTestSupport.h"
#include "editing/ControlCommands.h"
#include "editing/History.h"
#include "editing/TemplateCommands.h"

namespace {

using MakeCommand = std::function<std::unique_ptr<ICommand>(const CPlacedControl&, int)>;
using ReadField = std::function<int(const CBaseControlState&)>;

template <class T>
MakeCommand make() {
    return [](const CPlacedControl& c, int v) { return std::make_unique<T>(c, v); };
}

struct FieldCase {
    const char* label;
    MakeCommand command;
    ReadField field;
    int index;
    int value;
};

class ControlCommandsTest : public EditingTest {};

// Every single-value command: Do sets the field, Undo puts the old one back,
// redo sets it again; the edit window is refreshed and stays open.
TEST_F(ControlCommandsTest, EachCommandChangesItsFieldAndUndoesIt) {
    const FieldCase cases[] = {
        {"Set Control LSB", make<CSetMIDIControlLSBNumCommand>(), [](auto& s) { return s.lsbNumber; }, 0, 74},
        {"Set Control MSB", make<CSetMIDIControlMSBNumCommand>(), [](auto& s) { return s.msbNumber; }, 1, 99},
        {"Set Snapshot Value", make<CSetSnapshotValueCommand>(), [](auto& s) { return s.snapshotValue; }, 2, 64},
        {"Set Control MIDIChannel / MMC Device", make<CSetMIDIChannelOrMMCDeviceNumCommand>(),
         [](auto& s) { return s.midiChannel; }, 3, 16},
        {"Set Control MMC Command", make<CSetMMCControlTypeCommand>(), [](auto& s) { return s.mmcCommand; }, 24, 6},
        {"Set Control MIDI Channel Group", make<CSetMIDIChanGroupCommand>(), [](auto& s) { return s.channelGroup; },
         4, 2},
        {"Set Control Display Format", make<CSetDisplayFormatCommand>(), [](auto& s) { return s.displayFormat; }, 8,
         9},
        {"Edit Control Pot Strategy", make<CSetPotCatchupCommand>(), [](auto& s) { return s.potCatchup; }, 5, 7},
        {"Set Control MIDI Port Group", make<CSetMIDIPortGroupCommand>(), [](auto& s) { return s.portGroup; }, 6, 1},
        {"Set Low Value", make<CSetOffValueCommand>(), [](auto& s) { return s.offValue; }, 7, 12},
        {"Set High Value", make<CSetOnValueCommand>(), [](auto& s) { return s.onValue; }, 9, 100},
        {"Set Button Action", make<CSetActionCommand>(), [](auto& s) { return s.buttonAction; }, 30, 3},
        {"Set Button Step Size", make<CSetMultiStepCommand>(), [](auto& s) { return s.stepSize; }, 31, 5},
        {"Set High Value", make<CSetDrumAutoOffTimeCommand>(), [](auto& s) { return s.drumAutoOffTime; }, 70, 1200},
        {"Set High Value", make<CSetDrumOffSyncCommand>(), [](auto& s) { return s.drumOffSync; }, 71, 3},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.label);
        state(c.index).setControlType(ControlType::CC, true);
        const int before = c.field(state(c.index));
        ASSERT_NE(before, c.value);
        executeCommand(c.command(at(c.index), c.value), tpl);
        EXPECT_EQ(undoName(tpl), c.label);
        EXPECT_EQ(c.field(state(c.index)), c.value);

        view.log.clear();
        undoCommand(tpl);
        EXPECT_EQ(c.field(state(c.index)), before);
        EXPECT_TRUE(view.has("edit " + std::to_string(c.index) + " now"));
        EXPECT_FALSE(view.has("hide"));

        view.log.clear();
        redoCommand(tpl);
        EXPECT_EQ(c.field(state(c.index)), c.value);
        EXPECT_TRUE(view.has("edit " + std::to_string(c.index) + " now"));
        EXPECT_FALSE(view.has("hide"));
    }
}

TEST_F(ControlCommandsTest, LsbRedoReadsTheOldValueAgain) {
    state(0).setLsbNumber(10);
    auto owned = std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 20);
    CSetMIDIControlLSBNumCommand& cmd = *owned;
    EXPECT_EQ(cmd.OldValue(), 0);  // nothing read before the first Do
    executeCommand(std::move(owned), tpl);
    EXPECT_EQ(state(0).lsbNumber, 20);
    undoCommand(tpl);
    EXPECT_EQ(state(0).lsbNumber, 10);
    redoCommand(tpl);
    EXPECT_EQ(state(0).lsbNumber, 20);
    EXPECT_EQ(cmd.OldValue(), 10);
}

TEST_F(ControlCommandsTest, CommandKeepsItsOwnControlReference) {
    auto caller = std::make_unique<CPlacedControl>(tpl.controlAt(12), 12);
    auto r = std::make_unique<CSetMIDIControlMSBNumCommand>(*caller, 5);
    auto e = std::make_unique<CSetOnValueCommand>(*caller, 50);
    caller.reset();
    executeCommand(std::move(r), tpl);
    executeCommand(std::move(e), tpl);
    EXPECT_EQ(state(12).msbNumber, 5);
    EXPECT_EQ(state(12).onValue, 50);
}

TEST_F(ControlCommandsTest, HighBelowLowReversesTheRangeAndUndoRestoresIt) {
    state(0).setControlType(ControlType::CC, true);
    state(0).setOffValue(40, true);
    executeCommand(std::make_unique<CSetOnValueCommand>(at(0), 10), tpl);
    EXPECT_TRUE(state(0).reversedRange);
    undoCommand(tpl);
    EXPECT_FALSE(state(0).reversedRange);
    EXPECT_EQ(state(0).onValue, 127);
}

TEST_F(ControlCommandsTest, PortCommandLabelsFollowTheNewFlag) {
    struct PortCase {
        MakeCommand command;
        std::function<bool(const CBaseControlState&)> flag;
        const char* port;
    };
    const PortCase cases[] = {
        {make<CEnableMIDIPort1Command>(), [](auto& s) { return s.portMidi1; }, " Control MIDI Port 1"},
        {make<CEnableMIDIPort2Command>(), [](auto& s) { return s.portMidi2; }, " Control MIDI Port 2"},
        {make<CEnableMIDIPortUSBCommand>(), [](auto& s) { return s.portUsb1; }, " Control MIDI Port USB"},
        {make<CEnableMIDIPortUSB2Command>(), [](auto& s) { return s.portUsb2; }, " Control MIDI Port USB 2"},
        {make<CEnableMIDIPortUSB3Command>(), [](auto& s) { return s.portUsb3; }, " Control MIDI Port USB 3"},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.port);
        for (int flag : {0, 1, 5}) {
            const bool before = c.flag(state(0));
            auto cmd = c.command(at(0), flag);
            EXPECT_EQ(cmd->GetName(), std::string(flag ? "Enable" : "Disable") + c.port);
            executeCommand(std::move(cmd), tpl);
            EXPECT_EQ(c.flag(state(0)), flag != 0);
            undoCommand(tpl);
            EXPECT_EQ(c.flag(state(0)), before);
            redoCommand(tpl);
        }
    }
    EXPECT_EQ(CEnableMIDIPortUSBCommand(at(0), 0).GetName(), "Disable Control MIDI Port USB");
}

TEST_F(ControlCommandsTest, TypeChangeRebuildsTheEditWindowOnDoUndoAndRedo) {
    executeCommand(std::make_unique<CSetControlTypeCommand>(at(3), ControlType::NRPN), tpl);
    EXPECT_EQ(view.count("edit 3 deferred"), 1);
    undoCommand(tpl);
    EXPECT_EQ(state(3).controlType, ControlType::Disabled);
    EXPECT_EQ(view.count("edit 3 deferred"), 2);
    redoCommand(tpl);
    EXPECT_EQ(view.count("edit 3 deferred"), 3);
    // UpdateView itself refreshes nothing and keeps the window open.
    EXPECT_FALSE(view.has("edit 3 now"));
    EXPECT_FALSE(view.has("hide"));
}

// The setters rewrite fields the user never touched; undo must bring them back.
TEST_F(ControlCommandsTest, UndoRestoresWhatTheSettersRewrote) {
    CBaseControlState& pot = state(8);  // a 14-bit capable encoder
    pot.isContinuous = true;
    pot.setControlType(ControlType::NRPN, true);
    pot.setDisplayFormat(DisplayFormat::Send14Bit);
    pot.setOnValue(16000, true);
    pot.setSnapshotValue(9000);
    const CBaseControlState original = pot;

    executeCommand(std::make_unique<CSetControlTypeCommand>(at(8), ControlType::MMC), tpl);
    executeCommand(std::make_unique<CSetControlTypeCommand>(at(8), ControlType::CC), tpl);
    EXPECT_EQ(pot.displayFormat, DisplayFormat::Range0To127);
    EXPECT_TRUE(pot.flagB0);
    const CBaseControlState edited = pot;

    undoCommand(tpl);
    undoCommand(tpl);
    EXPECT_EQ(pot.displayFormat, DisplayFormat::Send14Bit);
    EXPECT_FALSE(pot.flagB0);
    EXPECT_TRUE(pot.sameState(original));
    redoCommand(tpl);
    redoCommand(tpl);
    EXPECT_TRUE(pot.sameState(edited));

    // The high value re-clamps the snapshot; undo gives the snapshot back.
    executeCommand(std::make_unique<CSetOnValueCommand>(at(8), 100), tpl);
    EXPECT_EQ(pot.snapshotValue, 100);
    undoCommand(tpl);
    EXPECT_TRUE(pot.sameState(edited));
    executeCommand(std::make_unique<CSetOffValueCommand>(at(8), 120), tpl);
    undoCommand(tpl);
    EXPECT_TRUE(pot.sameState(edited));
}

TEST_F(ControlCommandsTest, UndoKeepsChangesMadeOutsideTheHistory) {
    CBaseControlState& c = state(8);
    c.setControlType(ControlType::CC, true);
    c.setDisplayFormat(DisplayFormat::Send14Bit);
    executeCommand(std::make_unique<CSetControlTypeCommand>(at(8), ControlType::MMC), tpl);
    c.setName("Renamed");  // as an import of plug-in names would
    undoCommand(tpl);
    EXPECT_EQ(c.controlType, ControlType::CC);
    EXPECT_EQ(c.displayFormat, DisplayFormat::Send14Bit);  // the side effect is undone
    EXPECT_EQ(c.name, "Renamed");                          // the outside change stays
}

TEST_F(ControlCommandsTest, NameCommandSetsTheBindingShortNameToo) {
    state(5).pluginBinding = PluginBinding{"Filter Cutoff", "Cutoff", 3};
    state(5).setName("Cutoff");
    executeCommand(std::make_unique<CSetNameCommand>(at(5), "Reso"), tpl);
    EXPECT_EQ(state(5).name, "Reso");
    EXPECT_EQ(state(5).pluginBinding.shortName, "Reso");
    EXPECT_TRUE(view.has("edit 5 now") == false);  // fresh execute refreshes nothing
    undoCommand(tpl);
    EXPECT_EQ(state(5).name, "Cutoff");
    EXPECT_EQ(state(5).pluginBinding.shortName, "Cutoff");
    EXPECT_TRUE(view.has("edit 5 now"));
}

TEST_F(ControlCommandsTest, SysExCommandReplacesTheWholeMessage) {
    SysExMessage msg;
    msg.endPosition = 4;
    msg.dataPosition = 2;
    msg.bytes = {0x01, 0x7F, 0x02};
    const SysExMessage before = state(0).sysExData;
    executeCommand(std::make_unique<CSetSysExDataCommand>(at(0), msg), tpl);
    EXPECT_EQ(state(0).sysExData, msg);
    EXPECT_EQ(undoName(tpl), "Set Control SysEx Data");
    undoCommand(tpl);
    EXPECT_EQ(state(0).sysExData, before);
}

TEST_F(ControlCommandsTest, ButtonActionNotifiesTheEditWindowObservers) {
    executeCommand(std::make_unique<CSetActionCommand>(at(30), ButtonAction::Toggle), tpl);
    EXPECT_EQ(view.count("observers"), 1);
    undoCommand(tpl);
    EXPECT_EQ(view.count("observers"), 2);
    EXPECT_EQ(state(30).buttonAction, ButtonAction::Normal);
}

TEST_F(ControlCommandsTest, CreatorsMakeTheirCommands) {
    struct CreatorCase {
        const ICommandCreator& creator;
        const char* label;
        ReadField field;
    };
    const CreatorCase cases[] = {
        {setControlMsbCreator, "Set Control MSB", [](auto& s) { return s.msbNumber; }},
        {setControlLsbCreator, "Set Control LSB", [](auto& s) { return s.lsbNumber; }},
        {setSnapshotValueCreator, "Set Snapshot Value", [](auto& s) { return s.snapshotValue; }},
        {setChannelOrMmcDeviceCreator, "Set Control MIDIChannel / MMC Device", [](auto& s) { return s.midiChannel; }},
        {setHighValueCreator, "Set High Value", [](auto& s) { return s.onValue; }},
        {setLowValueCreator, "Set Low Value", [](auto& s) { return s.offValue; }},
        {setDrumAutoOffTimeCreator, "Set High Value", [](auto& s) { return s.drumAutoOffTime; }},
    };
    for (const CreatorCase& c : cases) {
        SCOPED_TRACE(c.label);
        auto cmd = c.creator.Create(at(20), 11);
        EXPECT_EQ(cmd->GetName(), c.label);
        cmd->Do();
        EXPECT_EQ(c.field(state(20)), 11);
        cmd->Undo();
    }
}

class TemplateCommandsTest : public EditingTest {};

TEST_F(TemplateCommandsTest, RecordCommandsReplaceTheRecordAndHideTheEditWindow) {
    tpl.locals.deviceByte49 = 0x21;
    tpl.locals.groups.commonChannel = 7;
    const ByteSequence original = tpl.save();

    CTemplateLocalData settings;  // as the dialog makes it: defaults, then its fields
    settings.setTemplateName("Drums");
    settings.octave = 6;
    executeCommand(std::make_unique<CSetTemplateLocalsCommand>(&tpl.localSettings(), settings), tpl);
    EXPECT_EQ(tpl.locals.templateName, "Drums");
    EXPECT_EQ(tpl.locals.octave, 6);
    EXPECT_EQ(tpl.locals.deviceByte49, 0x21);         // device bytes are not part of the record
    EXPECT_EQ(tpl.locals.groups.commonChannel, 7);   // nor are the groups
    EXPECT_EQ(undoName(tpl), "Edit Template Settings");

    CTemplateGroupData groups;
    groups.commonChannel = 3;
    groups.kbdAsCommonPorts = true;
    executeCommand(std::make_unique<CSetTemplateGroupsCommand>(tpl.groupSettings(), groups), tpl);
    EXPECT_EQ(tpl.locals.groups.commonChannel, 3);
    EXPECT_EQ(undoName(tpl), "Edit Port Groups");

    CKeyboardZone zone = *tpl.keyboardZone(2);
    zone.transpose = 70;
    zone.bottomNote = 36;
    executeCommand(std::make_unique<CSetKeyboardZoneCommand>(tpl.keyboardZone(2), zone), tpl);
    EXPECT_EQ(*static_cast<CKeyboardZone*>(tpl.keyboardZone(2)), zone);
    EXPECT_EQ(undoName(tpl), "Edit Keyboard Zone");
    const ByteSequence edited = tpl.save();

    for (int i = 0; i < 3; ++i) {
        view.log.clear();
        undoCommand(tpl);
        EXPECT_TRUE(view.has("hide"));
    }
    EXPECT_EQ(tpl.save(), original);
    EXPECT_EQ(tpl.locals.templateName, "Untitled");

    for (int i = 0; i < 3; ++i) {
        view.log.clear();
        redoCommand(tpl);
        EXPECT_TRUE(view.has("hide"));
    }
    EXPECT_EQ(tpl.save(), edited);
}

TEST_F(TemplateCommandsTest, SettingsCommandRefreshesTheTemplateMenuFirst) {
    CTemplateLocalData settings;
    settings.setTemplateName("Strings");
    CSetTemplateLocalsCommand cmd(&tpl.localSettings(), settings);
    cmd.Do();
    view.log.clear();
    EXPECT_FALSE(cmd.UpdateView(false));
    EXPECT_EQ(view.log, (std::vector<std::string>{"templateMenu"}));
    view.log.clear();
    CSetTemplateGroupsCommand groups(tpl.groupSettings(), CTemplateGroupData{});
    EXPECT_FALSE(groups.UpdateView(true));
    EXPECT_TRUE(view.log.empty());
}

TEST_F(TemplateCommandsTest, ZonesSwitchLabelAndUndo) {
    EXPECT_EQ(CEnableZonesCommand(&tpl, true).GetName(), "Enable Keyboard Zones");
    EXPECT_EQ(CEnableZonesCommand(&tpl, false).GetName(), "Disable Keyboard Zones");
    ASSERT_FALSE(tpl.zonesEnabled());
    executeCommand(std::make_unique<CEnableZonesCommand>(&tpl, true), tpl);
    EXPECT_TRUE(tpl.zonesEnabled());
    undoCommand(tpl);
    EXPECT_FALSE(tpl.zonesEnabled());
    EXPECT_TRUE(view.has("hide"));
    redoCommand(tpl);
    EXPECT_TRUE(tpl.zonesEnabled());
}

}  // namespace
