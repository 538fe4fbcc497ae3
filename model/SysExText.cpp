#include "SysExText.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "OsVersion.h"

namespace {
bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

int limited(int maxBytes) { return maxBytes > SysExMessage::kMaxBytes ? SysExMessage::kMaxBytes : maxBytes; }
}  // namespace

bool parseMessageText(const std::string& original, SysExMessage& record, std::string& status, int maxBytes) {
    const int n = limited(maxBytes);
    std::string text = original;
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t length = text.size();
    if (length > static_cast<size_t>(3 * n)) {
        status = "Message is too long";
        return false;
    }
    if (length < 2) {
        status = "Message is too short";
        return false;
    }
    int count = 0;
    for (size_t p = 0; p < length; p += 3, ++count) {
        const char first = text[p];
        if (first == ' ') {
            status = "Message contains an incomplete byte (pad with zeros)";
            return false;
        }
        if (first != 'D' && !isHex(first)) {
            status = "Message contains non-hex characters (use 0-9, A-F)";
            return false;
        }
        if (p + 1 >= length || text[p + 1] == ' ') {
            status = "Message contains an incomplete byte (pad with zeros)";
            return false;
        }
        if (text[p + 1] != 'V' && !isHex(text[p + 1])) {
            status = "Message contains non-hex characters (use 0-9, A-F)";
            return false;
        }
        if (p + 2 < length && text[p + 2] != ' ') {
            status = "Message is not properly space delimited";
            return false;
        }
    }
    if (count > n) {
        status = "Message is too long";
        return false;
    }
    record.endPosition = static_cast<uint8_t>(count + 1);
    record.dataPosition = 0;
    // Bytes past the new end would otherwise keep a longer message's tail,
    // which validation (and the dump) would still see.
    for (size_t i = static_cast<size_t>(count); i < record.bytes.size(); ++i) record.bytes[i] = 0;
    bool seenData = false;
    for (int i = 0; i < count; ++i) {
        const std::string token = text.substr(static_cast<size_t>(3 * i), 2);
        if (token == "DV") {
            if (seenData) {
                status = "Message contains more than one data position (DV)";
                return false;
            }
            seenData = true;
            record.dataPosition = static_cast<uint8_t>(i + 1);
            record.bytes[static_cast<size_t>(i)] = 0x7F;
        } else {
            // Read as far as the digits go ("0V" reads as 0); nothing read is an error.
            char* end = nullptr;
            const unsigned long value = std::strtoul(token.c_str(), &end, 16);
            if (end == token.c_str()) {
                status = "Message is not formatted correctly";
                return false;
            }
            record.bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value & 0xFF);
        }
    }
    record.hasDataPosition = record.dataPosition != 0 ? 1 : 0;
    return validateMessage(record, status, maxBytes);
}

bool validateMessage(const SysExMessage& record, std::string& status, int maxBytes) {
    const int n = limited(maxBytes);
    if (record.endPosition > n + 1) {
        status = "Message too long";
        return false;
    }
    if (record.endPosition < record.dataPosition) {
        status = "Value appears after message end (FO)";
        return false;
    }
    for (int i = 0; i < n; ++i)
        if (record.bytes[static_cast<size_t>(i)] >= 0x80) {
            status = "Messsage contains a value greater than 127 (0x7F)";
            return false;
        }
    status = "Messsage OK!";
    return true;
}

std::string formatMessageText(const SysExMessage& record, int maxBytes) {
    std::string text;
    const int n = limited(maxBytes);
    for (int i = 0; i < n; ++i) {
        if (record.endPosition == i + 1) break;
        if (record.dataPosition == i + 1) {
            text += "DV ";
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%2.2X ", record.bytes[static_cast<size_t>(i)]);
            text += buf;
        }
    }
    return text;
}

OsVersion osVersionFromBytes(uint8_t first, uint8_t second) {
    return OsVersion{first >> 3, first & 0x07, second & 0x7F};
}

std::string versionText(const OsVersion& v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%d.%2.2d", v.major, v.minor, v.build);
    return buf;
}

bool versionLess(const OsVersion& a, const OsVersion& b) {
    if (a.major != b.major) return a.major < b.major;
    if (a.minor != b.minor) return a.minor < b.minor;
    return a.build < b.build;
}

bool versionEqual(const OsVersion& a, const OsVersion& b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build;
}
