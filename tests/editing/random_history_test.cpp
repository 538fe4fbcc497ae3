// Long random command sequences on a real template: every undo must bring
// back exactly the state (and the dump bytes) before the command, every redo
// exactly the state after it.
#include <random>

#include "EditingTestSupport.h"
#include "editing/ClipboardCommands.h"
#include "editing/ControlCommands.h"
#include "editing/History.h"
#include "editing/TemplateCommands.h"
#include "model/DeviceProfile.h"

namespace {

struct Snapshot {
    ByteSequence bytes;
    std::vector<CBaseControlState> controls;
    ByteSequence locals;  // the settings record as encoded, groups included
    CTemplateGroupData groups;
    std::vector<CKeyboardZone> zones;
    bool zonesEnabled;
};

Snapshot take(CTaNGRAQVTemplate& t) {
    Snapshot s{t.save(), {}, t.locals.write(), t.locals.groups, {}, t.zonesEnabled()};
    for (int i = 0; i <= t.lastIndex(); ++i) s.controls.push_back(*t.controlAt(i));
    for (int z = 0; z < 4; ++z) s.zones.push_back(*t.keyboardZone(z));
    return s;
}

// Returns a description of the first difference, empty when equal.
std::string difference(const Snapshot& a, const Snapshot& b) {
    for (size_t i = 0; i < a.controls.size(); ++i)
        if (!a.controls[i].sameState(b.controls[i])) return "control " + std::to_string(i);
    if (a.locals != b.locals) return "template settings";
    if (!(a.groups == b.groups)) return "groups";
    if (a.zones != b.zones) return "zones";
    if (a.zonesEnabled != b.zonesEnabled) return "zones switch";
    if (a.bytes != b.bytes) return "dump bytes";
    return "";
}

class RandomHistoryTest : public EditingTest {
protected:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    int anyIndex() { return pick(0, 85); }
    int value() {
        switch (pick(0, 3)) {
            case 0: return pick(0, 127);
            case 1: return pick(0, 16383);
            case 2: return pick(0, 3);
            default: return pick(120, 127);
        }
    }
    int type() {
        static const int types[] = {0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12};
        return types[pick(0, 10)];
    }
    int displayFormat() {
        static const int formats[] = {0, 1, 2, 3, 6, 7, 9, 17};
        return formats[pick(0, 7)];
    }
    std::string name() {
        std::string n;
        for (int i = pick(0, 8); i > 0; --i) n += static_cast<char>(pick('A', 'Z'));
        return n;
    }
    ControlList distinctControls(int count) {
        ControlList list;
        while (static_cast<int>(list.size()) < count) {
            const int i = anyIndex();
            bool seen = false;
            for (const auto& c : list) seen = seen || c.GetIndex() == i;
            if (!seen) list.push_back(at(i));
        }
        return list;
    }

    void scramble(CBaseControlState& c, int index) {
        c.setControlType(type(), false);
        c.setName(name());
        c.setLsbNumber(static_cast<uint8_t>(pick(0, 127)));
        c.setMsbNumber(static_cast<uint8_t>(pick(0, 127)));
        c.setMidiChannel(pick(1, 16));
        c.setDisplayFormat(displayFormat());
        c.setOffValue(value(), false);
        c.setOnValue(value(), false);
        c.setSnapshotValue(value());
        c.buttonAction = pick(0, 3);
        c.stepSize = static_cast<uint8_t>(pick(1, 16));
        c.setPortMidi2(chance(50));
        c.setPortUsb3(chance(50));
        c.setPotCatchup(pick(0, 7));
        c.setDrumAutoOffTime(pick(0, 16383));
        c.setFlagB0(chance(50));
        c.rawByte5 = static_cast<uint8_t>(pick(0, 127));
        c.isContinuous = CTaNGRAQVDeviceProfile().IsContinuousControl(index);
    }

    std::unique_ptr<ICommand> randomCommand() {
        const CPlacedControl c = at(anyIndex());
        switch (pick(0, 33)) {
            case 0: return std::make_unique<CSetMIDIControlLSBNumCommand>(c, pick(0, 127));
            case 1: return std::make_unique<CSetMIDIControlMSBNumCommand>(c, pick(0, 127));
            case 2: return std::make_unique<CSetSnapshotValueCommand>(c, value());
            case 3: return std::make_unique<CSetMIDIChannelOrMMCDeviceNumCommand>(c, pick(0, 127));
            case 4: return std::make_unique<CSetMMCControlTypeCommand>(c, pick(1, 13));
            case 5: return std::make_unique<CSetMIDIChanGroupCommand>(c, pick(0, 2));
            case 6: {
                SysExMessage m;
                m.endPosition = static_cast<uint8_t>(pick(1, 13));
                m.dataPosition = static_cast<uint8_t>(pick(0, m.endPosition - 1));
                for (auto& b : m.bytes) b = static_cast<uint8_t>(pick(0, 127));
                return std::make_unique<CSetSysExDataCommand>(c, m);
            }
            case 7: return std::make_unique<CSetDisplayFormatCommand>(c, displayFormat());
            case 8: return std::make_unique<CSetPotCatchupCommand>(c, pick(0, 7));
            case 9: return std::make_unique<CSetMIDIPortGroupCommand>(c, pick(0, 2));
            case 10: return std::make_unique<CEnableMIDIPort1Command>(c, pick(0, 1));
            case 11: return std::make_unique<CEnableMIDIPort2Command>(c, pick(0, 1));
            case 12: return std::make_unique<CEnableMIDIPortUSBCommand>(c, pick(0, 1));
            case 13: return std::make_unique<CEnableMIDIPortUSB2Command>(c, pick(0, 1));
            case 14: return std::make_unique<CEnableMIDIPortUSB3Command>(c, pick(0, 1));
            case 15:
            case 16: return std::make_unique<CSetControlTypeCommand>(c, type());
            case 17: return std::make_unique<CSetNameCommand>(c, name());
            case 18:
            case 19: return std::make_unique<CSetOffValueCommand>(c, value());
            case 20:
            case 21: return std::make_unique<CSetOnValueCommand>(c, value());
            case 22: return std::make_unique<CSetActionCommand>(c, pick(0, 3));
            case 23: return std::make_unique<CSetMultiStepCommand>(c, pick(1, 16));
            case 24: return std::make_unique<CSetDrumAutoOffTimeCommand>(c, pick(0, 16383));
            case 25: return std::make_unique<CSetDrumOffSyncCommand>(c, pick(0, 127));
            case 26: {
                CTemplateLocalData d = tpl.locals;
                d.setTemplateName(name());
                d.octave = static_cast<uint8_t>(pick(0, 8));
                d.potPickup = chance(50);
                return std::make_unique<CSetTemplateLocalsCommand>(&tpl.localSettings(), d);
            }
            case 27: {
                CTemplateGroupData g;
                g.commonChannel = static_cast<uint8_t>(pick(1, 16));
                g.kbdAsCommonPorts = chance(50);
                return std::make_unique<CSetTemplateGroupsCommand>(tpl.groupSettings(), g);
            }
            case 28: {
                const int z = pick(0, 3);
                CKeyboardZone zone = *tpl.keyboardZone(z);
                zone.transpose = pick(40, 88);
                zone.topNote = pick(60, 127);
                return std::make_unique<CSetKeyboardZoneCommand>(tpl.keyboardZone(z), zone);
            }
            case 29: return std::make_unique<CEnableZonesCommand>(&tpl, chance(50));
            case 30: {
                const int n = pick(1, 3);
                return pasteCommand(distinctControls(n), distinctControls(n));
            }
            case 31: return chance(50) ? deleteCommand(distinctControls(pick(1, 3))) : cutCommand(distinctControls(2));
            case 32: {
                const ControlList two = distinctControls(2);
                return chance(50) ? moveCommand({two[0]}, {two[1]}) : swapCommand({two[0]}, {two[1]});
            }
            default: return assignImportedCommand(c, tpl, pick(0, static_cast<int>(tpl.importedControls.size()) - 1));
        }
    }

    std::mt19937 rng{20240611u};
};

TEST_F(RandomHistoryTest, UndoAndRedoRestoreExactStates) {
    for (int i = 0; i <= 85; ++i) scramble(state(i), i);
    tpl.importedControls.resize(3);
    for (auto& imported : tpl.importedControls) scramble(imported, 86);
    // A dump that went through a load, so that save() merges preserved bits.
    {
        CTaNGRAQVTemplate loaded;
        ASSERT_TRUE(loaded.load(tpl.save()));
        ASSERT_EQ(loaded.save(), tpl.save());
    }

    // expected[k + 1] is the state after history entry k; expected[0] the start.
    std::vector<Snapshot> expected{take(tpl)};
    int executed = 0, undone = 0, redone = 0;
    for (int step = 0; step < 3000; ++step) {
        const int roll = pick(1, 100);
        if (roll <= 60 || tpl.history.empty()) {
            executeCommand(randomCommand(), tpl);
            expected.resize(static_cast<size_t>(tpl.currentIndex) + 1);
            expected.push_back(take(tpl));
            ++executed;
        } else if (roll <= 82 && canUndo(tpl)) {
            undoCommand(tpl);
            ++undone;
            const std::string diff = difference(take(tpl), expected[static_cast<size_t>(tpl.currentIndex + 1)]);
            ASSERT_EQ(diff, "") << "undo at step " << step << " of " << undoName(tpl);
        } else if (canRedo(tpl)) {
            redoCommand(tpl);
            ++redone;
            const std::string diff = difference(take(tpl), expected[static_cast<size_t>(tpl.currentIndex + 1)]);
            ASSERT_EQ(diff, "") << "redo at step " << step << " of " << undoName(tpl);
        }
    }
    EXPECT_GT(executed, 1000);
    EXPECT_GT(undone, 300);
    EXPECT_GT(redone, 100);

    // The whole way back and forth.
    const Snapshot start = expected.front();
    const int last = static_cast<int>(tpl.history.size()) - 1;
    while (tpl.currentIndex < last) redoCommand(tpl);
    const Snapshot end = take(tpl);
    ASSERT_EQ(difference(end, expected.back()), "");
    while (canUndo(tpl)) undoCommand(tpl);
    EXPECT_EQ(tpl.save(), start.bytes);
    EXPECT_EQ(difference(take(tpl), start), "");
    while (canRedo(tpl)) redoCommand(tpl);
    EXPECT_EQ(tpl.save(), end.bytes);
    EXPECT_EQ(difference(take(tpl), end), "");
}

}  // namespace
