#include "app/TaNGRAQVLumiEditorApp.h"

#include "editing/PlacedControl.h"
#include "model/DeviceProfile.h"
#include "ui/TaNGRAQVLumiTemplateUI.h"

CTaNGRAQVLumiEditorApp::CTaNGRAQVLumiEditorApp() : CEditorApp(std::make_unique<CTaNGRAQVDeviceProfile>()) {}

std::unique_ptr<CTemplateUI> CTaNGRAQVLumiEditorApp::CreateTemplateUI(ITemplateUIHost& host) const {
    return std::make_unique<CTaNGRAQVLumiTemplateUI>(host, Profile());
}
