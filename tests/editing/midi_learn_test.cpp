// MIDI learn: assembling the message a controller sends, and the one undoable
// command that assigns it to a control.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "EditingTestSupport.h"
#include "editing/History.h"
#include "editing/MidiLearn.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/TemplateParts.h"

namespace {
struct Msg {
    int status, data1, data2;
    long long atMs;
};
using Kind = LearnedMessage::Kind;

// Every message learned from the stream, in order.
std::vector<LearnedMessage> feed(const std::vector<Msg>& stream) {
    CMidiLearnAssembler assembler;
    std::vector<LearnedMessage> learned;
    for (const Msg& m : stream)
        if (auto message = assembler.Feed(m.status, m.data1, m.data2, m.atMs)) learned.push_back(*message);
    return learned;
}
}  // namespace

TEST(MidiLearnAssembler, TurnsTheStreamIntoTheMessagesMeant) {
    struct Case {
        const char* what;
        std::vector<Msg> stream;
        std::vector<LearnedMessage> learned;
    };
    const long long t = 5000;
    const Case cases[] = {
        {"plain CC", {{0xB3, 74, 100, t}}, {{Kind::CC, 74, 3}}},
        {"NRPN 99/98/6", {{0xB0, 99, 1, t}, {0xB0, 98, 2, t + 1}, {0xB0, 6, 64, t + 2}}, {{Kind::NRPN, 130, 0}}},
        {"NRPN 99/98/6/38: one message",
         {{0xB1, 99, 3, t}, {0xB1, 98, 4, t + 1}, {0xB1, 6, 10, t + 2}, {0xB1, 38, 5, t + 3}},
         {{Kind::NRPN, 3 * 128 + 4, 1}}},
        {"NRPN with LSB first", {{0xB0, 98, 9, t}, {0xB0, 99, 0, t}, {0xB0, 6, 1, t}}, {{Kind::NRPN, 9, 0}}},
        {"NRPN value by data entry LSB only", {{0xB0, 99, 2, t}, {0xB0, 98, 0, t}, {0xB0, 38, 1, t}},
         {{Kind::NRPN, 256, 0}}},
        {"RPN 101/100/6", {{0xBF, 101, 0, t}, {0xBF, 100, 2, t}, {0xBF, 6, 64, t}}, {{Kind::RPN, 2, 15}}},
        {"RPN null clears the selection", {{0xB0, 101, 127, t}, {0xB0, 100, 127, t}, {0xB0, 6, 5, t}},
         {{Kind::CC, 6, 0}}},
        {"interleaved channels",
         {{0xB0, 99, 1, t}, {0xB5, 101, 0, t}, {0xB0, 98, 2, t}, {0xB5, 100, 1, t}, {0xB5, 6, 0, t}, {0xB0, 6, 0, t}},
         {{Kind::RPN, 1, 5}, {Kind::NRPN, 130, 0}}},
        {"a data entry on another channel is a plain CC", {{0xB0, 99, 1, t}, {0xB0, 98, 2, t}, {0xB2, 6, 9, t}},
         {{Kind::CC, 6, 2}}},
        {"CC 6 alone is CC 6", {{0xB0, 6, 9, t}}, {{Kind::CC, 6, 0}}},
        {"CC 6 after half a selection is swallowed", {{0xB0, 99, 1, t}, {0xB0, 6, 9, t}}, {}},
        {"CC 6 long after a selection is CC 6",
         {{0xB0, 99, 1, t}, {0xB0, 98, 2, t}, {0xB0, 6, 9, t + CMidiLearnAssembler::kSelectionTimeoutMs + 1}},
         {{Kind::CC, 6, 0}}},
        {"data entries keep a selection alive",
         {{0xB0, 99, 1, t}, {0xB0, 98, 2, t}, {0xB0, 6, 9, t + 900}, {0xB0, 38, 9, t + 1800}, {0xB0, 6, 9, t + 2700}},
         {{Kind::NRPN, 130, 0}}},
        {"a new selection learns again",
         {{0xB0, 99, 1, t}, {0xB0, 98, 2, t}, {0xB0, 6, 9, t}, {0xB0, 98, 3, t}, {0xB0, 6, 9, t}},
         {{Kind::NRPN, 130, 0}, {Kind::NRPN, 131, 0}}},
        {"selection CCs are never plain CCs", {{0xB0, 99, 1, t}, {0xB0, 101, 1, t + 5000}}, {}},
        {"plain CC while a selection is pending", {{0xB0, 99, 1, t}, {0xB0, 7, 100, t}}, {{Kind::CC, 7, 0}}},
        {"note on", {{0x92, 60, 100, t}}, {{Kind::NoteOn, 60, 2}}},
        {"note on with velocity 0 and note off are ignored", {{0x90, 60, 0, t}, {0x80, 60, 64, t}}, {}},
        {"program change", {{0xC4, 12, 0, t}}, {{Kind::ProgramChange, 12, 4}}},
        {"pitch bend", {{0xE1, 0, 64, t}}, {{Kind::PitchBend, 0, 1}}},
        {"aftertouch, poly pressure, system and bad bytes are ignored",
         {{0xD0, 10, 0, t}, {0xA0, 60, 10, t}, {0xF8, 0, 0, t}, {0xB0, 128, 0, t}, {0x40, 1, 1, t}},
         {}},
    };
    for (const Case& c : cases) {
        const std::vector<LearnedMessage> learned = feed(c.stream);
        ASSERT_EQ(learned.size(), c.learned.size()) << c.what;
        for (size_t i = 0; i < learned.size(); ++i)
            EXPECT_EQ(learned[i], c.learned[i]) << c.what << ": got " << learned[i].describe() << " on channel "
                                                << learned[i].channel;
    }
}

TEST(MidiLearnAssembler, DescribesWhatItLearned) {
    EXPECT_EQ((LearnedMessage{Kind::CC, 74, 0}).describe(), "CC 74");
    EXPECT_EQ((LearnedMessage{Kind::NRPN, 130, 0}).describe(), "NRPN 1/2");
    EXPECT_EQ((LearnedMessage{Kind::RPN, 0, 0}).describe(), "RPN 0/0");
    EXPECT_EQ((LearnedMessage{Kind::NoteOn, 60, 0}).describe(), "Note On " + CBaseControlState::noteName(60));
    EXPECT_EQ((LearnedMessage{Kind::ProgramChange, 5, 0}).describe(), "Program Change 5");
}

using MidiLearnAssignment = EditingTest;

TEST_F(MidiLearnAssignment, EachMessageSetsTypeNumberAndChannelAsOneEntry) {
    const CTaNGRAQVDeviceProfile profile;
    struct Case {
        int index;
        LearnedMessage message;
        int type, lsb, msb, offValue, channel;  // -1: not checked
    };
    const Case cases[] = {
        {0, {Kind::CC, 74, 3}, ControlType::CC, 74, -1, -1, 4},             // pot
        {8, {Kind::NRPN, 3 * 128 + 4, 0}, ControlType::NRPN, 4, 3, -1, 1},  // encoder
        {16, {Kind::RPN, 2, 15}, ControlType::RPN, 2, 0, -1, 16},           // slider
        {24, {Kind::NoteOn, 60, 9}, ControlType::NoteOnOff, 60, -1, -1, 10},
        {70, {Kind::NoteOn, 38, 9}, ControlType::DrumNote, -1, -1, 38, 10},  // button drum pad
        {30, {Kind::ProgramChange, 12, 1}, ControlType::ProgramChange, -1, -1, 12, 2},
        {64, {Kind::PitchBend, 0, 5}, ControlType::PitchBend, -1, -1, -1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.describe() + " on control " + std::to_string(c.index));
        const CBaseControlState before = state(c.index);
        LearnResult result = learnAssignment(at(c.index), c.message, profile, tpl.groupSettings());
        EXPECT_EQ(result.refusal, "");
        ASSERT_NE(result.command, nullptr);
        EXPECT_EQ(result.command->GetName(), "Learn " + c.message.describe());
        executeCommand(std::move(result.command), tpl);
        const CBaseControlState& s = state(c.index);
        EXPECT_EQ(s.getControlType(), c.type);
        if (c.lsb >= 0) {
            EXPECT_EQ(s.getLsbNumber(), c.lsb);
        }
        if (c.msb >= 0) {
            EXPECT_EQ(s.getMsbNumber(), c.msb);
        }
        if (c.offValue >= 0) {
            EXPECT_EQ(s.getOffValue(), c.offValue);
        }
        EXPECT_EQ(s.getMidiChannel(), c.channel);
        EXPECT_EQ(undoName(tpl), "Learn " + c.message.describe());
        // One undo puts every field back.
        undoCommand(tpl);
        EXPECT_TRUE(state(c.index) == before);
        EXPECT_EQ(state(c.index).getMidiChannel(), before.getMidiChannel());
    }
}

TEST_F(MidiLearnAssignment, TypesTheControlCannotHoldAreRefusedWithTheReason) {
    const CTaNGRAQVDeviceProfile profile;
    struct Case {
        int index;
        LearnedMessage message;
        const char* refusal;
    };
    const Case cases[] = {
        {0, {Kind::NoteOn, 60, 0}, "this control cannot send Note On messages"},           // a pot
        {0, {Kind::ProgramChange, 1, 0}, "this control cannot send Program Change messages"},
        {0, {Kind::PitchBend, 0, 0}, "this control cannot send Pitch Bend messages"},     // no bend on pots
        {24, {Kind::PitchBend, 0, 0}, "this control cannot send Pitch Bend messages"},    // a button
        {80, {Kind::NoteOn, 40, 0}, "this control cannot send Note On messages"},         // continuous drum pad
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.describe() + " on control " + std::to_string(c.index));
        const CBaseControlState before = state(c.index);
        LearnResult result = learnAssignment(at(c.index), c.message, profile, tpl.groupSettings());
        EXPECT_EQ(result.command, nullptr);
        EXPECT_EQ(result.refusal, c.refusal);
        EXPECT_TRUE(state(c.index) == before);
    }
}

TEST_F(MidiLearnAssignment, TheChannelGroupIsLeftOnlyWhenItAlreadySendsOnTheChannel) {
    const CTaNGRAQVDeviceProfile profile;
    CTemplateGroupData* groups = tpl.groupSettings();
    groups->commonChannel = 5;
    state(0).setControlType(ControlType::CC, false);
    state(0).setLsbNumber(74);
    state(0).setChannelGroup(ChannelGroup::Common);
    state(0).setMidiChannel(1);

    // Same channel as the common group: nothing to change.
    LearnResult same = learnAssignment(at(0), {Kind::CC, 74, 4}, profile, groups);
    EXPECT_EQ(same.command, nullptr);
    EXPECT_EQ(same.refusal, "");

    // Another channel: the control gets its own channel.
    LearnResult other = learnAssignment(at(0), {Kind::CC, 74, 8}, profile, groups);
    ASSERT_NE(other.command, nullptr);
    executeCommand(std::move(other.command), tpl);
    EXPECT_EQ(state(0).getChannelGroup(), ChannelGroup::Own);
    EXPECT_EQ(state(0).getMidiChannel(), 9);
    undoCommand(tpl);
    EXPECT_EQ(state(0).getChannelGroup(), ChannelGroup::Common);
    EXPECT_EQ(state(0).getMidiChannel(), 1);
}
