#include "MailMessage.h"

#include <cstdio>

#include "ReportSettings.h"

namespace report {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void encodeGroup(const uint8_t* p, size_t n, std::string& out) {
    const uint32_t v = (uint32_t(p[0]) << 16) | (n > 1 ? uint32_t(p[1]) << 8 : 0) | (n > 2 ? uint32_t(p[2]) : 0);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? kAlphabet[v & 63] : '=';
}

bool isPlainText(const std::string& text) {
    size_t lineLength = 0;
    for (unsigned char c : text) {
        if (c == '\n') {
            lineLength = 0;
            continue;
        }
        if (c >= 0x80 || (c < 0x20 && c != '\t')) return false;
        // SMTP lines may hold 998 characters; longer typed paragraphs travel encoded.
        if (++lineLength > 900) return false;
    }
    return true;
}

// Typed text may arrive with any line ends; the message uses line feeds.
std::string withLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A file name as a quoted MIME parameter: no quotes, backslashes or bytes
// outside printable ASCII.
std::string parameterSafe(const std::string& name) {
    std::string out;
    for (unsigned char c : name) out += (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') ? '_' : char(c);
    return out.empty() ? "attachment" : out;
}

}  // namespace

std::string base64Lines(const std::vector<uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() / 54 * 73 + 74);
    for (size_t line = 0; line < bytes.size(); line += 54) {
        const size_t end = std::min(bytes.size(), line + 54);
        for (size_t i = line; i < end; i += 3) encodeGroup(bytes.data() + i, std::min<size_t>(3, end - i), out);
        out += '\n';
    }
    return out;
}

std::string mailDate(std::time_t when) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &when);
    gmtime_s(&utc, &when);
#else
    localtime_r(&when, &local);
    gmtime_r(&when, &utc);
#endif
    // The zone offset from the two broken-down times (no locale involved).
    long offset = (local.tm_hour - utc.tm_hour) * 60L + (local.tm_min - utc.tm_min);
    const int dayDiff = local.tm_yday - utc.tm_yday;
    if (dayDiff == 1 || dayDiff < -1) offset += 24 * 60;
    else if (dayDiff == -1 || dayDiff > 1) offset -= 24 * 60;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", days[local.tm_wday % 7],
                  local.tm_mday, months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, sign, offset / 60, offset % 60);
    return text;
}

std::string headerSafe(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r' || c == '\n' || c == '\t') out += ' ';
        else if (c >= 0x20 && c != 0x7F) out += char(c);
    }
    return out;
}

std::string addressSafe(const std::string& text) {
    std::string out;
    for (unsigned char c : headerSafe(text))
        if (c != '<' && c != '>' && c != ' ') out += char(c);
    return out;
}

std::string composeReportMessage(const ReportMail& mail) {
    const std::string name = parameterSafe(mail.attachmentName);
    std::string body = withLineFeeds(mail.body);
    std::string replyTo = addressSafe(mail.replyTo);
    if (replyTo.size() > kMaxAddressLength) {
        // No address is that long, and a header line that long is refused;
        // what the user typed still reaches the maker, in the text.
        body += (body.empty() ? "" : "\n\n") + std::string("Email address as typed: ") + headerSafe(mail.replyTo);
        replyTo.clear();
    }
    const bool plain = isPlainText(body);
    // The parts must not hold the line that separates them; only a plain
    // text can (Base64 has no '-').
    std::string boundary = kMimeBoundary;
    for (int n = 2; plain && body.find(boundary) != std::string::npos; ++n)
        boundary = std::string(kMimeBoundary) + "-" + std::to_string(n);

    std::string m;
    m += "From: <" + addressSafe(mail.sender) + ">\n";
    m += "To: <" + addressSafe(mail.recipient) + ">\n";
    m += "Date: " + mailDate(mail.date ? mail.date : std::time(nullptr)) + "\n";
    m += "Subject: " + headerSafe(mail.subject) + "\n";
    if (!replyTo.empty()) m += "Reply-To: <" + replyTo + ">\n";
    m += "MIME-Version: 1.0\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\n";
    m += "\n";
    m += "This is a multi-part message in MIME format.\n";
    m += "--" + boundary + "\n";
    if (plain) {
        m += "Content-Type: text/plain; charset=ISO-8859-1; format=flowed\n";
        m += "Content-Transfer-Encoding: 7bit\n\n";
        m += body + "\n";
    } else {
        m += "Content-Type: text/plain; charset=UTF-8\n";
        m += "Content-Transfer-Encoding: base64\n\n";
        m += base64Lines(std::vector<uint8_t>(body.begin(), body.end()));
    }
    m += "\n--" + boundary + "\n";
    m += "Content-Type: application/octet-stream;\n name=\"" + name + "\"\n";
    m += "Content-Transfer-Encoding: base64\n";
    m += "Content-Disposition: attachment;\n filename=\"" + name + "\"\n\n";
    m += base64Lines(mail.attachment);
    m += "\n--" + boundary + "--\n";
    return m;
}

std::string smtpDataBlock(const std::string& message) {
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (char c : message) {
        if (lineStart && c == '.') out += '.';
        if (c == '\n') {
            out += "\r\n";
            lineStart = true;
        } else {
            out += c;
            lineStart = false;
        }
    }
    if (!lineStart) out += "\r\n";
    out += ".\r\n";
    return out;
}

}  // namespace report
