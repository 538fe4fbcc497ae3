// Shown port names and the name hash, applied to names as platforms give them.
#include <gtest/gtest.h>

#include "midi/PortNames.h"

namespace {

struct NameCase {
    const char* platform;
    const char* shown;
};

TEST(PortNames, ShownNames) {
    const NameCase cases[] = {
        {"MIDIIN2 (TaNGRA QV)", "TaNGRA QV: Port 2"},
        {"MIDIOUT3 (TaNGRA QV)", "TaNGRA QV: Port 3"},
        {"TaNGRA QV", "TaNGRA QV: Port 1"},
        {"2- TaNGRA QV", "2- TaNGRA QV: Port 1"},
        // The device part holds digits too: one suffix per digit in the name.
        {"MIDIIN3 (TaNGRA QV 2)", "TaNGRA QV 2: Port 2: Port 3"},
        // No product words and no driver words: always port 1.
        {"USB Midi 4x4", "USB Midi 4x4: Port 1"},
        {"Bar (Out)", "Bar Out: Port 1"},
        {"Foo: Port 3", "Foo: Port 3"},
        {"TaNGRA QV Brevik MIDI 1", "TaNGRA QV Brevik MIDI 1: Port 1"},
        {"TaNGRA QV MIDI:out", "TaNGRA QV MIDI:out: Port 1"},
        {"", ": Port 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(MIDI::DisplayName(c.platform), c.shown) << "platform name: " << c.platform;
}

TEST(PortNames, Fnv1Hash) {
    EXPECT_EQ(MIDI::Fnv1Hash(""), 0x811c9dc5u);
    EXPECT_EQ(MIDI::Fnv1Hash("a"), 0x050c5d7eu);
    EXPECT_EQ(MIDI::Fnv1Hash("foobar"), 0x31f0b262u);
}

TEST(PortNames, HashIgnoresThePortNumber) {
    EXPECT_EQ(MIDI::NameHash("MIDIIN2 (TaNGRA QV)"), MIDI::Fnv1Hash("TaNGRA QV"));
    EXPECT_EQ(MIDI::NameHash("MIDIIN2 (TaNGRA QV)"), MIDI::NameHash("MIDIIN3 (TaNGRA QV)"));
    EXPECT_EQ(MIDI::NameHash("Foo: Port 3"), MIDI::Fnv1Hash("Foo"));
    EXPECT_NE(MIDI::NameHash("MIDIIN2 (TaNGRA QV)"), MIDI::NameHash("MIDIIN2 (TaNGRA LuMI QV)"));
}

}  // namespace
