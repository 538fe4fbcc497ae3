#pragma once
// A bulk dump: all the templates a unit keeps, exchanged one dump after the
// other and stored on disk as one ".blk" file (the dumps back to back).
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ByteSequence.h"
#include "EditorTemplate.h"

class IBulkDump {
public:
    virtual ~IBulkDump() = default;
    virtual void ResetEntries() = 0;
    virtual int GetCount() const = 0;
    // The entry at `index` takes the contents of `source`, keeps location =
    // index and the bulk flag.
    virtual void SetEntry(const CEditorTemplate& source, int index) = 0;
    virtual CEditorTemplate& GetEntry(int index) = 0;
    virtual const CEditorTemplate& GetEntry(int index) const = 0;
    virtual void ClearEntry(int index) = 0;
    virtual void SwapEntries(int index, int otherIndex) = 0;
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    virtual bool HasContents() const = 0;
    virtual void SetHasContents(bool hasContents) = 0;
    // Reads the first SysEx message at or after `offset` in the file into the
    // entry; on success `offset` moves past that message.
    virtual bool ReadEntry(int index, const std::string& path, size_t& offset) = 0;

    // A new empty template of the entries' kind.
    virtual std::unique_ptr<CEditorTemplate> CreateEntryTemplate() const = 0;
    // Loads every entry from a ".blk" file. The entries change only when the
    // file holds a complete dump; otherwise the dump is left as it was and
    // `error` says why.
    virtual bool LoadFromFile(const std::string& path, std::string& error) = 0;
    // The ".blk" bytes: every entry's dump, in entry order.
    virtual ByteSequence FileBytes() const = 0;
    // Writes the whole file at once (temporary file, then rename) and clears
    // the modified flag on success.
    bool SaveToFile(const std::string& path, std::string& error);
};

template <class TTemplate, int N>
class CBulkDump : public IBulkDump {
public:
    CBulkDump() { ResetEntries(); }

    void ResetEntries() override {
        for (int i = 0; i < N; ++i) resetEntry(i);
    }
    int GetCount() const override { return N; }
    void SetEntry(const CEditorTemplate& source, int index) override {
        TTemplate& entry = at(index);
        entry.assignFrom(source);
        place(entry, index);
        modified = true;
    }
    CEditorTemplate& GetEntry(int index) override { return at(index); }
    const CEditorTemplate& GetEntry(int index) const override { return entries[static_cast<size_t>(index)]; }
    void ClearEntry(int index) override {
        resetEntry(index);
        modified = true;
    }
    void SwapEntries(int index, int otherIndex) override {
        if (index == otherIndex) return;
        TTemplate saved;
        saved.assignFrom(at(index));
        SetEntry(at(otherIndex), index);
        SetEntry(saved, otherIndex);
    }
    bool IsModified() const override { return modified; }
    void SetModified(bool m) override { modified = m; }
    bool HasContents() const override { return hasContents; }
    void SetHasContents(bool c) override { hasContents = c; }
    bool ReadEntry(int index, const std::string& path, size_t& offset) override {
        return readEntryInto(at(index), path, offset);
    }
    std::unique_ptr<CEditorTemplate> CreateEntryTemplate() const override { return std::make_unique<TTemplate>(); }

    bool LoadFromFile(const std::string& path, std::string& error) override {
        // Read into a separate set first, so that a short or broken file
        // leaves the dump exactly as it was.
        auto fresh = std::make_unique<std::array<TTemplate, N>>();
        size_t offset = 0;
        for (int i = 0; i < N; ++i) {
            if (!readEntryInto((*fresh)[static_cast<size_t>(i)], path, offset, &error)) {
                if (error.empty()) error = "entry " + std::to_string(i + 1) + " is missing or not a valid template";
                return false;
            }
        }
        for (int i = 0; i < N; ++i) {
            TTemplate& entry = at(i);
            entry.assignFrom((*fresh)[static_cast<size_t>(i)]);
            entry.fromFile = false;
        }
        hasContents = true;
        modified = false;
        error.clear();
        return true;
    }

    ByteSequence FileBytes() const override {
        ByteSequence out;
        out.reserve(static_cast<size_t>(N) * static_cast<size_t>(entries[0].dumpSize()));
        for (const auto& e : entries) {
            const ByteSequence bytes = e.save();
            for (uint8_t b : bytes) out.appendRaw(b);
        }
        return out;
    }

private:
    TTemplate& at(int index) { return entries[static_cast<size_t>(index)]; }

    static void place(TTemplate& entry, int index) {
        entry.setLocation(index);
        entry.setBulkFlag(true);
    }

    // An empty template, with nothing kept from what the entry held before.
    void resetEntry(int index) {
        TTemplate& entry = at(index);
        entry.reset();
        entry.forgetLoadedDump();
        entry.importedControls.clear();
        entry.fromFile = false;
        place(entry, index);
    }

    static bool readEntryInto(TTemplate& entry, const std::string& path, size_t& offset, std::string* error = nullptr);

    std::array<TTemplate, N> entries;
    bool modified = false;
    bool hasContents = false;
};

// Reads one SysEx message at or after `offset`; `next` is the offset just past it.
bool readBulkMessage(const std::string& path, size_t offset, ByteSequence& bytes, size_t& next, std::string& fileError);

template <class TTemplate, int N>
bool CBulkDump<TTemplate, N>::readEntryInto(TTemplate& entry, const std::string& path, size_t& offset,
                                            std::string* error) {
    ByteSequence bytes;
    size_t next = offset;
    std::string fileError;
    const bool ok = readBulkMessage(path, offset, bytes, next, fileError);
    if (error) *error = fileError;
    if (!ok) return false;
    size_t position = 0;
    if (!entry.load(bytes, position)) return false;
    offset = next;
    return true;
}

// The name "Extract all" gives entry `index` (0-based): "01 - " and the
// entry's suggested file name, with every character that cannot stand in a
// file name replaced by a blank, so that the file stays in the chosen folder.
std::string extractFileName(int index, const CEditorTemplate& entry);
// Joins folder and file name with the platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);

struct ExtractFailure {
    std::string path;
    std::string error;
};
// Writes every entry as a single template (bulk flag cleared) into `folder`;
// a failed entry is reported and the next one tried. The entries keep their
// bulk flag afterwards.
std::vector<ExtractFailure> extractAllEntries(IBulkDump& dump, const std::string& folder,
                                              std::vector<std::string>* written = nullptr);

// Writes one entry as a single template file (bulk flag cleared while writing).
bool saveEntryAsTemplate(IBulkDump& dump, int index, const std::string& path, std::string& error);

// The ".blk" file name the save chooser's answer stands for: trailing blanks
// removed, ".blk" appended when the name does not contain it.
std::string bulkFileNameFor(const std::string& chosen);

// Replaces the entry at `index` with the template in a ".syx" file.
enum class ReplaceResult { Ok, Unreadable, NotATemplate };
ReplaceResult replaceEntryFromFile(IBulkDump& dump, int index, const std::string& path);
