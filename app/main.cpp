#include "app/TaNGRAQVLumiEditorApp.h"

wxIMPLEMENT_APP(CTaNGRAQVLumiEditorApp);
