#pragma once
// The template of the TaNGRA LuMI QV and its 4112-byte dump.
#include <array>

#include "ControlRecord.h"
#include "EditorTemplate.h"
#include "TemplateParts.h"

class CTaNGRAQVTemplate : public CEditorTemplate {
public:
    static constexpr int kDumpSize = 4112;
    static constexpr int kControlCount = 86;
    static constexpr int kExtraControlCount = 4;
    static constexpr int kRecordCount = 90;
    static constexpr int kLastIndex = 85;
    static constexpr int kFirstDrumPad = 70;
    static constexpr int kDrumPadCount = 8;
    static constexpr uint8_t kLayoutByte = 7;
    static constexpr size_t kRecordsOffset = 419;  // the first control record in the dump
    // Control indices in the order their records appear in the dump
    // (-1..-4 stand for the four controls without index).
    static const std::array<int, kRecordCount>& dumpOrder();

    CTaNGRAQVTemplate();
    CTaNGRAQVTemplate(const CTaNGRAQVTemplate& other);

    std::string displayName() const override;
    void setTemplateName(const std::string& text) override { locals.setTemplateName(text); }
    void setManufacturerName(const std::string& text) override { locals.setManufacturerName(text); }
    int dumpSize() const override { return kDumpSize; }
    void reset() override;
    CSysExHeader& header() override { return header_; }
    const CSysExHeader& header() const override { return header_; }
    bool zonesEnabled() const override { return zonesEnabled_; }
    void setZonesEnabled(bool enabled) override { zonesEnabled_ = enabled; }
    CKeyboardZone* keyboardZone(int i) override {
        return i >= 0 && i < 4 ? &zones[static_cast<size_t>(i)] : nullptr;
    }
    CTemplateLocals& localSettings() override { return locals; }
    const CTemplateLocals& localSettings() const override { return locals; }
    CTemplateGroups* groupSettings() override { return &locals.groups; }
    int lastIndex() const override { return kLastIndex; }
    const DeviceFacts& deviceFacts() const override;
    bool indexExists(int i) const override { return i < kControlCount; }
    CBaseControlState* controlAt(int index) override;
    bool readBody(const ByteSequence& bytes, size_t& position) override;
    ByteSequence writeBody() const override;
    void writeBodyInto(ByteSequence& out) const override;
    const std::vector<PreservationUnit>& preservationUnits() const override;

    CBaseControlState* continuousControl(int index);
    CBaseControlState* buttonControl(int index);

    CTaNGRAQVSysExHeader header_;

protected:
    CBaseControlState* ownControls() override { return controls.data(); }
    bool repairOpenedSettings() override;
    bool readBodyWithEncoding(const ByteSequence& bytes, size_t& position, ByteSequence& encoding) override;
    void openingEnded() override;

private:
    // readBody; with `encoding`, also the model's encoding of what was read.
    bool readDump(const ByteSequence& bytes, size_t& position, ByteSequence* encoding);
    // Everything before the control records (header to the skipped block).
    void writeSettingsTo(uint8_t* start) const;
    // The control of each record, in the order of the dump.
    void bindRecordControls();
    std::array<CBaseControlState*, kRecordCount> recordControls_;

    // Each record's control as it was when openedEncoding() was taken: a
    // control that still encodes so takes its record from there.
    std::array<ControlRecord::Snapshot, kRecordCount> openedRecords_;

public:
    CTaNGRAQVLocals locals;
    bool zonesEnabled_ = false;
    bool zoneFlag2 = false;
    uint8_t layoutByte = kLayoutByte;
    uint8_t deviceByte4109 = 18;
    uint8_t deviceByte4110 = 52;
    uint8_t deviceByte153 = 0;
    uint8_t deviceByte154 = 0;
    std::array<CBaseControlState, kControlCount> controls;
    std::array<CBaseControlState, kExtraControlCount> extraControls;
    std::array<CTaNGRAQVKeyboardZone, 4> zones;
    std::array<uint8_t, 8> deviceBytes179{};
};
