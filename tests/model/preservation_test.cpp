#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/TemplateFile.h"
#include "model/TemplateParts.h"
#include "model/TaNGRAQVTemplate.h"

namespace {
// A dump of the right shape with random data bytes: every bit the model does
// not decode must still come back from save().
ByteSequence randomDump(std::mt19937& rng, bool topBits) {
    ByteSequence d = CTaNGRAQVTemplate().writeBody();
    std::uniform_int_distribution<int> byte(0, topBits ? 255 : 127);
    for (size_t i = 13; i < 4111; ++i) {
        uint8_t b = static_cast<uint8_t>(byte(rng));
        if (b == 0xF0 || b == 0xF7) b = 0x01;
        d[i] = b;
    }
    return d;
}
}  // namespace

// What a dump can carry on the wire: every data byte below 0x80, written as
// 0x00 otherwise.
static ByteSequence sendable(ByteSequence bytes) {
    for (size_t i = 1; i + 1 < bytes.size(); ++i)
        if (bytes[i] >= 0x80) bytes[i] = 0x00;
    return bytes;
}

TEST(Preservation, RandomDumpsRoundTripByteForByte) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        const ByteSequence input = randomDump(rng, round % 2 == 1);
        CTaNGRAQVTemplate t;
        ASSERT_TRUE(t.load(input)) << round;
        // Dumps with top-bit data bytes cannot come from a file or the
        // hardware; their other bits still come back exactly.
        ASSERT_EQ(t.save(), sendable(input)) << round;
        if (round % 2 == 0) {
            ASSERT_EQ(t.save(), input) << round;
        }
    }
}

TEST(Preservation, TopBitBytesAreReportedButNeverWrittenBack) {
    ByteSequence input = CTaNGRAQVTemplate().writeBody();
    const size_t nameByte = recordOffset(3) + 2;
    input[nameByte] = 0xC1;
    input[500] = 0x80;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    // The model reads the byte as the save writes it, 0x00, and writes the
    // name back as read: only the top bit is lost.
    EXPECT_EQ(t.writeBody()[nameByte], 0x00);
    EXPECT_EQ(t.preservationMask[nameByte], 0xC1);
    EXPECT_NE(t.preservationMask[nameByte], 0);
    EXPECT_NE(t.preservationMask[500], 0);
    EXPECT_EQ(t.save()[nameByte], 0x00);
    EXPECT_EQ(t.save()[500], 0x00);
    EXPECT_EQ(t.save(), sendable(input));
}

TEST(Preservation, OneChangedFieldChangesOnlyItsBytes) {
    std::mt19937 rng(99);
    const ByteSequence input = randomDump(rng, true);
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    CBaseControlState& c = t.controls[12];
    c.setControlType(ControlType::CC, false);  // type byte may change too
    const ByteSequence before = t.save();
    c.lsbNumber = static_cast<uint8_t>((c.lsbNumber + 1) & 0x7F);
    const ByteSequence after = t.save();
    std::vector<size_t> diffs;
    for (size_t i = 0; i < after.size(); ++i)
        if (before[i] != after[i]) diffs.push_back(i);
    const size_t rec = recordOffset(12);
    ASSERT_FALSE(diffs.empty());
    for (size_t i : diffs) EXPECT_EQ(i, rec + 17) << "unexpected change at " << i;
}

TEST(Preservation, NeverLoadedTemplateSavesItsOwnEncoding) {
    CTaNGRAQVTemplate t;
    t.controls[0].setName("Fresh");
    EXPECT_EQ(t.save(), t.writeBody());
}

TEST(Preservation, FailedLoadKeepsThePreviousPreservationData) {
    std::mt19937 rng(5);
    const ByteSequence input = randomDump(rng, true);
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    const ByteSequence mask = t.preservationMask;
    EXPECT_FALSE(t.load(ByteSequence{0xF0, 0xF7}));
    EXPECT_EQ(t.preservationMask, mask);
    EXPECT_EQ(t.loadedBytes, input);
}

TEST(AssignFrom, CopiesTheTemplateAndCountsAsModified) {
    std::mt19937 rng(8);
    CTaNGRAQVTemplate source;
    ASSERT_TRUE(source.load(randomDump(rng, true)));
    CTaNGRAQVTemplate copy;
    copy.fromFile = true;
    copy.markSaved();
    copy.assignFrom(source);
    EXPECT_EQ(copy.save(), source.save());
    EXPECT_TRUE(copy.isModified());
    EXPECT_FALSE(copy.fromFile);
    EXPECT_EQ(copy.currentIndex, -1);

    copy.assignFrom(copy);  // self-assignment changes nothing
    EXPECT_EQ(copy.save(), source.save());

    CTaNGRAQVTemplate constructed(source);
    EXPECT_EQ(constructed.save(), source.save());
}

TEST(SavedPoint, MarkSavedAndMarkModified) {
    CTaNGRAQVTemplate t;
    EXPECT_FALSE(t.isModified());
    t.markModified();
    EXPECT_TRUE(t.isModified());
    t.markSaved();
    EXPECT_FALSE(t.isModified());
    t.currentIndex = 0;
    EXPECT_TRUE(t.isModified());
}

TEST(SuggestedFileName, FromNamesOrPath) {
    CTaNGRAQVTemplate t;
    t.setTemplateName("My/Synth");
    EXPECT_EQ(t.suggestedFileName(), "Unknown - My_Synth.syx");
    t.setTemplateName("a:b*c?.d_e");
    EXPECT_EQ(t.suggestedFileName(), "Unknown - a_b_c_.d_e.syx");
    t.filePath = "/tmp/x.syx";
    EXPECT_EQ(t.suggestedFileName(), "Unknown - a_b_c_.d_e.syx");  // not from a file
    t.fromFile = true;
    EXPECT_EQ(t.suggestedFileName(), "/tmp/x.syx");
}

TEST(ImportControls, EqualControlsAreAddedOnceAndUnsupportedOnesDropped) {
    RecordingHooks hooks;
    CTaNGRAQVTemplate source;
    for (int i : {0, 1}) {
        source.controls[static_cast<size_t>(i)].setName("Resonance");
        source.controls[static_cast<size_t>(i)].setControlType(ControlType::CC, false);
        source.controls[static_cast<size_t>(i)].lsbNumber = 71;
    }
    source.controls[2].setControlType(ControlType::Aftertouch, false);  // not supported by the device
    CTaNGRAQVTemplate target;
    target.importControlsFrom(source);
    // Resonance once, then the two wheels of the source.
    ASSERT_EQ(target.importedControls.size(), 3u);
    EXPECT_EQ(target.importedControls[0].longName, "Resonance");
    EXPECT_LE(target.importedControls[0].name.size(), 8u);
    EXPECT_NE(target.importedControls[0].name, "Resonance");
    ASSERT_EQ(hooks.notices.size(), 1u);
    EXPECT_EQ(hooks.notices[0],
              "This template contains controls which will not work with this hardware.\n\nThese controls will not "
              "be loaded.");
}

TEST(ImportPluginNames, MapsParametersInIndexOrder) {
    struct Case {
        int parameters;
        bool notice;
    };
    for (const Case c : {Case{86, false}, Case{90, true}, Case{3, false}}) {
        RecordingHooks hooks;
        PluginDescription plugin{"Big Reverb", "Acme Audio Works", {}};
        for (int i = 0; i < c.parameters; ++i)
            plugin.parameters.push_back({"Parameter " + std::to_string(i), "P" + std::to_string(i), i});
        CTaNGRAQVTemplate t;
        t.fromFile = true;
        t.importPluginNames(plugin);
        EXPECT_EQ(static_cast<int>(t.importedControls.size()), c.parameters);
        EXPECT_TRUE(t.isModified());
        EXPECT_FALSE(t.fromFile);
        EXPECT_EQ(t.displayName(), "Acme Audio Wo - Big Reverb");
        EXPECT_EQ(t.controls[0].name, "P0");
        EXPECT_EQ(t.controls[0].controlType, ControlType::CC);
        EXPECT_EQ(t.controls[0].pluginBinding.index, 0);
        if (c.parameters >= 86) {
            EXPECT_EQ(t.controls[85].longName, "Parameter 85");
        }
        ASSERT_EQ(hooks.notices.size(), c.notice ? 1u : 0u) << c.parameters;
        if (c.notice) {
            EXPECT_EQ(hooks.notices[0].substr(0, 66),
                      "Too many parameters - 4 were not mapped out of a total of 90.\n\nYou");
        }
    }
}

TEST(AppendImported, CopiesEveryImportedControlInOrder) {
    CTaNGRAQVTemplate a, b;
    b.importedControls.resize(2);
    b.importedControls[0].setName("one");
    b.importedControls[1].setName("two");
    a.importedControls.resize(1);
    EXPECT_TRUE(a.appendImportedFrom(b));
    ASSERT_EQ(a.importedControls.size(), 3u);
    EXPECT_EQ(a.importedControls[2].name, "two");
}

// A Note On/Off button whose record holds a bit the model cannot write: the
// high part of the "on" value, which a note record always writes as 0.
namespace {
ByteSequence noteDumpWithStrayBit() {
    CTaNGRAQVTemplate source;
    CBaseControlState& note = source.controls[30];
    note.setControlType(ControlType::NoteOnOff, false);
    note.lsbNumber = 60;
    note.setOffValue(100, false);
    note.setName("Kick");
    ByteSequence dump = source.writeBody();
    dump[recordOffset(30) + 11] = 0x05;
    return dump;
}
}  // namespace

TEST(Preservation, AnEditedRecordIsWrittenFromTheModelAlone) {
    const ByteSequence input = noteDumpWithStrayBit();
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    ASSERT_NE(t.preservationMask[recordOffset(30) + 11], 0);
    ASSERT_EQ(t.save(), input);  // untouched: every bit comes back

    struct Case {
        const char* what;
        void (*edit)(CBaseControlState&);
    };
    const Case cases[] = {
        {"type changed to CC", [](CBaseControlState& c) { c.setControlType(ControlType::CC, true); }},
        {"pasted over", [](CBaseControlState& c) {
             CBaseControlState cc;
             cc.setControlType(ControlType::CC, false);
             cc.setName("Pasted");
             c = cc;
         }},
    };
    for (const Case& c : cases) {
        CTaNGRAQVTemplate edited;
        ASSERT_TRUE(edited.load(input));
        c.edit(edited.controls[30]);
        const int shown = edited.controls[30].onValue;
        ASSERT_EQ(shown, 127) << c.what;
        CTaNGRAQVTemplate reopened;
        ASSERT_TRUE(reopened.load(edited.save())) << c.what;
        EXPECT_EQ(reopened.controls[30].onValue, shown) << c.what;
        EXPECT_EQ(edited.save()[recordOffset(30) + 11], 0) << c.what;
    }

    // Changing it back to what was loaded brings the loaded bits back too.
    CTaNGRAQVTemplate undone;
    ASSERT_TRUE(undone.load(input));
    const CBaseControlState loaded = undone.controls[30];
    undone.controls[30].setControlType(ControlType::CC, true);
    ASSERT_NE(undone.save(), input);
    undone.controls[30] = loaded;
    EXPECT_EQ(undone.save(), input);
}

TEST(Preservation, UntouchedRecordsAndFieldsKeepTheirBitsBesideAnEdit) {
    ByteSequence input = noteDumpWithStrayBit();
    input[recordOffset(5) + 13] |= 0x40;  // an undefined action bit of another control
    input[200] = 0x33;                    // inside the block the reader skips
    input[DumpOffset::kZoneFlags] |= 0x02;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    t.controls[30].setControlType(ControlType::CC, true);
    t.setTemplateName("Renamed");
    const ByteSequence out = t.save();
    EXPECT_EQ(out[recordOffset(5) + 13], input[recordOffset(5) + 13]);
    EXPECT_EQ(out[200], 0x33);
    EXPECT_EQ(out[DumpOffset::kZoneFlags], input[DumpOffset::kZoneFlags]);
    EXPECT_EQ(out[recordOffset(30) + 11], 0);
}

TEST(Preservation, AFailedLoadChangesNothing) {
    std::mt19937 rng(17);
    const ByteSequence input = randomDump(rng, false);
    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
    };
    const Case cases[] = {
        {"maker byte", 2, 0x21},
        {"family byte", 4, 0x05},
        {"device byte", 5, 0x04},
        {"byte 6", 6, 0x00},
    };
    for (const Case& c : cases) {
        CTaNGRAQVTemplate t;
        ASSERT_TRUE(t.load(input));
        const ByteSequence before = t.save();
        EXPECT_FALSE(t.load(withByte(input, c.offset, c.value))) << c.what;
        EXPECT_EQ(t.save(), before) << c.what;
        CTaNGRAQVTemplate reopened;
        EXPECT_TRUE(reopened.load(t.save())) << c.what;
    }
}

TEST(Preservation, NoDataByteIsEverWrittenWithItsTopBit) {
    // Names from outside may hold any byte, 4-byte UTF-8 characters start with 0xF0.
    CTaNGRAQVTemplate t;
    t.controls[0].setName("Pad\xF0\x9F\x8E\xB9");
    t.controls[1].setName("\xF7\xF7");
    t.setTemplateName("Keys \xF0\x9F\x8E\xB9");
    t.setManufacturerName("Caf\xC3\xA9");
    const ByteSequence out = t.save();
    EXPECT_TRUE(isValidSysExMessage(out));
    EXPECT_EQ(out[0], 0xF0);
    EXPECT_EQ(out[out.size() - 1], 0xF7);
    CTaNGRAQVTemplate reopened;
    ASSERT_TRUE(reopened.load(out));
    EXPECT_EQ(reopened.controls[0].name.substr(0, 3), "Pad");

    // Whatever a loaded dump brought, the merge writes no top bit either.
    std::mt19937 rng(3);
    const ByteSequence wild = randomDump(rng, true);
    CTaNGRAQVTemplate merged;
    ASSERT_TRUE(merged.load(wild));
    EXPECT_TRUE(isValidSysExMessage(merged.save()));
}

TEST(Preservation, ImportedPluginNamesAreReducedToTheNameCharacters) {
    PluginDescription plugin{"Synth \xF0\x9F\x8E\xB9", "M\xC3\xBCller_Audio", {}};
    plugin.parameters.push_back({"Cutoff \xF0\x9F\x94\xA5", "Cut\xF0\x9F\x94\xA5", 0});
    plugin.parameters.push_back({"Res[1]~", "Res{1}", 1});
    CTaNGRAQVTemplate t;
    t.importPluginNames(plugin);
    EXPECT_EQ(trimTrailingBlanks(t.localSettings().templateName), "Synth");
    EXPECT_EQ(trimTrailingBlanks(t.localSettings().manufacturerName), "MllerAudio");
    EXPECT_EQ(t.controls[0].name, "Cut");
    EXPECT_EQ(t.controls[0].longName, "Cutoff");
    EXPECT_EQ(t.controls[1].name, "Res1");
    EXPECT_EQ(t.importedControls[0].name, "Cut");
    EXPECT_TRUE(isValidSysExMessage(t.save()));
}

TEST(Preservation, TopBitDataBytesOpenAsTheSaveWritesThem) {
    // MIDI input can deliver data bytes of 0x80 and more. Wherever they sit,
    // alone or several in one record, the template must hold what its save
    // writes: the save reopens without a notice and saves to the same bytes.
    const ByteSequence plain = CTaNGRAQVTemplate().writeBody();
    struct Case {
        size_t offset;
        std::vector<uint8_t> values;
    };
    std::vector<Case> cases;
    for (size_t at = DumpOffset::kLocals; at < DumpOffset::kRecords; ++at) cases.push_back({at, {0x81}});
    for (int control : {0, 24, 64, 78})
        for (size_t k = 0; k < DumpOffset::kRecordSize; ++k) {
            cases.push_back({recordOffset(control) + k, {0xFF}});
            if (k + 4 <= DumpOffset::kRecordSize) cases.push_back({recordOffset(control) + k, {0xFE, 0xFF, 0xFF, 0xFF}});
        }
    // A pitch bend record whose range and default value MIDI input once
    // brought with top bits set.
    cases.push_back({recordOffset(64), {'P', 'i', 't', 'c', 'h', 'B', 'n', 'd', 0x02, 0x00, 0x55, 0x00,
                                        0x7F, 0x03, 0x50, 0x00, 0x00, 0x00, 0x45, 0xFE, 0xFF, 0xFF, 0xFF}});
    cases.push_back({plain.size() - 3, {0x90, 0x90}});
    for (const Case& c : cases) {
        ByteSequence input = plain;
        for (size_t i = 0; i < c.values.size(); ++i) input[c.offset + i] = c.values[i];
        CTaNGRAQVTemplate first;
        {
            RecordingHooks quiet;
            ASSERT_TRUE(openTemplateBytes(input, first).ok) << c.offset;
        }
        const ByteSequence firstSave = first.save();
        RecordingHooks hooks;
        CTaNGRAQVTemplate second;
        const OpenResult reopened = openTemplateBytes(firstSave, second);
        ASSERT_TRUE(reopened.ok && !reopened.foreign) << c.offset;
        const std::string what = std::to_string(c.offset) + " x" + std::to_string(c.values.size());
        EXPECT_TRUE(hooks.notices.empty()) << what << ": " << hooks.notices.front();
        EXPECT_EQ(second.save(), firstSave) << what;
    }
}
