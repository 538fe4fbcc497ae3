#pragma once
// The bulk-dump and OS-image commands of tangra-qv-tool.
#include <string>
#include <vector>

int cmdBlk(const std::vector<std::string>& args);
int cmdOsInfo(const std::vector<std::string>& args);
int cmdBulkReceive(const std::vector<std::string>& args);
int cmdBulkSend(const std::vector<std::string>& args);
int cmdOsSend(const std::vector<std::string>& args);

extern const char* const kBulkUsage;
