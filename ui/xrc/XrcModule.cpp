// The XRC module: every call into wxXmlResource, behind ui/XrcModule.h.
#include <wx/xrc/xmlres.h>

#include "ui/XrcModule.h"

namespace {

bool load(const wxString& file) {
    static bool handlersReady = false;
    if (!handlersReady) wxXmlResource::Get()->InitAllHandlers();
    handlersReady = true;
    return wxXmlResource::Get()->Load(file);
}
bool has(const wxString& name) { return wxXmlResource::Get()->GetResourceNode(name) != nullptr; }
bool loadDialog(wxDialog* dialog, wxWindow* parent, const wxString& name) {
    return wxXmlResource::Get()->LoadDialog(dialog, parent, name);
}
bool loadPanel(wxPanel* panel, wxWindow* parent, const wxString& name) {
    return wxXmlResource::Get()->LoadPanel(panel, parent, name);
}
int id(const char* name) { return wxXmlResource::GetXRCID(name); }

const XrcModule kModule{load, has, loadDialog, loadPanel, id};

}  // namespace

extern "C" __attribute__((visibility("default"))) const XrcModule* tqv_xrc_module() { return &kModule; }
