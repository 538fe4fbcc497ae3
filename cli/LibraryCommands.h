#pragma once
// The template library on the command line ("library ...") and templates as
// JSON text ("from-json").
#include <string>
#include <vector>

class IDeviceProfile;

int cmdLibrary(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdFromJson(const std::vector<std::string>& args);

// Their lines of the tool's usage text, and their help pages.
extern const char* const kLibraryUsage;
const char* libraryCommandHelp(const char* command);
