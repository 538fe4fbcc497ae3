#pragma once
// The bulk-dump and OS-image commands of tangra-qv-tool.
#include <string>
#include <vector>

class IDeviceProfile;

int cmdBlk(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdOsInfo(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdBulkReceive(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdBulkSend(const IDeviceProfile& profile, const std::vector<std::string>& args);
int cmdOsSend(const IDeviceProfile& profile, const std::vector<std::string>& args);

extern const char* const kBulkUsage;
