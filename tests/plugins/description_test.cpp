// Turning what a plug-in reports into the names a template can carry.
#include <gtest/gtest.h>

#include "plugins/PluginInfo.h"

namespace {

TEST(PluginNames, ReducedToTheNameCharacters) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Filter Cutoff", "Filter Cutoff"},
        {"Drive_Level", "Drive Level"},
        {"  two   blanks\tand tab  ", "two blanks and tab"},
        {"[Gain] {dB} ~|^`\\", "Gain dB"},
        {"Caf\xc3\xa9 \xe2\x84\xa2 Pro", "Caf Pro"},  // non-ASCII dropped
        {"0-9 :;<=>?@ !\"#$%&'()*+,-./", "0-9 :;<=>?@ !\"#$%&'()*+,-./"},
        {"\x01\x7f", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PluginNames::toNameCharacters(c.in), c.out) << c.in;
}

TEST(PluginNames, DescriptionKeepsParameterNumbersAndAbbreviates) {
    ScannedPlugin s;
    s.path = "/plugins/sub/My_Synth.so";
    s.name = "";
    s.vendor = " Acme \xc2\xae ";
    s.parameters = {{0, "Filter Cutoff"}, {1, ""}, {2, "Res"}, {3, ""}, {4, "\xe2\x84\xa2"}, {5, "Drive_Level"}};
    const PluginInfo info = PluginNames::describe(s, 8);
    EXPECT_EQ(info.fileName, "My_Synth");
    EXPECT_EQ(info.folder, "/plugins/sub");
    EXPECT_EQ(info.name, "My Synth");  // no effect name: the file name
    EXPECT_EQ(info.vendor, "Acme");
    ASSERT_EQ(info.parameters.size(), 4u);
    EXPECT_EQ(info.parameters[0], (PluginBinding{"Filter Cutoff", "FltCut", 0}));
    EXPECT_EQ(info.parameters[1], (PluginBinding{"Res", "Res", 2}));
    EXPECT_EQ(info.parameters[2], (PluginBinding{"Param 4", "Param 4", 4}));
    EXPECT_EQ(info.parameters[3].fullName, "Drive Level");
    EXPECT_EQ(info.parameters[3].index, 5);
    EXPECT_LE(info.parameters[3].shortName.size(), 8u);

    const PluginDescription d = info.description();
    EXPECT_EQ(d.name, "My Synth");
    EXPECT_EQ(d.vendor, "Acme");
    EXPECT_EQ(d.parameters, info.parameters);
}

TEST(PluginNames, ShortNamesFollowTheDeviceNameLength) {
    ScannedPlugin s;
    s.path = "/p/x.so";
    s.name = "X";
    s.parameters = {{0, "Filter Cutoff"}};
    EXPECT_EQ(PluginNames::describe(s, 16).parameters[0].shortName, "Filter Cutoff");
    EXPECT_EQ(PluginNames::describe(s, 8).parameters[0].shortName, "FltCut");
}

}  // namespace
