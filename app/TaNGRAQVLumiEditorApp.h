#pragma once
// The editor application for the TaNGRA LuMI QV: its device profile and its
// panel view.
#include "app/EditorApp.h"

class CTaNGRAQVLumiEditorApp : public CEditorApp {
public:
    CTaNGRAQVLumiEditorApp();
    std::unique_ptr<CTemplateUI> CreateTemplateUI(ITemplateUIHost& host) const override;
};
