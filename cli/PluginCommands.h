#pragma once
// tangra-qv-tool plugins / from-plugin.
#include <string>
#include <vector>

int cmdPlugins(const std::vector<std::string>& args);
int cmdFromPlugin(const std::vector<std::string>& args);
