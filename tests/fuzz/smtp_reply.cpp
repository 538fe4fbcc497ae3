// The mail server's replies on arbitrary bytes cut into arbitrary pieces:
// replies read as they arrive (as the submission reads them) are the replies
// of the whole stream; each ends at a line feed inside the data; a reply
// either has a code from 100 to 599 and at least one line, or is malformed;
// a well-formed reply written again reads back the same.
#include <algorithm>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "report/MailExchange.h"

using report::SmtpReply;

namespace {
bool same(const SmtpReply& a, const SmtpReply& b) { return a.code == b.code && a.lines == b.lines && a.text == b.text; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzsupport::Pieces cut = fuzzsupport::cutInput(data, size);
    const std::string_view stream(reinterpret_cast<const char*>(cut.stream), cut.size);

    // Every reply of the whole stream.
    std::vector<SmtpReply> replies;
    for (size_t at = 0;;) {
        SmtpReply reply;
        const size_t taken = report::parseSmtpReply(stream.substr(at), reply);
        FUZZ_CHECK(taken <= stream.size() - at, "a reply longer than the data");
        if (taken == 0) {
            // Only continuation lines ("250-...") may be waiting for the reply's last line.
            for (size_t from = at, lf; (lf = stream.find('\n', from)) != std::string_view::npos; from = lf + 1)
                FUZZ_CHECK(lf - from >= 4 && stream[from + 3] == '-', "a complete reply was not taken");
            break;
        }
        FUZZ_CHECK(stream[at + taken - 1] == '\n', "a reply that does not end at a line feed");
        const std::string_view raw = stream.substr(at, taken);
        const auto rawLines = static_cast<size_t>(std::count(raw.begin(), raw.end(), '\n'));
        FUZZ_CHECK(static_cast<size_t>(std::count(reply.text.begin(), reply.text.end(), '\n')) + 1 == rawLines,
                   "the reply's text lost or invented a line");
        if (reply.code == 0) {
            FUZZ_CHECK(reply.lines.empty(), "a malformed reply with lines");
        } else {
            FUZZ_CHECK(reply.code >= 100 && reply.code <= 599, "code " + std::to_string(reply.code));
            FUZZ_CHECK(reply.lines.size() == rawLines, "a well-formed reply lost a line");
            // Every line starts with the code.
            const std::string code = std::to_string(reply.code);
            for (size_t from = 0; from < raw.size(); from = raw.find('\n', from) + 1)
                FUZZ_CHECK(raw.substr(from, 3) == code, "a line of another code in reply " + code);
            const std::string wire = report::formatSmtpReply(reply.code, reply.lines);
            SmtpReply again;
            FUZZ_CHECK(report::parseSmtpReply(wire, again) == wire.size(), "a written reply does not read as one reply");
            FUZZ_CHECK(again.code == reply.code && again.lines == reply.lines, "a written reply reads back differently");
        }
        replies.push_back(reply);
        at += taken;
    }

    // The same replies, taken as the pieces arrive.
    std::string pending;
    size_t next = 0;
    for (const auto& [at, n] : cut.parts) {
        pending.append(stream.substr(at, n));
        for (;;) {
            SmtpReply reply;
            const size_t taken = report::parseSmtpReply(pending, reply);
            if (taken == 0) break;
            FUZZ_CHECK(next < replies.size(), "pieces gave more replies than the whole stream");
            FUZZ_CHECK(same(reply, replies[next]), "reply " + std::to_string(next) + " differs when read in pieces");
            ++next;
            pending.erase(0, taken);
        }
    }
    FUZZ_CHECK(next == replies.size(), "pieces gave fewer replies than the whole stream");
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    auto bytes = [](uint8_t cuts, std::vector<uint8_t> lengths, const std::string& s) {
        std::vector<uint8_t> out{cuts};
        out.insert(out.end(), lengths.begin(), lengths.end());
        out.insert(out.end(), s.begin(), s.end());
        return out;
    };
    return {
        bytes(0, {}, "220 fake ready\r\n"),
        bytes(2, {3, 10}, "250-fake.example\r\n250-SIZE 1000000\r\n250 HELP\r\n354 go on\r\n"),
        bytes(1, {7}, "554-no\r\n250 ok\r\nhello\n250\r\n221 bye"),
        bytes(3, {0, 1, 2}, "2500 x\r\n25\n650-a\n650 b\n"),
    };
}
