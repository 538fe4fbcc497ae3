#pragma once
// The SMTP conversation that submits one report, and the reachability test
// made before a report is offered.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "MailMessage.h"
#include "ReportSettings.h"

namespace report {

struct MailResult {
    bool ok = false;
    std::string error;  // why the submission failed; empty on success
};

// One reply of a mail server. Every line starts with the reply's three-digit
// code; all but the last continue it with '-' after the code, the last has
// a blank there or ends after the code.
struct SmtpReply {
    int code = 0;                    // 100..599; 0 when the reply is malformed
    std::vector<std::string> lines;  // each line's text after the code and its separator
    std::string text;                // the lines as received, joined by line feeds (for messages)
};

// Reads the first complete reply at the start of `data` (lines end with a
// line feed, a carriage return before it is dropped). Answers how many bytes
// the reply takes, or 0 while its last line has not arrived. A reply whose
// lines lack a code, or differ in it, is complete at the line that does not
// continue it and comes out with code 0.
size_t parseSmtpReply(std::string_view data, SmtpReply& reply);
// The reply as a server writes it; lines that hold a line break cannot be written.
std::string formatSmtpReply(int code, const std::vector<std::string>& lines);

// An open TCP connection to a mail server; closed on destruction.
class MailConnection {
public:
    MailConnection() = default;
    ~MailConnection();
    MailConnection(MailConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    MailConnection& operator=(MailConnection&& other) noexcept;
    MailConnection(const MailConnection&) = delete;
    MailConnection& operator=(const MailConnection&) = delete;

    // Resolves the host and connects to the first of its addresses that
    // answers within `timeout`.
    static MailConnection open(const MailServer& server, std::chrono::milliseconds timeout, std::string& error);

    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Sends everything, failing when the server takes nothing for `timeout`.
    bool sendAll(const std::string& data, std::chrono::milliseconds timeout, std::string& error);
    // Waits for one complete reply (the last line of a multi-line reply
    // included). Fails when the server closes the connection, a receive
    // fails, the reply does not end within `timeout` or does not fit the
    // 1024-byte reply buffer.
    bool readReply(SmtpReply& reply, std::chrono::milliseconds timeout, std::string& error);

private:
    int fd_ = -1;
    std::string pending_;  // bytes received after the last complete reply
};

// True when a connection to the server can be opened now.
bool canReachMailServer(const MailServer& server, std::chrono::milliseconds timeout = kMailTimeout);

// Composes nothing: runs the exchange for an already composed message
// (line-feed text, see composeReportMessage). Success means the server
// accepted the message.
MailResult submitMessage(const MailServer& server, const std::string& sender, const std::string& recipient,
                         const std::string& message, std::chrono::milliseconds timeout = kMailTimeout);

// Reads the attachment, composes the report and submits it. An attachment
// that cannot be read fails the submission before the server is contacted.
MailResult sendReportMail(const MailServer& server, const std::string& replyTo, const std::string& recipient,
                          const std::string& subject, const std::string& body, const std::string& attachmentPath,
                          std::chrono::milliseconds timeout = kMailTimeout);

// What the Send button does: submits the report and, once the server has
// accepted it, deletes the attached file; after a failure the file stays.
MailResult submitReportFile(const MailServer& server, const std::string& replyTo, const std::string& subject,
                            const std::string& body, const std::string& attachmentPath,
                            std::chrono::milliseconds timeout = kMailTimeout);

}  // namespace report
