#include "DeviceOS.h"

#include <cstdio>
#include <filesystem>

namespace {
constexpr uint8_t kFirstMarker = 0x7F;
constexpr uint8_t kMiddleMarker = 0x7E;
constexpr uint8_t kLastMarker = 0x7D;
constexpr size_t kMarkerByte = 7;
}  // namespace

std::string CDeviceOS::Problem(const std::vector<ByteSequence>& messages) {
    if (messages.empty()) return "it holds no SysEx messages";
    if (messages.size() < 2) return "it holds a single message; an image has at least two";
    for (size_t i = 0; i < messages.size(); ++i) {
        const ByteSequence& m = messages[i];
        const std::string which = "message " + std::to_string(i + 1);
        // Each message goes to the unit as it is: a status byte anywhere
        // inside it (the manufacturer bytes too) would cut it short there.
        bool clean = isValidSysExMessage(m);
        for (size_t k = 1; clean && k < 4; ++k) clean = m[k] < 0x80;
        if (!clean) return which + " is not a valid SysEx message";
        if (m.size() < kMinMessageSize)
            return which + " is only " + std::to_string(m.size()) + " bytes long";
        const uint8_t expected = i == 0 ? kFirstMarker : i + 1 == messages.size() ? kLastMarker : kMiddleMarker;
        if (m[kMarkerByte] != expected) {
            char text[96];
            std::snprintf(text, sizeof text, " is marked %02X where %02X belongs", m[kMarkerByte], expected);
            return which + text;
        }
    }
    return {};
}

bool CDeviceOS::LoadFromFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        lastProblem = "the file cannot be read";
        return false;
    }
    CSysExMetaStream read;
    read.loadFromFile(path);
    lastProblem = Problem(read.messages);
    if (!lastProblem.empty()) return false;
    messages = std::move(read.messages);
    return true;
}

bool CDeviceOS::IsValid() const { return Problem(messages).empty(); }

OsVersion CDeviceOS::GetVersion() const {
    if (messages.empty() || messages.front().size() < kMinMessageSize) return {};
    return osVersionFromBytes(messages.front()[9], messages.front()[10]);
}
