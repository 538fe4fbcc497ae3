#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestSupport.h"
#include "model/DeviceKind.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateJson.h"
#include "model/TemplateJsonReader.h"

namespace {

// Opens a dump as the editor does; false when it is no template.
bool openDump(const ByteSequence& bytes, CTaNGRAQVTemplate& t) {
    RecordingHooks hooks;
    return openTemplateBytes(bytes, t).ok;
}

// A template dump with every kind of field set away from its default.
ByteSequence busyDump() {
    CTaNGRAQVTemplate t;
    t.setTemplateName("Busy One");
    t.setManufacturerName("Tester");
    for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; i += 3) {
        CBaseControlState& c = t.controls[static_cast<size_t>(i)];
        c.controlType = i % 2 ? ControlType::NRPN : ControlType::CC;
        c.lsbNumber = static_cast<uint8_t>(i);
        c.msbNumber = static_cast<uint8_t>(127 - i);
        c.midiChannel = i % 16;
        c.name = "C" + std::to_string(i);
    }
    t.zonesEnabled_ = true;
    t.zones[1].bottomNote = 36;
    t.locals.octave = 3;
    return t.save();
}

// Dumps with bits flipped anywhere between the header and the end: the editor
// keeps what it cannot show, repairs what it must, and the JSON with its
// preserved bits must give back exactly what the editor saves.
TEST(TemplateJsonReader, LosslessJsonGivesBackWhatTheEditorSaves) {
    std::mt19937 random(4112);
    const ByteSequence base = busyDump();
    int opened = 0, withPreservedBits = 0, modelOnly = 0;
    for (int round = 0; round < 80; ++round) {
        ByteSequence bytes = base;
        const int flips = 1 + round % 6;
        for (int k = 0; k < flips; ++k) {
            const size_t at = std::uniform_int_distribution<size_t>(13, bytes.size() - 2)(random);
            bytes[at] = static_cast<uint8_t>(bytes[at] ^ (1u << std::uniform_int_distribution<int>(0, 6)(random)));
        }
        CTaNGRAQVTemplate t;
        if (!openDump(bytes, t)) continue;
        ++opened;
        nlohmann::json j = templateToJson(t);
        j["preservedBits"] = preservedBitsToJson(t);
        withPreservedBits += !j["preservedBits"].empty();
        ByteSequence back;
        std::string why;
        ASSERT_TRUE(templateDumpFromJson(j, back, why)) << "round " << round << ": " << why;
        ASSERT_EQ(back, t.save()) << "round " << round;

        // Without them, the template the model holds; or, where the model
        // holds a value its own encoding cannot carry, a refusal naming it.
        j.erase("preservedBits");
        if (templateDumpFromJson(j, back, why)) {
            EXPECT_EQ(back, t.writeBody()) << "round " << round;
            ++modelOnly;
        } else {
            const size_t quote = why.find('\'', 1);
            ASSERT_EQ(why[0], '\'') << why;
            const std::string key = why.substr(1, quote - 1);
            CTaNGRAQVTemplate reread;
            size_t position = 0;
            ASSERT_TRUE(reread.readBody(t.writeBody(), position));
            std::string pointer = "/";
            for (char ch : key) pointer += (ch == '.' || ch == '[') ? '/' : ch == ']' ? '\0' : ch;
            pointer.erase(std::remove(pointer.begin(), pointer.end(), '\0'), pointer.end());
            const nlohmann::json::json_pointer at(pointer);
            EXPECT_NE(templateToJson(reread).at(at), templateToJson(t).at(at)) << "round " << round << ": " << why;
        }
    }
    EXPECT_GT(opened, 60);
    EXPECT_GT(withPreservedBits, 20);
    EXPECT_GT(modelOnly, 20);
}

TEST(TemplateJsonReader, PreservedBitsAreWhatSaveKeepsBeyondTheModel) {
    ByteSequence bytes = busyDump();
    bytes[200] = 0x33;  // in the block the reader skips
    CTaNGRAQVTemplate t;
    ASSERT_TRUE(openDump(bytes, t));
    EXPECT_EQ(preservedBitsToJson(t), nlohmann::json::parse(R"([{"offset": 200, "mask": 51, "value": 51}])"));
    // A template made in the editor keeps nothing beyond its model.
    EXPECT_TRUE(preservedBitsToJson(CTaNGRAQVTemplate()).empty());
}

TEST(TemplateJsonReader, ValueThatDoesNotComeBackIsNamed) {
    struct Case {
        const char* json;
        const char* why;
    };
    const Case cases[] = {
        {R"({"controls": [{"index": 9, "midiChannel": 100}]})",
         "'controls[9].midiChannel': 100 cannot be kept in a template (it reads back as "},
        {R"({"controls": [{"index": 9}, {"index": 9}]})", "'controls[1].index' must be a control index from 0 to 85"},
        {R"({"extraControls": [{}, {}, {}, {}, {}]})", "'extraControls' must be a list of at most 4 objects"},
        {R"({"controls": [{"index": 2, "sysEx": {"bytes": [1, 2]}}]})", "'controls[2].sysEx.bytes' must be a list of 12 numbers"},
        {R"({"manufacturerName": "A", "locals": {"manufacturerName": "B"}})",
         "'manufacturerName' and 'locals.manufacturerName' differ"},
    };
    for (const auto& c : cases) {
        ByteSequence out;
        std::string why;
        EXPECT_FALSE(templateDumpFromJson(nlohmann::json::parse(c.json), out, why)) << c.json;
        EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.json << "\n  gave: " << why;
    }
}

}  // namespace
