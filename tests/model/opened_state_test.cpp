// What a save keeps of an opened dump: the opening checks belong to opening,
// a later edit rewrites only the bytes it changes, and a type change rewrites
// the whole record.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "TestSupport.h"
#include "model/ControlRecord.h"
#include "model/DeviceKind.h"
#include "model/TaNGRAQVTemplate.h"

namespace {
const char* const kClampNotice =
    "This template contained controls with settings outside their range.  These settings have been clamped "
    "inside the range of the control.";

// A default dump with control `index` set up by `setUp` and then bytes of its
// record overwritten as given (bits the model cannot show).
struct OddRecord {
    const char* what;
    int index;
    std::function<void(CBaseControlState&)> setUp;
    std::vector<std::pair<size_t, uint8_t>> rawBytes;  // {offset in the record, value}
    int clampedSnapshot;                                // what the opening clamp makes of the default value
};

ByteSequence dumpWith(const OddRecord& c) {
    CTaNGRAQVTemplate source;
    CBaseControlState& ctl = source.controls[static_cast<size_t>(c.index)];
    c.setUp(ctl);
    ByteSequence dump = source.writeBody();
    for (const auto& [at, value] : c.rawBytes) dump[recordOffset(c.index) + at] = value;
    return dump;
}

std::vector<OddRecord> oddRecords() {
    return {
        {"button whose default value lies outside its range", 30,
         [](CBaseControlState& c) {
             c.setName("Mute");
             c.setControlType(ControlType::CC, false);
             c.setOffValue(5, false);
             c.setOnValue(100, false);
             c.snapshotValue = 64;
         },
         // Undefined action bits, a display format the unit does not know,
         // both port-group bits, a channel byte without its group bit.
         {{13, 0x61}, {15, 12}, {18, 0x65}, {19, 0x12}},
         5},
        {"pot with a reversed range", 3,
         [](CBaseControlState& c) {
             c.setName("Cutoff");
             c.setControlType(ControlType::CC, false);
             c.setOffValue(100, false);
             c.setOnValue(20, false);
             c.snapshotValue = 10;
         },
         // A data-position flag without a data position, undefined action bits.
         {{26, 0x05}, {13, 0x60}},
         20},
        {"drum pad", 72,
         [](CBaseControlState& c) {
             c.setName("Snare");
             c.setControlType(ControlType::NoteOnOff, false);
             c.lsbNumber = 38;
             c.setOffValue(90, false);
             c.buttonAction = ButtonAction::Toggle;
             c.snapshotValue = 33;
         },
         // The other Note On/Off type value, a high "on" part a note record
         // never writes.
         {{8, 7}, {11, 0x05}},
         0},
        {"record with flag bits the model does not show", 64,
         [](CBaseControlState& c) {
             c.setControlType(ControlType::PitchBend, false);
             c.setOffValue(0, false);
             c.setOnValue(100, false);
             c.snapshotValue = 120;
         },
         // Momentary and Toggle at once (read as Toggle), an undefined bit.
         {{13, 0x2C}},
         100},
    };
}

std::vector<size_t> differingOffsets(const ByteSequence& a, const ByteSequence& b) {
    std::vector<size_t> out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

// The dump of `c` as its opening leaves it: the default value clamped.
ByteSequence clampedInput(const OddRecord& c) {
    ByteSequence expected = dumpWith(c);
    const size_t rec = recordOffset(c.index);
    expected[rec + 20] = static_cast<uint8_t>(c.clampedSnapshot >> 7);
    expected[rec + 21] = static_cast<uint8_t>(c.clampedSnapshot & 0x7F);
    return expected;
}

ByteSequence opened(const ByteSequence& dump, CTaNGRAQVTemplate& t, std::vector<std::string>* notices = nullptr) {
    RecordingHooks hooks;
    const OpenResult r = openTemplateBytes(dump, t);
    EXPECT_TRUE(r.ok && !r.foreign);
    if (notices) *notices = hooks.notices;
    return t.save();
}
}  // namespace

TEST(OpeningChecks, AClampedRecordKeepsEveryOtherLoadedBit) {
    for (const OddRecord& c : oddRecords()) {
        const ByteSequence input = dumpWith(c);
        CTaNGRAQVTemplate t;
        std::vector<std::string> notices;
        const ByteSequence saved = opened(input, t, &notices);
        ASSERT_EQ(notices, std::vector<std::string>{kClampNotice}) << c.what;
        ASSERT_EQ(t.controls[static_cast<size_t>(c.index)].snapshotValue, c.clampedSnapshot) << c.what;

        // Every byte but the default value's comes back as it was loaded.
        EXPECT_EQ(differingOffsets(saved, clampedInput(c)), std::vector<size_t>{}) << c.what;

        // The saved file opens without a notice and saves the same bytes.
        CTaNGRAQVTemplate again;
        std::vector<std::string> againNotices;
        EXPECT_EQ(opened(saved, again, &againNotices), saved) << c.what;
        EXPECT_TRUE(againNotices.empty()) << c.what;
    }
}

TEST(OpeningChecks, ARenameRewritesOnlyTheName) {
    for (const OddRecord& c : oddRecords()) {
        CTaNGRAQVTemplate t;
        const ByteSequence before = opened(dumpWith(c), t);
        CBaseControlState& ctl = t.controls[static_cast<size_t>(c.index)];
        const CBaseControlState asOpened = ctl;
        ctl.setName("Zz9");
        const ByteSequence after = t.save();
        const size_t rec = recordOffset(c.index);
        EXPECT_EQ(std::string(after.begin() + rec, after.begin() + rec + 8), "Zz9     ") << c.what;
        for (size_t i : differingOffsets(clampedInput(c), after))
            EXPECT_LT(i - rec, ControlRecord::kNameLength) << c.what << ": byte " << i - rec << " of the record";

        // Undoing the rename brings back every loaded bit.
        ctl = asOpened;
        EXPECT_EQ(t.save(), before) << c.what;
    }
}

TEST(OpeningChecks, ATypeChangeWritesTheRecordFromTheModelAlone) {
    for (const OddRecord& c : oddRecords()) {
        for (const int type : {ControlType::CC, ControlType::SysEx, ControlType::MMC}) {
            CTaNGRAQVTemplate t;
            const ByteSequence before = opened(dumpWith(c), t);
            CBaseControlState& ctl = t.controls[static_cast<size_t>(c.index)];
            if (ctl.controlType == type) continue;
            const CBaseControlState asOpened = ctl;
            ctl.setControlType(type, true);
            const ByteSequence after = t.save();
            const size_t rec = recordOffset(c.index);
            uint8_t model[ControlRecord::kSize];
            ControlRecord::writeTo(ctl, model);
            for (size_t k = 0; k < ControlRecord::kSize; ++k)
                EXPECT_EQ(after[rec + k], model[k]) << c.what << " to type " << type << ": byte " << k;
            for (size_t i : differingOffsets(before, after))
                EXPECT_LT(i - rec, ControlRecord::kSize) << c.what << ": byte " << i << " outside the record";

            ctl = asOpened;
            EXPECT_EQ(t.save(), before) << c.what << " back from type " << type;
        }
    }
}

TEST(OpeningChecks, RenamesOfRandomDumpsRewriteOnlyTheName) {
    // Dumps of random bytes hold unknown bits in every record; some records
    // get clamped on opening, most not.
    std::mt19937 rng(20);
    std::uniform_int_distribution<int> byte(0, 127);
    for (int round = 0; round < 20; ++round) {
        ByteSequence input = CTaNGRAQVTemplate().writeBody();
        for (size_t i = DumpOffset::kRecords; i < 4109; ++i) input[i] = static_cast<uint8_t>(byte(rng));
        CTaNGRAQVTemplate t;
        const ByteSequence before = opened(input, t);
        for (int index = round % 3; index < 86; index += 3) {
            CBaseControlState& ctl = t.controls[static_cast<size_t>(index)];
            const CBaseControlState asOpened = ctl;
            ctl.setName("Zz9");
            const size_t rec = recordOffset(index);
            for (size_t i : differingOffsets(before, t.save()))
                ASSERT_LT(i - rec, ControlRecord::kNameLength)
                    << "round " << round << ", control " << index << ": byte " << i - rec;
            ctl = asOpened;
        }
        EXPECT_EQ(t.save(), before) << round;
    }
}

TEST(OpeningChecks, RepairedSettingsKeepTheirNeighboursBits) {
    // A broken record count and layout byte are repaired on opening; the
    // bytes beside them keep what the model cannot show.
    ByteSequence input = CTaNGRAQVTemplate().writeBody();
    input[DumpOffset::kLocals + 55] = 89;
    input[DumpOffset::kLayoutByte] = 3;
    input[DumpOffset::kLocals + 94] = 0x78;  // flag bits without a setting
    CTaNGRAQVTemplate t;
    std::vector<std::string> notices;
    const ByteSequence saved = opened(input, t, &notices);
    EXPECT_EQ(notices, std::vector<std::string>{"Fixing broken template NUMCMN"});
    ByteSequence expected = input;
    expected[DumpOffset::kLocals + 55] = 90;
    expected[DumpOffset::kLayoutByte] = 7;
    EXPECT_EQ(saved, expected);
}

TEST(ControlNames, ANulPaddedNameIsNoDataError) {
    CTaNGRAQVTemplate source;
    source.controls[4].setName("Kick");
    ByteSequence input = source.writeBody();
    for (size_t k = 4; k < 8; ++k) input[recordOffset(4) + k] = 0x00;
    for (size_t k = 9; k < 35; ++k) input[DumpOffset::kLocals + k] = 0x00;  // "Untitled" NUL-padded
    RecordingHooks hooks;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(openTemplateBytes(input, t).ok);
    EXPECT_TRUE(hooks.dataErrors.empty());
    EXPECT_FALSE(t.preservationMask.hasAnySetByte());
    EXPECT_EQ(t.save(), input);
    EXPECT_EQ(trimTrailingBlanks(t.controls[4].name), "Kick");
    EXPECT_EQ(t.displayName(), "Unknown - Untitled");

    // A new name is written blank-filled, as every name the editor sets.
    t.controls[4].setName("Hat");
    const ByteSequence renamed = t.save();
    EXPECT_EQ(std::string(renamed.begin() + recordOffset(4), renamed.begin() + recordOffset(4) + 8), "Hat     ");
}
