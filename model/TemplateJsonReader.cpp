#include "model/TemplateJsonReader.h"

#include <array>
#include <cstdint>
#include <limits>
#include <set>
#include <type_traits>

#include "model/DeviceKind.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateJson.h"

using nlohmann::json;

json preservedBitsToJson(const CEditorTemplate& tpl) {
    // What save keeps beyond the model: exactly the difference between the
    // saved dump and the model's own encoding.
    const ByteSequence saved = tpl.save();
    const ByteSequence model = tpl.writeBody();
    json bits = json::array();
    if (saved.size() != model.size()) return bits;
    for (size_t i = 0; i < saved.size(); ++i) {
        const uint8_t mask = saved[i] ^ model[i];
        if (mask) bits.push_back({{"offset", i}, {"mask", mask}, {"value", saved[i] & mask}});
    }
    return bits;
}

namespace {
// The first problem found while reading; every reader of one template shares it.
struct ReadState {
    std::string why;
    std::set<std::string> given;  // the key paths the input gave values for
    bool ok() const { return why.empty(); }
    bool fail(const std::string& text) {
        if (why.empty()) why = text;
        return false;
    }
};

// Reads the keys of one JSON object into fields, remembering which keys it
// took so that any other key is reported as unknown.
class ObjectReader {
public:
    ObjectReader(const json& object, std::string path, ReadState& state) : obj_(object), path_(std::move(path)), state_(state) {
        if (!obj_.is_object())
            state_.fail(path_.empty() ? std::string("the template must be a JSON object") : "'" + path_ + "' must be an object");
    }

    bool ok() const { return state_.ok(); }
    std::string keyPath(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }
    const json* find(const std::string& key) {
        if (!ok() || !obj_.is_object()) return nullptr;
        taken_.insert(key);
        auto it = obj_.find(key);
        return it == obj_.end() ? nullptr : &*it;
    }
    // Accepted, not applied: it describes the template rather than holds it.
    void describe(const std::string& key) { taken_.insert(key); }

    template <class T>
    void field(const std::string& key, T& target) {
        if (const json* v = find(key)) {
            state_.given.insert(keyPath(key));
            readValue(*v, keyPath(key), target);
        }
    }
    template <class T, size_t N>
    void field(const std::string& key, std::array<T, N>& target) {
        const json* v = find(key);
        if (!v) return;
        if (!v->is_array() || v->size() != N) {
            state_.fail("'" + keyPath(key) + "' must be a list of " + std::to_string(N) + " numbers");
            return;
        }
        for (size_t i = 0; i < N && ok(); ++i) {
            const std::string at = keyPath(key) + "[" + std::to_string(i) + "]";
            state_.given.insert(at);
            readValue((*v)[i], at, target[i]);
        }
    }
    // A list of objects; `each` reads element i.
    template <class F>
    void list(const std::string& key, size_t most, F each) {
        const json* v = find(key);
        if (!v) return;
        if (!v->is_array() || v->size() > most) {
            state_.fail("'" + keyPath(key) + "' must be a list of at most " + std::to_string(most) + " objects");
            return;
        }
        for (size_t i = 0; i < v->size() && ok(); ++i) {
            ObjectReader element((*v)[i], keyPath(key) + "[" + std::to_string(i) + "]", state_);
            each(element, i);
            element.finish();
        }
    }

    // Every key not taken is unknown.
    bool finish() {
        if (!ok()) return false;
        for (auto it = obj_.begin(); it != obj_.end(); ++it)
            if (!taken_.count(it.key())) return state_.fail("unknown key '" + keyPath(it.key()) + "'");
        return true;
    }

    ReadState& state() { return state_; }

private:
    void readValue(const json& v, const std::string& at, bool& target) {
        if (!v.is_boolean()) {
            state_.fail("'" + at + "' must be true or false");
            return;
        }
        target = v.get<bool>();
    }
    void readValue(const json& v, const std::string& at, std::string& target) {
        if (!v.is_string()) {
            state_.fail("'" + at + "' must be a text");
            return;
        }
        target = v.get<std::string>();
    }
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    void readValue(const json& v, const std::string& at, T& target) {
        const long long low = std::numeric_limits<T>::min();
        const long long high = std::numeric_limits<T>::max();
        // A number above the largest signed one is out of every range here.
        const bool tooLarge = v.is_number_unsigned() && v.get<unsigned long long>() > static_cast<unsigned long long>(high);
        if (!v.is_number_integer() || tooLarge || v.get<long long>() < low || v.get<long long>() > high) {
            state_.fail("'" + at + "' must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
            return;
        }
        target = static_cast<T>(v.get<long long>());
    }

    const json& obj_;
    std::string path_;
    ReadState& state_;
    std::set<std::string> taken_;
};

void readControl(ObjectReader& r, CBaseControlState& c) {
    r.field("name", c.name);
    r.field("longName", c.longName);
    r.field("controlType", c.controlType);
    r.field("snapshotValue", c.snapshotValue);
    r.field("flagA0", c.flagA0);
    r.field("flagA1", c.flagA1);
    r.field("portMidi1", c.portMidi1);
    r.field("portMidi2", c.portMidi2);
    r.field("portUsb1", c.portUsb1);
    r.field("portUsb2", c.portUsb2);
    r.field("portUsb3", c.portUsb3);
    r.field("portGroup", c.portGroup);
    r.field("channelGroup", c.channelGroup);
    r.field("flagB0", c.flagB0);
    r.field("flagB1", c.flagB1);
    r.field("reversedRange", c.reversedRange);
    r.field("flagB2", c.flagB2);
    r.field("potCatchup", c.potCatchup);
    r.field("potBit6", c.potBit6);
    r.field("lsbNumber", c.lsbNumber);
    r.field("msbNumber", c.msbNumber);
    r.field("midiChannel", c.midiChannel);
    r.field("mmcCommand", c.mmcCommand);
    r.field("displayFormat", c.displayFormat);
    r.field("flagB4", c.flagB4);
    r.field("channelHighBits", c.channelHighBits);
    r.field("offValue", c.offValue);
    r.field("onValue", c.onValue);
    r.field("stepSize", c.stepSize);
    r.field("buttonAction", c.buttonAction);
    r.field("drumAutoOffTime", c.drumAutoOffTime);
    r.field("drumOffSync", c.drumOffSync);
    if (const json* s = r.find("sysEx")) {
        ObjectReader sr(*s, r.keyPath("sysEx"), r.state());
        sr.field("hasDataPosition", c.sysExData.hasDataPosition);
        sr.field("endPosition", c.sysExData.endPosition);
        sr.field("dataPosition", c.sysExData.dataPosition);
        sr.field("bytes", c.sysExData.bytes);
        sr.finish();
    }
    r.field("rawByte5", c.rawByte5);
    r.field("rawByte6", c.rawByte6);
    r.field("rawByte7", c.rawByte7);
    r.field("channelFlag", c.channelFlag);
    r.field("sourcePortByte", c.sourcePortByte);
    r.field("isContinuous", c.isContinuous);
    if (const json* p = r.find("plugin")) {
        ObjectReader pr(*p, r.keyPath("plugin"), r.state());
        pr.field("fullName", c.pluginBinding.fullName);
        pr.field("shortName", c.pluginBinding.shortName);
        pr.field("index", c.pluginBinding.index);
        pr.finish();
    }
}

void readLocals(ObjectReader& r, CTaNGRAQVLocals& l) {
    r.field("deviceByte48", l.deviceByte48);
    r.field("keyboardChannel", l.keyboardChannel);
    r.field("deviceByte90", l.deviceByte90);
    r.field("deviceByte91", l.deviceByte91);
    r.field("velocityCurve", l.velocityCurve);
    r.field("octave", l.octave);
    r.field("localByteA", l.localByteA);
    r.field("localByteB", l.localByteB);
    r.field("keyboardPortMidi1", l.keyboardPortMidi1);
    r.field("keyboardPortMidi2", l.keyboardPortMidi2);
    r.field("keyboardPortUsb", l.keyboardPortUsb);
    r.field("afterTouch", l.afterTouch);
    r.field("potPickup", l.potPickup);
    r.field("autoSnapshot", l.autoSnapshot);
    r.field("synthTemplate", l.synthTemplate);
    r.field("overrideChannel", l.overrideChannel);
    r.field("padXType", l.padXType);
    r.field("padYType", l.padYType);
    r.field("templateName", l.templateName);
    r.field("manufacturerName", l.manufacturerName);
    r.field("groupPageCount", l.groupPageCount);
    r.field("groupPageNumber", l.groupPageNumber);
    r.field("hasDeviceByte51", l.hasDeviceByte51);
    r.field("synthByControl", l.synthByControl);
    r.field("synthByMidi", l.synthByMidi);
    r.field("hybrid", l.hybrid);
    r.field("transpose", l.transpose);
    r.field("deviceByte49", l.deviceByte49);
    r.field("deviceByte50", l.deviceByte50);
    r.field("deviceByte51", l.deviceByte51);
    r.field("deviceByte54", l.deviceByte54);
    r.field("numCmn", l.numCmn);
    r.field("pgcnSize", l.pgcnSize);
    r.field("deviceByte57", l.deviceByte57);
    r.field("deviceBytes58", l.deviceBytes58);
    r.field("rowSelectDefaults", l.rowSelectDefaults);
    r.field("deviceByte84", l.deviceByte84);
    r.field("deviceByte85", l.deviceByte85);
    r.field("deviceByte95", l.deviceByte95);
}

void readGroups(ObjectReader& r, CTemplateGroupData& g) {
    r.field("kbdChannel", g.kbdChannel);
    r.field("kbdPortMidi1", g.kbdPortMidi1);
    r.field("kbdPortMidi2", g.kbdPortMidi2);
    r.field("kbdPortUsb1", g.kbdPortUsb1);
    r.field("kbdPortUsb2", g.kbdPortUsb2);
    r.field("kbdPortUsb3", g.kbdPortUsb3);
    r.field("commonChannel", g.commonChannel);
    r.field("commonPortMidi1", g.commonPortMidi1);
    r.field("commonPortMidi2", g.commonPortMidi2);
    r.field("commonPortUsb1", g.commonPortUsb1);
    r.field("commonPortUsb2", g.commonPortUsb2);
    r.field("commonPortUsb3", g.commonPortUsb3);
    r.field("kbdAsCommonChannel", g.kbdAsCommonChannel);
    r.field("kbdAsCommonPorts", g.kbdAsCommonPorts);
}

void readZone(ObjectReader& r, CKeyboardZone& z) {
    r.field("transpose", z.transpose);
    r.field("velocityOffset", z.velocityOffset);
    r.field("channelGroup", z.channelGroup);
    r.field("channel", z.channel);
    r.field("portGroup", z.portGroup);
    r.field("portMidi1", z.portMidi1);
    r.field("portMidi2", z.portMidi2);
    r.field("portUsb1", z.portUsb1);
    r.field("portUsb2", z.portUsb2);
    r.field("portUsb3", z.portUsb3);
    r.field("afterTouch", z.afterTouch);
    r.field("pitchBend", z.pitchBend);
    r.field("modWheel", z.modWheel);
    r.field("bottomNote", z.bottomNote);
    r.field("topNote", z.topNote);
}

// The two names appear at the top (as the list shows them) and in "locals";
// one given twice must say the same both times.
void readName(ObjectReader& top, const json* locals, const char* key, std::string& target) {
    const json* outer = top.find(key);
    if (!outer) return;
    std::string value;
    top.field(key, value);
    if (locals && locals->is_object() && locals->contains(key) && (*locals)[key] != *outer) {
        top.state().fail(std::string("'") + key + "' and 'locals." + key + "' differ; give the name once");
        return;
    }
    target = value;
}

// Every place where two JSON values differ, as key paths.
void differences(const json& a, const json& b, const std::string& path, std::vector<std::string>& out) {
    if (a.type() != b.type()) {
        out.push_back(path);
    } else if (a.is_object()) {
        for (auto it = a.begin(); it != a.end(); ++it) {
            const std::string at = path.empty() ? it.key() : path + "." + it.key();
            if (!b.contains(it.key())) out.push_back(at);
            else differences(it.value(), b[it.key()], at, out);
        }
    } else if (a.is_array()) {
        if (a.size() != b.size()) {
            out.push_back(path);
            return;
        }
        for (size_t i = 0; i < a.size(); ++i) differences(a[i], b[i], path + "[" + std::to_string(i) + "]", out);
    } else if (a != b) {
        out.push_back(path);
    }
}

const json& at(const json& j, const std::string& path) {
    return j.at(json::json_pointer(path));
}

// A name as the unit shows it: a NUL ends it, blanks pad it.
std::string shownName(std::string name) {
    name = name.substr(0, name.find('\0'));
    return name.substr(0, name.find_last_not_of(' ') + 1);
}

// The JSON of a template without what the dump does not hold, names as shown.
json dumpFields(const CTaNGRAQVTemplate& t) {
    json j = templateToJson(t);
    j.erase("displayName");
    j.erase("importedControls");
    for (const char* key : {"templateName", "manufacturerName"}) {
        j[key] = shownName(j[key]);
        j["locals"][key] = shownName(j["locals"][key]);
    }
    for (const char* list : {"controls", "extraControls"})
        for (auto& c : j[list]) {
            c.erase("longName");
            c.erase("plugin");
            c.erase("isContinuous");
            c["name"] = shownName(c["name"]);
        }
    return j;
}

// "controls[3].midiChannel" as a JSON pointer.
std::string pointerOf(const std::string& path) {
    std::string p = "/";
    for (char ch : path) {
        if (ch == '.' || ch == '[') p += '/';
        else if (ch != ']') p += ch;
    }
    return p;
}
}  // namespace

bool templateDumpFromJson(const json& j, ByteSequence& dump, std::string& why) {
    CollectingNoticeSink quiet;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &quiet;
    hooks.dataErrors = nullptr;
    ScopedModelHooks scope(hooks);
    // Keys left out keep the values of a new template as it reads back from
    // its own dump (File > New, saved and opened again).
    CTaNGRAQVTemplate t;
    {
        CTaNGRAQVTemplate fresh;
        if (!openTemplateBytes(fresh.save(), t).ok) {
            why = "a new template does not read back";
            return false;
        }
        t.loadedBytes.clear();
        t.preservationMask.clear();
    }
    ReadState state;
    ObjectReader r(j, "", state);
    for (const char* key : {"ok", "kind", "kindName", "converted", "notices", "dataErrorBytes", "osVersion", "displayName"})
        r.describe(key);
    const json* locals = r.ok() ? (j.contains("locals") ? &j["locals"] : nullptr) : nullptr;
    if (locals) {
        ObjectReader lr(*locals, "locals", state);
        readLocals(lr, t.locals);
        lr.finish();
        r.describe("locals");
    }
    readName(r, locals, "templateName", t.locals.templateName);
    readName(r, locals, "manufacturerName", t.locals.manufacturerName);
    r.field("header", t.header_.bytes);
    if (const json* g = r.find("groups")) {
        ObjectReader gr(*g, "groups", state);
        readGroups(gr, t.locals.groups);
        gr.finish();
    }
    r.field("layoutByte", t.layoutByte);
    r.field("zonesEnabled", t.zonesEnabled_);
    r.field("zoneFlag2", t.zoneFlag2);
    r.field("deviceByte153", t.deviceByte153);
    r.field("deviceByte154", t.deviceByte154);
    r.field("deviceBytes179", t.deviceBytes179);
    r.field("deviceByte4109", t.deviceByte4109);
    r.field("deviceByte4110", t.deviceByte4110);
    r.list("zones", t.zones.size(), [&](ObjectReader& z, size_t i) { readZone(z, t.zones[i]); });
    // A control's keys are named by its index, which may differ from its
    // place when only some controls are given.
    if (const json* controls = r.find("controls")) {
        std::set<int> seen;
        if (!controls->is_array() || controls->size() > static_cast<size_t>(CTaNGRAQVTemplate::kControlCount))
            state.fail("'controls' must be a list of at most " + std::to_string(CTaNGRAQVTemplate::kControlCount) +
                       " objects");
        for (size_t i = 0; state.ok() && i < controls->size(); ++i) {
            const json& element = (*controls)[i];
            int index = static_cast<int>(i);
            {
                ObjectReader position(element, "controls[" + std::to_string(i) + "]", state);
                position.field("index", index);
            }
            if (!state.ok()) break;
            if (index < 0 || index > CTaNGRAQVTemplate::kLastIndex || !seen.insert(index).second) {
                state.fail("'controls[" + std::to_string(i) + "].index' must be a control index from 0 to " +
                           std::to_string(CTaNGRAQVTemplate::kLastIndex) + ", each once");
                break;
            }
            ObjectReader c(element, "controls[" + std::to_string(index) + "]", state);
            c.describe("index");
            readControl(c, t.controls[static_cast<size_t>(index)]);
            c.finish();
        }
    }
    r.list("extraControls", t.extraControls.size(),
           [&](ObjectReader& c, size_t i) { readControl(c, t.extraControls[i]); });
    r.list("importedControls", 100000, [&](ObjectReader& c, size_t) {
        CBaseControlState imported;
        readControl(c, imported);
        t.importedControls.push_back(imported);
    });
    dump = t.writeBody();
    if (const json* bits = r.find("preservedBits")) {
        if (!bits->is_array()) {
            state.fail("'preservedBits' must be a list of objects");
        }
        for (size_t i = 0; state.ok() && i < bits->size(); ++i) {
            const std::string path = "preservedBits[" + std::to_string(i) + "]";
            ObjectReader b((*bits)[i], path, state);
            uint16_t offset = 0;
            uint8_t mask = 0, value = 0;
            b.field("offset", offset);
            b.field("mask", mask);
            b.field("value", value);
            if (!b.finish()) break;
            // The frame bytes are never kept, and no data byte carries the top bit.
            if (offset < 1 || static_cast<size_t>(offset) + 1 >= dump.size()) {
                state.fail("'" + path + ".offset' must be from 1 to " + std::to_string(dump.size() - 2));
            } else if (mask == 0 || mask > 0x7F) {
                state.fail("'" + path + ".mask' must be from 1 to 127");
            } else if (value & ~mask) {
                state.fail("'" + path + ".value' has bits outside its mask");
            } else {
                dump[offset] = static_cast<uint8_t>((dump[offset] & ~mask) | value);
            }
        }
    }
    r.finish();
    if (!state.ok()) {
        why = state.why;
        return false;
    }
    // Every value must come back from the dump: one the dump cannot carry is
    // refused rather than changed behind the user's back. The dump is only
    // decoded here; what opening repairs or clamps is checked below.
    CTaNGRAQVTemplate reopened;
    size_t position = 0;
    if (detectDeviceKind(dump) != KindTaNGRAQV || !reopened.readBody(dump, position)) {
        why = "the values given do not make a valid template";
        return false;
    }
    const json given = dumpFields(t);
    const json back = dumpFields(reopened);
    std::vector<std::string> differing;
    differences(given, back, "", differing);
    if (!differing.empty()) {
        // A value given that does not come back is the one to name; a
        // default that changed with it is only its consequence.
        // A value a new template holds in memory is the editor's own even
        // where the dump writes it otherwise (one group page is written as
        // none): a converted template shows such values.
        static const json fresh = dumpFields(CTaNGRAQVTemplate());
        std::vector<std::string> real;
        for (const auto& d : differing) {
            const std::string pointer = pointerOf(d);
            if (!fresh.contains(json::json_pointer(pointer)) || at(fresh, pointer) != at(given, pointer)) real.push_back(d);
        }
        differing = real;
    }
    if (!differing.empty()) {
        std::string differs = differing.front();
        for (const auto& d : differing)
            if (state.given.count(d)) {
                differs = d;
                break;
            }
        const std::string pointer = pointerOf(differs);
        why = "'" + differs + "': " + at(given, pointer).dump() + " cannot be kept in a template (it reads back as " +
              at(back, pointer).dump() + ")";
        return false;
    }
    // Values the editor would clamp when it opens the template are out of
    // their control's range.
    t.validate();
    const json validated = dumpFields(t);
    differing.clear();
    differences(given, validated, "", differing);
    if (!differing.empty()) {
        const std::string pointer = pointerOf(differing.front());
        why = "'" + differing.front() + "': " + at(given, pointer).dump() +
              " is out of range (opening the template would change it to " + at(validated, pointer).dump() + ")";
        return false;
    }
    return true;
}
