#pragma once
// The editor's XRC files, read when a window first needs a resource from one
// of them rather than all at start-up: a start that opens no dialog reads none.
#include <wx/arrstr.h>
#include <wx/string.h>

namespace XrcResources {
// The files that hold the resources, in the order they are searched; none is
// read yet.
void SetFiles(const wxArrayString& files);
// Reads the files not read yet, in order, until one holds `name`: called
// before that resource is loaded. Each file is read once; a resource that is
// in none of them is left to the loading call to report.
void Ensure(const wxString& name);
}  // namespace XrcResources
