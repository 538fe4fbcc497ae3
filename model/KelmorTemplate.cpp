#include "KelmorTemplate.h"

#include <memory>

#include "DeviceFacts.h"
#include "SiblingRecord.h"

using namespace SiblingRecord;

namespace {
constexpr size_t kSysExOffset = kSynthHeadSize;
constexpr size_t kStepOffset = kSysExOffset + kSysExBlockSize;

// The shared head, the SysEx block, and for buttons the step size.
void readRecord(CBaseControlState& ctl, const uint8_t* r, bool button) {
    readSynthHead(ctl, r, button, kPlainTypes);
    decodeSysExBlock(ctl, r + kSysExOffset);
    if (button) ctl.stepSize = static_cast<uint8_t>(r[kStepOffset] + 1);
}

void writeRecord(const CBaseControlState& ctl, uint8_t* r, bool button) {
    writeSynthHead(ctl, r, button, kPlainTypes);
    encodeSysExBlock(ctl, r + kSysExOffset);
    if (button) put(r, kStepOffset, ctl.stepSize - 1);
}
}  // namespace

CKelmorTemplate::CKelmorTemplate()
    : CSiblingTemplate(kControlCount,
                       orderOf({{0, 0},     {93, 93},   {1, 7},     {94, 94},   {8, 9},     {95, 95},   {10, 16},
                                {96, 96},   {17, 18},   {97, 97},   {19, 25},   {98, 98},   {26, 27},   {99, 99},
                                {28, 34},   {100, 100}, {35, 36},   {101, 101}, {37, 43},   {102, 102}, {44, 45},
                                {103, 103}, {46, 51},   {104, 106}, {52, 57},   {107, 109}, {58, 59},   {110, 111},
                                {60, 61},   {112, 113}, {62, 63},   {114, 115}, {64, 71},   {116, 124}, {72, 79},
                                {125, 133}, {80, 80},   {134, 135}, {81, 81},   {136, 137}, {82, 82},   {138, 139},
                                {83, 83},   {140, 141}, {84, 84},   {142, 142}, {85, 85},   {143, 143}, {86, 89},
                                {91, 91},   {90, 90},   {92, 92},   {144, 148}, {kNoIndex, kNoIndex}})) {
    reset();
}

void CKelmorTemplate::reset() {
    header_ = CSysExHeader();
    locals.reset();
    audio = CKelmorAudioSettings();
    effectsA = CKelmorFXSettings();
    effectsB = CKelmorFXSettings();
    settingsByte = 0;
    zonesEnabled_ = false;
    const bool port2 = deviceFacts().hasMidiPort2;
    for (size_t z = 0; z < zones.size(); ++z) zones[z].resetZone(z == 0, port2);
    finalBytes = {};
    resetControls();
    filePath.clear();
}

bool CKelmorTemplate::readBody(const ByteSequence& bytes, size_t& position) {
    // Read into a fresh template and taken only whole: a dump refused part-way
    // through leaves this one as it was.
    auto fresh = std::make_unique<CKelmorTemplate>();
    size_t p = position;
    if (!fresh->readDump(bytes, p)) return false;
    header_ = fresh->header_;
    locals = fresh->locals;
    audio = fresh->audio;
    effectsA = fresh->effectsA;
    effectsB = fresh->effectsB;
    settingsByte = fresh->settingsByte;
    zones = fresh->zones;
    finalBytes = fresh->finalBytes;
    takeLoadedState(*fresh);
    position = p;
    return true;
}

bool CKelmorTemplate::readDump(const ByteSequence& bytes, size_t& position) {
    if (bytes.size() != kDumpSize || position != 0) return false;
    size_t p = 0;
    if (!header_.read(bytes, p)) return false;
    if (!locals.read(bytes, p) || !audio.read(bytes, p) || !effectsA.read(bytes, p) || !effectsB.read(bytes, p))
        return false;
    settingsByte = bytes[p++];
    zonesEnabled_ = bytes[p++] & 0x01;
    for (auto& z : zones)
        if (!z.read(bytes, p)) return false;
    p += kSkippedBlock;
    resetControls();
    readRecords(bytes, p, kRecordSize, readRecord);
    finalBytes[0] = bytes[p++];
    finalBytes[1] = bytes[p++];
    position = p + 1;  // the closing 0xF7 is not examined
    return true;
}

ByteSequence CKelmorTemplate::writeBody() const {
    ByteSequence out;
    out.reserve(kDumpSize);
    header_.appendTo(out);
    locals.appendTo(out);
    audio.appendTo(out);
    effectsA.appendTo(out);
    effectsB.appendTo(out);
    out.append(settingsByte);
    out.append(zonesEnabled_ ? 0x01 : 0x00);
    for (const auto& z : zones) z.appendTo(out);
    out.appendFill(kSkippedBlock);
    writeRecords(out, kRecordSize, writeRecord);
    out.append(finalBytes[0]);
    out.append(finalBytes[1]);
    out.appendRaw(0xF7);
    return out;
}
