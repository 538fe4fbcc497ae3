#pragma once
// tangra-qv-tool plugins / from-plugin.
#include <string>
#include <vector>

class IDeviceProfile;

int cmdPlugins(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdFromPlugin(const IDeviceProfile& profile, const std::vector<std::string>& args);
