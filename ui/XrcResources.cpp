#include "ui/XrcResources.h"

#include <wx/log.h>

#include <string>

#include "loader/ModuleLoader.h"
#include "ui/XrcModule.h"

namespace {
wxArrayString& unread() {
    static wxArrayString files;
    return files;
}

// The module, opened at the first call; null (said once) when it cannot be.
const XrcModule* xrc() {
    static const XrcModule* module = [] {
        std::string error;
        using Entry = const XrcModule* (*)();
        auto entry = reinterpret_cast<Entry>(ModuleLoader::Entry(TQV_XRC_MODULE_FILE, TQV_XRC_MODULE_ENTRY, error));
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
