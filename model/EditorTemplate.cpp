#include "EditorTemplate.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Command.h"
#include "DeviceProfile.h"
#include "ModelHooks.h"
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

// Word-wise loops over whole dumps: every load and save runs them once.
void xorBytes(uint8_t* out, const uint8_t* a, const uint8_t* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        x ^= y;
        std::memcpy(out + i, &x, 8);
    }
    for (; i < n; ++i) out[i] = static_cast<uint8_t>(a[i] ^ b[i]);
}

// Bits set in `mask` come from `old`, all others stay as in `now`.
void mergePreserved(uint8_t* now, const uint8_t* mask, const uint8_t* old, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t m, o, w;
        std::memcpy(&m, mask + i, 8);
        std::memcpy(&o, old + i, 8);
        std::memcpy(&w, now + i, 8);
        w = (m & o) | (~m & w);
        std::memcpy(now + i, &w, 8);
    }
    for (; i < n; ++i) now[i] = static_cast<uint8_t>((mask[i] & old[i]) | (~mask[i] & now[i]));
}
}  // namespace

CEditorTemplate::CEditorTemplate() = default;

CEditorTemplate::~CEditorTemplate() = default;

bool CEditorTemplate::load(const ByteSequence& bytes, size_t& position) {
    if (!readBody(bytes, position)) return false;
    loadedBytes = bytes;
    preservationMask.clear();
    const ByteSequence regenerated = writeBody();
    const size_t common = std::min(loadedBytes.size(), regenerated.size());
    xorBytes(preservationMask.extend(common), loadedBytes.data(), regenerated.data(), common);
    return true;
}

ByteSequence CEditorTemplate::save() const {
    ByteSequence fresh = writeBody();
    if (fresh.size() != preservationMask.size() || fresh.size() != loadedBytes.size()) return fresh;
    mergePreserved(fresh.data(), preservationMask.data(), loadedBytes.data(), fresh.size());
    return fresh;
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
    const IDeviceProfile& profile = IDeviceProfile::current();
    bool changed = false;
    for (int i = 0; i <= lastIndex(); ++i) {
        CBaseControlState* ctl = controlAt(i);
        if (!ctl) continue;
        ctl->isContinuous = profile.IsContinuousControl(i);
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
    const IDeviceProfile& profile = IDeviceProfile::current();
    bool dropped = false;
    for (int i = 0; i <= other.lastIndex(); ++i) {
        const CBaseControlState* ctl = other.controlAt(i);
        if (!ctl) break;
        if (ctl->controlType == ControlType::Disabled) continue;
        if (!profile.IsMessageTypeSupported(ctl->controlType)) {
            dropped = true;
            continue;
        }
        CBaseControlState copy = *ctl;
        copy.setLongName(ctl->name);
        copy.setName(abbreviate(ctl->name, profile.GetMaxNameLength()));
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
    const IDeviceProfile& profile = IDeviceProfile::current();
    setTemplateName(trimTrailingBlanks(other.localSettings().templateName));
    setManufacturerName(trimTrailingBlanks(other.localSettings().manufacturerName));
    if (profile.HasKeyboardZones()) {
        setZonesEnabled(other.zonesEnabled());
        for (int z = 0; z < 4; ++z) {
            const CKeyboardZone* from = other.keyboardZone(z);
            CKeyboardZone* to = keyboardZone(z);
            if (from && to) *to = *from;
        }
    }
    importControlsFrom(other);

    // Place the imported controls on the device's own controls in index order.
    // A control that the current index refuses goes to the first later index
    // that accepts it, and the walk continues after that index.
    int target = 0;
    for (const CBaseControlState& imported : importedControls) {
        if (target > lastIndex()) continue;
        while (target <= lastIndex() && !indexExists(target)) ++target;
        for (int j = target; j <= lastIndex(); ++j) {
            if (!indexExists(j)) continue;
            CBaseControlState* dest = controlAt(j);
            if (!dest) continue;
            dest->isContinuous = profile.IsContinuousControl(j);
            dest->clampSnapshot();
            if (profile.CanHoldState(j, imported)) {
                *dest = imported;
                target = j + 1;
                break;
            }
        }
    }
    return true;
}

void CEditorTemplate::importPluginNames(const PluginDescription& plugin) {
    setTemplateName(plugin.name);
    setManufacturerName(plugin.vendor);
    markModified();
    fromFile = false;
    int next = 0;
    int mapped = 0;
    for (const PluginBinding& p : plugin.parameters) {
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
