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

// A piece of a dump that is preserved or rewritten as a whole: a control
// record, a multi-byte field, or a single byte.
struct PreservationUnit {
    uint16_t offset;
    uint16_t length;
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
    // The pieces of the dump whose loaded bits are kept only while the model
    // still encodes the whole piece as it did at loading; empty means every
    // byte on its own.
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

protected:
    // The device's own controls 0..lastIndex as one array, when they are kept
    // so (spares the per-index lookup on every load); null otherwise.
    virtual CBaseControlState* ownControls() { return nullptr; }
    // Clamps the device's own controls; true when any value changed.
    bool clampControls();
};
