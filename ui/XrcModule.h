#pragma once
// What the XRC module (tqv-xrc.so) offers the program: it is the only code
// that calls wxXmlResource, so that the program itself links neither the XRC
// library nor the HTML and XML libraries behind it. Used by XrcResources only.
class wxDialog;
class wxPanel;
class wxString;
class wxWindow;

struct XrcModule {
    // Reads one XRC file; the handlers that turn resources into windows are
    // made before the first.
    bool (*load)(const wxString& file);
    // Whether a file read so far holds the resource `name`.
    bool (*has)(const wxString& name);
    bool (*loadDialog)(wxDialog* dialog, wxWindow* parent, const wxString& name);
    bool (*loadPanel)(wxPanel* panel, wxWindow* parent, const wxString& name);
    // The window id that the resources give the control named `name`.
    int (*id)(const char* name);
};

// The module's one exported function: extern "C" const XrcModule* tqv_xrc_module().
#define TQV_XRC_MODULE_FILE "tqv-xrc.so"
#define TQV_XRC_MODULE_ENTRY "tqv_xrc_module"
