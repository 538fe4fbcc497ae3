#pragma once
// One device's template as the editor holds it: controls, settings, imported
// controls, undo history, and the bytes it was loaded from.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ControlState.h"
#include "SysExSerialise.h"

class ICommand;
class CSysExHeader;
class CTemplateLocals;
class CTemplateGroups;
class CKeyboardZone;

// A piece of a dump whose bytes are not kept one by one. Every byte outside
// such pieces keeps its loaded bits while the model still encodes it as it
// did when the template was opened, and is written from the model alone once
// an edit changes it.
struct PreservationUnit {
    // keyByte for a piece that is one value (a name): any change rewrites it whole.
    static constexpr uint16_t kWhole = 0xFFFF;

    uint16_t offset;
    uint16_t length;
    // The byte (counted from offset) that gives the others their meaning, such
    // as a control record's type: once it changes, the whole piece is written
    // from the model alone; until then its bytes are kept one by one.
    uint16_t keyByte = kWhole;
};

struct DeviceFacts;

// What a plug-in offers for naming controls.
struct PluginDescription {
    std::string name;
    std::string vendor;
    std::vector<PluginBinding> parameters;  // {full name, short name, parameter index}
};

class CEditorTemplate : public IBulkEntry {
public:
    CEditorTemplate();
    ~CEditorTemplate() override;
    CEditorTemplate(const CEditorTemplate&) = delete;
    CEditorTemplate& operator=(const CEditorTemplate&) = delete;

    // ISysExSerialise: the bulk-dump face reads and writes with preservation.
    bool read(const ByteSequence& bytes, size_t& position) override { return load(bytes, position); }
    ByteSequence write() const override { return save(); }

    // Decodes a dump and records the bits the model cannot reproduce.
    virtual bool load(const ByteSequence& bytes, size_t& position);
    bool load(const ByteSequence& bytes) {
        size_t p = 0;
        return load(bytes, p);
    }
    // Encodes the model, restoring the unreproducible bits of the loaded dump.
    virtual ByteSequence save() const;

    std::string displayName() const override = 0;
    // What the template asks about its device: which index is what, name
    // lengths, ports. Conversion and import follow the facts of the template
    // converted or imported into.
    virtual const DeviceFacts& deviceFacts() const = 0;
    void setTemplateName(const std::string& text) override = 0;
    virtual void setManufacturerName(const std::string& text) = 0;
    void setLocation(int n) override;
    void setBulkFlag(bool b) override;
    virtual std::string suggestedFileName() const;
    virtual std::string getFilePath() const { return filePath; }
    int dumpSize() const override = 0;
    void reset() override = 0;
    virtual CSysExHeader& header() = 0;
    virtual const CSysExHeader& header() const = 0;
    virtual bool zonesEnabled() const = 0;
    virtual void setZonesEnabled(bool enabled) = 0;
    virtual CKeyboardZone* keyboardZone(int) { return nullptr; }
    virtual const CKeyboardZone* keyboardZone(int i) const {
        return const_cast<CEditorTemplate*>(this)->keyboardZone(i);
    }
    virtual CTemplateLocals& localSettings() = 0;
    virtual const CTemplateLocals& localSettings() const = 0;
    virtual CTemplateGroups* groupSettings() = 0;
    virtual void importPluginNames(const PluginDescription& plugin);
    virtual bool importFrom(const CEditorTemplate& other);
    virtual bool appendImportedFrom(const CEditorTemplate& other);
    virtual int lastIndex() const = 0;
    virtual bool indexExists(int) const { return true; }
    // The checks that complete opening: clamps values into range, then lets
    // the device repair its settings. What they change belongs to the opened
    // template; it is not an edit made since opening.
    virtual void validate();
    // Own control for 0..lastIndex, then the imported controls; null otherwise.
    virtual CBaseControlState* controlAt(int index) = 0;
    const CBaseControlState* controlAt(int index) const { return const_cast<CEditorTemplate*>(this)->controlAt(index); }
    virtual int nextIndex(int index, bool forward) const;
    virtual void assignFrom(const CEditorTemplate& other);
    virtual bool readBody(const ByteSequence& bytes, size_t& position) = 0;
    virtual ByteSequence writeBody() const = 0;
    // writeBody into a sequence whose storage is reused.
    virtual void writeBodyInto(ByteSequence& out) const { out = writeBody(); }
    // The pieces of the dump that are not kept byte by byte (see
    // PreservationUnit), in offset order; empty means every byte on its own.
    virtual const std::vector<PreservationUnit>& preservationUnits() const;
    virtual bool importControlsFrom(const CEditorTemplate& other);

    // Saved point of the undo history.
    bool isModified() const { return !(savedValid && savedIndex == currentIndex); }
    void markSaved();
    void markModified();
    // Empties the undo history (deleting its commands).
    void clearHistory();

    // Imported controls are addressed after the device's own controls.
    CBaseControlState* importedControlAt(int index);

    std::string filePath;
    // A deque: adding controls never moves the ones already there, which
    // selections and commands in the history point at.
    std::deque<CBaseControlState> importedControls;
    std::vector<std::unique_ptr<ICommand>> history;
    int currentIndex = -1;
    // Counts the commands executed, undone and redone and the clearings of the
    // history: what was worked out from the template's content (the marks of
    // a comparison) holds only while it stays the same.
    unsigned long historyVersion = 0;
    int savedIndex = -1;
    bool savedValid = true;
    bool fromFile = false;
    ByteSequence loadedBytes;
    ByteSequence preservationMask;
    // Drops what was kept of the last loaded dump: saves write the model alone.
    void forgetLoadedDump();

protected:
    // The device's own repairs of an opened template (after the clamps of
    // validate); true when any setting changed.
    virtual bool repairOpenedSettings() { return false; }
    // readBody of `bytes` read as the save will write them (a data byte with
    // the top bit set as 0x00), and the model's encoding of what it read into
    // `encoding` (which a failed read may leave changed; the template it
    // leaves as it was). By default readBody and
    // writeBodyInto; a device whose decoding keeps most bytes as read may copy
    // those and encode only the others.
    virtual bool readBodyWithEncoding(const ByteSequence& bytes, size_t& position, ByteSequence& encoding);
    // The model's encoding when opening ended (the load, then the checks of
    // validate); empty when nothing was loaded or it was dropped since.
    const ByteSequence& openedEncoding() const { return openedEncoding_; }
    // Called when the checks of validate() changed the opened state and
    // openedEncoding() was taken anew, for devices that keep more of it (what
    // they keep of a load, readBodyWithEncoding keeps as it reads).
    virtual void openingEnded() {}
    // The device's own controls 0..lastIndex as one array, when they are kept
    // so (spares the per-index lookup on every load); null otherwise.
    virtual CBaseControlState* ownControls() { return nullptr; }
    // Clamps the device's own controls; true when any value changed.
    bool clampControls();

private:
    // A byte whose saved bits, while the model still encodes it (and its
    // piece) as when opening ended, differ from the model's: bits it cannot
    // reproduce, taken from the loaded dump.
    struct KeptByte {
        uint32_t offset;
        uint8_t value;
        int32_t unit;  // index into preservationUnits(), -1 for none
    };
    // Works out keptBytes_ from the loaded dump, its mask and openedEncoding_.
    void keepUnreproducibleBits();
    // Whether piece `unit` of `now` still encodes what it did when opening
    // ended, as far as its bytes are not kept one by one.
    bool unitEncodedAsOpened(const uint8_t* now, int32_t unit) const;

    // The model's encoding when opening ended (after the checks of validate);
    // save writes the model's encoding but for keptBytes_.
    ByteSequence openedEncoding_;
    std::vector<KeptByte> keptBytes_;
    bool maskHasBits_ = false;  // whether preservationMask, as loaded, has a byte not 0
    // Where a load makes its encoding; swapped with openedEncoding_ once the
    // read succeeded, so that neither allocates again.
    ByteSequence readEncoding_;
};
