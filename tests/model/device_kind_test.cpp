#include <gtest/gtest.h>

#include "TestSupport.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/TaNGRAQVTemplate.h"

namespace {
ByteSequence headerDump(uint8_t b3, uint8_t b4, uint8_t b5, size_t size) {
    std::vector<uint8_t> d(size, 0x00);
    const uint8_t h[] = {0xF0, 0x00, 0x20, b3, b4, b5, 0x7F};
    for (size_t i = 0; i < sizeof h && i < size; ++i) d[i] = h[i];
    if (size) d[size - 1] = 0xF7;
    return ByteSequence(d);
}
}  // namespace

TEST(DetectDeviceKind, ByHeaderAndSize) {
    struct Case {
        const char* what;
        ByteSequence bytes;
        DeviceKind kind;
    };
    const Case cases[] = {
        {"target", headerDump(0x29, 0x02, 0x03, 4112), KindTaNGRAQV},
        {"original controller", headerDump(0x29, 0x02, 0x00, 2832), KindTaNGRA},
        {"original header with synth size", headerDump(0x29, 0x02, 0x00, 8208), KindKelmor},
        {"synth family byte", headerDump(0x29, 0x01, 0x00, 100), KindKelmor},
        {"compact controller", headerDump(0x29, 0x02, 0x04, 1305), KindTaNGRAJX},
        {"second synth", headerDump(0x29, 0x02, 0x05, 1808), KindUlmatone},
        {"other maker", headerDump(0x2A, 0x02, 0x03, 4112), KindUnknown},
        {"unknown type", headerDump(0x29, 0x02, 0x06, 4112), KindUnknown},
        // Shorter than a header: the defaults of an original-controller header.
        {"too short", ByteSequence{0xF0, 0x01, 0xF7}, KindTaNGRA},
        {"empty", ByteSequence{}, KindTaNGRA},
    };
    for (const auto& c : cases) EXPECT_EQ(detectDeviceKind(c.bytes), c.kind) << c.what;
}

TEST(DeviceKindName, Names) {
    const char* names[] = {"TaNGRA", "TaNGRA JX", "TaNGRA QV", "Kelmor", "Ulmatone", "Unknown"};
    for (int k = 0; k <= 5; ++k) EXPECT_EQ(deviceKindName(k), names[k]);
    EXPECT_EQ(deviceKindName(9), "Unknown");
}

TEST(OpenTemplateBytes, OwnKindLoadsHandsOffDataErrorsAndValidates) {
    RecordingHooks hooks;
    ByteSequence dump = CTaNGRAQVTemplate().writeBody();
    dump[recordOffset(5) + 1] = 0x90;  // an unreproducible bit
    dump[13 + 55] = 80;                // a repair
    CTaNGRAQVTemplate target;
    const OpenResult r = openTemplateBytes(dump, target);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.foreign);
    EXPECT_EQ(r.kind, KindTaNGRAQV);
    ASSERT_EQ(hooks.dataErrors.size(), 1u);
    EXPECT_EQ(hooks.dataErrors[0], &target);
    // The top bit alone: the byte is read as the 0x00 the save writes there,
    // and a name is written back as it was read.
    EXPECT_EQ(hooks.lastMask[recordOffset(5) + 1], 0x90);
    EXPECT_EQ(hooks.notices, std::vector<std::string>{"Fixing broken template NUMCMN"});
    EXPECT_EQ(target.locals.numCmn, 90);
}

TEST(OpenTemplateBytes, CleanDumpRaisesNothing) {
    RecordingHooks hooks;
    CTaNGRAQVTemplate target;
    EXPECT_TRUE(openTemplateBytes(CTaNGRAQVTemplate().writeBody(), target).ok);
    EXPECT_TRUE(hooks.dataErrors.empty());
    EXPECT_TRUE(hooks.notices.empty());
}

TEST(OpenTemplateBytes, RejectsUnknownAndBrokenDumps) {
    RecordingHooks hooks;
    const ByteSequence good = CTaNGRAQVTemplate().writeBody();
    struct Case {
        const char* what;
        ByteSequence bytes;
        bool foreign;
    };
    const Case cases[] = {
        {"other maker", withByte(good, 3, 0x2A), true},
        {"truncated target", ByteSequence(std::vector<uint8_t>(good.begin(), good.begin() + 4000)), false},
        {"unknown type", withByte(good, 5, 0x09), true},
    };
    for (const auto& c : cases) {
        CTaNGRAQVTemplate target;
        const OpenResult r = openTemplateBytes(c.bytes, target);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.foreign, c.foreign) << c.what;
    }
    EXPECT_TRUE(hooks.notices.empty());
}

TEST(DeviceProfileAnswers, CanHoldState) {
    const IDeviceProfile& p = CTaNGRAQVDeviceProfile();
    auto state = [](int type, int format = 0) {
        CBaseControlState s;
        s.setControlType(type, false);
        s.displayFormat = format;
        return s;
    };
    struct Case {
        int index;
        int type;
        int format;
        bool allowed;
    };
    const Case cases[] = {
        {86, ControlType::CC, 0, false},          // imported control
        {0, ControlType::SysEx, 0, true},         // pot
        {0, ControlType::MMC, 2, false},          // pot cannot send MMC
        {0, ControlType::PitchBend, 0, false},    // pot without pitch bend
        {64, ControlType::PitchBend, 0, true},    // wheel
        {67, ControlType::PitchBend, 0, true},
        {0, ControlType::CC, 9, false},           // 14-bit refused on a pot
        {9, ControlType::CC, 9, true},            // allowed on an encoder
        {30, ControlType::CC, 9, false},
        {30, ControlType::NoteOnOff, 0, true},    // button
        {30, ControlType::ProgramChange, 0, true},
        {30, ControlType::DrumNote, 0, false},
        {72, ControlType::DrumNote, 0, true},     // drum pad
        {30, ControlType::PitchBend, 0, false},
        {30, -1, 0, false},
        {0, -1, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.CanHoldState(c.index, state(c.type, c.format)), c.allowed) << c.index << " type " << c.type;
}

TEST(DeviceProfileAnswers, AboutTextNamesTheProjectVersion) {
    const std::string about = CTaNGRAQVDeviceProfile().GetAboutText();
    EXPECT_NE(about.find("\n\nVersion " TQV_PROJECT_VERSION "\n\n"), std::string::npos) << about;
}

TEST(DeviceProfileAnswers, PerIndexRanges) {
    const IDeviceProfile& p = CTaNGRAQVDeviceProfile();
    int continuous = 0, buttons = 0;
    for (int i = 0; i <= 85; ++i) {
        continuous += p.IsContinuousControl(i);
        buttons += p.IsButtonControl(i);
        EXPECT_NE(p.IsContinuousControl(i), p.IsButtonControl(i)) << i;
    }
    EXPECT_EQ(continuous, 39);
    EXPECT_EQ(buttons, 47);
    const int supported[] = {0, 1, 2, 3, 4, 5, 6, 9, 10, 11};
    for (int t = -1; t <= 13; ++t)
        EXPECT_EQ(p.IsMessageTypeSupported(t), std::find(std::begin(supported), std::end(supported), t) !=
                                                   std::end(supported))
            << t;
    EXPECT_EQ(p.GetMaxNameLength(), 8);
    EXPECT_EQ(p.GetMaxSysExLength(), 12);
    EXPECT_EQ(p.GetDeviceType(), 2);
}
