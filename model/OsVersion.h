#pragma once
// The operating-system version that dump headers and OS images state.
#include <cstdint>
#include <string>

struct OsVersion {
    int major = 0;  // 0..31
    int minor = 0;  // 0..7
    int build = 0;  // 0..127
};

OsVersion osVersionFromBytes(uint8_t first, uint8_t second);
std::string versionText(const OsVersion& v);
bool versionLess(const OsVersion& a, const OsVersion& b);
bool versionEqual(const OsVersion& a, const OsVersion& b);
