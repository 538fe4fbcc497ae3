#pragma once
// tangra-qv-tool clashes: the controls of a template that send the same
// message on the same channel and port (editing/ControlClashes.h).
#include <string>
#include <vector>

class IDeviceProfile;

int cmdClashes(const IDeviceProfile& profile, const std::vector<std::string>& args);
