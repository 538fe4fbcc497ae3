#pragma once
// Loads one plug-in file into the calling process and asks it for its names.
// Only the scan helper's worker processes call this: a plug-in may crash,
// hang or scribble over memory, and must never do so inside the editor.
#include <string>

#include "plugins/ScanProtocol.h"

namespace PluginExaminer {

// Describes the plug-in in `path`. False with `reason` when the file is not a
// usable plug-in. The library stays loaded: unloading a plug-in is a common
// source of crashes, and the process ends soon anyway.
bool examine(const std::string& path, ScannedPlugin& out, std::string& reason);

// Only loads the file and asks for its effect name: the least any host does.
bool nameOnly(const std::string& path, std::string& name);

}  // namespace PluginExaminer
