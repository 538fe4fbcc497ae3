#include "TaNGRAQVTemplate.h"

#include "ControlRecord.h"
#include "DeviceProfile.h"
#include "ModelHooks.h"

namespace {
constexpr size_t kSkippedBlock = 232;

std::array<int, CTaNGRAQVTemplate::kRecordCount> makeDumpOrder() {
    std::array<int, CTaNGRAQVTemplate::kRecordCount> order{};
    size_t n = 0;
    auto range = [&](int from, int to) {
        for (int i = from; i <= to; ++i) order[n++] = i;
    };
    range(8, 15);
    range(0, 7);
    range(16, 23);
    range(24, 55);
    range(70, 77);
    for (int i : {63, 62, 65, 64, 66, 68, 67, 69}) order[n++] = i;
    range(56, 61);
    range(78, 85);
    for (int i : {-1, -2, -3, -4}) order[n++] = i;
    return order;
}
}  // namespace

const std::array<int, CTaNGRAQVTemplate::kRecordCount>& CTaNGRAQVTemplate::dumpOrder() {
    static const auto order = makeDumpOrder();
    return order;
}

CTaNGRAQVTemplate::CTaNGRAQVTemplate() { reset(); }

CTaNGRAQVTemplate::CTaNGRAQVTemplate(const CTaNGRAQVTemplate& other) : CEditorTemplate() {
    reset();
    assignFrom(other);
}

std::string CTaNGRAQVTemplate::displayName() const {
    return trimTrailingBlanks(locals.manufacturerName) + " - " + trimTrailingBlanks(locals.templateName);
}

void CTaNGRAQVTemplate::reset() {
    header_.bytes = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x00, 0x00, 0x11, 0x02, 0x00, 0x01};
    locals.reset();
    zonesEnabled_ = false;
    zoneFlag2 = false;
    layoutByte = kLayoutByte;
    const bool port2 = IDeviceProfile::current().HasMidiPort2();
    for (size_t z = 0; z < zones.size(); ++z) zones[z].resetZone(z == 0, port2);
    deviceBytes179 = {0x00, 0x01, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00};
    deviceByte153 = deviceByte154 = 0;
    deviceByte4109 = 18;
    deviceByte4110 = 52;
    for (auto& c : controls) c.reset();
    filePath.clear();
    controls[64].setControlType(ControlType::PitchBend, true);
    controls[64].setName("PitchBnd");
    controls[65].setControlType(ControlType::CC, true);
    controls[65].setLsbNumber(1);
    controls[65].setName("ModWheel");
}

CBaseControlState* CTaNGRAQVTemplate::continuousControl(int i) {
    if ((i >= 0 && i <= 23) || (i >= 63 && i <= 69) || (i >= 78 && i <= 85)) return &controls[static_cast<size_t>(i)];
    return nullptr;
}

CBaseControlState* CTaNGRAQVTemplate::buttonControl(int i) {
    if ((i >= 24 && i <= 62) || (i >= 70 && i <= 77)) return &controls[static_cast<size_t>(i)];
    return nullptr;
}

CBaseControlState* CTaNGRAQVTemplate::controlAt(int index) {
    if (CBaseControlState* c = continuousControl(index)) return c;
    if (CBaseControlState* c = buttonControl(index)) return c;
    if (index > kLastIndex) return importedControlAt(index);
    return nullptr;
}

void CTaNGRAQVTemplate::validate() {
    CEditorTemplate::validate();
    if (locals.numCmn != kRecordCount) {
        ModelHooks::notice("Fixing broken template NUMCMN");
        locals.numCmn = kRecordCount;
    }
    if (locals.pgcnSize != ControlRecord::kSize) {
        ModelHooks::notice("Fixing broken template PGCNSIZE");
        locals.pgcnSize = ControlRecord::kSize;
    }
    if (locals.rowSelectDefaults != CTaNGRAQVLocals::kRowSelectDefaults) {
        ModelHooks::notice("This template has corrupted row select default data - fixing it.");
        locals.rowSelectDefaults = CTaNGRAQVLocals::kRowSelectDefaults;
    }
    layoutByte = kLayoutByte;
}

bool CTaNGRAQVTemplate::readBody(const ByteSequence& bytes, size_t& position) {
    if (bytes.size() != kDumpSize || position != 0) return false;
    size_t p = position;
    if (!header_.read(bytes, p) || header_.deviceType() != 0x03) return false;
    if (!locals.read(bytes, p)) return false;
    layoutByte = bytes[p++];
    const uint8_t zoneFlags = bytes[p++];
    zonesEnabled_ = zoneFlags & 0x01;
    zoneFlag2 = zoneFlags & 0x04;
    for (auto& z : zones)
        if (!z.read(bytes, p)) return false;
    locals.padXType = bytes[p++];
    locals.padYType = bytes[p++];
    deviceByte153 = bytes[p++];
    deviceByte154 = bytes[p++];
    for (int d = 0; d < kDrumPadCount; ++d, p += 2)
        controls[kFirstDrumPad + d].drumAutoOffTime = bytes[p] * 128 + bytes[p + 1];
    for (int d = 0; d < kDrumPadCount; ++d) controls[kFirstDrumPad + d].drumOffSync = bytes[p++];
    for (auto& b : deviceBytes179) b = bytes[p++];
    p += kSkippedBlock;
    for (int index : dumpOrder()) {
        CBaseControlState& ctl = index >= 0 ? controls[static_cast<size_t>(index)]
                                            : extraControls[static_cast<size_t>(-index - 1)];
        ControlRecord::read(ctl, bytes, p);
    }
    deviceByte4109 = bytes[p++];
    deviceByte4110 = bytes[p++];
    position = p + 1;  // the closing 0xF7 is not examined
    return true;
}

ByteSequence CTaNGRAQVTemplate::writeBody() const {
    ByteSequence out;
    out.reserve(kDumpSize);
    header_.appendTo(out);
    locals.appendTo(out);
    out.append(layoutByte);
    out.append(static_cast<uint8_t>((zonesEnabled_ ? 0x01 : 0) | (zoneFlag2 ? 0x04 : 0)));
    for (const auto& z : zones) z.appendTo(out);
    out.append(static_cast<uint8_t>(locals.padXType));
    out.append(static_cast<uint8_t>(locals.padYType));
    out.append(deviceByte153);
    out.append(deviceByte154);
    for (int d = 0; d < kDrumPadCount; ++d) out.append14(controls[kFirstDrumPad + d].drumAutoOffTime);
    for (int d = 0; d < kDrumPadCount; ++d)
        out.append(static_cast<uint8_t>(controls[kFirstDrumPad + d].drumOffSync));
    for (uint8_t b : deviceBytes179) out.append(b);
    out.appendFill(kSkippedBlock);
    uint8_t* record = out.extend(kRecordCount * ControlRecord::kSize);
    for (int index : dumpOrder()) {
        const CBaseControlState& ctl = index >= 0 ? controls[static_cast<size_t>(index)]
                                                  : extraControls[static_cast<size_t>(-index - 1)];
        ControlRecord::writeTo(ctl, record);
        record += ControlRecord::kSize;
    }
    out.append(deviceByte4109);
    out.append(deviceByte4110);
    out.append(0xF7);
    return out;
}
