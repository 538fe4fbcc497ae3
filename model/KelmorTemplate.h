#pragma once
// The Kelmor synthesizer's control-surface template and its 8208-byte dump.
#include <array>

#include "SiblingTemplate.h"

// The synthesizer's sound settings: read so that the position is right,
// carried as read, never converted.
class CKelmorAudioSettings : public CRawSettingsBlock<16> {};
class CKelmorFXSettings : public CRawSettingsBlock<64> {};

// 40 bytes: template name at 0..15, manufacturer name at 17..29.
class CKelmorLocals : public CSiblingLocals {
public:
    static constexpr size_t kSize = 40;
    static constexpr int kManufacturerOffset = 17;
    CKelmorLocals() : CSiblingLocals(kSize, kManufacturerOffset) {}
};

class CKelmorKeyboardZone : public CTaNGRAKeyboardZone {};

class CKelmorTemplate : public CSiblingTemplate {
public:
    static constexpr int kDumpSize = 8208;
    static constexpr int kControlCount = 149;
    static constexpr int kFirstButton = 93;
    static constexpr size_t kRecordSize = 52;
    static constexpr size_t kSkippedBlock = 166;

    CKelmorTemplate();

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

    CSysExHeader header_;
    CKelmorLocals locals;
    CKelmorAudioSettings audio;
    CKelmorFXSettings effectsA;
    CKelmorFXSettings effectsB;
    uint8_t settingsByte = 0;
    std::array<CKelmorKeyboardZone, 4> zones;
    std::array<uint8_t, 2> finalBytes{};

private:
    // Reads the whole dump into this template; readBody runs it on a fresh one.
    bool readDump(const ByteSequence& bytes, size_t& position);
};
