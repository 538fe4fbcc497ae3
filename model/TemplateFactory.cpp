#include "DeviceKind.h"
#include "EditorTemplate.h"
#include "TaNGRAQVTemplate.h"

// The template class of each device kind. The sibling devices' classes are
// added here as their dump readers arrive.
std::unique_ptr<CEditorTemplate> createTemplateOfKind(int kind) {
    switch (kind) {
        case KindTaNGRAQV: return std::make_unique<CTaNGRAQVTemplate>();
        default: return nullptr;
    }
}
