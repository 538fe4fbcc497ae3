#include "DeviceKind.h"

#include <algorithm>

#include "DeviceFacts.h"
#include "EditorTemplate.h"
#include "ModelHooks.h"
#include "TaNGRAQVTemplate.h"
#include "TemplateParts.h"

DeviceKind detectDeviceKind(const ByteSequence& bytes) {
    // The first header bytes as they are, whether or not they pass the header
    // check; a short input is looked at as a kind-0 header.
    CSysExHeader header;
    if (bytes.size() >= CSysExHeader::kSize) std::copy(bytes.begin(), bytes.begin() + CSysExHeader::kSize, header.bytes.begin());
    const auto& h = header.bytes;
    if (h[1] != 0x00 || h[2] != 0x20 || h[3] != 0x29) return KindUnknown;
    DeviceKind kind;
    switch (h[5]) {
        case 0x00: kind = h[4] == 0x01 ? KindKelmor : KindTaNGRA; break;
        case 0x03: kind = KindTaNGRAQV; break;
        case 0x04: kind = KindTaNGRAJX; break;
        case 0x05: kind = KindUlmatone; break;
        default: return KindUnknown;
    }
    if (kind == KindTaNGRA && bytes.size() == 8208) kind = KindKelmor;
    return kind;
}

std::string deviceKindName(int kind) {
    switch (kind) {
        case KindTaNGRA: return "TaNGRA";
        case KindTaNGRAJX: return "TaNGRA JX";
        case KindTaNGRAQV: return "TaNGRA QV";
        case KindKelmor: return "Kelmor";
        case KindUlmatone: return "Ulmatone";
        default: return "Unknown";
    }
}

OpenResult openTemplateBytes(const ByteSequence& bytes, CEditorTemplate& target) {
    OpenResult result;
    result.kind = detectDeviceKind(bytes);
    if (result.kind == target.deviceFacts().deviceType) {
        result.foreign = false;
        size_t position = 0;
        result.ok = target.load(bytes, position);
        if (result.ok && target.preservationMask.hasAnySetByte())
            if (auto* sink = ModelHooks::get().dataErrors) sink->reportDataError(target, target.preservationMask);
        // A failed load leaves the target as it was; nothing to validate then.
        if (result.ok) target.validate();
        return result;
    }
    result.foreign = true;
    if (result.kind == KindUnknown) return result;
    std::unique_ptr<CEditorTemplate> temporary = createTemplateOfKind(result.kind);
    if (!temporary) return result;
    size_t position = 0;
    if (temporary->load(bytes, position)) {
        target.importFrom(*temporary);
        target.validate();
        result.ok = true;
    }
    return result;
}
