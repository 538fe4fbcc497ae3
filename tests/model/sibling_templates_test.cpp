#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "model/DeviceKind.h"
#include "model/KelmorTemplate.h"
#include "model/TaNGRAJXTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TaNGRATemplate.h"
#include "model/TemplateFile.h"
#include "model/UlmatoneTemplate.h"

// Dumps of the sibling devices, built byte by byte from their layouts.
namespace {
const char* const kDroppedNotice =
    "This template contains controls which will not work with this hardware.\n\nThese controls will not be loaded.";

ByteSequence blankDump(size_t size, std::vector<uint8_t> header) {
    std::vector<uint8_t> v(size, 0);
    std::copy(header.begin(), header.end(), v.begin());
    v.back() = 0xF7;
    return ByteSequence(v);
}

void putText(ByteSequence& d, size_t at, const std::string& text, size_t length) {
    for (size_t i = 0; i < length; ++i) d[at + i] = static_cast<uint8_t>(i < text.size() ? text[i] : ' ');
}

void putBytes(ByteSequence& d, size_t at, std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) d[at + i] = bytes[i];
}

std::vector<int> runs(std::vector<std::pair<int, int>> list) {
    std::vector<int> order;
    for (auto [a, b] : list)
        for (int i = a; i <= b; ++i) order.push_back(i);
    return order;
}

size_t positionOf(const std::vector<int>& order, int index) {
    return static_cast<size_t>(std::find(order.begin(), order.end(), index) - order.begin());
}

std::vector<size_t> maskedOffsets(const ByteSequence& mask) {
    std::vector<size_t> at;
    for (size_t i = 0; i < mask.size(); ++i)
        if (mask[i]) at.push_back(i);
    return at;
}

// ---- first-generation controller: 2832 bytes, 61 records of 44 at 145 ----
constexpr size_t kTaRecords = 145;
const std::vector<int> kTaOrder =
    runs({{0, 23}, {31, 54}, {24, 24}, {60, 60}, {26, 26}, {25, 25}, {27, 27}, {29, 29}, {55, 59}, {28, 28}, {30, 30}});

size_t taRecord(int index) { return kTaRecords + positionOf(kTaOrder, index) * 44; }

ByteSequence taDump(const std::string& name, const std::string& maker) {
    ByteSequence d = blankDump(2832, {0xF0, 0x00, 0x20, 0x29, 0x02, 0x00, 0x7F});
    putText(d, 13, name, 16);
    putText(d, 13 + 25, maker, 13);
    d[126] = 0x01;  // current layout
    for (size_t k = 0; k < 61; ++k) putText(d, kTaRecords + k * 44, "", 16);
    return d;
}

// name, off, on, type, action, pot, MMC command or snapshot, 21-byte block, display
void putTaRecord(ByteSequence& d, int index, const std::string& name, std::vector<uint8_t> bytes5,
                 std::vector<uint8_t> block, uint8_t display) {
    const size_t r = taRecord(index);
    putText(d, r, name, 16);
    putBytes(d, r + 16, bytes5);
    putBytes(d, r + 22, block);
    d[r + 43] = display;
}

// ---- smaller sibling: 1305 bytes, 49 records of 26 at 30 ----
const std::vector<int> kJxOrder = runs({{0, 35}, {38, 38}, {37, 37}, {36, 36}, {39, 48}});

size_t jxRecord(int index) { return 30 + positionOf(kJxOrder, index) * 26; }

ByteSequence jxDump(const std::string& name, size_t size = 1305) {
    ByteSequence d = blankDump(size, {0xF0, 0x00, 0x20, 0x29, 0x02, 0x04});
    putText(d, 6, name, 16);
    for (size_t k = 0; k < 49; ++k) putText(d, 30 + k * 26 + 10, "", 16);
    return d;
}

// bytes 0..9, then the name
void putJxRecord(ByteSequence& d, int index, std::vector<uint8_t> bytes, const std::string& name) {
    putBytes(d, jxRecord(index), bytes);
    putText(d, jxRecord(index) + 10, name, 16);
}

// ---- synthesizers: records share bytes 0..25 ----
// type, off, on, action, pot, display, MSB, LSB, channel, MMC command or snapshot
void putSynthHead(ByteSequence& d, size_t r, const std::string& name, std::vector<uint8_t> bytes) {
    putText(d, r, name, 16);
    putBytes(d, r + 16, bytes);
}

constexpr size_t kKeRecords = 405;
size_t keRecord(size_t position) { return kKeRecords + position * 52; }

ByteSequence keDump(const std::string& name, const std::string& maker) {
    ByteSequence d = blankDump(8208, {0xF0, 0x00, 0x20, 0x29, 0x02, 0x00, 0x7F});
    putText(d, 13, name, 16);
    putText(d, 13 + 17, maker, 13);
    for (size_t k = 0; k < 150; ++k) putText(d, keRecord(k), "", 16);
    return d;
}

constexpr size_t kUlRecords = 185;
size_t ulRecord(size_t position) { return kUlRecords + position * 30; }

ByteSequence ulDump(const std::string& name) {
    ByteSequence d = blankDump(1808, {0xF0, 0x00, 0x20, 0x29, 0x02, 0x05, 0x7F});
    putText(d, 13, name, 16);
    for (size_t k = 0; k < 54; ++k) putText(d, ulRecord(k), "", 16);
    return d;
}

template <class T>
std::unique_ptr<T> loaded(const ByteSequence& bytes) {
    auto t = std::make_unique<T>();
    EXPECT_TRUE(t->load(bytes));
    return t;
}
}  // namespace

// ---- first-generation controller --------------------------------------------

TEST(TaNGRATemplate, RecordFormsAndOrder) {
    ByteSequence d = taDump("Studio A", "Quorvane");
    // Continuous CC: pot byte after the values decides reversedRange.
    putTaRecord(d, 5, "Cutoff", {10, 100, 1, 0x31, 0x5B, 64}, {3, 74, 0x25}, 0x41);
    // Buttons: bit 3 of the action byte wins over bit 2; bit 5 of the pot byte makes a Step button.
    putTaRecord(d, 40, "Latch", {0, 127, 7, 0x0C, 0x00, 0}, {0, 60, 0x01}, 0x02);
    putTaRecord(d, 41, "Stepper", {0, 127, 1, 0x00, 0x20, 0}, {}, 0x00);
    putTaRecord(d, 50, "SysEx", {0, 127, 4, 0x00, 0x00, 0}, {1, 4, 2, 0x43, 0x10, 0x7F}, 0x00);
    putTaRecord(d, 56, "Rec", {0, 0, 5, 0x00, 0x00, 6}, {0, 0, 0x12, 0, 9}, 0x00);
    for (int i = 31; i <= 60; ++i) d[13 + 41 + (i - 31)] = static_cast<uint8_t>(i % 4);  // step sizes
    const auto t = loaded<CTaNGRATemplate>(d);

    const CBaseControlState& cc = t->controls[5];
    EXPECT_EQ(cc.name, "Cutoff");
    EXPECT_EQ(cc.controlType, ControlType::CC);
    EXPECT_EQ(cc.offValue, 10);
    EXPECT_EQ(cc.onValue, 100);
    EXPECT_TRUE(cc.flagA0);
    EXPECT_TRUE(cc.portUsb1);
    EXPECT_TRUE(cc.portMidi1);
    EXPECT_FALSE(cc.portMidi2);
    EXPECT_TRUE(cc.flagB0);
    EXPECT_TRUE(cc.flagB1);
    EXPECT_TRUE(cc.flagB2);  // bit 2 clear
    EXPECT_EQ(cc.potCatchup, 1);
    EXPECT_TRUE(cc.reversedRange);
    EXPECT_TRUE(cc.potBit6);
    EXPECT_EQ(cc.snapshotValue, 64);
    EXPECT_EQ(cc.msbNumber, 3);
    EXPECT_EQ(cc.lsbNumber, 74);
    EXPECT_EQ(cc.channelHighBits, 0x20);
    EXPECT_EQ(cc.midiChannel, 6);
    EXPECT_EQ(cc.displayFormat, 1);
    EXPECT_TRUE(cc.flagB4);
    EXPECT_EQ(cc.buttonAction, ButtonAction::Normal);  // the continuous form has no button bits

    EXPECT_EQ(t->controls[40].controlType, ControlType::NoteOnOff);  // 7 is read as 6
    EXPECT_EQ(t->controls[40].buttonAction, ButtonAction::Toggle);
    EXPECT_EQ(t->controls[40].displayFormat, 2);
    EXPECT_EQ(t->controls[40].stepSize, 40 % 4 + 1);
    EXPECT_EQ(t->controls[41].buttonAction, ButtonAction::Step);

    const CBaseControlState& sx = t->controls[50];
    EXPECT_EQ(sx.controlType, ControlType::SysEx);
    EXPECT_EQ(sx.sysExData.hasDataPosition, 1);
    EXPECT_EQ(sx.sysExData.endPosition, 4);  // taken as it is
    EXPECT_EQ(sx.sysExData.dataPosition, 2);
    EXPECT_EQ(sx.sysExData.bytes[0], 0x43);
    EXPECT_EQ(sx.sysExData.bytes[2], 0x7F);
    EXPECT_EQ(sx.msbNumber, 0);
    EXPECT_EQ(sx.lsbNumber, 0);

    const CBaseControlState& mmc = t->controls[56];
    EXPECT_EQ(mmc.controlType, ControlType::MMC);
    EXPECT_EQ(mmc.mmcCommand, 6);
    EXPECT_EQ(mmc.midiChannel, 9);  // the device number comes from block byte 4
    EXPECT_EQ(mmc.channelHighBits, 0x10);

    EXPECT_EQ(t->displayName(), "Quorvane - Studio A");
    EXPECT_EQ(t->lastIndex(), 60);

    // Writing back reproduces every modelled bit; the mask names the rest:
    // type 7 (written as 6), the overridden action bit 2 and the MMC
    // control's unused channel nibble.
    EXPECT_EQ(t->writeBody().size(), 2832u);
    EXPECT_EQ(maskedOffsets(t->preservationMask),
              (std::vector<size_t>{taRecord(40) + 18, taRecord(40) + 19, taRecord(56) + 22 + 2}));
    EXPECT_EQ(t->save(), d);
}

TEST(TaNGRATemplate, ZonesAndSettings) {
    ByteSequence d = taDump("Zones", "Maker");
    const size_t flags = 13 + 41 + 30;
    d[flags + 1] = 0x01;  // zones enabled
    putBytes(d, flags + 2 + 10, {0x35, 3, 10, 90, 60, 0x05});
    const auto t = loaded<CTaNGRATemplate>(d);
    EXPECT_TRUE(t->zonesEnabled());
    const CKeyboardZone* z = t->keyboardZone(1);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->channel, 5);
    EXPECT_TRUE(z->portUsb1);
    EXPECT_TRUE(z->portMidi1);
    EXPECT_FALSE(z->portMidi2);
    EXPECT_EQ(z->velocityOffset, 3);
    EXPECT_EQ(z->bottomNote, 10);
    EXPECT_EQ(z->topNote, 90);
    EXPECT_EQ(z->transpose, 60);
    EXPECT_TRUE(z->pitchBend);
    EXPECT_FALSE(z->modWheel);
    EXPECT_TRUE(z->afterTouch);
    EXPECT_EQ(t->keyboardZone(4), nullptr);
}

TEST(TaNGRATemplate, OlderLayoutIsMovedBeforeReading) {
    ByteSequence current = taDump("Old Unit", "Maker");
    for (int i = 31; i <= 60; ++i) current[13 + 41 + (i - 31)] = static_cast<uint8_t>(i - 30);  // step - 1
    current[13 + 41 + 31] = 0x01;                                    // zones enabled
    putBytes(current, 13 + 41 + 32, {0x03, 1, 20, 100, 64, 0x07});  // zone 1
    putTaRecord(current, 33, "Stepper", {0, 127, 1, 0x00, 0x20, 0}, {}, 0x00);

    // The same settings three bytes earlier, with the layout flag clear.
    ByteSequence older = current;
    for (size_t m = 52; m <= 122; ++m) older[m] = current[m + 3];
    older[126] = 0x00;

    const auto now = loaded<CTaNGRATemplate>(current);
    const auto old = loaded<CTaNGRATemplate>(older);
    for (int i = 34; i <= 60; ++i) EXPECT_EQ(old->controls[static_cast<size_t>(i)].stepSize, i - 29) << i;
    EXPECT_EQ(old->controls[31].stepSize, 1);  // not Step: reset
    EXPECT_EQ(old->controls[32].stepSize, 1);
    EXPECT_EQ(old->controls[33].stepSize, 4);  // a Step button keeps what it read
    EXPECT_TRUE(old->zonesEnabled());
    EXPECT_EQ(*old->keyboardZone(0), *now->keyboardZone(0));
    EXPECT_EQ(old->displayName(), "Maker - Old Unit");
    // The current layout is read as it is: nothing is reset.
    EXPECT_EQ(now->controls[31].stepSize, 2);
    EXPECT_EQ(now->controls[32].stepSize, 3);
}

// ---- smaller sibling ----------------------------------------------------------

TEST(TaNGRAJXTemplate, RecordFormsByType) {
    ByteSequence d = jxDump("Little One");
    putBytes(d, 6 + 16, {2, 3, 4, 1, 5, 6, 3});  // velocity, override, keyboard, port, pad X, pad Y, octave
    putJxRecord(d, 0, {1, 2, 74, 0x05, 1, 20, 100, 9, 1, 50}, "Cutoff");        // CC
    putJxRecord(d, 1, {2, 5, 6, 0x00, 5, 0, 127, 0, 2, 0}, "Nrpn");             // NRPN, both ports
    putJxRecord(d, 18, {4, 0x10, 0x05, 0, 2, 0x02, 0, 0x09, 0, 0}, "Play");     // MMC
    putJxRecord(d, 19, {5, 60, 100, 0, 7, 3, 127, 0, 0, 0}, "Kick");            // Note On/Off
    putJxRecord(d, 20, {6, 12, 7, 0, 3, 4, 0, 1, 0, 0}, "Prog");                // Program Change
    putJxRecord(d, 42, {7, 0, 64, 0, 0, 0, 127, 0, 7, 0}, "Bend");              // Pitch Bend, odd port byte
    putJxRecord(d, 38, {1, 0, 38, 0, 0, 0, 127, 0, 0, 0}, "ThirtyEi");          // order: 38 before 37 and 36
    const auto t = loaded<CTaNGRAJXTemplate>(d);

    const CBaseControlState& cc = t->controls[0];
    EXPECT_EQ(cc.name, "Cutoff");
    EXPECT_EQ(cc.controlType, ControlType::CC);
    EXPECT_EQ(cc.msbNumber, 2);
    EXPECT_EQ(cc.lsbNumber, 74);
    EXPECT_EQ(cc.displayFormat, 1);
    EXPECT_EQ(cc.stepSize, 3);
    EXPECT_EQ(cc.potCatchup, 1);
    EXPECT_EQ(cc.offValue, 20);
    EXPECT_EQ(cc.onValue, 100);
    EXPECT_EQ(cc.midiChannel, 10);
    EXPECT_FALSE(cc.portUsb1);
    EXPECT_TRUE(cc.portMidi1);
    EXPECT_EQ(cc.snapshotValue, 50);

    EXPECT_EQ(t->controls[1].lsbNumber, 5);
    EXPECT_EQ(t->controls[1].msbNumber, 6);
    EXPECT_EQ(t->controls[1].potCatchup, 0);  // only 1 means pick-up
    EXPECT_TRUE(t->controls[1].portUsb1);
    EXPECT_TRUE(t->controls[1].portMidi1);

    const CBaseControlState& mmc = t->controls[18];
    EXPECT_EQ(mmc.controlType, ControlType::MMC);
    EXPECT_EQ(mmc.midiChannel, 5);  // the device number, not byte 7
    EXPECT_EQ(mmc.mmcCommand, 2);
    EXPECT_EQ(mmc.lsbNumber, 0x10);
    EXPECT_EQ(mmc.buttonAction, ButtonAction::Toggle);

    EXPECT_EQ(t->controls[19].controlType, ControlType::NoteOnOff);
    EXPECT_EQ(t->controls[19].lsbNumber, 60);
    EXPECT_EQ(t->controls[19].offValue, 100);
    EXPECT_EQ(t->controls[19].msbNumber, 3);
    EXPECT_EQ(t->controls[19].buttonAction, ButtonAction::Normal);  // 7 is no action

    EXPECT_EQ(t->controls[20].controlType, ControlType::ProgramChange);
    EXPECT_EQ(t->controls[20].offValue, 12);
    EXPECT_EQ(t->controls[20].lsbNumber, 7);
    EXPECT_EQ(t->controls[20].msbNumber, 4);
    EXPECT_EQ(t->controls[20].midiChannel, 2);

    const CBaseControlState& bend = t->controls[42];
    EXPECT_EQ(bend.controlType, ControlType::PitchBend);
    EXPECT_EQ(bend.msbNumber, 64);
    EXPECT_EQ(bend.sourcePortByte, 7);
    EXPECT_TRUE(bend.portUsb1);  // the defaults
    EXPECT_TRUE(bend.portMidi1);

    EXPECT_EQ(t->controls[38].name, "ThirtyEi");
    EXPECT_EQ(t->controls[36].controlType, ControlType::Disabled);

    EXPECT_EQ(t->localSettings().velocityCurve, 2);
    EXPECT_EQ(t->localSettings().octave, 3);
    EXPECT_EQ(t->localSettings().manufacturerName, "Unknown");
    // Bytes no field holds: pick-up values other than 0 and 1, the MMC
    // control's byte 7, a button action beyond Step.
    EXPECT_EQ(maskedOffsets(t->preservationMask),
              (std::vector<size_t>{jxRecord(1) + 4, jxRecord(18) + 7, jxRecord(19) + 4}));
}

TEST(TaNGRAJXTemplate, LongerInputIsReadAndSavedAtTheDeviceSize) {
    ByteSequence d = jxDump("Long", 1400);
    d[1304] = 0x11;
    CTaNGRAJXTemplate t;
    ASSERT_TRUE(t.load(d));
    EXPECT_EQ(t.preservationMask.size(), 1305u);  // only the common length is compared
    EXPECT_EQ(t.save().size(), 1305u);
    EXPECT_FALSE(CTaNGRAJXTemplate().load(jxDump("Short", 1304)));
}

// ---- synthesizers ---------------------------------------------------------------

TEST(KelmorTemplate, RecordFormsAndOrder) {
    ByteSequence d = keDump("Pads", "Kelmor Labs");
    putSynthHead(d, keRecord(0), "Vol", {1, 0, 127, 0x60, 0x04, 0x43, 0, 7, 0x32, 100});
    putSynthHead(d, keRecord(1), "Hold", {6, 0, 127, 0x04, 0x00, 0x00, 0, 64, 0x00, 0});
    d[keRecord(1) + 47] = 4;
    putSynthHead(d, keRecord(2), "Sys", {4, 0, 127, 0, 0, 0, 0, 0, 0, 0});
    putBytes(d, keRecord(2) + 26, {1, 3, 1, 0x7F, 0x01});
    putSynthHead(d, keRecord(141), "NinetyOn", {1, 0, 127, 0, 0, 0, 0, 91, 0, 0});
    putSynthHead(d, keRecord(142), "Ninety", {1, 0, 127, 0, 0, 0, 0, 90, 0, 0});
    putSynthHead(d, keRecord(149), "Spare", {1, 0, 127, 0, 0, 0, 0, 1, 0, 0});
    d[198] = 0x01;
    const auto t = loaded<CKelmorTemplate>(d);

    const CBaseControlState& vol = t->controls[0];
    EXPECT_EQ(vol.controlType, ControlType::CC);
    EXPECT_TRUE(vol.portMidi1);
    EXPECT_TRUE(vol.portMidi2);
    EXPECT_FALSE(vol.portUsb1);
    EXPECT_FALSE(vol.flagB2);
    EXPECT_EQ(vol.displayFormat, 3);  // form B
    EXPECT_TRUE(vol.flagB4);
    EXPECT_EQ(vol.lsbNumber, 7);
    EXPECT_EQ(vol.channelHighBits, 0x30);
    EXPECT_EQ(vol.midiChannel, 3);
    EXPECT_EQ(vol.snapshotValue, 100);

    const CBaseControlState& hold = t->controls[93];  // the second record: a button
    EXPECT_EQ(hold.name, "Hold");
    EXPECT_EQ(hold.controlType, ControlType::NoteOnOff);
    EXPECT_EQ(hold.buttonAction, ButtonAction::Momentary);
    EXPECT_EQ(hold.stepSize, 5);

    EXPECT_EQ(t->controls[1].controlType, ControlType::SysEx);
    EXPECT_EQ(t->controls[1].sysExData.endPosition, 3);
    EXPECT_EQ(t->controls[1].sysExData.bytes[1], 0x01);
    EXPECT_EQ(t->controls[91].name, "NinetyOn");
    EXPECT_EQ(t->controls[90].name, "Ninety");
    ASSERT_EQ(t->unindexedControls.size(), 1u);
    EXPECT_EQ(t->unindexedControls[0].name, "Spare");
    EXPECT_EQ(t->lastIndex(), 148);
    EXPECT_TRUE(t->zonesEnabled());
    EXPECT_EQ(t->displayName(), "Kelmor Labs - Pads");
    EXPECT_FALSE(t->preservationMask.hasAnySetByte());
    EXPECT_EQ(t->save(), d);

    // Every control index has exactly one record.
    std::vector<int> order = t->recordOrder();
    ASSERT_EQ(order.size(), 150u);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order.front(), CSiblingTemplate::kNoIndex);
    for (int i = 0; i <= 148; ++i) EXPECT_EQ(order[static_cast<size_t>(i + 1)], i);
}

TEST(UlmatoneTemplate, RecordFormsAndOrder) {
    ByteSequence d = ulDump("Bass Synth");
    putSynthHead(d, ulRecord(0), "Press", {11, 0, 127, 0x30, 0x08, 0, 0, 0, 0x1F, 5});
    putSynthHead(d, ulRecord(22), "Arp", {1, 0, 127, 0, 0x20, 0, 0, 20, 0, 0});
    d[ulRecord(22) + 26] = 2;
    putSynthHead(d, ulRecord(47), "FortyEig", {1, 0, 127, 0, 0, 0, 0, 48, 0, 0});
    putSynthHead(d, ulRecord(53), "Spare", {1, 0, 127, 0, 0, 0, 0, 1, 0, 0});
    const auto t = loaded<CUlmatoneTemplate>(d);
    EXPECT_EQ(t->controls[0].controlType, ControlType::Aftertouch);  // 11 is Aftertouch here
    EXPECT_EQ(t->controls[0].channelHighBits, 0x10);
    EXPECT_EQ(t->controls[0].midiChannel, 16);
    EXPECT_EQ(t->controls[0].potCatchup, 1);  // pot bit 3
    EXPECT_FALSE(t->controls[0].reversedRange);
    EXPECT_EQ(t->controls[22].buttonAction, ButtonAction::Step);
    EXPECT_EQ(t->controls[22].stepSize, 3);
    EXPECT_EQ(t->controls[48].name, "FortyEig");
    EXPECT_EQ(t->unindexedControls.size(), 3u);
    EXPECT_EQ(t->unindexedControls[2].name, "Spare");
    EXPECT_EQ(t->lastIndex(), 50);
    EXPECT_FALSE(t->preservationMask.hasAnySetByte());
    EXPECT_EQ(t->save(), d);
}

// ---- opening and conversion ------------------------------------------------------

namespace {
struct SiblingCase {
    const char* what;
    ByteSequence bytes;
    int kind;
    const char* displayName;
};

std::vector<SiblingCase> siblingCases() {
    ByteSequence ta = taDump("Studio A", "Quorvane");
    putTaRecord(ta, 0, "Cutoff", {0, 127, 1, 0, 0, 0}, {0, 74, 0}, 0);
    ByteSequence jx = jxDump("Little One");
    putJxRecord(jx, 0, {1, 0, 74, 0, 0, 0, 127, 0, 0, 0}, "Cutoff");
    ByteSequence ke = keDump("Pads", "Kelmor Labs Incorporated");
    putSynthHead(ke, keRecord(0), "Cutoff", {1, 0, 127, 0, 0, 0, 0, 74, 0, 0});
    ByteSequence ul = ulDump("Bass Synth");
    putSynthHead(ul, ulRecord(0), "Cutoff", {1, 0, 127, 0, 0, 0, 0, 74, 0, 0});
    return {{"first generation", ta, KindTaNGRA, "Quorvane - Studio A"},
            {"smaller sibling", jx, KindTaNGRAJX, "Unknown - Little One"},
            {"Kelmor", ke, KindKelmor, "Kelmor Labs I - Pads"},  // the name field holds 13 characters
            {"Ulmatone", ul, KindUlmatone, "Unknown - Bass Synth"}};
}
}  // namespace

TEST(OpenSibling, EveryKindConvertsIntoATargetTemplate) {
    for (const auto& c : siblingCases()) {
        RecordingHooks hooks;
        EXPECT_EQ(detectDeviceKind(c.bytes), c.kind) << c.what;
        CTaNGRAQVTemplate target;
        const OpenResult r = openTemplateBytes(c.bytes, target);
        ASSERT_TRUE(r.ok) << c.what;
        EXPECT_TRUE(r.foreign) << c.what;
        EXPECT_EQ(r.kind, c.kind) << c.what;
        EXPECT_EQ(target.displayName(), c.displayName) << c.what;
        ASSERT_EQ(target.importedControls.size(), 1u) << c.what;
        EXPECT_EQ(target.controls[0].name, "Cutoff") << c.what;
        EXPECT_EQ(target.controls[0].lsbNumber, 74) << c.what;
        EXPECT_TRUE(hooks.dataErrors.empty()) << c.what;  // the hand-off is for the device's own dumps

        // The converted dump is one of the device's own and opens unconverted.
        const ByteSequence saved = target.save();
        ASSERT_EQ(saved.size(), 4112u) << c.what;
        CTaNGRAQVTemplate again;
        const OpenResult r2 = openTemplateBytes(saved, again);
        EXPECT_TRUE(r2.ok && !r2.foreign) << c.what;
        EXPECT_EQ(again.controls[0].name, "Cutoff") << c.what;
    }
}

TEST(OpenSibling, FromAFile) {
    const std::string path = testing::TempDir() + "sibling_open_test.syx";
    for (const auto& c : siblingCases()) {
        ByteSequence withGarbage{0x00, 0x42};
        for (uint8_t b : c.bytes) withGarbage.appendRaw(b);
        ASSERT_TRUE(writeBytesToFile(path, withGarbage, false)) << c.what;
        ByteSequence read;
        ASSERT_TRUE(readMessageFromFile(path, read, 0)) << c.what;
        CTaNGRAQVTemplate target;
        EXPECT_TRUE(openTemplateBytes(read, target).ok) << c.what;
        EXPECT_EQ(target.displayName(), c.displayName) << c.what;
    }
    std::remove(path.c_str());
}

TEST(OpenSibling, RejectsBrokenDumpsWithoutTouchingTheTarget) {
    auto with = [](ByteSequence d, size_t at, uint8_t v) { return withByte(std::move(d), at, v); };
    auto cut = [](const ByteSequence& d, size_t n) {
        return ByteSequence(std::vector<uint8_t>(d.begin(), d.begin() + static_cast<long>(n)));
    };
    const ByteSequence ta = taDump("T", "M"), jx = jxDump("J"), ke = keDump("K", "M"), ul = ulDump("U");
    ByteSequence taLonger = ta;
    taLonger.appendRaw(0xF7);
    const struct {
        const char* what;
        ByteSequence bytes;
        int kind;
    } cases[] = {
        {"first generation too short", cut(ta, 2831), KindTaNGRA},
        {"first generation too long", taLonger, KindTaNGRA},
        {"first generation header byte 6", with(ta, 6, 0x00), KindTaNGRA},
        {"smaller sibling too short", cut(jx, 1304), KindTaNGRAJX},
        {"smaller sibling header byte 4", with(jx, 4, 0x03), KindTaNGRAJX},
        {"Kelmor with byte 4 = 0x01", with(ke, 4, 0x01), KindKelmor},
        {"Kelmor too short", cut(ke, 8207), KindTaNGRA},
        {"Ulmatone too long", [&] { ByteSequence u = ul; u.appendRaw(0xF7); return u; }(), KindUlmatone},
        {"Ulmatone header byte 4", with(ul, 4, 0x12), KindUlmatone},
        {"header only", cut(ta, 13), KindTaNGRA},
        {"shorter than a header", ByteSequence{0xF0, 0x00, 0x20, 0x29, 0xF7}, KindTaNGRA},
        {"empty", ByteSequence{}, KindTaNGRA},
        {"unknown device type", with(ta, 5, 0x06), KindUnknown},
        {"other maker", with(ul, 3, 0x2A), KindUnknown},
    };
    for (const auto& c : cases) {
        RecordingHooks hooks;
        EXPECT_EQ(detectDeviceKind(c.bytes), c.kind) << c.what;
        CTaNGRAQVTemplate target;
        const ByteSequence before = target.save();
        OpenResult r;
        ASSERT_NO_THROW(r = openTemplateBytes(c.bytes, target)) << c.what;
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_TRUE(r.foreign) << c.what;
        EXPECT_EQ(target.save(), before) << c.what;
        EXPECT_TRUE(target.importedControls.empty()) << c.what;
        EXPECT_TRUE(hooks.notices.empty()) << c.what;
    }
    // Byte 6 of the synthesizer header is not examined.
    CTaNGRAQVTemplate target;
    EXPECT_TRUE(openTemplateBytes(with(ul, 6, 0x00), target).ok);
}

TEST(OpenSibling, SmallerSiblingPlacementFollowsTheProfile) {
    // A CC control at index 0 and a Note On/Off button at index 18.
    ByteSequence d = jxDump("Two");
    putJxRecord(d, 0, {1, 0, 10, 0, 0, 0, 127, 0, 0, 0}, "Gain");
    putJxRecord(d, 18, {5, 60, 100, 0, 1, 0, 127, 0, 0, 0}, "Kick");
    CTaNGRAQVTemplate target;
    ASSERT_TRUE(openTemplateBytes(d, target).ok);
    ASSERT_EQ(target.importedControls.size(), 2u);
    EXPECT_EQ(target.importedControls[0].name, "Gain");
    EXPECT_EQ(target.importedControls[1].name, "Kick");
    EXPECT_EQ(target.controls[0].name, "Gain");
    // The first index that takes a Note On/Off control is the first button.
    for (int i = 1; i < 24; ++i) EXPECT_NE(target.controls[static_cast<size_t>(i)].name, "Kick") << i;
    EXPECT_EQ(target.controls[24].name, "Kick");
    EXPECT_EQ(target.controls[24].controlType, ControlType::NoteOnOff);
    EXPECT_EQ(target.controls[24].lsbNumber, 60);
}

TEST(ImportFrom, RefusedControlsWaitUntilTheOthersArePlaced) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, const char*>> source;  // type, name, at the source's indices 0, 1, ...
        std::vector<std::pair<int, const char*>> placed;  // target index, name
    };
    const int cc = ControlType::CC, note = ControlType::NoteOnOff, bend = ControlType::PitchBend,
              prog = ControlType::ProgramChange;
    const Case cases[] = {
        {"a note among CCs keeps the CCs on the pots",
         {{cc, "CC0"}, {note, "Note1"}, {cc, "CC2"}, {cc, "CC3"}, {cc, "CC4"}, {cc, "CC5"}},
         {{0, "CC0"}, {1, "CC2"}, {2, "CC3"}, {3, "CC4"}, {4, "CC5"}, {24, "Note1"}}},
        {"each refused control goes after the index that refused it, to a free one",
         {{bend, "Bend"}, {cc, "A"}, {prog, "Prog"}, {bend, "Bend2"}, {cc, "B"}},
         {{0, "A"}, {1, "B"}, {24, "Prog"}, {64, "Bend"}, {66, "Bend2"}}},
        {"nothing refused: index order", {{cc, "X"}, {cc, "Y"}}, {{0, "X"}, {1, "Y"}}},
    };
    for (const Case& c : cases) {
        CTaNGRAJXTemplate source;
        for (size_t i = 0; i < c.source.size(); ++i) {
            source.controls[i].setControlType(c.source[i].first, false);
            source.controls[i].setName(c.source[i].second);
        }
        CTaNGRAQVTemplate target;
        ASSERT_TRUE(target.importFrom(source)) << c.what;
        EXPECT_EQ(target.importedControls.size(), c.source.size()) << c.what;
        std::set<int> taken;
        for (const auto& [index, name] : c.placed) {
            EXPECT_EQ(target.controls[static_cast<size_t>(index)].name, name) << c.what << " at " << index;
            taken.insert(index);
        }
        for (int i = 0; i < 86; ++i) {
            if (taken.count(i) || i == 64 || i == 65) continue;  // the wheels have names of their own
            EXPECT_EQ(target.controls[static_cast<size_t>(i)].controlType, ControlType::Disabled) << c.what << " at " << i;
        }
    }
}

TEST(ImportFrom, SameControlTwiceIsImportedOnce) {
    CTaNGRAJXTemplate source;
    for (size_t i : {0u, 1u}) {
        source.controls[i].setControlType(ControlType::CC, false);
        source.controls[i].setName("B");
    }
    CTaNGRAQVTemplate target;
    ASSERT_TRUE(target.importFrom(source));
    EXPECT_EQ(target.importedControls.size(), 1u);
    EXPECT_EQ(target.controls[0].name, "B");
    EXPECT_EQ(target.controls[1].controlType, ControlType::Disabled);
}

// A name the display cannot show loses those characters; where that would make
// two different controls one, the name that lost characters shows stand-ins.
TEST(ImportFrom, NamesThatOnlyDifferInCharactersTheDisplayLacksStayApart) {
    struct Case {
        std::vector<std::string> names;
        std::vector<std::string> imported;
    } cases[] = {
        {{"Vol[1]", "Vol1"}, {"Vol(1)", "Vol1"}},
        {{"Vol1", "Vol_1"}, {"Vol1", "Vol-1"}},
        {{"A_B", "A_B"}, {"AB"}},  // the same control twice stays one
        {{"Cut\xc3\xa9", "Cut"}, {"Cut?", "Cut"}},
        {{"Cut", "Cut\xc3\xa9"}, {"Cut", "Cut?"}},
        {{"Mix|A", "Res"}, {"MixA", "Res"}},  // nothing to keep apart: dropped as before
    };
    for (const Case& c : cases) {
        CTaNGRAJXTemplate source;
        for (size_t i = 0; i < c.names.size(); ++i) {
            source.controls[i].setControlType(ControlType::CC, false);
            source.controls[i].name = c.names[i];
        }
        CTaNGRAQVTemplate target;
        ASSERT_TRUE(target.importFrom(source));
        std::vector<std::string> got;
        for (const auto& ctl : target.importedControls) got.push_back(ctl.longName);
        EXPECT_EQ(got, c.imported) << c.names[0] << " / " << c.names[1];
    }
}

// Whatever a sibling dump holds, the converted template's own file opens again
// without notices and saves the same bytes.
TEST(ImportFrom, AConvertedTemplateSavesStably) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 127);
    for (int round = 0; round < 40; ++round) {
        ByteSequence d = jxDump("Random");
        for (int index = 0; index <= 48; ++index) {
            std::vector<uint8_t> rec(10);
            for (auto& b : rec) b = static_cast<uint8_t>(byte(rng));
            rec[0] = static_cast<uint8_t>(byte(rng) % 8);  // the types the device knows
            putJxRecord(d, index, rec, "C" + std::to_string(index));
        }
        RecordingHooks hooks;
        CTaNGRAQVTemplate first;
        ASSERT_TRUE(openTemplateBytes(d, first).ok) << round;
        const ByteSequence save1 = first.save();
        hooks.notices.clear();
        CTaNGRAQVTemplate second;
        ASSERT_TRUE(openTemplateBytes(save1, second).ok) << round;
        EXPECT_TRUE(hooks.notices.empty()) << round << ": " << (hooks.notices.empty() ? "" : hooks.notices[0]);
        EXPECT_EQ(second.save(), save1) << round;
    }
}

TEST(ImportFrom, SynthesizerConversionCarriesNamesNotZonesAndDropsUnsupportedControls) {
    ByteSequence ul = ulDump("A Very Long Synth Name");
    putSynthHead(ul, ulRecord(0), "Press", {11, 0, 127, 0, 0, 0, 0, 0, 0, 0});  // Aftertouch
    putSynthHead(ul, ulRecord(1), "Filter Cutoff", {1, 0, 127, 0, 0, 0, 0, 74, 0, 0});
    RecordingHooks hooks;
    CTaNGRAQVTemplate target;
    ASSERT_TRUE(openTemplateBytes(ul, target).ok);
    EXPECT_EQ(trimTrailingBlanks(target.locals.templateName), "A Very Long Synt");  // the dump holds 16
    EXPECT_EQ(trimTrailingBlanks(target.locals.manufacturerName), "Unknown");
    ASSERT_EQ(target.importedControls.size(), 1u);
    EXPECT_EQ(target.importedControls[0].name, "Flt.Cut");
    EXPECT_EQ(target.importedControls[0].longName, "Filter Cutoff");
    EXPECT_EQ(target.controls[0].name, "Flt.Cut");
    EXPECT_EQ(hooks.notices, (std::vector<std::string>{kDroppedNotice}));

    ByteSequence ke = keDump("Zoned", "K");
    ke[198] = 0x01;
    CTaNGRAQVTemplate fromKelmor;
    ASSERT_TRUE(openTemplateBytes(ke, fromKelmor).ok);
    EXPECT_FALSE(fromKelmor.zonesEnabled());  // the device has no keyboard zones
}

TEST(SiblingTemplate, NamesEndAtTheFirstNul) {
    ByteSequence d = jxDump("Nul");
    putJxRecord(d, 0, {1, 0, 7, 0, 0, 0, 127, 0, 0, 0}, "Gain");
    for (size_t i = 4; i < 16; ++i) d[jxRecord(0) + 10 + i] = 0x00;
    const auto t = loaded<CTaNGRAJXTemplate>(d);
    EXPECT_EQ(t->controls[0].name, "Gain");
    EXPECT_EQ(t->save(), d);  // the NULs come back through the mask
}

TEST(SiblingTemplate, PluginNamesMapOntoTheDeviceControls) {
    struct Case {
        int parameters;
        int notMapped;
    };
    for (const Case c : {Case{49, 0}, Case{52, 3}}) {
        RecordingHooks hooks;
        PluginDescription plugin{"A Plug-in With A Long Name", "Vendor", {}};
        for (int i = 0; i < c.parameters; ++i)
            plugin.parameters.push_back({"Param " + std::to_string(i), "P" + std::to_string(i), i});
        CTaNGRAJXTemplate t;
        t.importPluginNames(plugin);
        EXPECT_EQ(trimTrailingBlanks(t.localSettings().templateName), "A Plug-in With A");
        EXPECT_EQ(static_cast<int>(t.importedControls.size()), c.parameters);
        EXPECT_EQ(t.controls[48].pluginBinding.index, 48);
        EXPECT_EQ(t.controls[48].name, "P48");
        ASSERT_EQ(hooks.notices.size(), c.notMapped ? 1u : 0u) << c.parameters;
        if (c.notMapped) {
            EXPECT_EQ(hooks.notices[0].substr(0, 61), "Too many parameters - 3 were not mapped out of a total of 52.");
        }
    }
}

TEST(SiblingTemplate, ARefusedDumpOfTheRightLengthChangesNothing) {
    // Each refused dump has the device's own length and passes the first
    // checks, so the loader gets part-way through it before refusing it.
    const struct {
        const char* what;
        int kind;
        ByteSequence kept;
        ByteSequence refused;
    } cases[] = {
        {"first generation, header byte 6", KindTaNGRA, taDump("Kept", "Maker"),
         withByte(taDump("Other", "Else"), 6, 0x00)},
        {"smaller sibling, header byte 5", KindTaNGRAJX, jxDump("Kept"), withByte(jxDump("Other"), 5, 0x05)},
        {"Kelmor, header byte 6", KindKelmor, keDump("Kept", "Maker"), withByte(keDump("Other", "Else"), 6, 0x00)},
        {"Ulmatone, header byte 2", KindUlmatone, ulDump("Kept"), withByte(ulDump("Other"), 2, 0x21)},
        {"Ulmatone, header byte 4", KindUlmatone, ulDump("Kept"), withByte(ulDump("Other"), 4, 0x12)},
    };
    for (const auto& c : cases) {
        RecordingHooks hooks;
        auto tpl = createTemplateOfKind(c.kind);
        ASSERT_TRUE(tpl->load(c.kept)) << c.what;
        const ByteSequence before = tpl->save();
        const std::string name = tpl->displayName();
        ASSERT_EQ(c.refused.size(), before.size()) << c.what;
        size_t position = 0;
        EXPECT_FALSE(tpl->load(c.refused, position)) << c.what;
        EXPECT_EQ(tpl->save(), before) << c.what;
        EXPECT_EQ(tpl->displayName(), name) << c.what;
    }
}
