#pragma once
// The Ulmatone synthesizer's control-surface template and its 1808-byte dump.
#include <array>

#include "SiblingTemplate.h"

// 13 bytes like the controllers' header, with device type 0x05; byte 6 is
// not examined.
class CUlmatoneSysExHeader : public CSysExHeader {
public:
    CUlmatoneSysExHeader();
    bool read(const ByteSequence& bytes, size_t& position) override;
};

// 37 bytes: template name at 0..15; the device stores no manufacturer name.
class CUlmatoneLocals : public CSiblingLocals {
public:
    static constexpr size_t kSize = 37;
    CUlmatoneLocals() : CSiblingLocals(kSize, kNoManufacturerName) {}
};

class CUlmatoneTemplate : public CSiblingTemplate {
public:
    static constexpr int kDumpSize = 1808;
    static constexpr int kControlCount = 51;
    static constexpr size_t kRecordSize = 30;
    static constexpr size_t kSkippedBlock = 135;

    CUlmatoneTemplate();

    int dumpSize() const override { return kDumpSize; }
    void reset() override;
    CSysExHeader& header() override { return header_; }
    const CSysExHeader& header() const override { return header_; }
    CTemplateLocals& localSettings() override { return locals; }
    const CTemplateLocals& localSettings() const override { return locals; }
    bool isContinuousIndex(int index) const override {
        return (index >= 0 && index <= 21) || (index >= 44 && index <= 49);
    }
    bool readBody(const ByteSequence& bytes, size_t& position) override;
    ByteSequence writeBody() const override;

    CUlmatoneSysExHeader header_;
    CUlmatoneLocals locals;
    std::array<uint8_t, 2> finalBytes{};

private:
    // Reads the whole dump into this template; readBody runs it on a fresh one.
    bool readDump(const ByteSequence& bytes, size_t& position);
};
