#include "ui/XrcResources.h"

#include <wx/log.h>
#include <wx/module.h>

#include <string>

#include "loader/ModuleLoader.h"
#include "ui/XrcModule.h"

namespace {
wxArrayString& unread() {
    static wxArrayString files;
    return files;
}

// The wxWidgets modules of the libraries just loaded (XRC keeps its subclass
// factories in one; wxHtml has some too) are set up here: wxWidgets does so
// only for the libraries present when the program starts. A library's class
// records go to the front of the list, so the new ones come before `known`.
void initialiseNewWxModules(const wxClassInfo* known) {
    for (const wxClassInfo* info = wxClassInfo::GetFirst(); info && info != known; info = info->GetNext())
        if (info->IsKindOf(wxCLASSINFO(wxModule)) && info != wxCLASSINFO(wxModule))
            if (auto* module = wxDynamicCast(info->CreateObject(), wxModule)) wxModule::RegisterModule(module);
    // Starts only those not started yet, in the order of their dependencies.
    if (!wxModule::InitializeModules()) wxLogError("The window layouts' libraries could not be set up.");
}

// The module, opened at the first call; null (said once) when it cannot be.
const XrcModule* xrc() {
    static const XrcModule* module = [] {
        std::string error;
        const wxClassInfo* known = wxClassInfo::GetFirst();
        auto* entry = ModuleLoader::Function<const XrcModule*()>(TQV_XRC_MODULE_FILE, TQV_XRC_MODULE_ENTRY, error);
        initialiseNewWxModules(known);
        if (!entry) {
            wxLogError("The window layouts cannot be read: %s", wxString::FromUTF8(error));
            return static_cast<const XrcModule*>(nullptr);
        }
        return entry();
    }();
    return module;
}
}  // namespace

void XrcResources::SetFiles(const wxArrayString& files) { unread() = files; }

void XrcResources::Ensure(const wxString& name) {
    const XrcModule* module = xrc();
    if (!module) return;
    while (!unread().empty() && !module->has(name)) {
        const wxString file = unread()[0];
        unread().RemoveAt(0);
        module->load(file);
    }
}

bool XrcResources::LoadDialog(wxDialog* dialog, wxWindow* parent, const wxString& name) {
    Ensure(name);
    return xrc() && xrc()->loadDialog(dialog, parent, name);
}

bool XrcResources::LoadPanel(wxPanel* panel, wxWindow* parent, const wxString& name) {
    Ensure(name);
    return xrc() && xrc()->loadPanel(panel, parent, name);
}

int XrcResources::Id(const char* name) { return xrc() ? xrc()->id(name) : wxID_NONE; }
