#include "ui/XrcResources.h"

#include <wx/log.h>
#include <wx/module.h>

#include <memory>
#include <string>
#include <vector>

#include "loader/ModuleLoader.h"
#include "ui/XrcModule.h"

namespace {
wxArrayString& unread() {
    static wxArrayString files;
    return files;
}

// The wxWidgets modules of the libraries just loaded (XRC keeps its subclass
// factories in one; wxHtml has some too) are started here: wxWidgets starts
// only those of the libraries present when the program starts. A library's
// class records go to the front of the list, so the new ones come before
// `known`. They are started directly rather than through wxModule's list,
// whose second initialisation would forget the modules started at start-up
// (and never end them); they stay for the program's life, like the library.
void initialiseNewWxModules(const wxClassInfo* known) {
    static std::vector<std::unique_ptr<wxModule>> started;
    for (const wxClassInfo* info = wxClassInfo::GetFirst(); info && info != known; info = info->GetNext()) {
        if (!info->IsKindOf(wxCLASSINFO(wxModule)) || info == wxCLASSINFO(wxModule)) continue;
        std::unique_ptr<wxModule> module(wxDynamicCast(info->CreateObject(), wxModule));
        if (!module) continue;
        if (!module->Init()) {
            wxLogError("The window layouts' libraries could not be set up.");
            continue;
        }
        started.push_back(std::move(module));
    }
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
