// Writes one key into the editor's settings store at the given path, the way
// the editor writes its settings: tqv-settings-writer FILE VALUE.
#include <wx/init.h>

#include "app/Settings.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    wxInitializer toolkit;
    if (!toolkit.IsOk()) return 2;
    CSettingsStore store("TaNGRA LuMI QV Editor", "Quorvane", wxString::FromUTF8(argv[1]));
    store.Write("StartupAction", wxString::FromUTF8(argv[2]));
    return store.Flush() ? 0 : 1;
}
