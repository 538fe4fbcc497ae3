// Templates from JSON text: any text is either refused with a reason or gives
// a dump that opens as this unit's template, whose lossless JSON gives back
// exactly the bytes the editor saves for it.
#include <nlohmann/json.hpp>
#include <string>

#include "FuzzSupport.h"
#include "model/DeviceKind.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateJson.h"
#include "model/TemplateJsonReader.h"

using fuzzsupport::firstDifference;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const nlohmann::json j = nlohmann::json::parse(data, data + size, nullptr, false);
    if (j.is_discarded()) return 0;
    ByteSequence dump;
    std::string why;
    if (!templateDumpFromJson(j, dump, why)) {
        FUZZ_CHECK(!why.empty(), "refused without a reason");
        return 0;
    }
    CollectingNoticeSink quiet;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &quiet;
    hooks.dataErrors = nullptr;
    ScopedModelHooks scope(hooks);
    CTaNGRAQVTemplate opened;
    const OpenResult r = openTemplateBytes(dump, opened);
    FUZZ_CHECK(r.ok && !r.foreign, "the dump made from JSON does not open as this unit's template");
    nlohmann::json again = templateToJson(opened);
    again["preservedBits"] = preservedBitsToJson(opened);
    ByteSequence back;
    FUZZ_CHECK(templateDumpFromJson(again, back, why), "the lossless JSON of the result is refused: " + why);
    FUZZ_CHECK(back == opened.save(), "the lossless JSON does not give back the saved bytes: " + firstDifference(back, opened.save()));
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    auto add = [&](const std::string& text) { seeds.emplace_back(text.begin(), text.end()); };
    CTaNGRAQVTemplate t;
    nlohmann::json whole = templateToJson(t);
    whole["preservedBits"] = nlohmann::json::array({{{"offset", 200}, {"mask", 51}, {"value", 51}}});
    add(whole.dump());
    add(R"({"templateName": "By Hand", "controls": [{"index": 5, "controlType": 1, "name": "Drive", "lsbNumber": 20}]})");
    add(R"({"locals": {"octave": 3, "numCmn": 90}, "zones": [{"bottomNote": 36}], "zonesEnabled": true})");
    add(R"({"controls": [{"index": 9, "controlType": 4, "sysEx": {"hasDataPosition": 1, "endPosition": 4, "dataPosition": 2, "bytes": [1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0]}}]})");
    return seeds;
}
