#include <cstring>
#include <iostream>

#include "app/TaNGRAQVLumiEditorApp.h"

#ifndef TQV_VERSION
#define TQV_VERSION "unknown"
#endif

wxIMPLEMENT_APP_NO_MAIN(CTaNGRAQVLumiEditorApp);

// --help and --version are answered before wxWidgets starts, so they work
// without a display and never open a window.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "tangra-qv-editor " << TQV_VERSION << "\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << "Usage: tangra-qv-editor [FILE...]\n"
                         "\n"
                         "Edits templates of the TaNGRA LuMI QV control surface and transfers them\n"
                         "to and from the unit over MIDI. Each FILE (a template \".syx\" or a bulk\n"
                         "dump \".blk\") is opened in the editor window.\n"
                         "\n"
                         "Options:\n"
                         "  --library PATH keep the template library in PATH (instead of the\n"
                         "                 \"LibraryPath\" setting or the XDG data folder)\n"
                         "  -h, --help     show this help and exit\n"
                         "  --version      show the version and exit\n"
                         "\n"
                         "See also: tangra-qv-tool(1) for the same operations on the command line.\n";
            return 0;
        }
    }
    return wxEntry(argc, argv);
}
