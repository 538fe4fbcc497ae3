#include "TaNGRATemplate.h"

#include <memory>

#include "DeviceFacts.h"
#include "SiblingRecord.h"

using namespace SiblingRecord;

namespace {
constexpr size_t kBlockOffset = 22;
constexpr size_t kDisplayOffset = 43;

// Name, off and on values, type, action, pot, MMC command or snapshot, a
// 21-byte block (SysEx message, or MSB, LSB and channel), display byte form A.
void readRecord(CBaseControlState& ctl, const uint8_t* r, bool button) {
    ctl.setName(readName(r));
    ctl.setOffValue(r[16], false);
    ctl.setOnValue(r[17], false);
    readType(ctl, r[18], kPlainTypes);
    decodeActionByte(ctl, r[19], button);
    decodePotByte(ctl, r[20], button);
    const bool mmc = ctl.controlType == ControlType::MMC;
    if (mmc) ctl.mmcCommand = r[21];
    else ctl.snapshotValue = r[21];
    const uint8_t* block = r + kBlockOffset;
    if (ctl.controlType == ControlType::SysEx) {
        decodeSysExBlock(ctl, block);
        ctl.msbNumber = 0;
        ctl.lsbNumber = 0;
    } else {
        ctl.msbNumber = block[0];
        ctl.lsbNumber = block[1];
    }
    ctl.channelHighBits = block[2] & 0xF0;
    ctl.midiChannel = mmc ? block[4] : (block[2] & 0x0F) + 1;
    decodeDisplayFormA(ctl, r[kDisplayOffset]);
}

void writeRecord(const CBaseControlState& ctl, uint8_t* r, bool button) {
    writeName(r, ctl.name);
    put(r, 16, ctl.offValue);
    put(r, 17, ctl.onValue);
    put(r, 18, writeType(ctl, kPlainTypes));
    put(r, 19, encodeActionByte(ctl, button));
    put(r, 20, encodePotByte(ctl, button));
    const bool mmc = ctl.controlType == ControlType::MMC;
    put(r, 21, mmc ? ctl.mmcCommand : ctl.snapshotValue);
    uint8_t* block = r + kBlockOffset;
    if (ctl.controlType == ControlType::SysEx) {
        // The channel shares its byte with the data position here.
        encodeSysExBlock(ctl, block);
    } else {
        put(block, 0, ctl.msbNumber);
        put(block, 1, ctl.lsbNumber);
        put(block, 2, (ctl.channelHighBits & 0xF0) | (mmc ? 0 : (ctl.midiChannel - 1) & 0x0F));
        put(block, 4, mmc ? ctl.midiChannel : 0);
    }
    put(r, kDisplayOffset, encodeDisplayFormA(ctl));
}
}  // namespace

CTaNGRATemplate::CTaNGRATemplate()
    : CSiblingTemplate(kControlCount, orderOf({{0, 23}, {31, 54}, {24, 24}, {60, 60}, {26, 26}, {25, 25}, {27, 27},
                                               {29, 29}, {55, 59}, {28, 28}, {30, 30}})) {
    reset();
}

void CTaNGRATemplate::reset() {
    header_ = CSysExHeader();
    locals.reset();
    settingsByte = 0;
    zonesEnabled_ = false;
    const bool port2 = deviceFacts().hasMidiPort2;
    for (size_t z = 0; z < zones.size(); ++z) zones[z].resetZone(z == 0, port2);
    finalBytes = {};
    resetControls();
    filePath.clear();
}

bool CTaNGRATemplate::repairOlderLayout(ByteSequence& bytes) {
    if (bytes.size() <= kLayoutFlagOffset || (bytes[kLayoutFlagOffset] & 0x01)) return false;
    for (size_t n = 125; n >= 55; --n) bytes[n] = bytes[n - 3];
    bytes[kLayoutFlagOffset] |= 0x01;
    return true;
}

bool CTaNGRATemplate::readBody(const ByteSequence& bytes, size_t& position) {
    // Read into a fresh template and taken only whole: a dump refused part-way
    // through leaves this one as it was.
    auto fresh = std::make_unique<CTaNGRATemplate>();
    size_t p = position;
    if (!fresh->readDump(bytes, p)) return false;
    header_ = fresh->header_;
    locals = fresh->locals;
    settingsByte = fresh->settingsByte;
    zones = fresh->zones;
    finalBytes = fresh->finalBytes;
    takeLoadedState(*fresh);
    position = p;
    return true;
}

bool CTaNGRATemplate::readDump(const ByteSequence& input, size_t& position) {
    if (input.size() != kDumpSize || position != 0) return false;
    ByteSequence bytes = input;
    const bool olderLayout = repairOlderLayout(bytes);
    size_t p = 0;
    if (!header_.read(bytes, p)) return false;
    resetControls();
    if (!locals.read(bytes, p)) return false;
    for (size_t i = 0; i < kStepSizeCount; ++i)
        controls[kFirstButton + i].stepSize = static_cast<uint8_t>(bytes[p++] + 1);
    settingsByte = bytes[p++];
    zonesEnabled_ = bytes[p++] & 0x01;
    for (auto& z : zones)
        if (!z.read(bytes, p)) return false;
    p += kSkippedBlock;
    readRecords(bytes, p, kRecordSize, readRecord);
    finalBytes[0] = bytes[p++];
    finalBytes[1] = bytes[p++];
    position = p + 1;  // the closing 0xF7 is not examined
    if (olderLayout) {
        // Older units did not store step sizes for these three buttons.
        for (int i : {31, 32, 33}) {
            CBaseControlState& ctl = controls[static_cast<size_t>(i)];
            if (ctl.buttonAction != ButtonAction::Step) ctl.stepSize = 1;
        }
    }
    return true;
}

ByteSequence CTaNGRATemplate::writeBody() const {
    ByteSequence out;
    out.reserve(kDumpSize);
    header_.appendTo(out);
    locals.appendTo(out);
    for (size_t i = 0; i < kStepSizeCount; ++i) out.append(static_cast<uint8_t>(controls[kFirstButton + i].stepSize - 1));
    out.append(settingsByte);
    out.append(zonesEnabled_ ? 0x01 : 0x00);
    for (const auto& z : zones) z.appendTo(out);
    out.append(0x01);  // the layout flag: this is the current layout
    out.appendFill(kSkippedBlock - 1);
    writeRecords(out, kRecordSize, writeRecord);
    out.append(finalBytes[0]);
    out.append(finalBytes[1]);
    out.appendRaw(0xF7);
    return out;
}
