#pragma once
// Where plug-ins live and which files in there are plug-in candidates.
#include <string>
#include <vector>

namespace PluginSearch {

// The file-name ending of plug-in libraries on this platform (".so").
const char* libraryExtension();

// The platform's default plug-in folder setting: on Linux the entries of
// $VST_PATH when it is set (joined by ':'), else every existing one of
// ~/.vst, ~/.lxvst, /usr/local/lib/vst, /usr/lib/vst, /usr/local/lib/lxvst,
// /usr/lib/lxvst, in that order, joined by ':'; empty when there is none.
// `environmentPath` and `home` stand in for $VST_PATH and $HOME.
std::string defaultFolderSetting(const char* environmentPath, const char* home);
std::string defaultFolderSetting();

// The folders one setting names (a ':'-separated list on Linux).
std::vector<std::string> splitFolders(const std::string& setting);

// Every plug-in candidate in the folders and all their subfolders, hidden
// ones included: files whose names end in libraryExtension(). Sorted by path
// within each folder; a file reached twice (links, repeated folders) is
// listed once. Folders that cannot be read are skipped.
std::vector<std::string> findPluginFiles(const std::vector<std::string>& folders);

}  // namespace PluginSearch
