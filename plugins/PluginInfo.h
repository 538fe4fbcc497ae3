#pragma once
// What the editor keeps of one examined plug-in, ready for naming controls.
#include <string>
#include <vector>

#include "model/EditorTemplate.h"
#include "plugins/ScanProtocol.h"

struct PluginInfo {
    std::string path;      // the file examined
    std::string fileName;  // without folder and extension
    std::string folder;
    std::string name;      // the effect name, or fileName when the plug-in reports none
    std::string vendor;    // may be empty
    // One per named parameter, in parameter order; the indices keep the
    // plug-in's own numbers, so they may have gaps.
    std::vector<PluginBinding> parameters;

    // The part a template takes its names from.
    PluginDescription description() const;
};

// A file that gave no description, and why.
struct SkippedPlugin {
    std::string path;
    std::string reason;
};

namespace PluginNames {

// `text` with only the characters the hardware's name display shows:
// underscores and tabs become blanks, runs of blanks shrink to one, other
// characters outside the set (including every non-ASCII byte) are dropped,
// and blanks at both ends are removed.
std::string toNameCharacters(const std::string& text);

// `text` (UTF-8, such as a file name) made safe to show: control characters,
// bytes that are no UTF-8 and backslashes are written as escapes (\n, \t,
// \x1b, \u009b, \\), so that a name cannot move the cursor,
// recolour a terminal or hide part of itself. Other text stays as it is.
std::string shownText(const std::string& text);

// The description of a plug-in as reported, with names reduced to the name
// characters and parameters abbreviated to `maxNameLength` (joined words).
PluginInfo describe(const ScannedPlugin& scanned, int maxNameLength);

}  // namespace PluginNames
