#pragma once
// Where each physical control of the TaNGRA LuMI QV sits on the panel
// picture, under which name it is listed and which control index it shows.
#include "ui/TemplateUI.h"

class CTaNGRAQVLumiTemplateUI : public CTemplateUI {
public:
    CTaNGRAQVLumiTemplateUI(ITemplateUIHost& host, const IDeviceProfile& profile);

    // Shows a template (not owned; null shows none): rebuilds all buttons.
    void SetTemplate(CEditorTemplate* tpl) override;
    CEditorTemplate* GetTemplate() const override { return shown; }

    // Panel-button rectangles.
    static const wxRect kListenRect;
    static const wxRect kSendRect;

protected:
    void BuildLayout() override;

private:
    CEditorTemplate* shown = nullptr;
};
