#include <gtest/gtest.h>

#include "model/OsVersion.h"
#include "model/SysExText.h"

TEST(SysExText, ParsesValidMessages) {
    SysExMessage m;
    std::string status;
    ASSERT_TRUE(parseMessageText("00 11 DV 7F", m, status));
    EXPECT_EQ(status, "Messsage OK!");
    EXPECT_EQ(m.endPosition, 5);
    EXPECT_EQ(m.dataPosition, 3);
    EXPECT_EQ(m.bytes[0], 0x00);
    EXPECT_EQ(m.bytes[1], 0x11);
    EXPECT_EQ(m.bytes[2], 0x7F);
    EXPECT_EQ(m.bytes[3], 0x7F);
    EXPECT_EQ(formatMessageText(m), "00 11 DV 7F ");

    SysExMessage lower;
    ASSERT_TRUE(parseMessageText("0a dv", lower, status));
    SysExMessage upper;
    ASSERT_TRUE(parseMessageText("0A DV ", upper, status));
    EXPECT_EQ(lower, upper);
    EXPECT_EQ(lower.bytes[0], 0x0A);
    EXPECT_EQ(lower.dataPosition, 2);

    SysExMessage twelve;
    ASSERT_TRUE(parseMessageText("01 02 03 04 05 06 07 08 09 0A 0B 0C", twelve, status));
    EXPECT_EQ(twelve.endPosition, 13);
}

TEST(SysExText, RejectsBadTextWithItsStatus) {
    struct Case {
        const char* text;
        const char* status;
    };
    const Case cases[] = {
        {"F0 01", "Messsage contains a value greater than 127 (0x7F)"},
        {"1", "Message is too short"},
        {"", "Message is too short"},
        {"01 2", "Message contains an incomplete byte (pad with zeros)"},
        {" 01", "Message contains an incomplete byte (pad with zeros)"},
        {"01 0 ", "Message contains an incomplete byte (pad with zeros)"},
        {"01,02", "Message is not properly space delimited"},
        {"0G", "Message contains non-hex characters (use 0-9, A-F)"},
        {"G0", "Message contains non-hex characters (use 0-9, A-F)"},
        {"DV DV", "Message contains more than one data position (DV)"},
        {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D", "Message is too long"},
        {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0", "Message is too long"},
    };
    for (const auto& c : cases) {
        SysExMessage m;
        std::string status;
        EXPECT_FALSE(parseMessageText(c.text, m, status)) << c.text;
        EXPECT_EQ(status, c.status) << c.text;
    }
}

TEST(SysExText, ValidateRecord) {
    std::string status;
    SysExMessage m;
    m.endPosition = 14;
    EXPECT_FALSE(validateMessage(m, status));
    EXPECT_EQ(status, "Message too long");
    m.endPosition = 2;
    m.dataPosition = 5;
    EXPECT_FALSE(validateMessage(m, status));
    EXPECT_EQ(status, "Value appears after message end (FO)");
    m.dataPosition = 0;
    m.bytes[11] = 0x80;
    EXPECT_FALSE(validateMessage(m, status));
    m.bytes[11] = 0;
    EXPECT_TRUE(validateMessage(m, status));
}

TEST(SysExText, EmptyRecordFormatsEmpty) { EXPECT_EQ(formatMessageText(SysExMessage{}), ""); }

TEST(OsVersionText, FromBytesAndOrdering) {
    const OsVersion v = osVersionFromBytes(0x08, 0x0A);
    EXPECT_EQ(versionText(v), "1.0.10");
    EXPECT_EQ(versionText(osVersionFromBytes(0x11, 0x02)), "2.1.02");
    EXPECT_TRUE(versionLess(v, {1, 1, 2}));
    EXPECT_TRUE(versionLess({1, 1, 2}, {2, 0, 0}));
    EXPECT_FALSE(versionLess({2, 0, 0}, {2, 0, 0}));
    EXPECT_TRUE(versionEqual(v, {1, 0, 10}));
    EXPECT_FALSE(versionEqual(v, {1, 0, 11}));
}

TEST(SysExText, ParsingIntoALongerMessageClearsItsOldBytes) {
    SysExMessage m;
    for (auto& b : m.bytes) b = 0x90;  // as a dump may have left them
    m.endPosition = 13;
    std::string status;
    ASSERT_TRUE(parseMessageText("01 02", m, status)) << status;
    EXPECT_EQ(status, "Messsage OK!");
    EXPECT_EQ(m.endPosition, 3);
    for (size_t i = 2; i < m.bytes.size(); ++i) EXPECT_EQ(m.bytes[i], 0) << i;
    EXPECT_EQ(formatMessageText(m), "01 02 ");

    SysExMessage fresh;
    ASSERT_TRUE(parseMessageText("01 02", fresh, status));
    EXPECT_EQ(m, SysExMessage(fresh));
}
