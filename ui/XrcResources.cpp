#include "ui/XrcResources.h"

#include <wx/xrc/xmlres.h>

namespace {
wxArrayString& unread() {
    static wxArrayString files;
    return files;
}
}  // namespace

void XrcResources::SetFiles(const wxArrayString& files) { unread() = files; }

void XrcResources::Ensure(const wxString& name) {
    wxXmlResource* resources = wxXmlResource::Get();
    while (!unread().empty() && !resources->GetResourceNode(name)) {
        const wxString file = unread()[0];
        unread().RemoveAt(0);
        resources->Load(file);
    }
}
