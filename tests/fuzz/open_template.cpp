// The opening procedure on arbitrary bytes: whatever opens must save as a
// clean dump of the device's size, and that save must open again without any
// notice and save to exactly the same bytes. A failed open leaves the target
// as it was.
#include <memory>

#include "FuzzSupport.h"
#include "model/DeviceKind.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"

using fuzzsupport::bytesOf;
using fuzzsupport::firstDifference;

namespace {
struct Quiet {
    CollectingNoticeSink notices;
    ScopedModelHooks scope{hooksWith(&notices)};
    static ModelHooks hooksWith(INoticeSink* sink) {
        ModelHooks h = ModelHooks::get();
        h.notices = sink;
        h.dataErrors = nullptr;
        return h;
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every source of dumps (the file readers, MIDI input) hands over a message
    // from its 0xF0 on; the header keeps its first byte as read.
    ByteSequence input = bytesOf(data, size);
    if (!input.empty()) input[0] = 0xF0;
    CTaNGRAQVTemplate first;
    const ByteSequence untouched = first.save();
    OpenResult opened;
    {
        Quiet quiet;
        opened = openTemplateBytes(input, first);
    }
    if (!opened.ok) {
        FUZZ_CHECK(first.save() == untouched, "a failed open changed the template: " + firstDifference(untouched, first.save()));
        return 0;
    }
    const ByteSequence firstSave = first.save();
    FUZZ_CHECK(firstSave.size() == CTaNGRAQVTemplate::kDumpSize, "save has the wrong size");
    FUZZ_CHECK(fuzzsupport::isCleanSysEx(firstSave), "save is not a clean SysEx message");

    CTaNGRAQVTemplate second;
    OpenResult reopened;
    Quiet quiet;
    reopened = openTemplateBytes(firstSave, second);
    FUZZ_CHECK(reopened.ok && !reopened.foreign, "the editor's own save does not open as its own template");
    FUZZ_CHECK(quiet.notices.texts.empty(), "reopening the editor's own save raised: " + quiet.notices.texts.front());
    const ByteSequence secondSave = second.save();
    FUZZ_CHECK(secondSave == firstSave, "save, open, save changed the dump: " + firstDifference(firstSave, secondSave));
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    for (int kind = KindTaNGRA; kind < KindUnknown; ++kind)
        if (auto tpl = createTemplateOfKind(kind)) seeds.push_back(tpl->save().vector());
    // A dump whose 90 records go through every control type, so that each
    // type's own use of the record bytes is reached at once.
    CTaNGRAQVTemplate qv;
    std::vector<uint8_t> mixed = qv.save().vector();
    for (size_t k = 0; k < static_cast<size_t>(CTaNGRAQVTemplate::kRecordCount); ++k) {
        const size_t record = 419 + k * 41;
        mixed[record + 8] = static_cast<uint8_t>(k % 13);
        mixed[record + 10] = static_cast<uint8_t>((k * 7) % 128);
        mixed[record + 13] = static_cast<uint8_t>(k % 32);
        mixed[record + 19] = static_cast<uint8_t>((k * 5) % 128);
    }
    seeds.push_back(mixed);
    return seeds;
}
