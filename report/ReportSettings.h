#pragma once
// Where reports go: the maker's report mail server and mailboxes, and the
// "ReportServer" setting ("host:port") that points reports elsewhere.
#include <chrono>
#include <string>

namespace report {

// The maker's report mail server and mailboxes.
inline constexpr const char* kReportHost = "mail.quorvane.com";
inline constexpr int kReportPort = 25;
inline constexpr const char* kReportSender = "crashreporter@quorvane.com";
inline constexpr const char* kReportRecipient = "editor-reports@quorvane.com";
// Name given in the greeting; also the caption of the crash handler's boxes.
inline constexpr const char* kReporterName = "CrashReporter";
inline constexpr const char* kMimeBoundary = "Crash-Reporter-040006060503080100010509";

// How long connecting and each reply of the server may take.
inline constexpr std::chrono::milliseconds kMailTimeout{10000};

struct MailServer {
    std::string host = kReportHost;
    int port = kReportPort;
};

// Reads the "ReportServer" setting: empty means the maker's server;
// "host:port", "host" (port 25) and "[v6-address]:port" name another one.
// False (and the maker's server in `server`) when the text is malformed.
bool parseReportServer(const std::string& setting, MailServer& server);

// The server to use for a setting, falling back to the maker's server.
MailServer reportServerFor(const std::string& setting);

}  // namespace report
