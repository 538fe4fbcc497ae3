// The reader of the plug-in scan helper's output, on arbitrary bytes cut
// into arbitrary pieces: the pieces give the same events as one chunk; the
// events written back as records read back as the same events, with no line
// ignored; no description holds more parameters than a record may announce;
// every field survives escaping; and nothing throws.
#include <exception>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "plugins/ScanProtocol.h"

namespace {
bool sameEvent(const ScanEvent& a, const ScanEvent& b) {
    return a.kind == b.kind && a.path == b.path && a.reason == b.reason && a.plugin == b.plugin;
}

std::string describe(const std::vector<ScanEvent>& a, const std::vector<ScanEvent>& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && sameEvent(a[i], b[i])) ++i;
    return std::to_string(a.size()) + " and " + std::to_string(b.size()) + " events, first difference at event " +
           std::to_string(i);
}

bool sameEvents(const std::vector<ScanEvent>& a, const std::vector<ScanEvent>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!sameEvent(a[i], b[i])) return false;
    return true;
}

std::string recordOf(const ScanEvent& e) {
    switch (e.kind) {
        case ScanEvent::Kind::Examining: return ScanProtocol::examiningRecord(e.path);
        case ScanEvent::Kind::Skipped: return ScanProtocol::skippedRecord(e.path, e.reason);
        case ScanEvent::Kind::Described: return ScanProtocol::describedRecord(e.plugin);
        case ScanEvent::Kind::Finished: return ScanProtocol::finishedRecord();
    }
    return {};
}

void check(const uint8_t* data, size_t size) {
    const fuzzsupport::Pieces cut = fuzzsupport::cutInput(data, size);
    const std::string_view text(reinterpret_cast<const char*>(cut.stream), cut.size);

    CScanRecordReader whole;
    const std::vector<ScanEvent> events = whole.feed(text);

    CScanRecordReader pieces;
    std::vector<ScanEvent> pieceEvents;
    for (const auto& [at, n] : cut.parts) {
        std::vector<ScanEvent> got = pieces.feed(text.substr(at, n));
        pieceEvents.insert(pieceEvents.end(), got.begin(), got.end());
    }
    FUZZ_CHECK(sameEvents(events, pieceEvents), "pieces read differently from one chunk: " + describe(events, pieceEvents));
    FUZZ_CHECK(pieces.ignoredLines() == whole.ignoredLines(), "pieces ignored a different number of lines");

    // Every event stands for complete lines of the output: one, or a
    // description's plugin line, one line per parameter and its end line.
    size_t linesUsed = 0;
    for (const ScanEvent& e : events) {
        // Unescaping never lengthens a field.
        FUZZ_CHECK(e.path.size() <= text.size() && e.reason.size() <= text.size(), "a field longer than the output");
        if (e.kind != ScanEvent::Kind::Described) {
            ++linesUsed;
            continue;
        }
        const auto& params = e.plugin.parameters;
        FUZZ_CHECK(params.size() <= static_cast<size_t>(ScanProtocol::kMaxParameters), "more parameters than a record may announce");
        FUZZ_CHECK(e.path == e.plugin.path, "a description's event path is not its plug-in's");
        linesUsed += params.size() + 2;
    }
    const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(linesUsed <= lines, std::to_string(linesUsed) + " lines' worth of events from " + std::to_string(lines) + " lines");

    // Written back, the events read back the same, every line a record.
    std::string written;
    for (const ScanEvent& e : events) written += recordOf(e);
    CScanRecordReader again;
    const std::vector<ScanEvent> reread = again.feed(written);
    FUZZ_CHECK(sameEvents(events, reread), "written events read back differently: " + describe(events, reread));
    FUZZ_CHECK(again.ignoredLines() == 0, "the reader ignored a line the writer wrote");

    // Any bytes survive escaping, and the escaped field holds no separator.
    const std::string field(text);
    const std::string escaped = ScanProtocol::escape(field);
    FUZZ_CHECK(escaped.find_first_of("\t\r\n") == std::string::npos, "an escaped field holds a separator");
    std::string back;
    FUZZ_CHECK(ScanProtocol::unescape(escaped, back) && back == field, "a field does not survive escaping");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        check(data, size);
    } catch (const std::exception& e) {
        fuzzsupport::fail(__FILE__, __LINE__, "no exception", e.what());
    }
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    ScannedPlugin p;
    p.path = "/usr/lib/vst/Tab\there.so";
    p.name = "Reverb \\ Hall";
    p.vendor = "Vendor \xc3\xa9";
    p.parameters = {{0, "Decay"}, {1, ""}, {7, "Ctl\x01\x7f"}};
    const std::string stream = ScanProtocol::examiningRecord("/a/One.so") + ScanProtocol::describedRecord(p) +
                               ScanProtocol::examiningRecord("/a/Two.so") +
                               ScanProtocol::skippedRecord("/a/Two.so", "crashed (signal 11)") +
                               ScanProtocol::finishedRecord();
    auto bytes = [](uint8_t cuts, std::vector<uint8_t> lengths, const std::string& s) {
        std::vector<uint8_t> out{cuts};
        out.insert(out.end(), lengths.begin(), lengths.end());
        out.insert(out.end(), s.begin(), s.end());
        return out;
    };
    return {
        bytes(0, {}, stream),
        bytes(3, {5, 40, 1}, stream),
        bytes(2, {9, 0}, "plugin\t/x.so\tX\tY\t2\r\nparam\t0\ta\r\nend\r\nparam\t1\tb\nend\nfinished"),
        bytes(1, {12}, "plugin\t/x.so\tX\tY\t1\nplugin\t/y.so\tZ\t\\q\t0\nskipped\t\\x4\tno\nexamining\t\\x41\n"),
    };
}
