#include "BulkDump.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "TemplateFile.h"

namespace fs = std::filesystem;

bool IBulkDump::SaveToFile(const std::string& path, std::string& error) {
    // One write of the whole file: a failure half-way leaves the old file intact.
    if (!writeBytesToFile(path, FileBytes(), false, error)) return false;
    SetModified(false);
    return true;
}

bool readBulkMessage(const std::string& path, size_t offset, ByteSequence& bytes, size_t& next,
                     std::string& fileError) {
    // The same reader as for single templates: it refuses what is not a
    // regular file and stops a message that never ends at the longest one
    // taken, so that a broken ".blk" file costs bounded memory and time.
    return readMessageAt(path, offset, bytes, next, fileError);
}

namespace {
bool forbiddenInFileName(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    // Separators are refused everywhere, so that a name never names another folder.
    if (c == '/' || c == '\\') return true;
#ifdef _WIN32
    switch (c) {
        case '<': case '>': case ':': case '"': case '|': case '?': case '*': return true;
        default: break;
    }
#endif
    return false;
}

std::string trimTrailing(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}
}  // namespace

std::string extractFileName(int index, const CEditorTemplate& entry) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%2.2d - ", index + 1);
    // A template opened from a file suggests its own path; only its last part is a name.
    std::string suggested = entry.suggestedFileName();
    if (entry.fromFile) suggested = fs::path(suggested).filename().string();
    std::string name = prefix + suggested;
    for (char& c : name)
        if (forbiddenInFileName(static_cast<unsigned char>(c))) c = ' ';
    name = trimTrailing(name);
    if (name.find(".syx") == std::string::npos) name += ".syx";
    return name;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / fs::path(name)).string();
}

bool saveEntryAsTemplate(IBulkDump& dump, int index, const std::string& path, std::string& error) {
    CEditorTemplate& entry = dump.GetEntry(index);
    entry.setBulkFlag(false);
    const bool ok = writeBytesToFile(path, entry.save(), false, error);
    entry.setBulkFlag(true);
    return ok;
}

std::vector<ExtractFailure> extractAllEntries(IBulkDump& dump, const std::string& folder,
                                              std::vector<std::string>* written) {
    std::vector<ExtractFailure> failures;
    for (int i = 0; i < dump.GetCount(); ++i) {
        const std::string path = joinPath(folder, extractFileName(i, dump.GetEntry(i)));
        std::string error;
        if (saveEntryAsTemplate(dump, i, path, error)) {
            if (written) written->push_back(path);
        } else {
            failures.push_back({path, error});
        }
    }
    return failures;
}

std::string bulkFileNameFor(const std::string& chosen) {
    std::string name = trimTrailing(chosen);
    if (name.find(".blk") == std::string::npos) name += ".blk";
    return name;
}

ReplaceResult replaceEntryFromFile(IBulkDump& dump, int index, const std::string& path) {
    ByteSequence bytes;
    std::string fileError;
    const bool valid = readMessageFromFile(path, bytes, 0, fileError);
    if (!fileError.empty()) return ReplaceResult::Unreadable;
    auto tpl = dump.CreateEntryTemplate();
    size_t position = 0;
    if (!valid || !tpl->load(bytes, position)) return ReplaceResult::NotATemplate;
    dump.SetEntry(*tpl, index);
    return ReplaceResult::Ok;
}
