// The loaders of the sibling devices' dumps, each on the same bytes: a dump
// that loads saves as a clean message of that device's size, and that save
// loads again and saves to the same bytes.
#include <memory>

#include "FuzzSupport.h"
#include "model/DeviceKind.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"

using fuzzsupport::bytesOf;
using fuzzsupport::firstDifference;

namespace {
const int kSiblingKinds[] = {KindTaNGRA, KindTaNGRAJX, KindKelmor, KindUlmatone};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every source of dumps (the file readers, MIDI input) hands over a message
    // from its 0xF0 on; the header keeps its first byte as read.
    ByteSequence input = bytesOf(data, size);
    if (!input.empty()) input[0] = 0xF0;
    CollectingNoticeSink notices;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &notices;
    hooks.dataErrors = nullptr;
    ScopedModelHooks scope(hooks);
    for (int kind : kSiblingKinds) {
        const std::string device = deviceKindName(kind);
        auto first = createTemplateOfKind(kind);
        const ByteSequence untouched = first->save();
        size_t position = 0;
        if (!first->load(input, position)) {
            FUZZ_CHECK(first->save() == untouched, device + ": a failed load changed the template");
            continue;
        }
        const ByteSequence firstSave = first->save();
        FUZZ_CHECK(firstSave.size() == static_cast<size_t>(first->dumpSize()), device + ": save has the wrong size");
        FUZZ_CHECK(fuzzsupport::isCleanSysEx(firstSave), device + ": save is not a clean SysEx message");
        auto second = createTemplateOfKind(kind);
        position = 0;
        FUZZ_CHECK(second->load(firstSave, position), device + ": its own save does not load");
        const ByteSequence secondSave = second->save();
        FUZZ_CHECK(secondSave == firstSave, device + ": load, save changed the dump: " + firstDifference(firstSave, secondSave));
    }
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    for (int kind : kSiblingKinds) seeds.push_back(createTemplateOfKind(kind)->save().vector());
    return seeds;
}
