#pragma once
// The editor's XRC resources. Every use of them goes through here: the XRC
// reader lives in a module (tqv-xrc.so) opened with the first resource
// needed, and the files are read when a window first needs a resource from
// one of them: a start that opens no dialog loads neither.
#include <wx/arrstr.h>
#include <wx/defs.h>
#include <wx/string.h>

class wxDialog;
class wxPanel;
class wxWindow;

namespace XrcResources {
// The files that hold the resources, in the order they are searched; none is
// read yet.
void SetFiles(const wxArrayString& files);
// Reads the files not read yet, in order, until one holds `name`. Each file
// is read once; a resource that is in none of them is left to the loading
// call to report.
void Ensure(const wxString& name);
// Makes `dialog` (or `panel`) from the resource `name`, reading its file
// first; false when the resource or the XRC module is missing (the module's
// absence is logged once, with the reason).
bool LoadDialog(wxDialog* dialog, wxWindow* parent, const wxString& name);
bool LoadPanel(wxPanel* panel, wxWindow* parent, const wxString& name);
// The window id of the control named `name` in the resources (XRCID);
// wxID_NONE without the module.
int Id(const char* name);
}  // namespace XrcResources
