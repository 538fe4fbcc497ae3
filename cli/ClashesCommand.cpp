#include "ClashesCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

#include "editing/ControlClashes.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace {

// Exit status 1 means "clashes found", so a file that cannot be examined is
// reported like any other unusable argument.
constexpr int kUnusable = 2;

int usage(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\nUsage: tangra-qv-tool clashes [--json] FILE\n";
    return kUnusable;
}

// The steps the editor takes to open a file: first SysEx message, then the
// opening procedure (notices go to standard error).
bool openTemplate(const std::string& path, CTaNGRAQVTemplate& tpl) {
    ByteSequence bytes;
    std::string fileError;
    const bool valid = readMessageFromFile(path, bytes, 0, fileError);
    if (!fileError.empty()) {
        std::cerr << fileError << "\n";
        return false;
    }
    CollectingNoticeSink sink;
    bool opened = false;
    if (valid) {
        ModelHooks hooks = ModelHooks::get();
        hooks.notices = &sink;
        const ScopedModelHooks scope(hooks);
        opened = openTemplateBytes(bytes, tpl).ok;
    }
    if (!opened) {
        std::cerr << "Unable to open template: " << path << " - the file is not a valid template file\n";
        return false;
    }
    for (const auto& n : sink.texts) std::cerr << "Notice: " << n << "\n";
    return true;
}

std::string controlText(const IDeviceProfile& profile, const CEditorTemplate& tpl, int index) {
    std::string text = std::to_string(index) + " (" + profile.GetControlPlace(index);
    const std::string& name = tpl.controlAt(index)->name;
    if (!name.empty()) text += ", \"" + name + "\"";
    return text + ")";
}

nlohmann::json portsJson(const IDeviceProfile& profile, const PortSet& ports) {
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i]) list.push_back(portName(profile, static_cast<int>(i)));
    return list;
}

}  // namespace

int cmdClashes(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    bool asJson = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (!a.empty() && a[0] == '-' && a != "-") return usage("unknown option '" + a + "'");
        else if (path.empty()) path = a;
        else return usage("clashes takes one FILE");
    }
    if (path.empty()) return usage("clashes needs a FILE");
    CTaNGRAQVTemplate tpl;
    if (!openTemplate(path, tpl)) return kUnusable;
    const std::vector<Clash> clashes = findClashes(tpl);

    std::string text;
    if (asJson) {
        nlohmann::json list = nlohmann::json::array();
        for (const Clash& c : clashes) {
            nlohmann::json controls = nlohmann::json::array();
            for (int i : c.indices)
                controls.push_back({{"index", i},
                                    {"place", profile.GetControlPlace(i)},
                                    {"name", tpl.controlAt(i)->name},
                                    {"type", CBaseControlState::typeName(tpl.controlAt(i)->controlType)}});
            list.push_back({{"message", c.message},
                            {"channel", c.channel ? nlohmann::json(c.channel) : nlohmann::json(nullptr)},
                            {"ports", portsJson(profile, c.ports)},
                            {"controls", controls}});
        }
        text = nlohmann::json{{"clashes", list}}.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    } else {
        for (const Clash& c : clashes) {
            text += c.message;
            if (c.channel) text += " on channel " + std::to_string(c.channel);
            text += " (" + portSetText(profile, c.ports) + "):";
            for (size_t k = 0; k < c.indices.size(); ++k)
                text += (k ? ", " : " ") + controlText(profile, tpl, c.indices[k]);
            text += "\n";
        }
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const int reason = errno;
    if (!written || std::fflush(stdout) != 0) {
        std::cerr << "tangra-qv-tool: unable to write the output: " << std::strerror(written ? errno : reason) << "\n";
        return kUnusable;
    }
    return clashes.empty() ? 0 : 1;
}
