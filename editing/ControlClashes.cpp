#include "editing/ControlClashes.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/SysExText.h"
#include "model/TemplateParts.h"

namespace {

std::string trimmed(std::string text) {
    const size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string noteText(int note) { return "Note " + std::to_string(note) + " (" + CBaseControlState::noteName(note) + ")"; }

// Empty when the control sends nothing.
std::string messageText(const CBaseControlState& s) {
    switch (s.controlType) {
        case ControlType::CC: return "CC " + std::to_string(s.lsbNumber);
        case ControlType::NRPN:
        case ControlType::RPN:
            return std::string(s.controlType == ControlType::NRPN ? "NRPN" : "RPN") + " MSB " +
                   std::to_string(s.msbNumber) + " LSB " + std::to_string(s.lsbNumber);
        case ControlType::SysEx:
            return s.sysExData.length() > 0 ? "SysEx " + trimmed(formatMessageText(s.sysExData)) : std::string();
        case ControlType::MMC:
            return "MMC " + CBaseControlState::mmcCommandName(s.mmcCommand) + " to device " +
                   std::to_string(s.midiChannel);
        case ControlType::NoteOnOff:
        case ControlType::NoteOnOffAlt: return noteText(s.lsbNumber);
        case ControlType::DrumNote: return noteText(s.offValue);
        case ControlType::BankSelect: return "Bank Select";
        case ControlType::ProgramChange: return "Program Change " + std::to_string(s.offValue);
        case ControlType::PitchBend: return "Pitch Bend";
        case ControlType::Aftertouch: return "Aftertouch";
        default: return {};
    }
}

// The template's groups; reading them changes nothing, but the template
// hands them out only for editing.
const CTemplateGroups* groupsOf(const CEditorTemplate& tpl) {
    return const_cast<CEditorTemplate&>(tpl).groupSettings();
}

int channelOf(const CBaseControlState& s, const CTemplateGroups* groups) {
    if (s.controlType == ControlType::SysEx || s.controlType == ControlType::MMC) return 0;
    if (groups && s.channelGroup == ChannelGroup::Common) return groups->commonChannel;
    if (groups && s.channelGroup == ChannelGroup::Keyboard)
        return groups->kbdAsCommonChannel ? groups->commonChannel : groups->kbdChannel;
    return s.midiChannel;
}

PortSet portsOf(const CBaseControlState& s, const CTemplateGroups* groups) {
    const bool common = groups && (s.portGroup == PortGroup::Common ||
                                   (s.portGroup == PortGroup::Keyboard && groups->kbdAsCommonPorts));
    if (common)
        return {groups->commonPortMidi1, groups->commonPortMidi2, groups->commonPortUsb1, groups->commonPortUsb2,
                groups->commonPortUsb3};
    if (groups && s.portGroup == PortGroup::Keyboard)
        return {groups->kbdPortMidi1, groups->kbdPortMidi2, groups->kbdPortUsb1, groups->kbdPortUsb2,
                groups->kbdPortUsb3};
    return {s.portMidi1, s.portMidi2, s.portUsb1, s.portUsb2, s.portUsb3};
}

bool shareAPort(const PortSet& a, const PortSet& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] && b[i]) return true;
    return false;
}

}  // namespace

std::optional<SentMessage> sentMessage(const CEditorTemplate& tpl, int index) {
    const CBaseControlState* s = tpl.controlAt(index);
    if (!s) return std::nullopt;
    SentMessage sent;
    sent.message = messageText(*s);
    if (sent.message.empty()) return std::nullopt;
    const CTemplateGroups* groups = groupsOf(tpl);
    sent.channel = channelOf(*s, groups);
    sent.ports = portsOf(*s, groups);
    if (std::none_of(sent.ports.begin(), sent.ports.end(), [](bool b) { return b; })) return std::nullopt;
    return sent;
}

std::vector<Clash> findClashes(const CEditorTemplate& tpl) {
    std::map<std::pair<std::string, int>, std::vector<std::pair<int, PortSet>>> byMessage;
    for (int i = 0; i <= tpl.lastIndex(); ++i)
        if (const auto sent = sentMessage(tpl, i)) byMessage[{sent->message, sent->channel}].push_back({i, sent->ports});

    std::vector<Clash> clashes;
    for (const auto& [key, senders] : byMessage) {
        if (senders.size() < 2) continue;
        // Controls linked through shared ports, joined into groups.
        std::vector<size_t> group(senders.size());
        std::iota(group.begin(), group.end(), 0);
        const auto root = [&group](size_t k) {
            while (group[k] != k) k = group[k] = group[group[k]];
            return k;
        };
        for (size_t a = 0; a < senders.size(); ++a)
            for (size_t b = a + 1; b < senders.size(); ++b)
                if (shareAPort(senders[a].second, senders[b].second)) group[root(b)] = root(a);
        std::map<size_t, std::vector<size_t>> members;
        for (size_t k = 0; k < senders.size(); ++k) members[root(k)].push_back(k);
        for (const auto& [r, list] : members) {
            if (list.size() < 2) continue;
            Clash clash{key.first, key.second, {}, {}};
            std::array<int, 5> count{};
            for (size_t k : list) {
                clash.indices.push_back(senders[k].first);
                for (size_t p = 0; p < count.size(); ++p) count[p] += senders[k].second[p];
            }
            for (size_t p = 0; p < count.size(); ++p) clash.ports[p] = count[p] >= 2;
            std::sort(clash.indices.begin(), clash.indices.end());
            clashes.push_back(std::move(clash));
        }
    }
    std::sort(clashes.begin(), clashes.end(),
              [](const Clash& a, const Clash& b) { return a.indices.front() < b.indices.front(); });
    return clashes;
}

std::string portName(const IDeviceProfile& profile, int i) {
    std::string name;
    switch (i) {
        case 0: name = profile.GetMidiPort1Name(); break;
        case 1: name = profile.GetMidiPort2Name(); break;
        case 2: name = profile.GetUsbPort1Name(); break;
        case 3: name = profile.GetUsbPort2Name(); break;
        default: name = profile.GetUsbPort3Name(); break;
    }
    const size_t word = name.find(" Port");
    if (word != std::string::npos) name.erase(word, 5);
    return name;
}

std::string portSetText(const IDeviceProfile& profile, const PortSet& ports) {
    std::string text;
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i]) text += (text.empty() ? "" : ", ") + portName(profile, static_cast<int>(i));
    return text.empty() ? "None" : text;
}
