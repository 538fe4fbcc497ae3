#include "ReportSettings.h"

#include <cctype>

namespace report {

namespace {

bool parsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

bool validHost(const std::string& host) {
    if (host.empty()) return false;
    for (char c : host)
        if (std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool parseReportServer(const std::string& setting, MailServer& server) {
    server = MailServer{};
    std::string text = setting;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.erase(0, 1);
    if (text.empty()) return true;

    std::string host;
    int port = kReportPort;
    if (text[0] == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || !parsePort(rest.substr(1), port))) return false;
    } else {
        const auto colon = text.rfind(':');
        if (colon != std::string::npos && text.find(':') != colon) return false;  // bare IPv6 needs brackets
        host = text.substr(0, colon);
        if (colon != std::string::npos && !parsePort(text.substr(colon + 1), port)) return false;
    }
    if (!validHost(host)) return false;
    server.host = host;
    server.port = port;
    return true;
}

MailServer reportServerFor(const std::string& setting) {
    MailServer server;
    parseReportServer(setting, server);
    return server;
}

}  // namespace report
