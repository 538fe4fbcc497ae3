#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "model/DeviceProfile.h"
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

TEST(Preservation, RandomDumpsRoundTripByteForByte) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        const ByteSequence input = randomDump(rng, round % 2 == 1);
        CTaNGRAQVTemplate t;
        ASSERT_TRUE(t.load(input)) << round;
        ASSERT_EQ(t.save(), input) << round;
    }
}

TEST(Preservation, TopBitBytesComeBackOnlyThroughTheMask) {
    ByteSequence input = CTaNGRAQVTemplate().writeBody();
    const size_t nameByte = recordOffset(3) + 2;
    input[nameByte] = 0xC1;
    input[500] = 0x80;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(input));
    EXPECT_EQ(t.writeBody()[nameByte], 0x00);  // the model cannot write it
    EXPECT_NE(t.preservationMask[nameByte], 0);
    EXPECT_EQ(t.save()[nameByte], 0xC1);
    EXPECT_EQ(t.save()[500], 0x80);
    EXPECT_EQ(t.save(), input);
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
