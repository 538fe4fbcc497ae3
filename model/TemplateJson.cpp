#include "model/TemplateJson.h"

#include "TemplateParts.h"

using nlohmann::json;

json controlToJson(const CBaseControlState& c) {
    json sysEx = {{"hasDataPosition", c.sysExData.hasDataPosition},
                  {"endPosition", c.sysExData.endPosition},
                  {"dataPosition", c.sysExData.dataPosition},
                  {"bytes", c.sysExData.bytes}};
    json plugin = {{"fullName", c.pluginBinding.fullName},
                   {"shortName", c.pluginBinding.shortName},
                   {"index", c.pluginBinding.index}};
    return {{"name", c.name},
            {"longName", c.longName},
            {"controlType", c.controlType},
            {"snapshotValue", c.snapshotValue},
            {"flagA0", c.flagA0},
            {"flagA1", c.flagA1},
            {"portMidi1", c.portMidi1},
            {"portMidi2", c.portMidi2},
            {"portUsb1", c.portUsb1},
            {"portUsb2", c.portUsb2},
            {"portUsb3", c.portUsb3},
            {"portGroup", c.portGroup},
            {"channelGroup", c.channelGroup},
            {"flagB0", c.flagB0},
            {"flagB1", c.flagB1},
            {"reversedRange", c.reversedRange},
            {"flagB2", c.flagB2},
            {"potCatchup", c.potCatchup},
            {"potBit6", c.potBit6},
            {"lsbNumber", c.lsbNumber},
            {"msbNumber", c.msbNumber},
            {"midiChannel", c.midiChannel},
            {"mmcCommand", c.mmcCommand},
            {"displayFormat", c.displayFormat},
            {"flagB4", c.flagB4},
            {"channelHighBits", c.channelHighBits},
            {"offValue", c.offValue},
            {"onValue", c.onValue},
            {"stepSize", c.stepSize},
            {"buttonAction", c.buttonAction},
            {"drumAutoOffTime", c.drumAutoOffTime},
            {"drumOffSync", c.drumOffSync},
            {"sysEx", sysEx},
            {"rawByte5", c.rawByte5},
            {"rawByte6", c.rawByte6},
            {"rawByte7", c.rawByte7},
            {"channelFlag", c.channelFlag},
            {"sourcePortByte", c.sourcePortByte},
            {"isContinuous", c.isContinuous},
            {"plugin", plugin}};
}

namespace {
json localsToJson(const CTaNGRAQVLocals& l) {
    return {{"deviceByte48", l.deviceByte48},
            {"keyboardChannel", l.keyboardChannel},
            {"deviceByte90", l.deviceByte90},
            {"deviceByte91", l.deviceByte91},
            {"velocityCurve", l.velocityCurve},
            {"octave", l.octave},
            {"localByteA", l.localByteA},
            {"localByteB", l.localByteB},
            {"keyboardPortMidi1", l.keyboardPortMidi1},
            {"keyboardPortMidi2", l.keyboardPortMidi2},
            {"keyboardPortUsb", l.keyboardPortUsb},
            {"afterTouch", l.afterTouch},
            {"potPickup", l.potPickup},
            {"autoSnapshot", l.autoSnapshot},
            {"synthTemplate", l.synthTemplate},
            {"overrideChannel", l.overrideChannel},
            {"padXType", l.padXType},
            {"padYType", l.padYType},
            {"templateName", trimTrailingBlanks(l.templateName)},
            {"manufacturerName", trimTrailingBlanks(l.manufacturerName)},
            {"groupPageCount", l.groupPageCount},
            {"groupPageNumber", l.groupPageNumber},
            {"hasDeviceByte51", l.hasDeviceByte51},
            {"synthByControl", l.synthByControl},
            {"synthByMidi", l.synthByMidi},
            {"hybrid", l.hybrid},
            {"transpose", l.transpose},
            {"deviceByte49", l.deviceByte49},
            {"deviceByte50", l.deviceByte50},
            {"deviceByte51", l.deviceByte51},
            {"deviceByte54", l.deviceByte54},
            {"numCmn", l.numCmn},
            {"pgcnSize", l.pgcnSize},
            {"deviceByte57", l.deviceByte57},
            {"deviceBytes58", l.deviceBytes58},
            {"rowSelectDefaults", l.rowSelectDefaults},
            {"deviceByte84", l.deviceByte84},
            {"deviceByte85", l.deviceByte85},
            {"deviceByte95", l.deviceByte95}};
}

json groupsToJson(const CTemplateGroupData& g) {
    return {{"kbdChannel", g.kbdChannel},
            {"kbdPortMidi1", g.kbdPortMidi1},
            {"kbdPortMidi2", g.kbdPortMidi2},
            {"kbdPortUsb1", g.kbdPortUsb1},
            {"kbdPortUsb2", g.kbdPortUsb2},
            {"kbdPortUsb3", g.kbdPortUsb3},
            {"commonChannel", g.commonChannel},
            {"commonPortMidi1", g.commonPortMidi1},
            {"commonPortMidi2", g.commonPortMidi2},
            {"commonPortUsb1", g.commonPortUsb1},
            {"commonPortUsb2", g.commonPortUsb2},
            {"commonPortUsb3", g.commonPortUsb3},
            {"kbdAsCommonChannel", g.kbdAsCommonChannel},
            {"kbdAsCommonPorts", g.kbdAsCommonPorts}};
}

json zoneToJson(const CKeyboardZone& z) {
    return {{"transpose", z.transpose},         {"velocityOffset", z.velocityOffset},
            {"channelGroup", z.channelGroup},   {"channel", z.channel},
            {"portGroup", z.portGroup},         {"portMidi1", z.portMidi1},
            {"portMidi2", z.portMidi2},         {"portUsb1", z.portUsb1},
            {"portUsb2", z.portUsb2},           {"portUsb3", z.portUsb3},
            {"afterTouch", z.afterTouch},       {"pitchBend", z.pitchBend},
            {"modWheel", z.modWheel},           {"bottomNote", z.bottomNote},
            {"topNote", z.topNote}};
}
}  // namespace

json templateToJson(const CTaNGRAQVTemplate& t) {
    json j;
    j["templateName"] = trimTrailingBlanks(t.locals.templateName);
    j["manufacturerName"] = trimTrailingBlanks(t.locals.manufacturerName);
    j["displayName"] = t.displayName();
    j["header"] = t.header_.bytes;
    j["locals"] = localsToJson(t.locals);
    j["groups"] = groupsToJson(t.locals.groups);
    j["layoutByte"] = t.layoutByte;
    j["zonesEnabled"] = t.zonesEnabled_;
    j["zoneFlag2"] = t.zoneFlag2;
    j["deviceByte153"] = t.deviceByte153;
    j["deviceByte154"] = t.deviceByte154;
    j["deviceBytes179"] = t.deviceBytes179;
    j["deviceByte4109"] = t.deviceByte4109;
    j["deviceByte4110"] = t.deviceByte4110;
    json zones = json::array();
    for (const auto& z : t.zones) zones.push_back(zoneToJson(z));
    j["zones"] = zones;
    json controls = json::array();
    for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; ++i) {
        json c = {{"index", i}};
        c.update(controlToJson(t.controls[static_cast<size_t>(i)]));
        controls.push_back(c);
    }
    j["controls"] = controls;
    json extra = json::array();
    for (const auto& c : t.extraControls) extra.push_back(controlToJson(c));
    j["extraControls"] = extra;
    json imported = json::array();
    for (const auto& c : t.importedControls) imported.push_back(controlToJson(c));
    j["importedControls"] = imported;
    return j;
}
