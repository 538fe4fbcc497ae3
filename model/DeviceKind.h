#pragma once
// Which device of the family produced a dump, and the one procedure through
// which every template enters the editor.
#include <functional>
#include <memory>
#include <string>

#include "ByteSequence.h"

class CEditorTemplate;

enum DeviceKind : int {
    KindTaNGRA = 0,
    KindTaNGRAJX = 1,
    KindTaNGRAQV = 2,
    KindKelmor = 3,
    KindUlmatone = 4,
    KindUnknown = 5
};

DeviceKind detectDeviceKind(const ByteSequence& bytes);
std::string deviceKindName(int kind);

// A fresh template of the given kind's class, or null when the kind has none.
std::unique_ptr<CEditorTemplate> createTemplateOfKind(int kind);

struct OpenResult {
    bool ok = false;
    bool foreign = false;  // the dump came from another device and was converted
    int kind = KindUnknown;
};

// Loads `bytes` into `target` (a fresh template of the running device),
// converting a sibling device's dump on the way.
OpenResult openTemplateBytes(const ByteSequence& bytes, CEditorTemplate& target);
