#pragma once
// Where each physical control of the TaNGRA LuMI QV sits on the panel
// picture, under which name it is listed and which control index it shows.
#include <string>

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
    // Where the display shows the template's name, and how many characters fit.
    static const wxPoint kDisplayNameAt;
    static constexpr size_t kDisplayNameChars = 42;
    // The name as the display shows it: trimmed, upper case, cut to fit.
    static std::string DisplayName(const CEditorTemplate& tpl);

protected:
    void BuildLayout() override;
    void PaintDecorations(wxDC& dc) override;

private:
    CEditorTemplate* shown = nullptr;
};
