#include "DeviceKind.h"
#include "EditorTemplate.h"
#include "KelmorTemplate.h"
#include "TaNGRAJXTemplate.h"
#include "TaNGRAQVTemplate.h"
#include "TaNGRATemplate.h"
#include "UlmatoneTemplate.h"

// The template class of each device kind.
std::unique_ptr<CEditorTemplate> createTemplateOfKind(int kind) {
    switch (kind) {
        case KindTaNGRA: return std::make_unique<CTaNGRATemplate>();
        case KindTaNGRAJX: return std::make_unique<CTaNGRAJXTemplate>();
        case KindTaNGRAQV: return std::make_unique<CTaNGRAQVTemplate>();
        case KindKelmor: return std::make_unique<CKelmorTemplate>();
        case KindUlmatone: return std::make_unique<CUlmatoneTemplate>();
        default: return nullptr;
    }
}
