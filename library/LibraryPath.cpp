#include "library/LibraryPath.h"

#include <cstdlib>

std::string defaultLibraryPath() {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else {
        const char* home = std::getenv("HOME");
        data = std::string(home ? home : "") + "/.local/share";
    }
    return data + "/tangra-qv-editor/library.sqlite3";
}

std::string chooseLibraryPath(const std::string& option, const std::string& setting) {
    if (!option.empty()) return option;
    if (!setting.empty()) return setting;
    return defaultLibraryPath();
}
