// Comparing two templates field by field under the names of their JSON form.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "model/DeviceKind.h"
#include "model/TemplateDiff.h"
#include "model/TemplateJson.h"

namespace {

// One expected difference: control index (-1 = template-wide), field, values.
struct Expected {
    int index;
    std::string field;
    std::string oldValue;
    std::string newValue;
};

std::vector<Expected> flatten(const TemplateDifference& diff) {
    std::vector<Expected> out;
    for (const auto& c : diff.controls)
        for (const auto& f : c.fields) out.push_back({c.index, f.field, f.oldValue, f.newValue});
    for (const auto& f : diff.templateFields) out.push_back({-1, f.field, f.oldValue, f.newValue});
    return out;
}

std::string show(const std::vector<Expected>& list) {
    std::string s;
    for (const auto& e : list) s += std::to_string(e.index) + " " + e.field + " " + e.oldValue + " -> " + e.newValue + "\n";
    return s;
}

struct DiffCase {
    const char* what;
    std::function<void(CTaNGRAQVTemplate&)> change;
    std::vector<Expected> expected;
};

}  // namespace

TEST(TemplateDiff, ReportsExactlyTheChangedFields) {
    const std::vector<DiffCase> cases = {
        {"equal", [](CTaNGRAQVTemplate&) {}, {}},
        {"one control field", [](CTaNGRAQVTemplate& t) { t.controls[12].midiChannel = 5; },
         {{12, "midiChannel", "", "5"}}},
        {"control name only (the edit window's rename also names the plug-in binding)",
         [](CTaNGRAQVTemplate& t) { t.controls[3].setName("Cutoff"); },
         {{3, "name", "\"\"", "\"Cutoff\""}, {3, "plugin.shortName", "\"\"", "\"Cutoff\""}}},
        {"template name only: neither the display name nor the locals repeat it",
         [](CTaNGRAQVTemplate& t) { t.setTemplateName("Studio"); },
         {{-1, "templateName", "\"Untitled\"", "\"Studio\""}}},
        {"nested SysEx bytes are one field",
         [](CTaNGRAQVTemplate& t) { t.controls[40].sysExData.bytes[2] = 0x41; },
         {{40, "sysEx.bytes", "[0,0,0,0,0,0,0,0,0,0,0,0]", "[0,0,65,0,0,0,0,0,0,0,0,0]"}}},
        {"keyboard zone and locals",
         [](CTaNGRAQVTemplate& t) {
             t.zones[1].transpose = 70;
             t.locals.octave = 5;
         },
         {{-1, "locals.octave", "", ""}, {-1, "zones[1].transpose", "64", "70"}}},
        {"several controls in index order",
         [](CTaNGRAQVTemplate& t) {
             t.controls[85].onValue = 100;
             t.controls[0].portMidi2 = !t.controls[0].portMidi2;
         },
         {{0, "portMidi2", "", ""}, {85, "onValue", "", ""}}},
        {"imported controls: a different count is one template-wide field",
         [](CTaNGRAQVTemplate& t) { t.importedControls.emplace_back(); },
         {{-1, "importedControls", "0", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTaNGRAQVTemplate first;
        CTaNGRAQVTemplate second;
        c.change(second);
        const TemplateDifference diff = compareTemplates(first, second);
        const std::vector<Expected> got = flatten(diff);
        ASSERT_EQ(got.size(), c.expected.size()) << show(got);
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].index, c.expected[i].index) << show(got);
            EXPECT_EQ(got[i].field, c.expected[i].field) << show(got);
            // An empty expectation leaves the value to the default's JSON form.
            if (!c.expected[i].oldValue.empty()) {
                EXPECT_EQ(got[i].oldValue, c.expected[i].oldValue);
            }
            if (!c.expected[i].newValue.empty()) {
                EXPECT_EQ(got[i].newValue, c.expected[i].newValue);
            }
            EXPECT_NE(got[i].oldValue, got[i].newValue);
        }
        EXPECT_EQ(diff.empty(), c.expected.empty());
        EXPECT_EQ(differenceText(diff).empty(), c.expected.empty());
        // Swapping the sides swaps the values and nothing else.
        const std::vector<Expected> back = flatten(compareTemplates(second, first));
        ASSERT_EQ(back.size(), got.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(back[i].field, got[i].field);
            EXPECT_EQ(back[i].oldValue, got[i].newValue);
            EXPECT_EQ(back[i].newValue, got[i].oldValue);
        }
    }
}

TEST(TemplateDiff, FieldNamesAreTheKeysOfTheJsonForm) {
    // Every leaf key of a control's JSON form, changed on its own, is reported
    // under exactly that name: a field renamed in one place only shows up here.
    const nlohmann::json fields = controlToJson(CBaseControlState());
    CTaNGRAQVTemplate first;
    CTaNGRAQVTemplate second;
    CBaseControlState& c = second.controls[7];
    c.setName("Pan");
    c.longName = "Panorama";
    c.controlType = 4;
    c.lsbNumber = 10;
    c.sysExData.dataPosition = 3;
    c.pluginBinding.shortName = "Pan";
    const TemplateDifference diff = compareTemplates(first, second);
    ASSERT_EQ(diff.controls.size(), 1u);
    EXPECT_EQ(diff.controls[0].index, 7);
    EXPECT_EQ(diff.controls[0].name, "Pan");
    std::vector<std::string> names;
    for (const auto& f : diff.controls[0].fields) names.push_back(f.field);
    EXPECT_EQ(names, (std::vector<std::string>{"controlType", "longName", "lsbNumber", "name", "plugin.shortName",
                                               "sysEx.dataPosition"}));
    for (const auto& name : names) {
        const auto dot = name.find('.');
        if (dot == std::string::npos)
            EXPECT_TRUE(fields.contains(name)) << name;
        else
            EXPECT_TRUE(fields[name.substr(0, dot)].contains(name.substr(dot + 1))) << name;
    }
}

TEST(TemplateDiff, TextFormGroupsPerControlThenTemplate) {
    CTaNGRAQVTemplate first;
    CTaNGRAQVTemplate second;
    for (CTaNGRAQVTemplate* t : {&first, &second}) {
        t->controls[12].name = "Cutoff";
        t->controls[12].midiChannel = 0;
        t->controls[12].lsbNumber = 0;
        t->controls[13].name = "";
        t->controls[13].midiChannel = 0;
    }
    second.controls[12].midiChannel = 2;
    second.controls[12].lsbNumber = 74;
    second.controls[13].midiChannel = 1;
    second.setTemplateName("Live");
    const TemplateDifference diff = compareTemplates(first, second);
    EXPECT_EQ(differenceText(diff),
              "control 12 (Cutoff): lsbNumber 0 -> 74\n"
              "control 12 (Cutoff): midiChannel 0 -> 2\n"
              "control 13: midiChannel 0 -> 1\n"
              "template: templateName \"Untitled\" -> \"Live\"\n");
    ASSERT_NE(diff.control(12), nullptr);
    EXPECT_EQ(describeDifference(diff.control(12)->fields[1]), "midiChannel: 0 -> 2");
    EXPECT_EQ(diff.control(14), nullptr);
}

TEST(TemplateDiff, SavedAndReopenedTemplateEqualsTheOriginal) {
    RecordingHooks hooks;
    CTaNGRAQVTemplate edited;
    edited.setTemplateName("Round Trip");
    edited.controls[5].setControlType(1, true);
    edited.controls[5].midiChannel = 9;
    edited.controls[5].setName("Reverb");
    edited.zones[2].bottomNote = 36;
    // The dump keeps group pages only from two on (a fresh template's single
    // page reads back as none), so use pages that survive it.
    edited.locals.groupPageCount = 3;
    edited.locals.groupPageNumber = 2;
    CTaNGRAQVTemplate reopened;
    ASSERT_TRUE(openTemplateBytes(edited.save(), reopened).ok);
    const TemplateDifference diff = compareTemplates(edited, reopened);
    EXPECT_TRUE(diff.empty()) << differenceText(diff);
}
