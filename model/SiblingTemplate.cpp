#include "SiblingTemplate.h"

#include <algorithm>

#include "DeviceFacts.h"
#include "SiblingRecord.h"

// ---- settings block ----------------------------------------------------------

CSiblingLocals::CSiblingLocals(size_t size, int manufacturerOffset)
    : raw(size, 0), manufacturerOffset_(manufacturerOffset) {
    reset();
}

void CSiblingLocals::reset() {
    resetLocalData();
    std::fill(raw.begin(), raw.end(), 0);
}

bool CSiblingLocals::read(const ByteSequence& in, size_t& position) {
    if (in.size() < raw.size() || position > in.size() - raw.size()) return false;
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = in[position + i];
    size_t q = position;
    templateName = readNameField(in, q, kTemplateNameLength);
    if (manufacturerOffset_ != kNoManufacturerName) {
        q = position + static_cast<size_t>(manufacturerOffset_);
        manufacturerName = readNameField(in, q, kManufacturerNameLength);
    }
    position += raw.size();
    return true;
}

ByteSequence CSiblingLocals::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CSiblingLocals::appendTo(ByteSequence& out) const {
    ByteSequence block;
    writeNameField(block, templateName, kTemplateNameLength);
    size_t at = kTemplateNameLength;
    if (manufacturerOffset_ != kNoManufacturerName) {
        for (; at < static_cast<size_t>(manufacturerOffset_); ++at) block.append(raw[at]);
        writeNameField(block, manufacturerName, kManufacturerNameLength);
        at += kManufacturerNameLength;
    }
    for (; at < raw.size(); ++at) block.append(raw[at]);
    out.appendAll(block);
}

// ---- first-generation keyboard zone -------------------------------------------

bool CTaNGRAKeyboardZone::read(const ByteSequence& in, size_t& p) {
    if (in.size() < kSize || p > in.size() - kSize) return false;
    const uint8_t ch = in[p];
    channel = ch & 0x0F;
    portUsb1 = ch & 0x10;
    portMidi1 = ch & 0x20;
    portMidi2 = ch & 0x40;
    velocityOffset = in[p + 1];
    bottomNote = in[p + 2];
    topNote = in[p + 3];
    transpose = in[p + 4];
    const uint8_t flags = in[p + 5];
    pitchBend = flags & 0x01;
    modWheel = flags & 0x02;
    afterTouch = flags & 0x04;
    p += kSize;
    return true;
}

ByteSequence CTaNGRAKeyboardZone::write() const {
    ByteSequence out;
    appendTo(out);
    return out;
}

void CTaNGRAKeyboardZone::appendTo(ByteSequence& out) const {
    out.append(static_cast<uint8_t>((channel & 0x0F) | (portUsb1 ? 0x10 : 0) | (portMidi1 ? 0x20 : 0) |
                                    (portMidi2 ? 0x40 : 0)));
    out.append(static_cast<uint8_t>(velocityOffset));
    out.append(static_cast<uint8_t>(bottomNote));
    out.append(static_cast<uint8_t>(topNote));
    out.append(static_cast<uint8_t>(transpose));
    out.append(static_cast<uint8_t>((pitchBend ? 0x01 : 0) | (modWheel ? 0x02 : 0) | (afterTouch ? 0x04 : 0)));
    out.appendFill(4);
}

// ---- template ------------------------------------------------------------------

const DeviceFacts& CSiblingTemplate::deviceFacts() const { return TaNGRAQVFacts(); }

CSiblingTemplate::CSiblingTemplate(int controlCount, std::vector<int> recordOrder)
    : controls(static_cast<size_t>(controlCount)), recordOrder_(std::move(recordOrder)) {
    size_t unindexed = 0;
    for (int index : recordOrder_)
        if (index == kNoIndex) ++unindexed;
    unindexedControls.resize(unindexed);
}

std::vector<int> CSiblingTemplate::orderOf(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<int> order;
    for (const auto& [first, last] : runs)
        for (int i = first; i <= last; ++i) order.push_back(i);
    return order;
}

std::string CSiblingTemplate::displayName() const {
    return trimTrailingBlanks(localSettings().manufacturerName) + " - " +
           trimTrailingBlanks(localSettings().templateName);
}

void CSiblingTemplate::setTemplateName(const std::string& text) {
    localSettings().templateName = text.substr(0, CSiblingLocals::kTemplateNameLength);
}

void CSiblingTemplate::setManufacturerName(const std::string& text) { localSettings().setManufacturerName(text); }

CBaseControlState* CSiblingTemplate::controlAt(int index) {
    if (index >= 0 && index <= lastIndex()) return &controls[static_cast<size_t>(index)];
    if (index > lastIndex()) return importedControlAt(index);
    return nullptr;
}

void CSiblingTemplate::resetControls() {
    for (auto& c : controls) c.reset();
    for (auto& c : unindexedControls) c.reset();
}

void CSiblingTemplate::takeLoadedState(CSiblingTemplate& fresh) {
    controls = std::move(fresh.controls);
    unindexedControls = std::move(fresh.unindexedControls);
    zonesEnabled_ = fresh.zonesEnabled_;
}

void CSiblingTemplate::readRecords(const ByteSequence& bytes, size_t& position, size_t recordSize,
                                   RecordReader reader) {
    // One bounds check for all records instead of one per byte.
    (void)bytes[position + recordOrder_.size() * recordSize - 1];
    size_t unindexed = 0;
    for (int index : recordOrder_) {
        const bool own = index != kNoIndex;
        CBaseControlState& ctl = own ? controls[static_cast<size_t>(index)] : unindexedControls[unindexed++];
        reader(ctl, bytes.data() + position, own && !isContinuousIndex(index));
        position += recordSize;
    }
}

void CSiblingTemplate::writeRecords(ByteSequence& out, size_t recordSize, RecordWriter writer) const {
    size_t unindexed = 0;
    for (int index : recordOrder_) {
        const bool own = index != kNoIndex;
        const CBaseControlState& ctl = own ? controls[static_cast<size_t>(index)] : unindexedControls[unindexed++];
        uint8_t* record = out.extend(recordSize);
        writer(ctl, record, own && !isContinuousIndex(index));
    }
}
