// Which controls send the same message on the same channel and port.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "editing/ControlClashes.h"
#include "model/DeviceProfile.h"
#include "model/SysExText.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateParts.h"

namespace {

using Arrange = std::function<void(CBaseControlState&)>;

Arrange cc(int number, int channel = 1) {
    return [=](CBaseControlState& s) {
        s.setControlType(ControlType::CC, false);
        s.lsbNumber = static_cast<uint8_t>(number);
        s.midiChannel = channel;
    };
}
Arrange then(Arrange first, Arrange second) {
    return [=](CBaseControlState& s) {
        first(s);
        second(s);
    };
}
Arrange parameter(int type, int msb, int lsb) {
    return [=](CBaseControlState& s) {
        s.setControlType(type, false);
        s.msbNumber = static_cast<uint8_t>(msb);
        s.lsbNumber = static_cast<uint8_t>(lsb);
    };
}
Arrange typed(int type, int lowValue = 0) {
    return [=](CBaseControlState& s) {
        s.setControlType(type, false);
        s.offValue = lowValue;
    };
}
Arrange note(int n) {
    return [=](CBaseControlState& s) {
        s.setControlType(ControlType::NoteOnOff, false);
        s.lsbNumber = static_cast<uint8_t>(n);
    };
}
Arrange mmc(int command, int device, int channelGroup = 0) {
    return [=](CBaseControlState& s) {
        s.setControlType(ControlType::MMC, false);
        s.mmcCommand = command;
        s.midiChannel = device;
        s.channelGroup = channelGroup;
    };
}
Arrange sysex(const char* text) {
    return [=](CBaseControlState& s) {
        s.setControlType(ControlType::SysEx, false);
        std::string status;
        if (*text) ASSERT_TRUE(parseMessageText(text, s.sysExData, status)) << status;
    };
}
Arrange ports(bool m1, bool m2, bool u1, bool u2 = false, bool u3 = false) {
    return [=](CBaseControlState& s) {
        s.portMidi1 = m1, s.portMidi2 = m2, s.portUsb1 = u1, s.portUsb2 = u2, s.portUsb3 = u3;
    };
}
Arrange channel(int n) {
    return [=](CBaseControlState& s) { s.midiChannel = n; };
}
Arrange group(int channelGroup, int portGroup) {
    return [=](CBaseControlState& s) {
        s.channelGroup = channelGroup;
        s.portGroup = portGroup;
    };
}

TEST(ControlClashes, WhatCountsAsTheSameMessage) {
    struct Case {
        const char* what;
        int a, b;  // control indices
        Arrange setA, setB;
        const char* clash;  // the clash's message, or "" for none
    };
    const Case cases[] = {
        {"same CC, channel and ports", 0, 16, cc(7), cc(7), "CC 7"},
        {"another channel", 0, 16, cc(7), cc(7, 2), ""},
        {"another CC", 0, 16, cc(7), cc(8), ""},
        {"a button and a pot", 24, 0, cc(64), cc(64), "CC 64"},
        {"ports apart", 0, 16, then(cc(7), ports(true, false, false)), then(cc(7), ports(false, false, true)), ""},
        {"one shared port", 0, 16, then(cc(7), ports(true, false, true)), then(cc(7), ports(false, false, true)), "CC 7"},
        {"no ports at all", 0, 16, then(cc(7), ports(false, false, false)), then(cc(7), ports(false, false, false)), ""},
        {"common channel and ports, same as own", 0, 16, then(cc(7), group(1, 1)), cc(7), "CC 7"},
        {"NRPN against RPN", 0, 16, parameter(ControlType::NRPN, 1, 20), parameter(ControlType::RPN, 1, 20), ""},
        {"same NRPN", 0, 16, parameter(ControlType::NRPN, 1, 20), parameter(ControlType::NRPN, 1, 20),
         "NRPN MSB 1 LSB 20"},
        {"NRPN with another MSB", 0, 16, parameter(ControlType::NRPN, 1, 20), parameter(ControlType::NRPN, 2, 20), ""},
        {"note button and drum pad", 24, 70, note(36), typed(ControlType::DrumNote, 36), "Note 36 (C1)"},
        {"two notes", 24, 25, note(36), note(37), ""},
        {"same program", 24, 25, typed(ControlType::ProgramChange, 5), typed(ControlType::ProgramChange, 5),
         "Program Change 5"},
        {"other programs", 24, 25, typed(ControlType::ProgramChange, 5), typed(ControlType::ProgramChange, 6), ""},
        {"any two pitch bends", 64, 66, typed(ControlType::PitchBend, 0), typed(ControlType::PitchBend, 40), "Pitch Bend"},
        {"same MMC command and device, any channel group", 56, 57, mmc(MmcCommand::Play, 1),
         mmc(MmcCommand::Play, 1, 1), "MMC Play to device 1"},
        {"MMC to another device", 56, 57, mmc(MmcCommand::Play, 1), mmc(MmcCommand::Play, 2), ""},
        {"same SysEx, whatever the channel", 24, 25, sysex("00 11 DV"), then(sysex("00 11 DV"), channel(9)),
         "SysEx 00 11 DV"},
        {"the value byte elsewhere", 24, 25, sysex("00 11 DV"), sysex("00 DV 11"), ""},
        {"empty SysEx sends nothing", 24, 25, sysex(""), sysex(""), ""},
        {"disabled controls", 0, 16, then(cc(7), typed(ControlType::Disabled)), then(cc(7), typed(ControlType::Disabled)),
         ""},
    };
    for (const Case& c : cases) {
        CTaNGRAQVTemplate tpl;
        tpl.controls[64].setControlType(ControlType::Disabled, false);  // out of the way
        c.setA(tpl.controls[static_cast<size_t>(c.a)]);
        c.setB(tpl.controls[static_cast<size_t>(c.b)]);
        const std::vector<Clash> clashes = findClashes(tpl);
        if (*c.clash == '\0') {
            EXPECT_TRUE(clashes.empty()) << c.what << ": " << (clashes.empty() ? "" : clashes[0].message);
            continue;
        }
        ASSERT_EQ(clashes.size(), 1u) << c.what;
        EXPECT_EQ(clashes[0].message, c.clash) << c.what;
        EXPECT_EQ(clashes[0].indices, (std::vector<int>{std::min(c.a, c.b), std::max(c.a, c.b)})) << c.what;
    }
}

TEST(ControlClashes, ChannelAndPortsComeFromTheGroupsTheControlUses) {
    CTaNGRAQVTemplate tpl;
    CTemplateGroups& groups = *tpl.groupSettings();
    cc(7, 3)(tpl.controls[0]);
    then(cc(7, 1), group(1, 1))(tpl.controls[1]);  // the common channel and ports
    then(cc(7, 1), group(2, 2))(tpl.controls[2]);  // the keyboard (program) channel and ports
    groups.commonChannel = 3;
    groups.kbdChannel = 5;
    EXPECT_EQ(findClashes(tpl).size(), 1u);  // 0 and 1 on channel 3
    EXPECT_EQ(sentMessage(tpl, 2)->channel, 5);
    groups.kbdAsCommonChannel = true;  // now all three send on channel 3
    ASSERT_EQ(findClashes(tpl).size(), 1u);
    EXPECT_EQ(findClashes(tpl)[0].indices, (std::vector<int>{0, 1, 2}));
    // Common ports without USB 1 and MIDI 1: nothing shared with control 0 any more.
    groups.commonPortMidi1 = groups.commonPortUsb1 = false;
    groups.commonPortMidi2 = true;
    groups.kbdAsCommonPorts = true;
    ASSERT_EQ(findClashes(tpl).size(), 1u);
    EXPECT_EQ(findClashes(tpl)[0].indices, (std::vector<int>{1, 2}));
    EXPECT_EQ(portSetText(CTaNGRAQVDeviceProfile(), findClashes(tpl)[0].ports), "MIDI 2");
}

TEST(ControlClashes, ControlsLinkedThroughSharedPortsFormOneClash) {
    CTaNGRAQVTemplate tpl;
    then(cc(7), ports(true, false, false))(tpl.controls[0]);  // MIDI 1
    then(cc(7), ports(true, false, true))(tpl.controls[1]);   // MIDI 1 and USB 1
    then(cc(7), ports(false, false, true))(tpl.controls[2]);  // USB 1
    then(cc(7), ports(false, true, false))(tpl.controls[3]);  // MIDI 2: shares nothing
    cc(7, 2)(tpl.controls[4]);                                // another channel
    then(cc(7, 2), ports(false, false, true))(tpl.controls[5]);
    const auto clashes = findClashes(tpl);
    ASSERT_EQ(clashes.size(), 2u);
    EXPECT_EQ(clashes[0].indices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(clashes[0].channel, 1);
    EXPECT_EQ(portSetText(CTaNGRAQVDeviceProfile(), clashes[0].ports), "MIDI 1, USB 1");
    EXPECT_EQ(clashes[1].indices, (std::vector<int>{4, 5}));
    EXPECT_EQ(clashes[1].channel, 2);
}

TEST(ControlClashes, ANewTemplateHasNone) {
    CTaNGRAQVTemplate tpl;
    EXPECT_TRUE(findClashes(tpl).empty());
}

}  // namespace
