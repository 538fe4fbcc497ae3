#pragma once
// The smaller sibling controller's template and its 1305-byte dump.
#include "SiblingTemplate.h"

// Six bytes: F0 00 20 29 02 04.
class CTaNGRAJXSysExHeader : public CSysExHeader {
public:
    static constexpr size_t kSize = 6;
    CTaNGRAJXSysExHeader();
    bool read(const ByteSequence& bytes, size_t& position) override;
    void appendTo(ByteSequence& out) const override;
};

// 24 bytes: template name (16), velocity curve, override channel, keyboard
// channel, port byte, pad X type, pad Y type, octave, one unused byte. The
// device stores no manufacturer name.
class CTaNGRAJXLocals : public CTemplateLocals {
public:
    static constexpr size_t kSize = 24;
    static constexpr size_t kTemplateNameLength = 16;
    CTaNGRAJXLocals() { reset(); }
    void reset();
    bool read(const ByteSequence& bytes, size_t& position) override;
    ByteSequence write() const override;
    void appendTo(ByteSequence& out) const override;

    uint8_t portByte = 0;
};

class CTaNGRAJXTemplate : public CSiblingTemplate {
public:
    static constexpr int kDumpSize = 1305;
    static constexpr int kControlCount = 49;
    static constexpr size_t kRecordSize = 26;

    CTaNGRAJXTemplate();

    int dumpSize() const override { return kDumpSize; }
    void reset() override;
    CSysExHeader& header() override { return header_; }
    const CSysExHeader& header() const override { return header_; }
    CTemplateLocals& localSettings() override { return locals; }
    const CTemplateLocals& localSettings() const override { return locals; }
    bool isContinuousIndex(int index) const override {
        return (index >= 0 && index <= 17) || (index >= 42 && index <= 47);
    }
    // Accepts a dump longer than the device's own size: only its first
    // kDumpSize bytes are read.
    bool readBody(const ByteSequence& bytes, size_t& position) override;
    ByteSequence writeBody() const override;

    CTaNGRAJXSysExHeader header_;
    CTaNGRAJXLocals locals;
};
