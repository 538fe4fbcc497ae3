// The SysEx message text of a control: text that parses formats to text that
// parses to the same record and formats the same again; parsing into a record
// that held another message gives what parsing into a fresh one gives.
#include <string>

#include "FuzzSupport.h"
#include "model/SysExText.h"

namespace {
std::string describe(const SysExMessage& m) {
    std::string text = "end " + std::to_string(m.endPosition) + " data " + std::to_string(m.dataPosition) + " bytes";
    for (uint8_t b : m.bytes) text += " " + std::to_string(b);
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SysExMessage fresh;
    std::string status;
    const bool ok = parseMessageText(text, fresh, status);
    FUZZ_CHECK(!status.empty(), "no status text");

    // The record of a control that already sent a full-length message.
    SysExMessage used;
    std::string usedStatus;
    FUZZ_CHECK(parseMessageText("10 11 12 13 14 15 16 17 18 19 1A DV", used, usedStatus), usedStatus);
    const bool okIntoUsed = parseMessageText(text, used, usedStatus);
    FUZZ_CHECK(okIntoUsed == ok, "parsing into a used record answers differently: " + usedStatus + " / " + status);
    FUZZ_CHECK(usedStatus == status, "parsing into a used record gives another status: " + usedStatus);
    if (!ok) return 0;
    FUZZ_CHECK(used == fresh, "parsing into a used record leaves other bytes: " + describe(used) + " vs " + describe(fresh));
    FUZZ_CHECK(fresh.endPosition >= 1 && fresh.endPosition <= SysExMessage::kMaxBytes + 1, "end position out of range");
    FUZZ_CHECK(fresh.dataPosition < fresh.endPosition, "data position beyond the message");

    const std::string formatted = formatMessageText(fresh);
    SysExMessage again;
    std::string againStatus;
    FUZZ_CHECK(parseMessageText(formatted, again, againStatus), "formatted text '" + formatted + "' does not parse: " + againStatus);
    FUZZ_CHECK(again == fresh, "formatted text '" + formatted + "' parses to another record: " + describe(again));
    FUZZ_CHECK(formatMessageText(again) == formatted, "formatting is not stable for '" + formatted + "'");
    return 0;
}

std::vector<std::vector<uint8_t>> fuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    for (const char* text : {"F0 01 DV 7F", "00 11 DV 7F ", "0a dv", "10 11 12 13 14 15 16 17 18 19 1A 1B", "7F", "DV"})
        seeds.emplace_back(text, text + std::char_traits<char>::length(text));
    return seeds;
}
