#include "TemplateFactory.h"

#include "BulkDump.h"
#include "DeviceKind.h"
#include "DeviceOS.h"
#include "EditorTemplate.h"
#include "KelmorTemplate.h"
#include "TaNGRAJXTemplate.h"
#include "TaNGRAQVTemplate.h"
#include "TaNGRATemplate.h"
#include "UlmatoneTemplate.h"

std::unique_ptr<CEditorTemplate> CTaNGRAQVTemplateFactory::CreateTemplate() const {
    return std::make_unique<CTaNGRAQVTemplate>();
}

std::unique_ptr<IBulkDump> CTaNGRAQVTemplateFactory::CreateBulkDump() const {
    return std::make_unique<CBulkDump<CTaNGRAQVTemplate, 40>>();
}

std::unique_ptr<CDeviceOS> CTaNGRAQVTemplateFactory::CreateDeviceOS() const { return std::make_unique<CDeviceOS>(); }

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
