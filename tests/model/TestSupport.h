#pragma once
// Shared fixtures for the model tests.
#include <string>
#include <vector>

#include "model/ByteSequence.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"

// Captures notices and data-error hand-offs for the lifetime of a test.
class RecordingHooks : public INoticeSink, public IDataErrorSink {
public:
    RecordingHooks() : scope_(makeHooks(this)) {}
    void notice(const std::string& text) override { notices.push_back(text); }
    void reportDataError(const CEditorTemplate& tpl, const ByteSequence& mask) override {
        dataErrors.push_back(&tpl);
        lastMask = mask;
    }
    std::vector<std::string> notices;
    std::vector<const CEditorTemplate*> dataErrors;
    ByteSequence lastMask;

private:
    static ModelHooks makeHooks(RecordingHooks* self) {
        ModelHooks h = ModelHooks::get();
        h.notices = self;
        h.dataErrors = self;
        return h;
    }
    ScopedModelHooks scope_;
};

// Offsets within the 4112-byte dump.
namespace DumpOffset {
constexpr size_t kLocals = 13;
constexpr size_t kLayoutByte = 109;
constexpr size_t kZoneFlags = 110;
constexpr size_t kZones = 111;
constexpr size_t kAutoOff = 155;
constexpr size_t kOffSync = 171;
constexpr size_t kRecords = 419;
constexpr size_t kRecordSize = 41;
}  // namespace DumpOffset

// Offset of the record of control `index` in the dump.
inline size_t recordOffset(int index) {
    const auto& order = CTaNGRAQVTemplate::dumpOrder();
    for (size_t k = 0; k < order.size(); ++k)
        if (order[k] == index) return DumpOffset::kRecords + k * DumpOffset::kRecordSize;
    return 0;
}

inline ByteSequence withByte(ByteSequence bytes, size_t offset, uint8_t value) {
    bytes[offset] = value;
    return bytes;
}
