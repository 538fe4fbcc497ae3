// The ".blk" reader on arbitrary file content:
// - each message read lies inside the file, where the reader says it ends,
//   and no message is longer than the longest one taken;
// - a load that fails leaves the dump as it was; one that succeeds took 40
//   messages one after the other and gives 40 clean dumps of the unit's size,
//   each written as the file holds it (location and bulk flag included);
// - what a loaded dump writes reads back as the same entries (read, write,
//   read gives the same file).
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "model/BulkDump.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

using fuzzsupport::firstDifference;

namespace {
using fuzzsupport::MemoryFile;
using Dump = CBulkDump<CTaNGRAQVTemplate, 40>;
using SmallDump = CBulkDump<CTaNGRAQVTemplate, 3>;

struct Quiet {
    CollectingNoticeSink notices;
    ScopedModelHooks scope{hooksWith(&notices)};
    static ModelHooks hooksWith(INoticeSink* sink) {
        ModelHooks h = ModelHooks::get();
        h.notices = sink;
        h.dataErrors = nullptr;
        return h;
    }
};

// A dump whose entries differ from anything a file gives, to see a failed load change nothing.
template <class D>
void fillDistinct(D& d) {
    for (int i = 0; i < d.GetCount(); i += 7) {
        CTaNGRAQVTemplate t;
        t.setTemplateName("Kept " + std::to_string(i));
        d.SetEntry(t, i);
    }
}

// Loads the file into a dump of type D and checks the loaded dump.
template <class D>
void checkLoad(const std::string& path, const std::vector<ByteSequence>& messages) {
    const auto complete = static_cast<int>(messages.size());
    D dump;
    fillDistinct(dump);
    const ByteSequence untouched = dump.FileBytes();
    std::string error;
    const bool loaded = dump.LoadFromFile(path, error);
    if (!loaded) {
        FUZZ_CHECK(!error.empty(), "a failed load without a reason");
        FUZZ_CHECK(dump.FileBytes() == untouched, "a failed load changed the dump: " + firstDifference(untouched, dump.FileBytes()));
        return;
    }
    FUZZ_CHECK(error.empty(), "a load that succeeded kept a reason: " + error);
    FUZZ_CHECK(complete >= dump.GetCount(), "loaded " + std::to_string(dump.GetCount()) + " entries from " + std::to_string(complete) + " valid messages in a row");
    const ByteSequence written = dump.FileBytes();
    const size_t entrySize = static_cast<size_t>(CTaNGRAQVTemplate::kDumpSize);
    FUZZ_CHECK(written.size() == static_cast<size_t>(dump.GetCount()) * entrySize, "wrong file size " + std::to_string(written.size()));
    for (int i = 0; i < dump.GetCount(); ++i) {
        const ByteSequence entry(std::vector<uint8_t>(written.begin() + static_cast<long>(i * entrySize),
                                                      written.begin() + static_cast<long>((i + 1) * entrySize)));
        FUZZ_CHECK(fuzzsupport::isCleanSysEx(entry), "entry " + std::to_string(i) + " is not a clean SysEx message");
        FUZZ_CHECK(entry == dump.GetEntry(i).save(), "entry " + std::to_string(i) + " is not where it belongs");
        // A loaded entry is written as the file holds it: its location
        // (byte 12) and bulk flag (byte 7) are the file's, whatever they are.
        const ByteSequence& read = messages[static_cast<size_t>(i)];
        FUZZ_CHECK(entry[12] == read[12] && entry[7] == read[7],
                   "entry " + std::to_string(i) + " changed its location or bulk flag");
    }

    static MemoryFile rewritten("tqv-fuzz-blk-again");
    rewritten.set(written.data(), written.size());
    D again;
    FUZZ_CHECK(again.LoadFromFile(rewritten.path, error), "the written file does not load: " + error);
    const ByteSequence reread = again.FileBytes();
    FUZZ_CHECK(reread == written, "read, write, read changed the entries: " + firstDifference(written, reread));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file("tqv-fuzz-blk");
    file.set(data, size);
    Quiet quiet;

    // The messages one after the other, as the loader takes them.
    size_t offset = 0;
    std::vector<ByteSequence> inRowMessages;  // the valid messages read in a row from the start
    bool inRow = true;
    for (int n = 0; n < 48; ++n) {
        ByteSequence bytes;
        size_t next = offset;
        std::string error;
        const bool ok = readBulkMessage(file.path, offset, bytes, next, error);
        FUZZ_CHECK(error.empty(), "a readable file reported: " + error);
        FUZZ_CHECK(bytes.size() <= kMaxSysExMessageSize, "a message longer than the longest taken");
        if (ok) FUZZ_CHECK(isValidSysExMessage(bytes), "an invalid message read as valid");
        if (inRow && ok) inRowMessages.push_back(bytes);
        inRow = inRow && ok;
        if (next == offset) {
            FUZZ_CHECK(!ok, "a valid message without an end");
            break;
        }
        FUZZ_CHECK(next > offset && next <= size, "the reader's next offset " + std::to_string(next) + " lies outside the file");
        FUZZ_CHECK(bytes.size() <= next - offset, "a message longer than the bytes read");
        const size_t start = next - bytes.size();
        FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), data + start), "a message that is not the file's bytes");
        // Only bytes other than 0xF0 are skipped before a message.
        FUZZ_CHECK(std::find(data + offset, data + start, 0xF0) == data + start, "a message read from behind its start");
        offset = next;
    }

    // A dump of the unit's 40 entries needs a file of 160 KB, too large to
    // fuzz quickly; the same reader with 3 entries takes any input, and the
    // 40-entry dump any input large enough to fill it.
    checkLoad<SmallDump>(file.path, inRowMessages);
    if (size >= 40 * static_cast<size_t>(CTaNGRAQVTemplate::kDumpSize)) checkLoad<Dump>(file.path, inRowMessages);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    Dump dump;
    for (int i = 0; i < dump.GetCount(); ++i) {
        CTaNGRAQVTemplate t;
        t.setTemplateName("Tpl " + std::to_string(i + 1));
        dump.SetEntry(t, i);
    }
    const std::vector<uint8_t> file = dump.FileBytes().vector();
    // Bytes between the entries, which the loader skips.
    std::vector<uint8_t> spaced;
    const size_t entrySize = static_cast<size_t>(CTaNGRAQVTemplate::kDumpSize);
    for (size_t i = 0; i < file.size(); i += entrySize) {
        spaced.insert(spaced.end(), {0x00, 0x7F, 0xF7});
        spaced.insert(spaced.end(), file.begin() + static_cast<long>(i), file.begin() + static_cast<long>(i + entrySize));
    }
    const size_t small = 3 * entrySize;
    return {
        // The 40-entry files (for the replay), then the 3-entry ones the fuzzer works on.
        file,
        spaced,
        std::vector<uint8_t>(file.begin(), file.begin() + static_cast<long>(small)),
        std::vector<uint8_t>(spaced.begin(), spaced.begin() + static_cast<long>(small + 9)),
        std::vector<uint8_t>(file.begin(), file.end() - 1),  // the last entry cut short
        std::vector<uint8_t>(file.begin(), file.begin() + static_cast<long>(entrySize * 2 + 10)),
        {0x01, 0xF0, 0x00, 0x20, 0x29, 0x02, 0x7F, 0xF7, 0xF0, 0x01},
    };
}
