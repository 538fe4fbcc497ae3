#pragma once
// Where the library file lives.
#include <string>

// $XDG_DATA_HOME/tangra-qv-editor/library.sqlite3, with ~/.local/share for
// an unset or relative XDG_DATA_HOME (as the XDG base directory rules say).
std::string defaultLibraryPath();
// The path given on the command line, else the "LibraryPath" setting, else
// the default.
std::string chooseLibraryPath(const std::string& option, const std::string& setting);
