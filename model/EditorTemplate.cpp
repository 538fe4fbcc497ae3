#include "EditorTemplate.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Command.h"
#include "DeviceFacts.h"
#include "ModelHooks.h"
#include "NameTools.h"
#include "TemplateParts.h"

namespace {
const char* const kClampNotice =
    "This template contained controls with settings outside their range.  These settings have been clamped "
    "inside the range of the control.";
const char* const kDroppedNotice =
    "This template contains controls which will not work with this hardware.\n\nThese controls will not be loaded.";

std::string abbreviate(const std::string& name, int maxLength) {
    if (auto* tools = ModelHooks::get().nameTools) return tools->abbreviateName(name, maxLength);
    return name.substr(0, static_cast<size_t>(maxLength));
}

void rememberName(const std::string& name) {
    if (auto* tools = ModelHooks::get().nameTools) tools->addName(name);
}

// Every save frames its bytes as one message, whatever was loaded: its data
// bytes are the model's (every writer puts them through the dump-byte rule)
// or kept bits of data bytes as read, which passed the rule too.
void frameMessage(ByteSequence& bytes) {
    const size_t n = bytes.size();
    if (n < 2) return;
    bytes[0] = 0xF0;
    bytes[n - 1] = 0xF7;
}
}  // namespace

CEditorTemplate::CEditorTemplate() = default;

CEditorTemplate::~CEditorTemplate() = default;

bool CEditorTemplate::readBodyWithEncoding(const ByteSequence& bytes, size_t& position, ByteSequence& encoding) {
    const size_t n = bytes.size();
    if (n > 2 && ByteSequence::hasTopBitByte(bytes.data() + 1, n - 2)) {
        ByteSequence cleared = bytes;
        ByteSequence::clearTopBitBytes(cleared.data() + 1, n - 2);
        if (!readBody(cleared, position)) return false;
    } else if (!readBody(bytes, position)) {
        return false;
    }
    writeBodyInto(encoding);
    return true;
}

bool CEditorTemplate::load(const ByteSequence& bytes, size_t& position) {
    // A data byte with the top bit set (MIDI input can deliver one) is read
    // as the save will write it, 0x00: otherwise the model would hold a value
    // its own save cannot carry, and reopening that save would differ.
    if (!readBodyWithEncoding(bytes, position, readEncoding_)) return false;
    std::swap(openedEncoding_, readEncoding_);
    loadedBytes = bytes;
    // The model's own encoding, XORed with the input: the bits it cannot reproduce.
    const size_t common = std::min(bytes.size(), openedEncoding_.size());
    preservationMask.resize(common);
    maskHasBits_ = ByteSequence::xorBytes(preservationMask.data(), loadedBytes.data(), openedEncoding_.data(), common);
    keepUnreproducibleBits();
    return true;
}

void CEditorTemplate::keepUnreproducibleBits() {
    keptBytes_.clear();
    const size_t n = openedEncoding_.size();
    // A longer dump than the device's own: saves write the model alone.
    if (!maskHasBits_ || n < 2 || n != loadedBytes.size() || n != preservationMask.size()) return;
    const uint8_t* loaded = loadedBytes.data();
    const uint8_t* mask = preservationMask.data();
    const uint8_t* encoded = openedEncoding_.data();
    const std::vector<PreservationUnit>& units = preservationUnits();
    size_t unit = 0;
    // Only bytes the mask marks can differ; the framing bytes are always written as such.
    for (size_t i = ByteSequence::nextSetByte(mask, 1, n - 1); i < n - 1;
         i = ByteSequence::nextSetByte(mask, i + 1, n - 1)) {
        // A data byte with its top bit was read, and is written, as 0x00: the
        // bits to keep are those of the byte as read. After the checks of
        // opening changed a value, the bits the model reproduced at loading
        // take the new encoding.
        const uint8_t read = ByteSequence::dumpByte(loaded[i]);
        const uint8_t unreproducible = static_cast<uint8_t>(read ^ loaded[i] ^ mask[i]);
        const uint8_t kept = static_cast<uint8_t>((unreproducible & read) | (~unreproducible & encoded[i]));
        if (kept == encoded[i]) continue;
        while (unit < units.size() && static_cast<size_t>(units[unit].offset) + units[unit].length <= i) ++unit;
        const bool inUnit = unit < units.size() && units[unit].offset <= i;
        keptBytes_.push_back({static_cast<uint32_t>(i), kept, inUnit ? static_cast<int32_t>(unit) : -1});
    }
}

void CEditorTemplate::forgetLoadedDump() {
    loadedBytes.clear();
    preservationMask.clear();
    openedEncoding_.clear();
    keptBytes_.clear();
    maskHasBits_ = false;
}

const std::vector<PreservationUnit>& CEditorTemplate::preservationUnits() const {
    static const std::vector<PreservationUnit> none;
    return none;
}

bool CEditorTemplate::unitEncodedAsOpened(const uint8_t* now, int32_t unit) const {
    if (unit < 0) return true;
    const PreservationUnit& u = preservationUnits()[static_cast<size_t>(unit)];
    const uint8_t* opened = openedEncoding_.data();
    if (u.keyByte != PreservationUnit::kWhole) return now[u.offset + u.keyByte] == opened[u.offset + u.keyByte];
    return std::memcmp(now + u.offset, opened + u.offset, u.length) == 0;
}

// The loaded bits the model cannot reproduce are put back only where the model
// still writes what it wrote when the template was opened: once an edit has
// changed a byte, its loaded bits no longer mean what they meant, and it is
// written from the model alone. A control record whose type changed is
// written from the model alone as a whole, since its type gives every other
// byte its meaning.
ByteSequence CEditorTemplate::save() const {
    ByteSequence out;
    writeBodyInto(out);
    const size_t n = out.size();
    // Nothing kept when nothing was loaded, or when what was loaded has been
    // dropped since.
    if (n == openedEncoding_.size() && n == loadedBytes.size() && n == preservationMask.size()) {
        uint8_t* now = out.data();
        const uint8_t* opened = openedEncoding_.data();
        // A piece is judged before any of its bytes takes a kept value (a
        // record's type byte may be one of them).
        for (size_t k = 0; k < keptBytes_.size();) {
            const int32_t unit = keptBytes_[k].unit;
            size_t end = k + 1;
            while (unit >= 0 && end < keptBytes_.size() && keptBytes_[end].unit == unit) ++end;
            const bool pieceAsOpened = unitEncodedAsOpened(now, unit);
            for (; k < end; ++k) {
                const KeptByte& kept = keptBytes_[k];
                if (pieceAsOpened && now[kept.offset] == opened[kept.offset]) now[kept.offset] = kept.value;
            }
        }
    }
    frameMessage(out);
    return out;
}

void CEditorTemplate::setLocation(int n) { header().bytes[12] = static_cast<uint8_t>(n); }

void CEditorTemplate::setBulkFlag(bool b) { header().bytes[7] = b ? 1 : 0; }

std::string CEditorTemplate::suggestedFileName() const {
    if (fromFile && !filePath.empty()) return filePath;
    std::string text = displayName();
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool keep = (u < 0x80 && std::isalnum(u)) || c == ' ' || c == '-' || c == '.' || c == '_';
        if (!keep) c = '_';
    }
    return text + ".syx";
}

int CEditorTemplate::nextIndex(int index, bool forward) const {
    if (forward) return index >= lastIndex() ? 0 : index + 1;
    return index < 1 ? lastIndex() : index - 1;
}

CBaseControlState* CEditorTemplate::importedControlAt(int index) {
    const int n = index - lastIndex() - 1;
    if (n < 0 || n >= static_cast<int>(importedControls.size())) return nullptr;
    return &importedControls[static_cast<size_t>(n)];
}

bool CEditorTemplate::clampControls() {
    const DeviceFacts& facts = deviceFacts();
    // As clampSnapshot on each control, but the observer of default values
    // is told once, after all of them.
    bool changed = false;
    bool anyRange = false;
    auto clamp = [&](CBaseControlState& ctl, int index) {
        ctl.isContinuous = facts.isContinuousControl(index);
        const std::optional<int> value = ctl.clampedSnapshot();
        if (!value) return;
        anyRange = true;
        changed |= *value != ctl.snapshotValue;
        ctl.snapshotValue = *value;
    };
    const int last = lastIndex();
    if (CBaseControlState* const own = ownControls()) {
        for (int i = 0; i <= last; ++i) clamp(own[i], i);
    } else {
        for (int i = 0; i <= last; ++i)
            if (CBaseControlState* ctl = controlAt(i)) clamp(*ctl, i);
    }
    if (anyRange)
        if (IControlObservers* const observers = ModelHooks::get().observers) observers->notifySnapshotObserver();
    return changed;
}

void CEditorTemplate::validate() {
    const bool clamped = clampControls();
    if (clamped) {
        ModelHooks::notice(kClampNotice);
        markModified();
    }
    const bool repaired = repairOpenedSettings();
    // The checks end opening: what they changed is part of the opened
    // template, and a clamped record keeps every loaded bit but its new value.
    if ((clamped || repaired) && !openedEncoding_.empty()) {
        writeBodyInto(readEncoding_);  // which may copy from openedEncoding_
        std::swap(openedEncoding_, readEncoding_);
        keepUnreproducibleBits();
        openingEnded();
    }
}

void CEditorTemplate::markSaved() {
    savedIndex = currentIndex;
    savedValid = true;
}

void CEditorTemplate::markModified() {
    savedIndex = currentIndex;
    savedValid = false;
}

void CEditorTemplate::clearHistory() {
    history.clear();
    currentIndex = -1;
    ++historyVersion;
}

void CEditorTemplate::assignFrom(const CEditorTemplate& other) {
    if (&other == this) return;
    const ByteSequence bytes = other.save();
    size_t position = 0;
    load(bytes, position);
    clearHistory();
    savedIndex = -1;
    savedValid = false;
    fromFile = false;
}

bool CEditorTemplate::appendImportedFrom(const CEditorTemplate& other) {
    importedControls.insert(importedControls.end(), other.importedControls.begin(), other.importedControls.end());
    return true;
}

bool CEditorTemplate::importControlsFrom(const CEditorTemplate& other) {
    const DeviceFacts& facts = deviceFacts();
    bool dropped = false;
    // The names as this template had them, of the controls it added.
    std::vector<std::pair<size_t, std::string>> originals;
    for (int i = 0; i <= other.lastIndex(); ++i) {
        const CBaseControlState* ctl = other.controlAt(i);
        if (!ctl) break;
        if (ctl->controlType == ControlType::Disabled) continue;
        if (!facts.isMessageTypeSupported(ctl->controlType)) {
            dropped = true;
            continue;
        }
        auto reduced = [&](const std::string& name) {
            CBaseControlState copy = *ctl;
            copy.setLongName(name);
            copy.setName(abbreviate(name, facts.maxNameLength));
            return copy;
        };
        auto find = [&](const CBaseControlState& copy) {
            return static_cast<size_t>(std::find(importedControls.begin(), importedControls.end(), copy) -
                                       importedControls.begin());
        };
        CBaseControlState copy = reduced(toNameCharacters(ctl->name));
        size_t at = find(copy);
        // Dropping what the display lacks can make two different controls of
        // this template equal ("Vol[1]" and "Vol1"); replacing it keeps them apart.
        if (at < importedControls.size()) {
            const auto same = std::find_if(originals.begin(), originals.end(), [&](const auto& o) { return o.first == at; });
            if (same != originals.end() && same->second != ctl->name) {
                const CBaseControlState replaced = reduced(toNameCharactersReplacing(ctl->name));
                if (find(replaced) >= importedControls.size()) {
                    copy = replaced;
                } else {
                    // This name lost nothing ("Vol1" after "Vol[1]"): the earlier
                    // control takes the stand-ins instead.
                    const CBaseControlState earlier = reduced(toNameCharactersReplacing(same->second));
                    if (find(earlier) >= importedControls.size()) importedControls[at] = earlier;
                }
                at = find(copy);
            }
        }
        rememberName(copy.longName);
        rememberName(copy.name);
        if (at >= importedControls.size()) {
            originals.emplace_back(importedControls.size(), ctl->name);
            importedControls.push_back(copy);
        }
    }
    if (dropped) ModelHooks::notice(kDroppedNotice);
    return true;
}

bool CEditorTemplate::importFrom(const CEditorTemplate& other) {
    const DeviceFacts& facts = deviceFacts();
    setTemplateName(toNameCharacters(trimTrailingBlanks(other.localSettings().templateName)));
    setManufacturerName(toNameCharacters(trimTrailingBlanks(other.localSettings().manufacturerName)));
    if (facts.hasKeyboardZones) {
        setZonesEnabled(other.zonesEnabled());
        for (int z = 0; z < 4; ++z) {
            const CKeyboardZone* from = other.keyboardZone(z);
            CKeyboardZone* to = keyboardZone(z);
            if (from && to) *to = *from;
        }
    }
    importControlsFrom(other);

    // Place the imported controls on the device's own controls in index order.
    // A control that the current index refuses waits, so that the controls
    // after it keep their places; once the walk is done, each waiting control
    // takes the first free index after the one that refused it that accepts it.
    struct Waiting {
        const CBaseControlState* control;
        int refusedAt;
    };
    std::vector<Waiting> waiting;
    std::vector<bool> taken(static_cast<size_t>(lastIndex()) + 1, false);
    auto prepare = [&](int index) {
        CBaseControlState* dest = controlAt(index);
        if (!dest) return dest;
        dest->isContinuous = facts.isContinuousControl(index);
        dest->clampSnapshot();
        return dest;
    };
    auto place = [&](CBaseControlState& dest, const CBaseControlState& imported, int index) {
        const bool continuous = dest.isContinuous;
        dest = imported;
        dest.isContinuous = continuous;  // a property of the place, not of the settings
        taken[static_cast<size_t>(index)] = true;
    };
    int target = 0;
    for (const CBaseControlState& imported : importedControls) {
        if (target > lastIndex()) continue;
        while (target <= lastIndex() && !indexExists(target)) ++target;
        if (target > lastIndex()) continue;
        CBaseControlState* dest = prepare(target);
        if (dest && facts.canHoldState(target, imported)) {
            place(*dest, imported, target);
            ++target;
        } else {
            waiting.push_back({&imported, target});
        }
    }
    for (const Waiting& w : waiting) {
        for (int j = w.refusedAt + 1; j <= lastIndex(); ++j) {
            if (!indexExists(j) || taken[static_cast<size_t>(j)]) continue;
            CBaseControlState* dest = prepare(j);
            if (dest && facts.canHoldState(j, *w.control)) {
                place(*dest, *w.control, j);
                break;
            }
        }
    }
    return true;
}

void CEditorTemplate::importPluginNames(const PluginDescription& plugin) {
    setTemplateName(toNameCharacters(plugin.name));
    setManufacturerName(toNameCharacters(plugin.vendor));
    markModified();
    fromFile = false;
    int next = 0;
    int mapped = 0;
    for (PluginBinding p : plugin.parameters) {
        p.fullName = toNameCharacters(p.fullName);
        p.shortName = toNameCharacters(p.shortName);
        CBaseControlState fresh;
        fresh.bindPluginParameter(p);
        importedControls.push_back(fresh);
        while (next <= lastIndex() && !indexExists(next)) ++next;
        if (next <= lastIndex()) {
            if (CBaseControlState* ctl = controlAt(next)) {
                ctl->bindPluginParameter(p);
                ++mapped;
            }
            ++next;
        }
    }
    const int total = static_cast<int>(plugin.parameters.size());
    if (mapped < total) {
        char buf[512];
        std::snprintf(buf, sizeof buf,
                      "Too many parameters - %d were not mapped out of a total of %d.\n\nYou can map the other "
                      "parameters by right-clicking on a control and choosing \"Imported Controls\".  The menu "
                      "shows all the parameters from the plugin - those which have been assigned to the template "
                      "have a check mark next to them.",
                      total - mapped, total);
        ModelHooks::notice(buf);
    }
}
