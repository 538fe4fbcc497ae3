#pragma once
// The first-generation controller's template and its 2832-byte dump.
#include <array>

#include "SiblingTemplate.h"

// 41 bytes: template name at 0..15, manufacturer name at 25..37.
class CTaNGRALocals : public CSiblingLocals {
public:
    static constexpr size_t kSize = 41;
    static constexpr int kManufacturerOffset = 25;
    CTaNGRALocals() : CSiblingLocals(kSize, kManufacturerOffset) {}
};

class CTaNGRATemplate : public CSiblingTemplate {
public:
    static constexpr int kDumpSize = 2832;
    static constexpr int kControlCount = 61;
    static constexpr int kFirstButton = 31;
    static constexpr size_t kRecordSize = 44;
    static constexpr size_t kStepSizeCount = 30;  // controls 31..60
    static constexpr size_t kLayoutFlagOffset = 126;
    static constexpr size_t kSkippedBlock = 19;

    CTaNGRATemplate();

    int dumpSize() const override { return kDumpSize; }
    void reset() override;
    CSysExHeader& header() override { return header_; }
    const CSysExHeader& header() const override { return header_; }
    CKeyboardZone* keyboardZone(int i) override { return i >= 0 && i < 4 ? &zones[static_cast<size_t>(i)] : nullptr; }
    CTemplateLocals& localSettings() override { return locals; }
    const CTemplateLocals& localSettings() const override { return locals; }
    bool isContinuousIndex(int index) const override { return index < kFirstButton; }
    bool readBody(const ByteSequence& bytes, size_t& position) override;
    ByteSequence writeBody() const override;

    // Dumps of older units keep the settings after the manufacturer name three
    // bytes earlier and leave bit 0 of the layout flag clear. Moves them to
    // where the reader expects them; true when the dump was in the older layout.
    static bool repairOlderLayout(ByteSequence& bytes);

    CSysExHeader header_;
    CTaNGRALocals locals;
    uint8_t settingsByte = 0;  // the byte before the zones-enabled flag
    std::array<CTaNGRAKeyboardZone, 4> zones;
    std::array<uint8_t, 2> finalBytes{};

private:
    // Reads the whole dump into this template; readBody runs it on a fresh one.
    bool readDump(const ByteSequence& bytes, size_t& position);
};
