// The mail server's replies as the submission reads them.
#include <gtest/gtest.h>

#include "report/MailExchange.h"

using namespace report;

namespace {

struct ReplyCase {
    const char* data;
    size_t taken;  // bytes the first reply takes; 0 while incomplete
    int code;      // 0: malformed
    std::vector<std::string> lines;
};

TEST(SmtpReply, CodesLinesAndWhereTheReplyEnds) {
    const ReplyCase cases[] = {
        {"220 ready\r\n", 11, 220, {"ready"}},
        {"250\r\n", 5, 250, {""}},
        {"250-one\r\n250-two\n250 three\r\nQUIT", 28, 250, {"one", "two", "three"}},
        {"250-one\r\n250 two\r\n354 next\r\n", 18, 250, {"one", "two"}},
        // Still waiting for the last line.
        {"250-one\r\n250 tw", 0, 0, {}},
        {"220 ready", 0, 0, {}},
        {"", 0, 0, {}},
        // Continuation lines of another code: a refusal must not pass as the last line's code.
        {"554-no\r\n250 ok\r\n", 16, 0, {}},
        {"250-ok\r\n554 no\r\n", 16, 0, {}},
        // No code, a code of two digits, a code that no reply has, a fourth digit.
        {"hello\r\n", 7, 0, {}},
        {"25 ok\r\n", 7, 0, {}},
        {"650 ok\r\n", 8, 0, {}},
        {"2500 ok\r\n", 9, 0, {}},
        {"250-ok\r\nmore\r\n", 14, 0, {}},
    };
    for (const ReplyCase& c : cases) {
        SmtpReply reply;
        EXPECT_EQ(parseSmtpReply(c.data, reply), c.taken) << c.data;
        if (c.taken == 0) continue;
        EXPECT_EQ(reply.code, c.code) << c.data;
        EXPECT_EQ(reply.lines, c.lines) << c.data;
    }
}

TEST(SmtpReply, TextOfAMalformedReplyIsKeptForTheMessage) {
    SmtpReply reply;
    ASSERT_EQ(parseSmtpReply("554-no\r\n250 ok\r\n", reply), 16u);
    EXPECT_EQ(reply.text, "554-no\n250 ok");
}

TEST(SmtpReply, FormattedRepliesReadBack) {
    const std::vector<std::vector<std::string>> replies = {{"ready"}, {"a", "SIZE 100", ""}, {""}};
    for (const auto& lines : replies) {
        const std::string wire = formatSmtpReply(250, lines);
        SmtpReply reply;
        ASSERT_EQ(parseSmtpReply(wire, reply), wire.size()) << wire;
        EXPECT_EQ(reply.code, 250);
        EXPECT_EQ(reply.lines, lines);
    }
}

}  // namespace
