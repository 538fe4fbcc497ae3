#include <gtest/gtest.h>

#include "model/ControlState.h"
#include "model/ModelHooks.h"

TEST(ControlStateEquality, ComparesExactlyTheIdentifyingFields) {
    const CBaseControlState fresh;
    struct Case {
        const char* what;
        void (*change)(CBaseControlState&);
        bool stillEqual;
    };
    const Case cases[] = {
        {"snapshot", [](CBaseControlState& c) { c.snapshotValue = 99; }, true},
        {"long name", [](CBaseControlState& c) { c.longName = "Cutoff Frequency"; }, true},
        {"pot bit 6", [](CBaseControlState& c) { c.potBit6 = true; }, true},
        {"drum auto-off", [](CBaseControlState& c) { c.drumAutoOffTime = 500; }, true},
        {"raw byte", [](CBaseControlState& c) { c.rawByte6 = 3; }, true},
        {"channel flag", [](CBaseControlState& c) { c.channelFlag = true; }, true},
        {"continuous", [](CBaseControlState& c) { c.isContinuous = true; }, true},
        {"source port", [](CBaseControlState& c) { c.sourcePortByte = 2; }, false},
        {"name", [](CBaseControlState& c) { c.setName("Cutoff"); }, false},
        {"step size", [](CBaseControlState& c) { c.stepSize = 4; }, false},
        {"sysex byte", [](CBaseControlState& c) { c.sysExData.bytes[11] = 1; }, false},
        {"sysex header", [](CBaseControlState& c) { c.sysExData.hasDataPosition = 1; }, false},
        {"plugin index", [](CBaseControlState& c) { c.pluginBinding.index = 3; }, false},
        {"channel high bits", [](CBaseControlState& c) { c.channelHighBits = 2; }, false},
        {"button action", [](CBaseControlState& c) { c.buttonAction = 2; }, false},
    };
    for (const auto& c : cases) {
        CBaseControlState other;
        c.change(other);
        EXPECT_EQ(fresh == other, c.stillEqual) << c.what;
    }
}

TEST(ControlStateValues, ReversedRangeFollowsOffAndOn) {
    CBaseControlState c;
    c.setOffValue(100, false);
    EXPECT_FALSE(c.reversedRange);
    c.setOnValue(10, false);
    EXPECT_TRUE(c.reversedRange);
    c.setOffValue(5, false);
    EXPECT_FALSE(c.reversedRange);
}

TEST(ControlStateType, DisplayFormatAndFlagB0FollowTheType) {
    CBaseControlState c;
    c.setControlType(ControlType::CC, false);
    c.displayFormat = DisplayFormat::Send14Bit;
    c.setControlType(ControlType::MMC, false);
    EXPECT_EQ(c.displayFormat, DisplayFormat::Mmc);
    EXPECT_TRUE(c.flagB0);
    c.setControlType(ControlType::CC, false);
    EXPECT_EQ(c.displayFormat, 0);
    EXPECT_TRUE(c.flagB0);

    c.displayFormat = DisplayFormat::Relative1;
    c.setControlType(ControlType::NRPN, false);
    EXPECT_EQ(c.displayFormat, DisplayFormat::Relative1);
    EXPECT_FALSE(c.flagB0);
    c.setControlType(ControlType::RPN, false);
    EXPECT_FALSE(c.flagB0);
}

TEST(ControlStateClamp, SnapshotIsBroughtIntoRange) {
    struct Case {
        const char* what;
        int type;
        int action;
        bool continuous;
        int off, on, snapshot;
        int expected;
        bool changed;
    };
    const Case cases[] = {
        {"normal button takes the off value", ControlType::CC, 0, false, 5, 127, 64, 5, true},
        {"normal button already at off", ControlType::CC, 0, false, 5, 127, 5, 5, false},
        {"continuous reversed range, below", ControlType::CC, 0, true, 100, 20, 10, 20, true},
        {"continuous above high", ControlType::CC, 0, true, 0, 100, 120, 100, true},
        {"continuous inside", ControlType::CC, 0, true, 0, 100, 50, 50, false},
        {"toggle note goes to zero", ControlType::NoteOnOff, 2, false, 100, 127, 64, 0, true},
        {"drum note untouched", ControlType::DrumNote, 0, false, 5, 127, 64, 64, false},
        {"disabled untouched", ControlType::Disabled, 0, false, 5, 127, 64, 64, false},
        {"momentary button within range", ControlType::CC, 1, false, 10, 20, 30, 20, true},
    };
    for (const auto& c : cases) {
        CBaseControlState s;
        s.setControlType(c.type, false);
        s.buttonAction = c.action;
        s.isContinuous = c.continuous;
        s.offValue = c.off;
        s.onValue = c.on;
        s.snapshotValue = c.snapshot;
        EXPECT_EQ(s.clampSnapshot(), c.changed) << c.what;
        EXPECT_EQ(s.snapshotValue, c.expected) << c.what;
    }
}

TEST(ControlStateClamp, NotifiesTheSnapshotObserverUnlessSkipped) {
    struct Counter : IControlObservers {
        int observers = 0, snapshot = 0;
        void notifyObservers() override { ++observers; }
        void notifySnapshotObserver() override { ++snapshot; }
    } counter;
    ModelHooks hooks = ModelHooks::get();
    hooks.observers = &counter;
    ScopedModelHooks scope(hooks);

    CBaseControlState c;
    c.clampSnapshot();  // disabled: no notification
    EXPECT_EQ(counter.snapshot, 0);
    c.setControlType(ControlType::CC, true);
    EXPECT_EQ(counter.snapshot, 1);
    c.setButtonAction(ButtonAction::Toggle);
    EXPECT_EQ(counter.observers, 1);
    EXPECT_EQ(c.buttonAction, ButtonAction::Toggle);
}

TEST(ControlStateNames, NoteNames) {
    const std::pair<int, const char*> cases[] = {{0, "C-2"}, {61, "C#3"}, {60, "C3"}, {127, "G8"}, {23, "B-1"}};
    for (const auto& [note, name] : cases) EXPECT_EQ(CBaseControlState::noteName(note), name) << note;
}

TEST(ControlStateNames, TypeAndMmcNames) {
    EXPECT_EQ(CBaseControlState::typeName(7), "Note On/Off");
    EXPECT_EQ(CBaseControlState::typeName(12), "Aftertouch");
    EXPECT_EQ(CBaseControlState::typeName(13), "Unknown!");
    EXPECT_EQ(CBaseControlState::typeName(-1), "Unknown!");
    EXPECT_EQ(CBaseControlState::mmcCommandName(3), "Def. Play");
    EXPECT_EQ(CBaseControlState::mmcCommandName(13), "MMC Reset");
    EXPECT_EQ(CBaseControlState::mmcCommandName(0), "Unknown!");
}

TEST(ControlStateText, LabelUsesCommandOrDisplayName) {
    CBaseControlState c;
    c.setName("Cutoff");
    EXPECT_EQ(c.label(), "Cutoff");
    c.setLongName("Filter Cutoff");
    EXPECT_EQ(c.label(), "Cutoff (Filter Cutoff)");
    c.setControlType(ControlType::MMC, false);
    c.mmcCommand = 99;
    EXPECT_EQ(c.label(), "Unknown!");
}

TEST(ControlStateText, DescribeLinesByType) {
    CBaseControlState sysex;
    sysex.setName("Sx");
    sysex.setControlType(ControlType::SysEx, false);
    sysex.sysExData.endPosition = 4;
    sysex.sysExData.bytes[0] = 0x01;
    sysex.sysExData.bytes[1] = 0x7F;
    sysex.sysExData.bytes[2] = 0x02;
    auto lines = sysex.describe();
    EXPECT_EQ(lines[3], "01 DV 02 ");
    EXPECT_EQ(lines[1], "");  // SysEx shows no channel

    CBaseControlState note;
    note.setControlType(ControlType::NoteOnOff, false);
    note.lsbNumber = 60;
    note.offValue = 100;
    note.midiChannel = 10;
    lines = note.describe();
    EXPECT_EQ(lines[1], "Channel: 10");
    EXPECT_EQ(lines[3], "Note: C3");
    EXPECT_EQ(lines[4], "Velocity: 100");

    CBaseControlState mmc;
    mmc.setControlType(ControlType::MMC, false);
    mmc.mmcCommand = MmcCommand::Play;
    mmc.midiChannel = 127;
    lines = mmc.describe();
    EXPECT_EQ(lines[0], "Play");
    EXPECT_EQ(lines[3], "Device: 127");
    EXPECT_EQ(lines[4], "Command: Play");

    CBaseControlState bend;
    bend.setControlType(ControlType::PitchBend, false);
    bend.offValue = 3;
    lines = bend.describe();
    EXPECT_EQ(lines[5], "High: 127");
    EXPECT_EQ(lines[6], "Low: 3");

    CBaseControlState cc;
    cc.setControlType(ControlType::CC, false);
    cc.lsbNumber = 74;
    cc.setName("Cutoff");
    EXPECT_EQ(cc.infoText(), "Cutoff\n-------------------------\nCC\nChannel: 1\nCC#: 74");

    CBaseControlState unnamed;
    EXPECT_EQ(unnamed.infoText(), "Unnamed\n-------------------------\nDisabled");
}

TEST(ControlStatePlugin, BindingSetsNamesAndType) {
    CBaseControlState c;
    c.lsbNumber = 40;
    c.bindPluginParameter({"Filter Cutoff", "Cutoff", 7});
    EXPECT_EQ(c.name, "Cutoff");
    EXPECT_EQ(c.longName, "Filter Cutoff");
    EXPECT_EQ(c.controlType, ControlType::CC);
    EXPECT_EQ(c.lsbNumber, 0);
    EXPECT_EQ(c.pluginBinding.index, 7);

    c.bindPluginParameter({"", "", -1});
    EXPECT_EQ(c.name, "");
    EXPECT_EQ(c.controlType, ControlType::Disabled);

    c.setName("Mine");
    EXPECT_EQ(c.pluginBinding.shortName, "Mine");
}
