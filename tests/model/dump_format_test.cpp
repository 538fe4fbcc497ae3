#include <gtest/gtest.h>

#include <set>

#include "TestSupport.h"
#include "model/ControlRecord.h"
#include "model/DeviceProfile.h"
#include "model/TaNGRAQVTemplate.h"

namespace {
ByteSequence recordOf(const CBaseControlState& c) {
    ByteSequence out;
    ControlRecord::write(c, out);
    return out;
}

CBaseControlState readBack(const ByteSequence& record) {
    CBaseControlState c;
    size_t p = 0;
    ControlRecord::read(c, record, p);
    EXPECT_EQ(p, ControlRecord::kSize);
    return c;
}
}  // namespace

TEST(DumpLayout, NewTemplateHasTheDefaultBytes) {
    CTaNGRAQVTemplate t;
    const ByteSequence d = t.writeBody();
    ASSERT_EQ(d.size(), 4112u);
    const uint8_t header[] = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x00, 0x00, 0x11, 0x02, 0x00, 0x01};
    for (size_t i = 0; i < 13; ++i) EXPECT_EQ(d[i], header[i]) << i;
    EXPECT_EQ(d[4111], 0xF7);
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(d[81 + i], CTaNGRAQVLocals::kRowSelectDefaults[i]) << i;
    EXPECT_EQ(d[13 + 55], 90);  // record count
    EXPECT_EQ(d[13 + 56], 41);  // record size
    EXPECT_EQ(d[13 + 52], 0);   // one group page is written as 0
    EXPECT_EQ(d[13 + 53], 0);
    EXPECT_EQ(d[DumpOffset::kLayoutByte], 7);
    EXPECT_EQ(d[179 + 3], 0x40);
    EXPECT_EQ(d[4109], 18);
    EXPECT_EQ(d[4110], 52);
    // Names are blank-filled.
    EXPECT_EQ(std::string(d.begin() + 13, d.begin() + 13 + 35), "Untitled" + std::string(27, ' '));
    EXPECT_EQ(std::string(d.begin() + 48, d.begin() + 48 + 13), "Unknown      ");
    // The wheels' defaults.
    EXPECT_EQ(std::string(d.begin() + recordOffset(64), d.begin() + recordOffset(64) + 8), "PitchBnd");
    EXPECT_EQ(d[recordOffset(65) + 17], 1);
    for (size_t i = 1; i + 1 < d.size(); ++i) ASSERT_LT(d[i], 0x80) << i;
}

TEST(DumpLayout, EveryIndexedControlHasItsOwnRecordAtItsDumpPosition) {
    CTaNGRAQVTemplate t;
    for (int i = 0; i < 86; ++i) t.controls[static_cast<size_t>(i)].setName("C" + std::to_string(i));
    const ByteSequence d = t.writeBody();
    const int expectedFirst[] = {8, 9, 10, 11, 12, 13, 14, 15, 0, 1};
    for (size_t k = 0; k < 10; ++k) {
        const size_t at = DumpOffset::kRecords + k * 41;
        EXPECT_EQ(std::string(d.begin() + at, d.begin() + at + 8),
                  ("C" + std::to_string(expectedFirst[k]) + "        ").substr(0, 8));
    }
    // Records 72..79: pedals, wheels and 66..69 in their odd order.
    const int middle[] = {63, 62, 65, 64, 66, 68, 67, 69, 56};
    for (size_t k = 0; k < 9; ++k) {
        const size_t at = DumpOffset::kRecords + (64 + k) * 41;
        EXPECT_EQ(std::string(d.begin() + at, d.begin() + at + 3), ("C" + std::to_string(middle[k])).substr(0, 3));
    }
    std::set<int> seen(CTaNGRAQVTemplate::dumpOrder().begin(), CTaNGRAQVTemplate::dumpOrder().end());
    EXPECT_EQ(seen.size(), 90u);
}

TEST(ControlRecordBytes, CcControl) {
    CBaseControlState c;
    c.setControlType(ControlType::CC, false);
    c.lsbNumber = 7;
    c.midiChannel = 3;
    const ByteSequence r = recordOf(c);
    EXPECT_EQ(r[9], 0x00);
    EXPECT_EQ(r[10], 0x00);
    EXPECT_EQ(r[11], 0x00);
    EXPECT_EQ(r[12], 0x7F);
    EXPECT_EQ(r[17], 0x07);
    EXPECT_EQ(r[18], 0x45);
    EXPECT_EQ(r[19], 0x42);
}

TEST(ControlRecordBytes, FourteenBitValuesAndNames) {
    CBaseControlState c;
    c.setControlType(ControlType::CC, false);
    c.setOffValue(300, false);
    c.setName("ABCDEFGHIJ");
    ByteSequence r = recordOf(c);
    EXPECT_EQ(r[9], 0x02);
    EXPECT_EQ(r[10], 0x2C);
    EXPECT_EQ(std::string(r.begin(), r.begin() + 8), "ABCDEFGH");

    c.setName("Vol");
    r = recordOf(c);
    EXPECT_EQ(std::string(r.begin(), r.begin() + 8), "Vol     ");
    EXPECT_EQ(readBack(r).name, "Vol");
    EXPECT_EQ(readBack(r).offValue, 300);
}

TEST(ControlRecordBytes, NoteOnOffUsesItsOwnBytes) {
    CBaseControlState c;
    c.setControlType(ControlType::NoteOnOff, false);
    c.lsbNumber = 60;
    c.offValue = 100;
    c.onValue = 127;
    const ByteSequence r = recordOf(c);
    EXPECT_EQ(r[10], 0x3C);
    EXPECT_EQ(r[11], 0x00);
    EXPECT_EQ(r[12], 0x64);
    EXPECT_EQ(r[17], 0x7F);
    const CBaseControlState back = readBack(r);
    EXPECT_EQ(back.lsbNumber, 60);
    EXPECT_EQ(back.offValue, 100);
    EXPECT_EQ(back.onValue, 127);
    EXPECT_FALSE(back.reversedRange);
}

TEST(ControlRecordBytes, TypeSevenReadsAsNoteOnOff) {
    CBaseControlState c;
    ByteSequence r = recordOf(c);
    r[8] = 7;
    EXPECT_EQ(readBack(r).controlType, ControlType::NoteOnOff);
}

TEST(ControlRecordBytes, DisplayFormats) {
    struct Case {
        int format;
        uint8_t written;
    };
    for (const Case c : {Case{12, 0}, Case{9, 9}, Case{15, 15}, Case{17, 17}, Case{18, 0}, Case{4, 4}}) {
        CBaseControlState s;
        s.setControlType(ControlType::CC, false);
        s.displayFormat = c.format;
        EXPECT_EQ(recordOf(s)[15], c.written) << c.format;
    }
    // An unknown format in a dump leaves the field as it was.
    CBaseControlState s;
    s.setControlType(ControlType::CC, false);
    s.displayFormat = 6;
    ByteSequence r = recordOf(s);
    r[15] = 12;
    CBaseControlState target;
    target.displayFormat = 3;
    size_t p = 0;
    ControlRecord::read(target, r, p);
    EXPECT_EQ(target.displayFormat, 3);
}

TEST(ControlRecordBytes, ChannelAndPortGroupsRoundTrip) {
    struct Case {
        int channelGroup, channel;
        bool flag;
        uint8_t byte19;
        int portGroup;
        uint8_t byte18;
    };
    const Case cases[] = {
        {0, 3, false, 0x42, 0, 0x45},
        {1, 1, false, 0x00, 1, 0x05},
        {2, 1, false, 0x20, 2, 0x25},
        {0, 16, true, 0x5F, 0, 0x45},
    };
    for (const auto& c : cases) {
        CBaseControlState s;
        s.setControlType(ControlType::CC, false);
        s.channelGroup = c.channelGroup;
        s.midiChannel = c.channel;
        s.channelFlag = c.flag;
        s.portGroup = c.portGroup;
        const ByteSequence r = recordOf(s);
        EXPECT_EQ(r[19], c.byte19);
        EXPECT_EQ(r[18], c.byte18);
        const CBaseControlState back = readBack(r);
        EXPECT_EQ(back.channelGroup, c.channelGroup);
        EXPECT_EQ(back.midiChannel, c.channel);
        EXPECT_EQ(back.channelFlag, c.flag);
        EXPECT_EQ(back.portGroup, c.portGroup);
    }
}

TEST(ControlRecordBytes, MmcKeepsDeviceNumberAndCommand) {
    CBaseControlState s;
    s.setControlType(ControlType::MMC, false);
    s.midiChannel = 127;
    s.mmcCommand = MmcCommand::Record;
    s.buttonAction = ButtonAction::Toggle;  // not stored for MMC
    const ByteSequence r = recordOf(s);
    EXPECT_EQ(r[19], 127);
    EXPECT_EQ(r[10], 6);
    EXPECT_EQ(r[13], 0);
    const CBaseControlState back = readBack(r);
    EXPECT_EQ(back.midiChannel, 127);
    EXPECT_EQ(back.mmcCommand, MmcCommand::Record);
    EXPECT_EQ(back.displayFormat, DisplayFormat::Mmc);
}

TEST(ControlRecordBytes, EveryModelledFieldRoundTrips) {
    CBaseControlState s;
    s.setName("Filter");
    s.setControlType(ControlType::SysEx, false);
    s.setOffValue(10, false);
    s.setOnValue(1000, false);
    s.flagA0 = s.flagA1 = true;
    s.buttonAction = ButtonAction::Step;
    s.stepSize = 5;
    s.flagB1 = true;
    s.flagB2 = false;
    s.flagB4 = false;
    s.potCatchup = 3;  // bits 5..7 of a data byte: 3 is the highest that travels
    s.displayFormat = DisplayFormat::Send14Bit;
    s.msbNumber = 99;
    s.lsbNumber = 17;
    s.portMidi2 = s.portUsb3 = true;
    s.portUsb1 = false;
    s.snapshotValue = 16000;
    s.rawByte5 = 1;
    s.rawByte6 = 2;
    s.rawByte7 = 3;
    s.sysExData.endPosition = 4;
    s.sysExData.dataPosition = 2;
    s.sysExData.hasDataPosition = 1;
    s.sysExData.bytes = {0x43, 0x7F, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x55};
    const CBaseControlState back = readBack(recordOf(s));
    CBaseControlState expected = s;
    EXPECT_TRUE(back.sameState(expected));
}

TEST(KeyboardZoneBytes, ChannelGroups) {
    struct Case {
        int group, channel;
        uint8_t written;
    };
    for (const Case c : {Case{0, 0, 0x40}, Case{1, 0, 0x00}, Case{2, 0, 0x20}, Case{0, 9, 0x49}}) {
        CTaNGRAQVKeyboardZone z;
        z.channelGroup = c.group;
        z.channel = c.channel;
        const ByteSequence b = z.write();
        ASSERT_EQ(b.size(), 10u);
        EXPECT_EQ(b[0], c.written);
        CTaNGRAQVKeyboardZone back;
        size_t p = 0;
        ASSERT_TRUE(back.read(b, p));
        EXPECT_EQ(back.channelGroup, c.group);
        EXPECT_EQ(back.channel, c.channel);
        EXPECT_EQ(back, static_cast<const CKeyboardZone&>(z));
    }
}

TEST(KeyboardZoneNotes, RefusesInvertedRanges) {
    CKeyboardZone z;
    EXPECT_TRUE(z.setTopNote(60));
    EXPECT_FALSE(z.setBottomNote(61));
    EXPECT_TRUE(z.setBottomNote(60));
    EXPECT_FALSE(z.setTopNote(59));
    EXPECT_FALSE(z.setTopNote(128));
    EXPECT_EQ(z.bottomNote, 60);
    EXPECT_EQ(z.topNote, 60);
}

TEST(GroupBytes, EncodeAndDecode) {
    CTaNGRAQVGroups g;
    g.kbdChannel = 5;
    g.commonChannel = 16;
    g.kbdPortUsb2 = true;
    g.commonPortMidi1 = false;
    ByteSequence b = g.write();
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(b[1], 0x4F);
    EXPECT_EQ(b[2], 15);
    EXPECT_EQ(b[3], 0x46);
    g.kbdAsCommonChannel = true;
    g.kbdAsCommonPorts = true;
    b = g.write();
    EXPECT_EQ(b[0], 0x10);
    EXPECT_EQ(b[1], 0x0F);
    CTaNGRAQVGroups back;
    size_t p = 0;
    back.read(b, p);
    EXPECT_TRUE(back.kbdAsCommonChannel);
    EXPECT_TRUE(back.kbdAsCommonPorts);
    EXPECT_EQ(back.commonChannel, 16);
    EXPECT_TRUE(back.kbdPortUsb2);
}

TEST(ReadBody, RejectsWrongLengthsAndHeaders) {
    const ByteSequence good = CTaNGRAQVTemplate().writeBody();
    ByteSequence shorter(std::vector<uint8_t>(good.begin(), good.end() - 1));
    ByteSequence longer = good;
    longer.appendRaw(0x00);
    struct Case {
        const char* what;
        ByteSequence bytes;
    };
    const Case cases[] = {
        {"4111 bytes", shorter},
        {"4113 bytes", longer},
        {"device type 0x04", withByte(good, 5, 0x04)},
        {"device type 0x00", withByte(good, 5, 0x00)},
        {"manufacturer", withByte(good, 3, 0x2A)},
        {"family byte", withByte(good, 4, 0x01)},
        {"byte 6", withByte(good, 6, 0x00)},
        {"empty", ByteSequence{}},
    };
    for (const auto& c : cases) {
        CTaNGRAQVTemplate t;
        t.setTemplateName("Keep");
        size_t p = 0;
        EXPECT_FALSE(t.load(c.bytes, p)) << c.what;
        EXPECT_TRUE(t.loadedBytes.empty()) << c.what;
    }
}

TEST(Validate, RepairsBrokenSettingsWithNotices) {
    RecordingHooks hooks;
    ByteSequence d = CTaNGRAQVTemplate().writeBody();
    d[13 + 55] = 89;
    d[13 + 56] = 40;
    d[13 + 70] = 0x33;
    d[DumpOffset::kLayoutByte] = 3;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(d));
    t.markSaved();
    t.validate();
    EXPECT_EQ(hooks.notices,
              (std::vector<std::string>{"Fixing broken template NUMCMN", "Fixing broken template PGCNSIZE",
                                        "This template has corrupted row select default data - fixing it."}));
    EXPECT_FALSE(t.isModified());  // repairs do not mark the template modified
    const ByteSequence saved = t.save();
    EXPECT_EQ(saved[13 + 55], 90);
    EXPECT_EQ(saved[13 + 56], 41);
    EXPECT_EQ(saved[13 + 70], CTaNGRAQVLocals::kRowSelectDefaults[2]);
    EXPECT_EQ(saved[DumpOffset::kLayoutByte], 7);
}

TEST(Validate, ClampsOutOfRangeSnapshotsAndMarksModified) {
    RecordingHooks hooks;
    CTaNGRAQVTemplate source;
    source.controls[30].setControlType(ControlType::CC, false);  // a button
    source.controls[30].offValue = 3;
    source.controls[30].snapshotValue = 90;
    source.controls[2].setControlType(ControlType::CC, false);  // a pot
    source.controls[2].setOnValue(100, false);
    source.controls[2].snapshotValue = 50;
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(t.load(source.writeBody()));
    t.markSaved();
    t.validate();
    ASSERT_EQ(hooks.notices.size(), 1u);
    EXPECT_EQ(hooks.notices[0],
              "This template contained controls with settings outside their range.  These settings have been "
              "clamped inside the range of the control.");
    EXPECT_TRUE(t.isModified());
    EXPECT_EQ(t.controls[30].snapshotValue, 3);
    EXPECT_EQ(t.controls[2].snapshotValue, 50);
    EXPECT_TRUE(t.controls[2].isContinuous);
    EXPECT_FALSE(t.controls[30].isContinuous);
}

TEST(TemplateSettings, NamesAndDisplay) {
    CTaNGRAQVTemplate t;
    t.setTemplateName(std::string(40, 'x'));
    t.setManufacturerName("A very long maker name");
    EXPECT_EQ(t.locals.templateName.size(), 35u);
    EXPECT_EQ(t.locals.manufacturerName, "A very long m");
    CTaNGRAQVTemplate back;
    ASSERT_TRUE(back.load(t.save()));
    EXPECT_EQ(back.displayName(), "A very long m - " + std::string(35, 'x'));

    t.setTemplateName("Pads");
    back.load(t.save());
    EXPECT_EQ(back.locals.templateName, "Pads" + std::string(31, ' '));  // stored as read
    EXPECT_EQ(back.displayName(), "A very long m - Pads");
}

TEST(TemplateSettings, GroupPagesAndDrumSettings) {
    CTaNGRAQVTemplate t;
    t.locals.groupPageCount = 3;
    t.locals.groupPageNumber = 2;
    t.controls[71].drumAutoOffTime = 1000;
    t.controls[77].drumOffSync = 5;
    t.controls[10].drumAutoOffTime = 999;  // not a pad: not stored
    const ByteSequence d = t.writeBody();
    EXPECT_EQ(d[13 + 52], 3);
    EXPECT_EQ(d[13 + 53], 2);
    EXPECT_EQ(d[DumpOffset::kAutoOff + 2], 1000 >> 7);
    EXPECT_EQ(d[DumpOffset::kAutoOff + 3], 1000 & 0x7F);
    EXPECT_EQ(d[DumpOffset::kOffSync + 7], 5);
    CTaNGRAQVTemplate back;
    ASSERT_TRUE(back.load(d));
    EXPECT_EQ(back.controls[71].drumAutoOffTime, 1000);
    EXPECT_EQ(back.controls[77].drumOffSync, 5);
    EXPECT_EQ(back.controls[10].drumAutoOffTime, 0);
    EXPECT_EQ(back.locals.groupPageNumber, 2);
}

TEST(ControlIndex, MapAndNavigation) {
    CTaNGRAQVTemplate t;
    EXPECT_EQ(t.nextIndex(85, true), 0);
    EXPECT_EQ(t.nextIndex(0, false), 85);
    EXPECT_EQ(t.nextIndex(10, true), 11);
    EXPECT_EQ(t.nextIndex(10, false), 9);
    for (int i = 0; i <= 85; ++i) {
        EXPECT_NE(t.controlAt(i), nullptr) << i;
        EXPECT_EQ((t.continuousControl(i) != nullptr), CTaNGRAQVDeviceProfile().IsContinuousControl(i)) << i;
        EXPECT_EQ((t.buttonControl(i) != nullptr), CTaNGRAQVDeviceProfile().IsButtonControl(i)) << i;
    }
    EXPECT_EQ(t.controlAt(86), nullptr);
    EXPECT_EQ(t.controlAt(-1), nullptr);
    t.importedControls.resize(2);
    t.importedControls[1].setName("Second");
    ASSERT_NE(t.controlAt(87), nullptr);
    EXPECT_EQ(t.controlAt(87)->name, "Second");
    EXPECT_EQ(t.controlAt(88), nullptr);
}

// A template made without a file (File > New, plug-in import, the tool's
// "new") treats its pots as pots from the start.
TEST(NewTemplate, KnowsWhichControlsAreContinuous) {
    CTaNGRAQVTemplate fresh;
    CTaNGRAQVTemplate imported;
    imported.importPluginNames(PluginDescription{"Plug", "Maker", {{"Gain", "Gain", 0}}});
    for (const CTaNGRAQVTemplate* t : {&fresh, &imported})
        for (int i = 0; i <= 85; ++i)
            EXPECT_EQ(t->controls[static_cast<size_t>(i)].isContinuous, CTaNGRAQVDeviceProfile().IsContinuousControl(i)) << i;

    CBaseControlState& pot = fresh.controls[0];
    pot.setControlType(ControlType::CC, true);
    pot.setSnapshotValue(64);
    pot.setOnValue(100, true);
    EXPECT_EQ(pot.snapshotValue, 64);  // a button in normal mode would have taken the low value
    pot.setControlType(ControlType::NRPN, true);
    EXPECT_EQ(pot.snapshotValue, 64);
    fresh.reset();
    EXPECT_TRUE(fresh.controls[0].isContinuous);
    EXPECT_FALSE(fresh.controls[30].isContinuous);
}

// Imported controls are referred to by address (selections, commands in the
// history); adding more must not move the ones already there.
TEST(ImportedControls, StayInPlaceWhenMoreArrive) {
    CTaNGRAQVTemplate t;
    t.importedControls.resize(1);
    t.importedControls[0].setName("First");
    CBaseControlState* first = t.controlAt(86);
    ASSERT_NE(first, nullptr);

    CTaNGRAQVTemplate other;
    other.importedControls.resize(40);
    t.appendImportedFrom(other);
    CTaNGRAQVTemplate source;
    for (size_t i = 0; i < 40; ++i) {
        source.controls[i].setControlType(ControlType::CC, false);
        source.controls[i].lsbNumber = static_cast<uint8_t>(i);
    }
    t.importControlsFrom(source);
    ASSERT_GT(t.importedControls.size(), 80u);
    EXPECT_EQ(t.controlAt(86), first);
    EXPECT_EQ(first->name, "First");
}
