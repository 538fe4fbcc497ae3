#pragma once
// Parts of the programs that pull in large libraries nothing needs at start
// (the XRC reader, the platform's MIDI libraries) are built as modules of
// their own and opened the first time they are needed.
//
// A module is searched beside the program (the build folder, where every
// program lands) and then in the installed modules' folder, found relative to
// the program's real path. Plain C++ and the C library's dlopen only.
#include <string>
#include <vector>

namespace ModuleLoader {

// The folders searched, in order.
std::vector<std::string> SearchFolders();
// Searches `folders` instead (tests point it at a folder of their own); an
// empty list restores the usual ones. Modules already opened stay open.
void SetSearchFolders(std::vector<std::string> folders);

// Opens the module `file` (a file name such as "tqv-xrc.so") from the first
// folder that holds it, and returns its function `entry`. On failure: null,
// and `error` names the file and the system's reason. An opened module stays
// loaded for the program's life (what it made may outlive any caller).
void* Entry(const std::string& file, const char* entry, std::string& error);
// The same, as a function of the module's type `F`.
template <typename F>
F* Function(const std::string& file, const char* entry, std::string& error) {
    return reinterpret_cast<F*>(Entry(file, entry, error));
}

}  // namespace ModuleLoader
