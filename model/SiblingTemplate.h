#pragma once
// What the templates of the sibling devices (the first-generation and smaller
// controllers and the two synthesizers) have in common. They are read only to
// be converted into a template of the running device, then destroyed.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "EditorTemplate.h"
#include "TemplateParts.h"

// A fixed run of settings bytes read for position and carried unchanged.
template <size_t N>
class CRawSettingsBlock : public ISysExSerialise {
public:
    static constexpr size_t kSize = N;
    bool read(const ByteSequence& in, size_t& position) override {
        if (in.size() < N || position > in.size() - N) return false;
        for (size_t i = 0; i < N; ++i) bytes[i] = in[position + i];
        position += N;
        return true;
    }
    ByteSequence write() const override {
        ByteSequence out;
        appendTo(out);
        return out;
    }
    void appendTo(ByteSequence& out) const override {
        for (uint8_t b : bytes) out.append(b);
    }
    std::array<uint8_t, N> bytes{};
};

// A sibling device's settings block: the names at fixed places, every other
// byte carried as read.
class CSiblingLocals : public CTemplateLocals {
public:
    static constexpr size_t kTemplateNameLength = 16;
    static constexpr int kNoManufacturerName = -1;

    CSiblingLocals(size_t size, int manufacturerOffset);
    void reset();
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;

    size_t size() const { return raw.size(); }
    std::vector<uint8_t> raw;

private:
    int manufacturerOffset_;
};

// Four keyboard zones in the first-generation controller's 10-byte form:
// channel with the ports USB 1, MIDI 1, MIDI 2; velocity offset; bottom and
// top note; transpose; pitch bend, modulation wheel and aftertouch flags.
class CTaNGRAKeyboardZone : public CKeyboardZone, public ISysExSerialise {
public:
    static constexpr size_t kSize = 10;
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;
};

class CSiblingTemplate : public CEditorTemplate {
public:
    static constexpr int kNoIndex = -1;  // a record that belongs to no control index

    std::string displayName() const override;
    void setTemplateName(const std::string& text) override;
    void setManufacturerName(const std::string& text) override;
    bool zonesEnabled() const override { return zonesEnabled_; }
    void setZonesEnabled(bool enabled) override { zonesEnabled_ = enabled; }
    CTemplateGroups* groupSettings() override { return nullptr; }
    int lastIndex() const override { return static_cast<int>(controls.size()) - 1; }
    // A sibling's template is read only to be converted into the target
    // device's: it takes that device's defaults.
    const DeviceFacts& deviceFacts() const override;
    bool indexExists(int i) const override { return i >= 0 && i <= lastIndex(); }
    CBaseControlState* controlAt(int index) override;

    // Whether own control `index` is continuous on this device (else a button).
    virtual bool isContinuousIndex(int index) const = 0;
    // Control indices in the order their records appear in the dump
    // (kNoIndex for records that belong to no control).
    const std::vector<int>& recordOrder() const { return recordOrder_; }

    std::vector<CBaseControlState> controls;
    std::vector<CBaseControlState> unindexedControls;
    bool zonesEnabled_ = false;

protected:
    using RecordReader = void (*)(CBaseControlState& ctl, const uint8_t* record, bool button);
    using RecordWriter = void (*)(const CBaseControlState& ctl, uint8_t* record, bool button);

    CSiblingTemplate(int controlCount, std::vector<int> recordOrder);
    // Runs of indices, each {first, last}; {kNoIndex, kNoIndex} for one record without index.
    static std::vector<int> orderOf(std::initializer_list<std::pair<int, int>> runs);

    void resetControls();
    // Takes the control records and zone switch a fresh template read.
    void takeLoadedState(CSiblingTemplate& fresh);
    // Reads or writes every record in dump order; the caller has checked the length.
    void readRecords(const ByteSequence& bytes, size_t& position, size_t recordSize, RecordReader reader);
    void writeRecords(ByteSequence& out, size_t recordSize, RecordWriter writer) const;

private:
    std::vector<int> recordOrder_;
};
