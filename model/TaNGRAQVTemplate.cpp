#include "TaNGRAQVTemplate.h"

#include <cstring>

#include "ControlRecord.h"
#include "DeviceFacts.h"
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

CTaNGRAQVTemplate::CTaNGRAQVTemplate() {
    bindRecordControls();
    reset();
}

CTaNGRAQVTemplate::CTaNGRAQVTemplate(const CTaNGRAQVTemplate& other) : CEditorTemplate() {
    bindRecordControls();
    reset();
    assignFrom(other);
}

std::string CTaNGRAQVTemplate::displayName() const {
    return trimTrailingBlanks(locals.manufacturerName) + " - " + trimTrailingBlanks(locals.templateName);
}

const DeviceFacts& CTaNGRAQVTemplate::deviceFacts() const { return TaNGRAQVFacts(); }

void CTaNGRAQVTemplate::reset() {
    header_.bytes = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x00, 0x00, 0x11, 0x02, 0x00, 0x01};
    locals.reset();
    zonesEnabled_ = false;
    zoneFlag2 = false;
    layoutByte = kLayoutByte;
    const DeviceFacts& facts = deviceFacts();
    const bool port2 = facts.hasMidiPort2;
    for (size_t z = 0; z < zones.size(); ++z) zones[z].resetZone(z == 0, port2);
    deviceBytes179 = {0x00, 0x01, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00};
    deviceByte153 = deviceByte154 = 0;
    deviceByte4109 = 18;
    deviceByte4110 = 52;
    // Whether a control is a pot or a button decides how its default value is
    // clamped: a template made without a file needs it as much as an opened one.
    for (size_t i = 0; i < controls.size(); ++i) {
        controls[i].reset();
        controls[i].isContinuous = facts.isContinuousControl(static_cast<int>(i));
    }
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

bool CTaNGRAQVTemplate::repairOpenedSettings() {
    bool repaired = false;
    if (locals.numCmn != kRecordCount) {
        ModelHooks::notice("Fixing broken template NUMCMN");
        locals.numCmn = kRecordCount;
        repaired = true;
    }
    if (locals.pgcnSize != ControlRecord::kSize) {
        ModelHooks::notice("Fixing broken template PGCNSIZE");
        locals.pgcnSize = ControlRecord::kSize;
        repaired = true;
    }
    if (locals.rowSelectDefaults != CTaNGRAQVLocals::kRowSelectDefaults) {
        ModelHooks::notice("This template has corrupted row select default data - fixing it.");
        locals.rowSelectDefaults = CTaNGRAQVLocals::kRowSelectDefaults;
        repaired = true;
    }
    if (layoutByte != kLayoutByte) {
        layoutByte = kLayoutByte;
        repaired = true;
    }
    return repaired;
}

bool CTaNGRAQVTemplate::readBody(const ByteSequence& bytes, size_t& position) {
    return readDump(bytes, position, nullptr);
}

bool CTaNGRAQVTemplate::readBodyWithEncoding(const ByteSequence& bytes, size_t& position, ByteSequence& encoding) {
    return readDump(bytes, position, &encoding);
}

bool CTaNGRAQVTemplate::readDump(const ByteSequence& bytes, size_t& position, ByteSequence* encoding) {
    if (bytes.size() != kDumpSize || position != 0) return false;
    // With an encoding to make, the dump is read from a copy whose data bytes
    // go through the dump-byte rule (each control record's as it is read), in
    // place: a record's bytes that a read stores as they are already encode as
    // the model would write them.
    const ByteSequence* source = &bytes;
    if (encoding) {
        *encoding = bytes;
        uint8_t* to = encoding->data();
        ByteSequence::clearTopBitBytes(to + 1, kRecordsOffset - 1);
        ByteSequence::clearTopBitBytes(to + kDumpSize - 3, 2);
        source = encoding;
    }
    // The header is checked into a fresh object: a rejected dump changes nothing.
    CTaNGRAQVSysExHeader header;
    size_t p = position;
    if (!header.read(*source, p) || header.deviceType() != 0x03) return false;
    // Nothing below can fail: the length is right.
    header_.bytes = header.bytes;
    locals.read(*source, p);
    const uint8_t* const in = source->data();
    layoutByte = in[p++];
    const uint8_t zoneFlags = in[p++];
    zonesEnabled_ = zoneFlags & 0x01;
    zoneFlag2 = zoneFlags & 0x04;
    for (auto& z : zones) z.read(*source, p);
    locals.padXType = in[p++];
    locals.padYType = in[p++];
    deviceByte153 = in[p++];
    deviceByte154 = in[p++];
    for (int d = 0; d < kDrumPadCount; ++d, p += 2)
        controls[kFirstDrumPad + d].drumAutoOffTime = in[p] * 128 + in[p + 1];
    for (int d = 0; d < kDrumPadCount; ++d) controls[kFirstDrumPad + d].drumOffSync = in[p++];
    for (auto& b : deviceBytes179) b = in[p++];
    p += kSkippedBlock;
    if (encoding) {
        ControlRecord::readInPlace(recordControls_.data(), kRecordCount, encoding->data() + p, openedRecords_.data());
        p += kRecordCount * ControlRecord::kSize;
    } else {
        for (CBaseControlState* ctl : recordControls_) {
            ControlRecord::readFrom(*ctl, in + p);
            p += ControlRecord::kSize;
        }
    }
    deviceByte4109 = in[p++];
    deviceByte4110 = in[p++];
    position = p + 1;  // the closing 0xF7 is not examined
    if (encoding) {
        // The settings before the records are few bytes: encoded whole.
        uint8_t* const out = encoding->data();
        writeSettingsTo(out);
        ByteSequence::clearTopBitBytes(out + 1, kRecordsOffset - 1);
        out[kDumpSize - 1] = 0xF7;
    }
    return true;
}

ByteSequence CTaNGRAQVTemplate::writeBody() const {
    ByteSequence out;
    writeBodyInto(out);
    return out;
}

void CTaNGRAQVTemplate::writeSettingsTo(uint8_t* start) const {
    uint8_t* o = start;
    header_.writeTo(o);
    o += CSysExHeader::kSize;
    locals.writeTo(o);
    o += CTaNGRAQVLocals::kSize;
    *o++ = layoutByte;
    *o++ = static_cast<uint8_t>((zonesEnabled_ ? 0x01 : 0) | (zoneFlag2 ? 0x04 : 0));
    for (const auto& z : zones) {
        z.writeTo(o);
        o += CTaNGRAQVKeyboardZone::kSize;
    }
    *o++ = static_cast<uint8_t>(locals.padXType);
    *o++ = static_cast<uint8_t>(locals.padYType);
    *o++ = deviceByte153;
    *o++ = deviceByte154;
    for (int d = 0; d < kDrumPadCount; ++d) {
        const int t = controls[kFirstDrumPad + d].drumAutoOffTime;
        *o++ = static_cast<uint8_t>((t >> 7) & 0x7F);
        *o++ = static_cast<uint8_t>(t & 0x7F);
    }
    for (int d = 0; d < kDrumPadCount; ++d) *o++ = static_cast<uint8_t>(controls[kFirstDrumPad + d].drumOffSync);
    for (uint8_t b : deviceBytes179) *o++ = b;
    std::memset(o, 0, kSkippedBlock);
}

void CTaNGRAQVTemplate::bindRecordControls() {
    const auto& order = dumpOrder();
    for (size_t r = 0; r < order.size(); ++r) {
        const int index = order[r];
        recordControls_[r] = index >= 0 ? &controls[static_cast<size_t>(index)]
                                        : &extraControls[static_cast<size_t>(-index - 1)];
    }
}

void CTaNGRAQVTemplate::openingEnded() {
    // The name bytes are those of the records in openedEncoding().
    const uint8_t* record = openedEncoding().data() + kRecordsOffset;
    for (size_t r = 0; r < kRecordCount; ++r, record += ControlRecord::kSize)
        ControlRecord::takeSnapshot(*recordControls_[r], record, openedRecords_[r]);
}

void CTaNGRAQVTemplate::writeBodyInto(ByteSequence& out) const {
    // Most controls are as they were opened: the encoding then holds their
    // records, and only the others are encoded.
    const ByteSequence& opened = openedEncoding();
    const bool fromOpened = opened.size() == kDumpSize;
    if (fromOpened) out = opened;
    else out.resize(kDumpSize);
    uint8_t* const start = out.data();
    writeSettingsTo(start);
    ByteSequence::clearTopBitBytes(start + 1, kRecordsOffset - 1);
    uint8_t* record = start + kRecordsOffset;
    for (size_t r = 0; r < kRecordCount; ++r, record += ControlRecord::kSize) {
        const CBaseControlState& ctl = *recordControls_[r];
        if (fromOpened && ControlRecord::encodesAs(ctl, openedRecords_[r])) continue;
        ControlRecord::writeTo(ctl, record);
    }
    record[0] = ByteSequence::dumpByte(deviceByte4109);
    record[1] = ByteSequence::dumpByte(deviceByte4110);
    record[2] = 0xF7;
}

const std::vector<PreservationUnit>& CTaNGRAQVTemplate::preservationUnits() const {
    // The two names are values of their own; a control record's bytes mean
    // what its type byte says. Every other byte is kept on its own.
    static const std::vector<PreservationUnit> units = [] {
        std::vector<PreservationUnit> u;
        auto add = [&u](size_t at, size_t n, uint16_t key) {
            u.push_back({static_cast<uint16_t>(at), static_cast<uint16_t>(n), key});
        };
        const size_t locals = CSysExHeader::kSize;
        add(locals, CTemplateLocalData::kTemplateNameLength, PreservationUnit::kWhole);
        add(locals + CTemplateLocalData::kTemplateNameLength, CTemplateLocalData::kManufacturerNameLength,
            PreservationUnit::kWhole);
        for (int r = 0; r < kRecordCount; ++r)
            add(kRecordsOffset + static_cast<size_t>(r) * ControlRecord::kSize, ControlRecord::kSize,
                ControlRecord::kTypeByte);
        return u;
    }();
    return units;
}
