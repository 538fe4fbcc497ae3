// The controls table: what its cells show, how typed and pasted text becomes
// property commands (labels, clamps, one undo step), and how bad input is
// refused whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EditingTestSupport.h"
#include "editing/ControlsTable.h"
#include "editing/History.h"
#include "model/DeviceProfile.h"
#include "model/SysExText.h"
#include "model/TemplateParts.h"

namespace {

using C = TableColumn;

std::vector<int> rowRange(int first, int last) {
    std::vector<int> rows;
    for (int r = first; r <= last; ++r) rows.push_back(r);
    return rows;
}

std::vector<C> allColumns() {
    std::vector<C> columns;
    for (int c = 0; c < kTableColumnCount; ++c) columns.push_back(static_cast<C>(c));
    return columns;
}

// Every kind of assignment the table shows, set directly on the model.
void makeVaried(CTaNGRAQVTemplate& t) {
    auto& c = t.controls;
    c[0].setControlType(ControlType::CC, false);
    c[0].setName("Cutoff");
    c[0].lsbNumber = 74;
    c[0].midiChannel = 3;
    c[0].offValue = 10;
    c[0].onValue = 100;
    c[0].snapshotValue = 50;
    c[0].displayFormat = DisplayFormat::RangeMinus64To63;
    c[1].setControlType(ControlType::NRPN, false);
    c[1].msbNumber = 1;
    c[1].lsbNumber = 20;
    c[1].channelGroup = ChannelGroup::Common;
    c[1].portGroup = PortGroup::Common;
    c[2].setControlType(ControlType::RPN, false);
    c[2].midiChannel = 16;
    c[2].portMidi1 = c[2].portUsb1 = false;
    c[2].portMidi2 = c[2].portUsb3 = true;
    c[3].setControlType(ControlType::CC, false);
    c[3].setOffValue(100, false);
    c[3].setOnValue(20, false);  // reversed range
    c[3].snapshotValue = 30;
    c[8].setControlType(ControlType::CC, false);
    c[8].displayFormat = DisplayFormat::Send14Bit;
    c[8].onValue = 16000;
    c[8].snapshotValue = 8000;
    c[9].setControlType(ControlType::SysEx, false);
    std::string status;
    ASSERT_TRUE(parseMessageText("00 11 DV 7F", c[9].sysExData, status)) << status;
    c[16].setName("Spare");
    c[24].setControlType(ControlType::CC, false);
    c[24].buttonAction = ButtonAction::Momentary;
    c[24].snapshotValue = 64;
    c[24].displayFormat = DisplayFormat::OnStrokeOff;
    c[25].setControlType(ControlType::NoteOnOff, false);
    c[25].lsbNumber = 61;
    c[25].offValue = 100;
    c[25].midiChannel = 10;
    c[25].buttonAction = ButtonAction::Toggle;
    c[26].setControlType(ControlType::ProgramChange, false);
    c[26].offValue = 5;
    c[26].onValue = 9;
    c[26].buttonAction = ButtonAction::Step;
    c[26].snapshotValue = 7;
    c[27].setControlType(ControlType::MMC, false);
    c[27].mmcCommand = MmcCommand::Play;
    c[27].midiChannel = 127;
    c[40].setControlType(ControlType::CC, false);
    c[40].channelGroup = ChannelGroup::Keyboard;
    c[40].portGroup = PortGroup::Keyboard;
    c[63].setControlType(ControlType::CC, false);
    c[63].lsbNumber = 11;
    c[63].displayFormat = DisplayFormat::AbsolutePot;
    c[64].midiChannel = 2;
    c[64].portMidi1 = c[64].portUsb1 = false;
    c[66].setControlType(ControlType::PitchBend, false);
    c[66].midiChannel = 5;
    c[70].setControlType(ControlType::DrumNote, false);
    c[70].offValue = 36;
    c[70].onValue = 90;
    c[80].setControlType(ControlType::CC, false);
    c[80].lsbNumber = 80;
    c[80].displayFormat = DisplayFormat::Relative1;
}

class ControlsTableTest : public EditingTest {
protected:
    void SetUp() override {
        EditingTest::SetUp();
        table.refresh();
    }
    // Executes what the table made, as the window does, and re-reads.
    void run(std::unique_ptr<ICommand> command) {
        ASSERT_TRUE(command) << error.message;
        executeCommand(std::move(command), tpl);
        table.refresh();
    }
    std::vector<CBaseControlState> snapshot() const {
        return std::vector<CBaseControlState>(tpl.controls.begin(), tpl.controls.end());
    }
    bool unchangedSince(const std::vector<CBaseControlState>& before) const {
        for (size_t i = 0; i < before.size(); ++i)
            if (!before[i].sameState(tpl.controls[i])) return false;
        return true;
    }

    CTaNGRAQVDeviceProfile profile;
    CControlsTable table{profile, tpl};
    TableError error;
};

TEST_F(ControlsTableTest, OneRowPerControlInIndexOrderIncludingThoseOffThePanel) {
    ASSERT_EQ(table.rowCount(), 86);
    for (int r = 0; r < 86; ++r) EXPECT_EQ(table.indexAt(r), r);
    const std::pair<int, const char*> places[] = {
        {0, "Pot 1"},          {10, "Encoder 3"},       {23, "Slider 8"},        {24, "Button row 1, 1"},
        {33, "Button row 2, 2"}, {55, "Button row 4, 8"}, {56, "Rewind"},          {61, "Loop"},
        {62, "Pedal 1"},       {63, "Pedal 2"},         {64, "Pitch-bend wheel"}, {65, "Modulation wheel"},
        {66, "Further continuous 1"}, {70, "Drum pad 1"}, {77, "Drum pad 8"}, {85, "Further continuous 12"}};
    for (const auto& [index, place] : places) EXPECT_EQ(table.cellText(index, C::Place), place) << index;
}

TEST_F(ControlsTableTest, CellsShowWhatTheControlSendsAndNothingWhereAColumnDoesNotApply) {
    makeVaried(tpl);
    table.refresh();
    struct Case {
        int index;
        C column;
        const char* text;
    };
    const Case cases[] = {
        {0, C::Name, "Cutoff"},          {0, C::Channel, "3"},          {0, C::Number, "74"},
        {0, C::Display, "-64 to 63"},    {0, C::Default, "50"},         {0, C::Ports, "MIDI 1, USB 1"},
        {1, C::Number, "MSB 1 LSB 20"},  {1, C::Channel, "Common"},     {1, C::Ports, "Common"},
        {2, C::Ports, "MIDI 2, USB 3"},  {8, C::Display, "14-bit"},     {8, C::High, "16000"},
        {9, C::Number, "00 11 DV 7F"},   {9, C::Channel, ""},           {16, C::Type, "Disabled"},
        {16, C::Channel, ""},            {16, C::Ports, ""},            {24, C::Action, "Momentary"},
        {24, C::Display, "On / Off"},    {25, C::Number, "61 (C#3)"},   {25, C::Low, "100"},
        {25, C::High, ""},               {26, C::Number, "5"},          {26, C::Low, ""},
        {26, C::Action, "Step"},         {27, C::Channel, "Device 127"}, {27, C::Number, "Play"},
        {27, C::Low, ""},                {40, C::Channel, "Program"},   {40, C::Ports, "Program"},
        {30, C::Default, ""},  // a Normal button rests at its low value
        {0, C::Action, ""},              {64, C::Type, "Pitch Bend"},   {64, C::Number, ""},
        {64, C::Display, ""},            {64, C::Ports, "None"},        {66, C::Display, "0 to 127"},
        {70, C::Number, "36 (C1)"},      {70, C::High, "90"},           {80, C::Display, "Relative 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(table.cellText(c.index, c.column), c.text) << c.index << " " << CControlsTable::columnTitle(c.column);
}

TEST_F(ControlsTableTest, EveryCellReadsBackAsTheSameSettings) {
    makeVaried(tpl);
    table.refresh();
    // Typing what a cell shows changes nothing and is no error.
    for (int r = 0; r < table.rowCount(); ++r)
        for (C column : allColumns()) {
            if (!CControlsTable::isEditable(column)) continue;
            EXPECT_EQ(table.setCells({r}, column, table.text(r, column), error), nullptr) << r;
            EXPECT_TRUE(error.empty()) << error.message;
        }
    // The whole table copied from one template and pasted into a new one
    // gives the same texts everywhere.
    const std::string copied = table.copyText(rowRange(0, 85), allColumns());
    CTaNGRAQVTemplate fresh;
    CControlsTable other(profile, fresh);
    auto paste = other.paste(0, C::Index, copied, error);
    ASSERT_TRUE(paste) << error.message;
    executeCommand(std::move(paste), fresh);
    other.refresh();
    for (int r = 0; r < 86; ++r)
        for (C column : allColumns()) EXPECT_EQ(other.text(r, column), table.text(r, column)) << r;
    EXPECT_EQ(fresh.history.size(), 1u);
}

TEST_F(ControlsTableTest, OneCellIsTheEditWindowsOwnCommandWithItsLabel) {
    makeVaried(tpl);
    table.refresh();
    struct Case {
        int index;
        C column;
        const char* text;
        const char* label;
    };
    const Case cases[] = {
        {0, C::Name, "Reso", "Set Control Name"},
        {0, C::Type, "NRPN", "Set Control Type"},
        {0, C::Channel, "9", "Set Control MIDIChannel / MMC Device"},
        {0, C::Channel, "Common", "Set Control MIDI Channel Group"},
        {1, C::Channel, "4", "Set MIDI Channel"},  // the group and the channel
        {0, C::Number, "75", "Set Control LSB"},
        {1, C::Number, "MSB 2 LSB 20", "Set Control MSB"},
        {0, C::Low, "0", "Set Low Value"},
        {0, C::High, "90", "Set High Value"},
        {0, C::Default, "60", "Set Snapshot Value"},
        {0, C::Ports, "USB 1", "Disable Control MIDI Port 1"},
        {0, C::Ports, "MIDI 1, MIDI 2, USB 1", "Enable Control MIDI Port 2"},
        {0, C::Ports, "MIDI 1, USB 2", "Set Ports"},
        {0, C::Ports, "Common", "Set Control MIDI Port Group"},
        {0, C::Display, "Relative 2", "Set Control Display Format"},
        {9, C::Number, "01 DV", "Set Control SysEx Data"},
        {24, C::Action, "Toggle", "Set Button Action"},
        {27, C::Number, "Stop", "Set Control MMC Command"},
        {26, C::Number, "12", "Set Low Value"},  // a program is the low value
        {70, C::Number, "C2", "Set Low Value"},  // so is a drum pad's note
    };
    for (const Case& c : cases) {
        auto command = table.setCells({table.rowOf(c.index)}, c.column, c.text, error);
        ASSERT_TRUE(command) << c.text << ": " << error.message;
        EXPECT_EQ(command->GetName(), c.label) << c.text;
    }
}

TEST_F(ControlsTableTest, ValuesGoThroughTheSameSettersAsTheEditWindow) {
    for (int i : {0, 24, 27}) state(i).setControlType(ControlType::CC, true);
    table.refresh();
    // A low value above the high one reverses the range.
    run(table.setCells({0}, C::High, "20", error));
    run(table.setCells({0}, C::Low, "100", error));
    EXPECT_TRUE(state(0).reversedRange);
    // A high value below the default pulls the default along (snapshot clamp).
    run(table.setCells({0}, C::Low, "0", error));
    run(table.setCells({0}, C::Default, "15", error));
    run(table.setCells({0}, C::High, "10", error));
    EXPECT_EQ(state(0).snapshotValue, 10);
    // A type change to MMC sets the MMC display format.
    run(table.setCells({27}, C::Type, "MMC", error));
    EXPECT_EQ(state(27).displayFormat, DisplayFormat::Mmc);
    // A channel typed over "Common" returns the control to its own channel.
    run(table.setCells({24}, C::Channel, "Common", error));
    run(table.setCells({24}, C::Channel, "7", error));
    EXPECT_EQ(state(24).channelGroup, ChannelGroup::Own);
    EXPECT_EQ(state(24).midiChannel, 7);
    // Ports typed as a list set exactly those.
    run(table.setCells({24}, C::Ports, "midi2 + usb 3", error));
    EXPECT_EQ(table.cellText(24, C::Ports), "MIDI 2, USB 3");
}

TEST_F(ControlsTableTest, SeveralRowsInOneColumnAreOneUndoStep) {
    for (int i = 0; i < 16; ++i) state(i).setControlType(ControlType::CC, true);
    state(5).midiChannel = 5;  // already there: still one of the 16
    table.refresh();
    auto command = table.setCells(rowRange(0, 15), C::Channel, "5", error);
    ASSERT_TRUE(command) << error.message;
    EXPECT_EQ(command->GetName(), "Set MIDI Channel on 16 controls");
    view.log.clear();
    run(std::move(command));
    EXPECT_EQ(tpl.history.size(), 1u);
    EXPECT_EQ(undoName(tpl), "Set MIDI Channel on 16 controls");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(state(i).midiChannel, 5) << i;
    EXPECT_EQ(state(16).midiChannel, 1);
    undoCommand(tpl);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(state(i).midiChannel, i == 5 ? 5 : 1) << i;
    redoCommand(tpl);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(state(i).midiChannel, 5) << i;
}

TEST_F(ControlsTableTest, ABadCellAmongSeveralRowsChangesNothingAndIsNamed) {
    for (int i : {0, 8}) state(i).setControlType(ControlType::CC, true);
    state(8).displayFormat = DisplayFormat::Send14Bit;  // the encoder takes 0..16383, the pot 0..127
    table.refresh();
    const auto before = snapshot();
    EXPECT_EQ(table.setCells({8, 0}, C::High, "1000", error), nullptr);
    EXPECT_EQ(error.message, "High of Pot 1 (control 0): 1000 is outside 0..127");
    EXPECT_EQ(error.row, 0);
    EXPECT_EQ(error.column, static_cast<int>(C::High));
    EXPECT_TRUE(unchangedSince(before));
    EXPECT_TRUE(tpl.history.empty());
}

TEST_F(ControlsTableTest, TextsThatMeanNothingHereAreRefusedWithTheReason) {
    makeVaried(tpl);
    table.refresh();
    struct Case {
        int index;
        C column;
        const char* text;
        const char* reason;  // a part of the message
    };
    const Case cases[] = {
        {0, C::Channel, "17", "17 is outside 1..16"},
        {0, C::Channel, "Keyboard", "takes 1 to 16, Common or Program"},
        {27, C::Channel, "Device 128", "128 is outside 0..127"},
        {0, C::Number, "128", "128 is outside 0..127"},
        {0, C::Type, "Drum Note", "this control takes Disabled, CC, NRPN, RPN, SysEx, not 'Drum Note'"},
        {70, C::Type, "Note On/Off", "not 'Note On/Off'"},  // a drum pad sends drum notes
        {64, C::Type, "Pitch Bend", ""},                     // unchanged: fine
        {0, C::Display, "14-bit", "not '14-bit'"},           // a pot sends no 14-bit values
        {24, C::Display, "Relative 1", "not 'Relative 1'"},  // nor does a button show relative values
        {0, C::Default, "200", "200 is outside 10..100"},
        {30, C::Default, "5", "Normal action has no default value"},
        {9, C::Channel, "3", "MIDI Channel does not apply to a SysEx control"},
        {64, C::Number, "3", "Number does not apply to a Pitch Bend control"},
        {0, C::Ports, "USB 1, USB 2", "at most one USB port"},
        {0, C::Ports, "MIDI 3", "is not a list of ports"},
        {1, C::Number, "MSB 1 LSB 200", "200 is outside 0..127"},
        {1, C::Number, "16384", "not '16384'"},
        {25, C::Number, "60 (D3)", "not '60 (D3)'"},
        {25, C::Action, "Step", "acts Normal, Momentary, Toggle, not 'Step'"},
        {9, C::Number, "F0 01", "greater than 127"},
        {27, C::Name, "Go", "no names for MMC controls"},
        {0, C::Name, "Much too long", "at most 8 characters"},
        {0, C::Low, "", "takes a number"},
        {0, C::Index, "3", "Index cannot be changed"},
    };
    const auto before = snapshot();
    for (const Case& c : cases) {
        auto command = table.setCells({table.rowOf(c.index)}, c.column, c.text, error);
        EXPECT_EQ(command, nullptr) << c.text;
        EXPECT_NE(error.message.find(c.reason), std::string::npos) << c.text << " gave: " << error.message;
    }
    EXPECT_TRUE(unchangedSince(before));
}

TEST_F(ControlsTableTest, NumbersNotesAndParametersAreReadInTheirUsualForms) {
    state(1).setControlType(ControlType::NRPN, true);
    state(25).setControlType(ControlType::NoteOnOff, true);
    table.refresh();
    for (const char* text : {"MSB 1 LSB 20", "1 20", "1/20", "msb1 lsb20", "148"}) {
        state(1).msbNumber = state(1).lsbNumber = 0;
        run(table.setCells({1}, C::Number, text, error));
        EXPECT_EQ(state(1).msbNumber, 1) << text;
        EXPECT_EQ(state(1).lsbNumber, 20) << text;
    }
    const std::pair<const char*, int> notes[] = {{"C3", 60}, {"c#-2", 1}, {"Bb3", 70}, {"G8", 127}, {"61 (C#3)", 61}};
    for (const auto& [text, note] : notes) {
        state(25).lsbNumber = 64;
        run(table.setCells({25}, C::Number, text, error));
        EXPECT_EQ(state(25).lsbNumber, note) << text;
    }
    EXPECT_EQ(table.setCells({25}, C::Number, "G#8", error), nullptr);
}

TEST_F(ControlsTableTest, APasteIsCheckedWholeAndAppliedAsOneStep) {
    for (int i = 0; i < 4; ++i) state(i).setControlType(ControlType::CC, true);
    table.refresh();
    const auto before = snapshot();
    // Channel, Number, Low, High of rows 0..2; the high value of row 1 is bad.
    const std::string bad = "2\t10\t0\t100\n3\t11\t0\t300\n4\t12\t0\t100\n";
    EXPECT_EQ(table.paste(0, C::Channel, bad, error), nullptr);
    EXPECT_EQ(error.message, "Pasted line 2, cell 4 (High of Pot 2 (control 1)): 300 is outside 0..127");
    EXPECT_EQ(error.row, 1);
    EXPECT_EQ(error.column, static_cast<int>(C::High));
    EXPECT_TRUE(unchangedSince(before));
    EXPECT_TRUE(tpl.history.empty());

    std::string good = bad;
    good.replace(good.find("300"), 3, "110");
    auto command = table.paste(0, C::Channel, good, error);
    ASSERT_TRUE(command) << error.message;
    EXPECT_EQ(command->GetName(), "Paste 12 cells");
    run(std::move(command));
    EXPECT_EQ(tpl.history.size(), 1u);
    EXPECT_EQ(state(1).midiChannel, 3);
    EXPECT_EQ(state(1).lsbNumber, 11);
    EXPECT_EQ(state(1).onValue, 110);
    EXPECT_EQ(state(2).lsbNumber, 12);
    undoCommand(tpl);
    EXPECT_TRUE(unchangedSince(before));
}

TEST_F(ControlsTableTest, APastedRowTakesItsTypeFirst) {
    // Type, channel and number onto a disabled button: the device number and
    // the command mean something only once the control is an MMC control.
    run(table.paste(30, C::Type, "MMC\tDevice 100\tPlay\r\n", error));
    EXPECT_EQ(state(30).controlType, ControlType::MMC);
    EXPECT_EQ(state(30).midiChannel, 100);
    EXPECT_EQ(state(30).mmcCommand, MmcCommand::Play);
    // A high value above 127 fits once the display format in the same row
    // (further right) has made the encoder send 14-bit values.
    state(8).setControlType(ControlType::CC, true);
    table.refresh();
    run(table.paste(8, C::High, "16000\t\t\t14-bit", error));
    EXPECT_EQ(state(8).onValue, 16000);
    EXPECT_EQ(state(8).displayFormat, DisplayFormat::Send14Bit);
}

TEST_F(ControlsTableTest, APasteReachingPastTheTableIsRefused) {
    const auto before = snapshot();
    EXPECT_EQ(table.paste(84, C::Name, "a\nb\nc\n", error), nullptr);
    EXPECT_NE(error.message.find("3 row(s) and 1 column(s) does not fit"), std::string::npos) << error.message;
    EXPECT_EQ(table.paste(0, C::Display, "0 to 127\tNormal\tmore", error), nullptr);
    EXPECT_NE(error.message.find("does not fit"), std::string::npos) << error.message;
    // With a filter the table is the rows shown.
    table.setFilter("pedal");
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.paste(0, C::Name, "a\nb\nc", error), nullptr);
    EXPECT_NE(error.message.find("does not fit"), std::string::npos) << error.message;
    EXPECT_TRUE(unchangedSince(before));
}

TEST_F(ControlsTableTest, TryingCellsOnCopiesReachesNoWindow) {
    // Checking a type change runs the type command on a copy of the control;
    // the edit window must not be asked to show that copy.
    view.log.clear();
    auto command = table.setCells({0, 1}, C::Type, "CC", error);
    ASSERT_TRUE(command) << error.message;
    EXPECT_TRUE(view.log.empty()) << view.log.front();
    run(std::move(command));
    EXPECT_TRUE(view.has("edit 0 deferred"));
    EXPECT_TRUE(view.has("edit 1 deferred"));
}

TEST_F(ControlsTableTest, SortingAndFiltering) {
    state(3).setName("bass");
    state(20).setName("Attack");
    state(70).setName("Kick");
    state(64).setName("PitchBnd");
    table.refresh();
    table.sortBy(C::Name, true);
    ASSERT_EQ(table.rowCount(), 86);
    // Attack, bass, Kick, ModWheel (a new template's), PitchBnd, then the unnamed in index order.
    const int ascending[] = {20, 3, 70, 65, 64, 0, 1};
    for (int r = 0; r < 7; ++r) EXPECT_EQ(table.indexAt(r), ascending[r]) << r;
    table.sortBy(C::Name, false);
    const int descending[] = {64, 65, 70, 3, 20, 0, 1};  // empty cells stay last
    for (int r = 0; r < 7; ++r) EXPECT_EQ(table.indexAt(r), descending[r]) << r;
    // Numbers inside texts compare by value.
    table.sortBy(C::Place, true);
    EXPECT_LT(table.rowOf(1), table.rowOf(7));
    EXPECT_LT(table.rowOf(78 + 3), table.rowOf(78 + 4));  // Further continuous 8 before 9
    EXPECT_LT(table.rowOf(78 + 4), table.rowOf(78 + 5));  // ... 9 before 10
    table.unsort();
    EXPECT_EQ(table.indexAt(5), 5);

    table.setFilter("PITCH");  // the type Pitch Bend, the place Pitch-bend wheel
    ASSERT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.indexAt(0), 64);
    table.setFilter("BASS");  // a name, whatever its case
    ASSERT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.indexAt(0), 3);
    EXPECT_EQ(table.rowOf(0), -1);
    table.setFilter("drum pad");  // a place
    EXPECT_EQ(table.rowCount(), 8);
    table.setFilter("");
    EXPECT_EQ(table.rowCount(), 86);
}

TEST_F(ControlsTableTest, TheClashesFilterShowsOnlyControlsThatSendTheSameMessage) {
    for (int i : {0, 5, 6}) {
        state(i).setControlType(ControlType::CC, true);
        state(i).lsbNumber = 7;
    }
    state(6).midiChannel = 2;
    table.refresh();
    EXPECT_TRUE(table.inClash(0));
    EXPECT_FALSE(table.inClash(6));
    EXPECT_EQ(table.clashText(0), "Sends CC 7 on channel 1 (MIDI 1, USB 1) like Pot 6 (control 5)");
    table.setClashesOnly(true);
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.indexAt(1), 5);
    // Resolving the clash in the table takes the rows away on the next refresh.
    run(table.setCells({1}, C::Number, "8", error));
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_F(ControlsTableTest, ThePitchBendControlEditedFromTheTableSavesAndReopens) {
    run(table.setCells({64}, C::Channel, "3", error));
    run(table.setCells({64}, C::High, "100", error));
    run(table.setCells({64}, C::Ports, "USB 2", error));
    CTaNGRAQVTemplate reopened;
    ASSERT_TRUE(reopened.load(tpl.save()));
    const CBaseControlState& c = *reopened.controlAt(64);
    EXPECT_EQ(c.controlType, ControlType::PitchBend);
    EXPECT_EQ(c.midiChannel, 3);
    EXPECT_EQ(c.onValue, 100);
    EXPECT_FALSE(c.portMidi1);
    EXPECT_TRUE(c.portUsb2);
}

TEST_F(ControlsTableTest, CopyGivesTabSeparatedLines) {
    state(0).setControlType(ControlType::CC, true);
    state(0).setName("Cutoff");
    table.refresh();
    EXPECT_EQ(table.copyText({0, 1}, {C::Index, C::Name, C::Type, C::Number}), "0\tCutoff\tCC\t0\n1\t\tDisabled\t\n");
}

}  // namespace
