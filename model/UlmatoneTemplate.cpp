#include "UlmatoneTemplate.h"

#include <memory>

#include "SiblingRecord.h"

using namespace SiblingRecord;

namespace {
// The device numbers Aftertouch 11, where the editor's Drum Note is.
int typeFromDump(int v) { return v == 11 ? ControlType::Aftertouch : v; }
int typeToDump(int type) { return type == ControlType::Aftertouch ? 11 : type; }
const TypeMapping kTypes{typeFromDump, typeToDump};

constexpr size_t kStepOffset = kSynthHeadSize;

void readRecord(CBaseControlState& ctl, const uint8_t* r, bool button) {
    readSynthHead(ctl, r, button, kTypes);
    if (button) ctl.stepSize = static_cast<uint8_t>(r[kStepOffset] + 1);
}

void writeRecord(const CBaseControlState& ctl, uint8_t* r, bool button) {
    writeSynthHead(ctl, r, button, kTypes);
    if (button) put(r, kStepOffset, ctl.stepSize - 1);
}
}  // namespace

CUlmatoneSysExHeader::CUlmatoneSysExHeader() {
    bytes = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x05, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

bool CUlmatoneSysExHeader::read(const ByteSequence& in, size_t& position) {
    if (in.size() < kSize || position > in.size() - kSize) return false;
    for (size_t i = 0; i < kSize; ++i) bytes[i] = in[position + i];
    position += kSize;
    return bytes[1] == 0x00 && bytes[2] == 0x20 && bytes[3] == 0x29 && bytes[4] == 0x02 && bytes[5] == 0x05;
}

CUlmatoneTemplate::CUlmatoneTemplate()
    : CSiblingTemplate(kControlCount, orderOf({{0, 43}, {44, 46}, {48, 48}, {47, 47}, {49, 50}, {kNoIndex, kNoIndex},
                                               {kNoIndex, kNoIndex}, {kNoIndex, kNoIndex}})) {
    reset();
}

void CUlmatoneTemplate::reset() {
    header_ = CUlmatoneSysExHeader();
    locals.reset();
    zonesEnabled_ = false;
    finalBytes = {};
    resetControls();
    filePath.clear();
}

bool CUlmatoneTemplate::readBody(const ByteSequence& bytes, size_t& position) {
    // Read into a fresh template and taken only whole: a dump refused part-way
    // through leaves this one as it was.
    auto fresh = std::make_unique<CUlmatoneTemplate>();
    size_t p = position;
    if (!fresh->readDump(bytes, p)) return false;
    header_ = fresh->header_;
    locals = fresh->locals;
    finalBytes = fresh->finalBytes;
    takeLoadedState(*fresh);
    position = p;
    return true;
}

bool CUlmatoneTemplate::readDump(const ByteSequence& bytes, size_t& position) {
    if (bytes.size() != kDumpSize || position != 0) return false;
    size_t p = 0;
    if (!header_.read(bytes, p)) return false;
    if (!locals.read(bytes, p)) return false;
    p += kSkippedBlock;
    resetControls();
    readRecords(bytes, p, kRecordSize, readRecord);
    finalBytes[0] = bytes[p++];
    finalBytes[1] = bytes[p++];
    position = p + 1;  // the closing 0xF7 is not examined
    return true;
}

ByteSequence CUlmatoneTemplate::writeBody() const {
    ByteSequence out;
    out.reserve(kDumpSize);
    header_.appendTo(out);
    locals.appendTo(out);
    out.appendFill(kSkippedBlock);
    writeRecords(out, kRecordSize, writeRecord);
    out.append(finalBytes[0]);
    out.append(finalBytes[1]);
    out.appendRaw(0xF7);
    return out;
}
