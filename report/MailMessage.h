#pragma once
// The report mail: one text part with what the user typed and one attached
// file, and its form on the wire of an SMTP DATA command.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace report {

// MIME Base64: lines of 72 characters made from 54 bytes each, the last
// one shorter; every line ends in a line feed. No bytes give an empty text.
std::string base64Lines(const std::vector<uint8_t>& bytes);

struct ReportMail {
    std::string sender;
    std::string recipient;
    std::string replyTo;  // as typed; may be empty
    std::string subject;
    std::string body;     // as typed (UTF-8); may be empty
    std::string attachmentName;
    std::vector<uint8_t> attachment;
    std::time_t date = 0;  // 0: now
};

// An RFC 5322 date ("Thu, 10 Dec 2026 13:07:34 +0000") in local time.
std::string mailDate(std::time_t when);

// Keeps only what may stand in a header: no line breaks, no control
// characters; angle brackets are removed from addresses.
std::string headerSafe(const std::string& text);
std::string addressSafe(const std::string& text);

// The longest address a mail server takes (RFC 5321: a path of 256
// characters with its angle brackets).
constexpr size_t kMaxAddressLength = 254;

// The message with line-feed line ends, ending in a line feed. A reply-to
// address longer than kMaxAddressLength gets no header; it ends the text
// part instead. The parts are separated by kMimeBoundary, or by a variant
// of it when the text holds it.
std::string composeReportMessage(const ReportMail& mail);

// The message as sent after DATA: CRLF line ends, every line starting with
// "." doubled, and the closing ".\r\n".
std::string smtpDataBlock(const std::string& message);

}  // namespace report
