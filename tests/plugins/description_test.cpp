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

TEST(PluginNames, ShownTextEscapesWhatCouldActOnAScreen) {
    struct Case {
        std::string text;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"Plain Name.so", "Plain Name.so"},
        {"Red\x1b[31mAlert", "Red\\x1b[31mAlert"},
        {"two\nlines\tand\rreturn", "two\\nlines\\tand\\rreturn"},
        {"bell\x07" "del\x7f", "bell\\x07del\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"Gr\xc3\xbc\xc3\x9f" "e \xe2\x80\x93 \xf0\x9f\x8e\xb9", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x80\x93 \xf0\x9f\x8e\xb9"},
        {"csi\xc2\x9b" "2J", "csi\\u009b2J"},              // a C1 control in UTF-8
        {"latin1 \xe9" "t\xe9", "latin1 \\xe9t\\xe9"},        // bytes that are no UTF-8
        {"cut \xe2\x80", "cut \\xe2\\x80"},                // a sequence cut short
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
        {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.shown, PluginNames::shownText(c.text)) << c.shown;
}
