#pragma once
// Makes the objects that hold a device's data: its templates, its bulk dumps
// (every template the unit keeps) and its OS images. (The templates of the
// sibling devices, made to convert their dumps, come from createTemplateOfKind
// in DeviceKind.h.)
#include <memory>

class CDeviceOS;
class CEditorTemplate;
class IBulkDump;

class ITemplateFactory {
public:
    virtual ~ITemplateFactory() = default;
    virtual std::unique_ptr<CEditorTemplate> CreateTemplate() const = 0;
    virtual std::unique_ptr<IBulkDump> CreateBulkDump() const = 0;
    virtual std::unique_ptr<CDeviceOS> CreateDeviceOS() const = 0;
};

class CTaNGRAQVTemplateFactory : public ITemplateFactory {
public:
    std::unique_ptr<CEditorTemplate> CreateTemplate() const override;
    std::unique_ptr<IBulkDump> CreateBulkDump() const override;
    std::unique_ptr<CDeviceOS> CreateDeviceOS() const override;
};
