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

// Word-wise loops over whole dumps: every load and save runs them.
void xorBytes(uint8_t* out, const uint8_t* a, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, out + i, 8);
        std::memcpy(&y, a + i, 8);
        x ^= y;
        std::memcpy(out + i, &x, 8);
    }
    for (; i < n; ++i) out[i] ^= a[i];
}

// True when `now` equals loaded XOR mask (what the model wrote at loading) on n bytes.
bool unchangedSinceLoading(const uint8_t* now, const uint8_t* loaded, const uint8_t* mask, size_t n) {
    uint64_t diff = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t a, b, m;
        std::memcpy(&a, now + i, 8);
        std::memcpy(&b, loaded + i, 8);
        std::memcpy(&m, mask + i, 8);
        diff |= a ^ b ^ m;
    }
    for (; i < n; ++i) diff |= static_cast<uint8_t>(now[i] ^ loaded[i] ^ mask[i]);
    return diff == 0;
}
}  // namespace

CEditorTemplate::CEditorTemplate() = default;

CEditorTemplate::~CEditorTemplate() = default;

bool CEditorTemplate::load(const ByteSequence& bytes, size_t& position) {
    // A data byte with the top bit set (MIDI input can deliver one) is read
    // as the save will write it, 0x00: otherwise the model would hold a value
    // its own save cannot carry, and reopening that save would differ.
    const size_t n = bytes.size();
    const bool topBitData =
        n > 2 && std::any_of(bytes.data() + 1, bytes.data() + n - 1, [](uint8_t b) { return b >= 0x80; });
    if (topBitData) {
        ByteSequence cleared = bytes;
        ByteSequence::clearTopBitBytes(cleared.data() + 1, cleared.size() - 2);
        if (!readBody(cleared, position)) return false;
    } else if (!readBody(bytes, position)) {
        return false;
    }
    loadedBytes = bytes;
    // The model's own encoding, XORed with the input: the bits it cannot reproduce.
    writeBodyInto(preservationMask);
    const size_t common = std::min(loadedBytes.size(), preservationMask.size());
    preservationMask.resize(common);
    xorBytes(preservationMask.data(), loadedBytes.data(), common);
    return true;
}

const std::vector<PreservationUnit>& CEditorTemplate::preservationUnits() const {
    static const std::vector<PreservationUnit> none;
    return none;
}

// The loaded bits the model cannot reproduce are put back only where the model
// still writes what it wrote at loading: once an edit has changed what a
// control record or a field encodes, the loaded bits no longer mean what they
// meant, and the piece is written from the model alone.
ByteSequence CEditorTemplate::save() const {
    ByteSequence out;
    writeBodyInto(out);
    const size_t n = out.size();
    if (n != preservationMask.size() || n != loadedBytes.size()) return out;
    const uint8_t* loaded = loadedBytes.data();
    const uint8_t* mask = preservationMask.data();
    uint8_t* now = out.data();
    if (unchangedSinceLoading(now, loaded, mask, n)) {
        std::memcpy(now, loaded, n);
    } else {
        const auto& units = preservationUnits();
        if (units.empty()) {
            for (size_t i = 0; i < n; ++i)
                if (unchangedSinceLoading(now + i, loaded + i, mask + i, 1)) now[i] = loaded[i];
        } else {
            for (const PreservationUnit& u : units)
                if (u.offset + u.length <= n &&
                    unchangedSinceLoading(now + u.offset, loaded + u.offset, mask + u.offset, u.length))
                    std::memcpy(now + u.offset, loaded + u.offset, u.length);
        }
    }
    // A loaded dump may have brought data bytes with the top bit set; they
    // are never written (only the first and last byte frame the dump), and
    // the frame itself is always a message's start and end, whatever was read.
    if (n > 2) ByteSequence::clearTopBitBytes(now + 1, n - 2);
    if (n >= 2) {
        now[0] = 0xF0;
        now[n - 1] = 0xF7;
    }
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
    bool changed = false;
    const int last = lastIndex();
    CBaseControlState* own = ownControls();
    for (int i = 0; i <= last; ++i) {
        CBaseControlState* ctl = own ? own + i : controlAt(i);
        if (!ctl) continue;
        ctl->isContinuous = facts.isContinuousControl(i);
        if (ctl->clampSnapshot()) changed = true;
    }
    return changed;
}

void CEditorTemplate::validate() {
    if (clampControls()) {
        ModelHooks::notice(kClampNotice);
        markModified();
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
    for (int i = 0; i <= other.lastIndex(); ++i) {
        const CBaseControlState* ctl = other.controlAt(i);
        if (!ctl) break;
        if (ctl->controlType == ControlType::Disabled) continue;
        if (!facts.isMessageTypeSupported(ctl->controlType)) {
            dropped = true;
            continue;
        }
        CBaseControlState copy = *ctl;
        const std::string name = toNameCharacters(ctl->name);
        copy.setLongName(name);
        copy.setName(abbreviate(name, facts.maxNameLength));
        rememberName(copy.longName);
        rememberName(copy.name);
        bool present = false;
        for (const auto& existing : importedControls)
            if (existing == copy) {
                present = true;
                break;
            }
        if (!present) importedControls.push_back(copy);
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
