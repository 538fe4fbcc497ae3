// The scan helper's record format: what is written reads back exactly, and
// what is not a complete record never becomes a plug-in.
#include <gtest/gtest.h>

#include "plugins/ScanProtocol.h"

namespace {

ScannedPlugin samplePlugin() {
    ScannedPlugin p;
    p.path = "/plug ins/Tab\there.so";
    p.name = "Name with \\ and\nbreak";
    p.vendor = "Vendor \xc3\xa9";  // UTF-8 passes unchanged
    p.parameters = {{0, "Filter Cutoff"}, {1, ""}, {7, "Ctl\x01\x7f"}};
    return p;
}

std::string sampleStream() {
    return ScanProtocol::examiningRecord("/a/One.so") + ScanProtocol::describedRecord(samplePlugin()) +
           ScanProtocol::examiningRecord("/a/Two.so") + ScanProtocol::skippedRecord("/a/Two.so", "crashed (x)") +
           ScanProtocol::finishedRecord();
}

TEST(ScanProtocol, EscapedFieldsReadBackExactly) {
    const std::string cases[] = {"", "plain", "tab\there", "line\nbreak\r", "back\\slash\\", "\\t not a tab",
                                 std::string("nul\0byte", 8), "\x1f\x7f\x80\xff", "\\x4"};
    for (const std::string& c : cases) {
        const std::string e = ScanProtocol::escape(c);
        EXPECT_EQ(e.find_first_of("\t\n\r"), std::string::npos) << e;
        std::string back;
        ASSERT_TRUE(ScanProtocol::unescape(e, back)) << e;
        EXPECT_EQ(back, c);
    }
}

TEST(ScanProtocol, BrokenEscapesAreRefused) {
    std::string out;
    for (const char* bad : {"\\", "end\\", "\\q", "\\x", "\\x4", "\\xg0", "\\x0g"})
        EXPECT_FALSE(ScanProtocol::unescape(bad, out)) << bad;
}

TEST(ScanProtocol, StreamReadsBackInAnyPieces) {
    const std::string stream = sampleStream();
    const std::vector<ScanEvent> whole = parseScanOutput(stream);
    ASSERT_EQ(whole.size(), 5u);
    EXPECT_EQ(whole[0].kind, ScanEvent::Kind::Examining);
    EXPECT_EQ(whole[0].path, "/a/One.so");
    EXPECT_EQ(whole[1].kind, ScanEvent::Kind::Described);
    EXPECT_EQ(whole[1].plugin, samplePlugin());
    EXPECT_EQ(whole[3].kind, ScanEvent::Kind::Skipped);
    EXPECT_EQ(whole[3].reason, "crashed (x)");
    EXPECT_EQ(whole[4].kind, ScanEvent::Kind::Finished);

    // Pipes deliver arbitrary pieces: byte by byte and in uneven chunks give the same.
    for (size_t step : {size_t{1}, size_t{3}, size_t{17}}) {
        CScanRecordReader reader;
        std::vector<ScanEvent> got;
        for (size_t i = 0; i < stream.size(); i += step)
            for (ScanEvent& e : reader.feed(std::string_view(stream).substr(i, step))) got.push_back(std::move(e));
        ASSERT_EQ(got.size(), whole.size()) << step;
        EXPECT_EQ(got[1].plugin, samplePlugin()) << step;
        EXPECT_EQ(reader.ignoredLines(), 0u);
    }
}

TEST(ScanProtocol, IncompleteOrForeignRecordsNeverBecomePlugins) {
    const std::string one = ScanProtocol::describedRecord(samplePlugin());
    const std::string withoutEnd = one.substr(0, one.rfind("end\n"));
    struct Case {
        const char* what;
        std::string stream;
    } cases[] = {
        {"no end line, then another record", withoutEnd + ScanProtocol::examiningRecord("/x.so")},
        {"cut off before the end", withoutEnd},
        {"fewer parameters than announced", "plugin\t/p.so\tN\tV\t2\nparam\t0\tA\nend\n"},
        {"more parameters than announced", "plugin\t/p.so\tN\tV\t1\nparam\t0\tA\nparam\t1\tB\nend\n"},
        {"negative count", "plugin\t/p.so\tN\tV\t-1\nend\n"},
        {"count too large", "plugin\t/p.so\tN\tV\t100001\nend\n"},
        {"count not a number", "plugin\t/p.so\tN\tV\t1x\nparam\t0\tA\nend\n"},
        {"index not a number", "plugin\t/p.so\tN\tV\t1\nparam\tz\tA\nend\n"},
        {"missing field", "plugin\t/p.so\tN\t1\nparam\t0\tA\nend\n"},
        {"broken escape", "plugin\t/p.so\tN\\\tV\t0\nend\n"},
        {"params without a plugin line", "param\t0\tA\nend\n"},
        {"noise", "Hello from a plug-in!\n\n\t\t\n"},
    };
    for (const Case& c : cases) {
        CScanRecordReader reader;
        for (const ScanEvent& e : reader.feed(c.stream)) EXPECT_NE(e.kind, ScanEvent::Kind::Described) << c.what;
        EXPECT_GT(reader.ignoredLines() + (c.stream == withoutEnd ? 1u : 0u), 0u) << c.what;
    }
}

TEST(ScanProtocol, OverlongLinesAreDroppedAndReadingGoesOn) {
    CScanRecordReader reader;
    std::string huge(ScanProtocol::kMaxLineLength + 10, 'x');
    EXPECT_TRUE(reader.feed(huge.substr(0, 1000)).empty());
    EXPECT_TRUE(reader.feed(huge).empty());
    const std::vector<ScanEvent> after = reader.feed("tail\n" + ScanProtocol::examiningRecord("/ok.so"));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].path, "/ok.so");
    EXPECT_EQ(reader.ignoredLines(), 1u);
}

}  // namespace
