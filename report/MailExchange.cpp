#include "MailExchange.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "report/PrivateFiles.h"

namespace report {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReplyBufferSize = 1024;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on fd; false on time-out or error.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, remainingMs(deadline));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

int connectWithin(const addrinfo* ai, Clock::time_point deadline) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) return -1;
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) return fd;
    if (errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline)) {
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) return fd;
        errno = err;
    } else if (errno == EINPROGRESS) {
        errno = ETIMEDOUT;
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

}  // namespace

size_t parseSmtpReply(std::string_view data, SmtpReply& reply) {
    reply = SmtpReply{};
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        const size_t lf = data.find('\n', start);
        if (lf == std::string_view::npos) return 0;
        std::string_view line = data.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = lf + 1;
        if (line.size() < 4 || line[3] != '-') break;
    }
    int code = 0;
    bool wellFormed = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (i > 0) reply.text += '\n';
        reply.text.append(line);
        const bool digits = line.size() >= 3 && line[0] >= '1' && line[0] <= '5' && line[1] >= '0' && line[1] <= '9' &&
                            line[2] >= '0' && line[2] <= '9';
        if (!digits) {
            wellFormed = false;
            continue;
        }
        const int lineCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        if (i == 0) code = lineCode;
        // Only the last line may end the reply, with a blank or nothing after its code.
        const bool last = i + 1 == lines.size();
        if (lineCode != code || (last && line.size() > 3 && line[3] != ' ')) wellFormed = false;
        reply.lines.emplace_back(line.substr(std::min<size_t>(line.size(), 4)));
    }
    if (wellFormed) {
        reply.code = code;
    } else {
        reply.lines.clear();
    }
    return start;
}

std::string formatSmtpReply(int code, const std::vector<std::string>& lines) {
    const std::string number = std::to_string(code);
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        out += number;
        out += last ? ' ' : '-';
        out += lines[i];
        out += "\r\n";
    }
    if (lines.empty()) out = number + "\r\n";
    return out;
}

MailConnection::~MailConnection() { close(); }

MailConnection& MailConnection::operator=(MailConnection&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        pending_ = std::move(other.pending_);
        other.fd_ = -1;
    }
    return *this;
}

void MailConnection::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

MailConnection MailConnection::open(const MailServer& server, std::chrono::milliseconds timeout, std::string& error) {
    MailConnection c;
    const auto deadline = Clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(server.port);
    const int rc = ::getaddrinfo(server.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
        error = "cannot resolve " + server.host + ": " + ::gai_strerror(rc);
        return c;
    }
    error = "cannot connect to " + server.host + ":" + port;
    for (const addrinfo* ai = found; ai && c.fd_ < 0; ai = ai->ai_next) {
        c.fd_ = connectWithin(ai, deadline);
        if (c.fd_ < 0) error = systemError(("cannot connect to " + server.host + ":" + port).c_str());
    }
    ::freeaddrinfo(found);
    if (c.fd_ >= 0) error.clear();
    return c;
}

bool MailConnection::sendAll(const std::string& data, std::chrono::milliseconds timeout, std::string& error) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (!waitFor(fd_, POLLOUT, Clock::now() + timeout)) {
            error = "the mail server stopped taking data";
            return false;
        }
        const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            error = systemError("sending to the mail server failed");
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool MailConnection::readReply(SmtpReply& reply, std::chrono::milliseconds timeout, std::string& error) {
    const auto deadline = Clock::now() + timeout;
    char buffer[kReplyBufferSize];
    for (;;) {
        const size_t end = parseSmtpReply(pending_, reply);
        if (end != 0) {
            pending_.erase(0, end);
            return true;
        }
        if (pending_.size() >= kReplyBufferSize) {
            error = "the mail server's reply is too long";
            return false;
        }
        if (!waitFor(fd_, POLLIN, deadline)) {
            error = "the mail server did not answer in time";
            return false;
        }
        const ssize_t n = ::recv(fd_, buffer, kReplyBufferSize - pending_.size(), 0);
        if (n == 0) {
            error = "the mail server closed the connection";
            return false;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            error = systemError("receiving from the mail server failed");
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

bool canReachMailServer(const MailServer& server, std::chrono::milliseconds timeout) {
    std::string error;
    return MailConnection::open(server, timeout, error).isOpen();
}

MailResult submitMessage(const MailServer& server, const std::string& sender, const std::string& recipient,
                         const std::string& message, std::chrono::milliseconds timeout) {
    MailResult result;
    MailConnection c = MailConnection::open(server, timeout, result.error);
    if (!c.isOpen()) return result;

    // One step of the conversation: send (unless empty), then expect a code.
    auto step = [&](const std::string& command, int expected, const char* what) {
        if (!command.empty() && !c.sendAll(command, timeout, result.error)) return false;
        SmtpReply reply;
        if (!c.readReply(reply, timeout, result.error)) return false;
        if (reply.code == 0) {
            result.error = std::string("the mail server's reply to ") + what + " is not valid: " + reply.text;
            return false;
        }
        if (reply.code != expected) {
            result.error = std::string("the mail server refused ") + what + ": " + reply.text;
            return false;
        }
        return true;
    };

    if (!step("", 220, "the connection")) return result;
    if (!step(std::string("HELO ") + kReporterName + "\r\n", 250, "the greeting")) return result;
    if (!step("MAIL FROM:<" + addressSafe(sender) + ">\r\n", 250, "the sender")) return result;
    if (!step("RCPT TO:<" + addressSafe(recipient) + ">\r\n", 250, "the recipient")) return result;
    if (!step("DATA\r\n", 354, "DATA")) return result;
    if (!step(smtpDataBlock(message), 250, "the message")) return result;
    // The message is delivered once the server accepted it; the goodbye is a courtesy.
    step("QUIT\r\n", 221, "QUIT");
    result.ok = true;
    result.error.clear();
    return result;
}

MailResult sendReportMail(const MailServer& server, const std::string& replyTo, const std::string& recipient,
                          const std::string& subject, const std::string& body, const std::string& attachmentPath,
                          std::chrono::milliseconds timeout) {
    MailResult result;
    ReportMail mail;
    if (!readTrustedFile(attachmentPath, mail.attachment, result.error)) return result;
    mail.sender = kReportSender;
    mail.recipient = recipient;
    mail.replyTo = replyTo;
    mail.subject = subject;
    mail.body = body;
    const auto slash = attachmentPath.find_last_of("/\\");
    mail.attachmentName = slash == std::string::npos ? attachmentPath : attachmentPath.substr(slash + 1);
    return submitMessage(server, kReportSender, recipient, composeReportMessage(mail), timeout);
}

MailResult submitReportFile(const MailServer& server, const std::string& replyTo, const std::string& subject,
                            const std::string& body, const std::string& attachmentPath,
                            std::chrono::milliseconds timeout) {
    MailResult result = sendReportMail(server, replyTo, kReportRecipient, subject, body, attachmentPath, timeout);
    if (result.ok) ::unlink(attachmentPath.c_str());
    return result;
}

}  // namespace report
