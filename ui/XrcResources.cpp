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
    static bool handlersReady = false;
    while (!unread().empty() && !resources->GetResourceNode(name)) {
        // The handlers that turn resources into windows, made with the first file.
        if (!handlersReady) resources->InitAllHandlers();
        handlersReady = true;
        const wxString file = unread()[0];
        unread().RemoveAt(0);
        resources->Load(file);
    }
}
