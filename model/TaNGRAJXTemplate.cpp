#include "TaNGRAJXTemplate.h"

#include "SiblingRecord.h"

using namespace SiblingRecord;

namespace {
// The device numbers its message types differently from 4 on.
int typeFromDump(int v) {
    switch (v) {
        case 4: return ControlType::MMC;
        case 5: return ControlType::NoteOnOff;
        case 6: return ControlType::ProgramChange;
        case 7: return ControlType::PitchBend;
        default: return v;
    }
}

int typeToDump(int type) {
    switch (type) {
        case ControlType::MMC: return 4;
        case ControlType::NoteOnOff: return 5;
        case ControlType::ProgramChange: return 6;
        case ControlType::PitchBend: return 7;
        default: return type;
    }
}

const TypeMapping kTypes{typeFromDump, typeToDump};

constexpr size_t kNameOffset = 10;

void readRecord(CBaseControlState& ctl, const uint8_t* r, bool button) {
    readType(ctl, r[0], kTypes);
    const int type = ctl.controlType;
    switch (type) {
        case ControlType::MMC:
            ctl.lsbNumber = r[1];
            ctl.midiChannel = r[2];  // the device number
            break;
        case ControlType::NoteOnOff:
            ctl.lsbNumber = r[1];
            ctl.setOffValue(r[2], false);
            break;
        case ControlType::CC:
            ctl.msbNumber = r[1];
            ctl.lsbNumber = r[2];
            break;
        case ControlType::ProgramChange:
            ctl.setOffValue(r[1], false);
            ctl.lsbNumber = r[2];
            break;
        default:
            ctl.lsbNumber = r[1];
            ctl.msbNumber = r[2];
            break;
    }
    ctl.displayFormat = r[3] & 0x01;
    ctl.stepSize = static_cast<uint8_t>((r[3] >> 1) + 1);
    if (!button) ctl.potCatchup = r[4] == 1 ? 1 : 0;
    else if (r[4] <= ButtonAction::Step) ctl.buttonAction = r[4];
    if (type == ControlType::MMC) ctl.mmcCommand = r[5];
    else if (type == ControlType::NoteOnOff || type == ControlType::ProgramChange) ctl.msbNumber = r[5];
    else ctl.setOffValue(r[5], false);
    ctl.setOnValue(r[6], false);
    if (type != ControlType::MMC) ctl.midiChannel = r[7] + 1;
    ctl.sourcePortByte = r[8];
    switch (r[8]) {
        case 0: ctl.portUsb1 = true; ctl.portMidi1 = false; break;
        case 1: ctl.portUsb1 = false; ctl.portMidi1 = true; break;
        case 2:
        case 3: ctl.portUsb1 = true; ctl.portMidi1 = true; break;
        default: break;  // the ports keep their defaults
    }
    ctl.snapshotValue = r[9];
    ctl.setName(readName(r + kNameOffset));
}

void writeRecord(const CBaseControlState& ctl, uint8_t* r, bool button) {
    const int type = ctl.controlType;
    put(r, 0, writeType(ctl, kTypes));
    switch (type) {
        case ControlType::MMC: put(r, 1, ctl.lsbNumber); put(r, 2, ctl.midiChannel); break;
        case ControlType::NoteOnOff: put(r, 1, ctl.lsbNumber); put(r, 2, ctl.offValue); break;
        case ControlType::CC: put(r, 1, ctl.msbNumber); put(r, 2, ctl.lsbNumber); break;
        case ControlType::ProgramChange: put(r, 1, ctl.offValue); put(r, 2, ctl.lsbNumber); break;
        default: put(r, 1, ctl.lsbNumber); put(r, 2, ctl.msbNumber); break;
    }
    put(r, 3, (ctl.displayFormat & 0x01) | ((ctl.stepSize - 1) << 1));
    put(r, 4, button ? ctl.buttonAction : (ctl.potCatchup == 1 ? 1 : 0));
    if (type == ControlType::MMC) put(r, 5, ctl.mmcCommand);
    else if (type == ControlType::NoteOnOff || type == ControlType::ProgramChange) put(r, 5, ctl.msbNumber);
    else put(r, 5, ctl.offValue);
    put(r, 6, ctl.onValue);
    put(r, 7, type == ControlType::MMC ? 0 : ctl.midiChannel - 1);
    put(r, 8, ctl.sourcePortByte);
    put(r, 9, ctl.snapshotValue);
    writeName(r + kNameOffset, ctl.name);
}
}  // namespace

// ---- header ----------------------------------------------------------------

CTaNGRAJXSysExHeader::CTaNGRAJXSysExHeader() { bytes = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x04}; }

bool CTaNGRAJXSysExHeader::read(const ByteSequence& in, size_t& position) {
    if (in.size() < kSize || position > in.size() - kSize) return false;
    const uint8_t* b = in.data() + position;
    if (!(b[1] == 0x00 && b[2] == 0x20 && b[3] == 0x29 && b[4] == 0x02 && b[5] == 0x04)) return false;
    for (size_t i = 0; i < kSize; ++i) bytes[i] = b[i];
    position += kSize;
    return true;
}

void CTaNGRAJXSysExHeader::appendTo(ByteSequence& out) const {
    out.appendRaw(bytes[0]);  // the dump's opening framing byte
    for (size_t i = 1; i < kSize; ++i) out.append(bytes[i]);
}

// ---- settings --------------------------------------------------------------

void CTaNGRAJXLocals::reset() {
    resetLocalData();
    portByte = 0;
}

bool CTaNGRAJXLocals::read(const ByteSequence& in, size_t& p) {
    if (in.size() < kSize || p > in.size() - kSize) return false;
    const size_t base = p;
    size_t q = base;
    templateName = readNameField(in, q, kTemplateNameLength);
    velocityCurve = in[base + 16];
    overrideChannel = in[base + 17];
    keyboardChannel = in[base + 18];
    portByte = in[base + 19];
    padXType = in[base + 20];
    padYType = in[base + 21];
    octave = in[base + 22];
    p = base + kSize;  // byte 23 is not used
    return true;
}

ByteSequence CTaNGRAJXLocals::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CTaNGRAJXLocals::appendTo(ByteSequence& out) const {
    writeNameField(out, templateName, kTemplateNameLength);
    out.append(velocityCurve);
    out.append(overrideChannel);
    out.append(keyboardChannel);
    out.append(portByte);
    out.append(static_cast<uint8_t>(padXType));
    out.append(static_cast<uint8_t>(padYType));
    out.append(octave);
    out.append(0x00);
}

// ---- template --------------------------------------------------------------

CTaNGRAJXTemplate::CTaNGRAJXTemplate()
    : CSiblingTemplate(kControlCount, orderOf({{0, 35}, {38, 38}, {37, 37}, {36, 36}, {39, 48}})) {
    reset();
}

void CTaNGRAJXTemplate::reset() {
    header_ = CTaNGRAJXSysExHeader();
    locals.reset();
    zonesEnabled_ = false;
    resetControls();
    filePath.clear();
}

bool CTaNGRAJXTemplate::readBody(const ByteSequence& bytes, size_t& position) {
    if (bytes.size() < kDumpSize || position != 0) return false;
    size_t p = 0;
    if (!header_.read(bytes, p)) return false;
    if (!locals.read(bytes, p)) return false;
    resetControls();
    readRecords(bytes, p, kRecordSize, readRecord);
    position = p + 1;  // the closing 0xF7 is not examined
    return true;
}

ByteSequence CTaNGRAJXTemplate::writeBody() const {
    ByteSequence out;
    out.reserve(kDumpSize);
    header_.appendTo(out);
    locals.appendTo(out);
    writeRecords(out, kRecordSize, writeRecord);
    out.appendRaw(0xF7);
    return out;
}
