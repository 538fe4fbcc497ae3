// The MIDI commands run the editor's own MIDI service: the same port names,
// the same selection by name, the same listen and send steps.
#include "MidiCommands.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "midi/MidiService.h"
#include "midi/Transfers.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/ModelHooks.h"
#include "model/OsVersion.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(20);

int fail(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n";
    return 1;
}

int usage(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n(see tangra-qv-tool --help)\n";
    return 2;
}

}  // namespace

std::string editorSetting(const std::string& key) {
    const char* home = std::getenv("HOME");
    if (!home) return {};
    const std::string title = CTaNGRAQVDeviceProfile().GetEditorTitle();
    for (const std::string& path : {std::string(home) + "/." + title,
                                     std::string(home) + "/.config/" + title + "/" + title + ".conf"}) {
        std::ifstream in(path);
        std::string line;
        bool topLevel = true;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] == '[') topLevel = false;
            if (!topLevel || line.rfind(key + "=", 0) != 0) continue;
            std::string value = line.substr(key.size() + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            std::string plain;
            for (size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) ++i;
                plain += value[i];
            }
            return plain;
        }
    }
    return {};
}

namespace {

// NAME when given; else the editor's saved choice, then the device's default
// port name.
bool choosePort(MidiService& midi, bool input, const std::string& given, std::string& error) {
    auto select = [&](const std::string& name) {
        return input ? midi.SelectInputByName(name) : midi.SelectOutputByName(name);
    };
    const char* kind = input ? "input" : "output";
    if (!given.empty()) {
        if (select(given)) return true;
        error = (input ? midi.FindInput(given) : midi.FindOutput(given)) < 0
                    ? std::string("no ") + kind + " port matches \"" + given + "\""
                    : std::string("the ") + kind + " port \"" + given + "\" cannot be opened: " + midi.LastError();
        return false;
    }
    const std::string saved = editorSetting(input ? "InputDevice" : "OutputDevice");
    if (!saved.empty() && select(saved)) return true;
    const std::string fallback = CTaNGRAQVDeviceProfile().GetDefaultMidiDeviceName();
    if (select(fallback)) return true;
    error = std::string("no ") + kind + " port given, and none matches " +
            (saved.empty() ? "" : "the editor's choice \"" + saved + "\" or ") + "\"" + fallback + "\"";
    if (!midi.LastError().empty() && (input ? midi.FindInput(fallback) : midi.FindOutput(fallback)) >= 0)
        error += ": " + midi.LastError();
    return false;
}

class Receiver : public ISysExListener, public IProgressListener {
public:
    void OnSysExReceived(const MidiBytes& b) override {
        bytes = b;
        done = true;
    }
    // The input went away during the listen.
    void OnFailed() override { lost = true; }
    MidiBytes bytes;
    bool done = false;
    bool lost = false;
};

class Progress : public IProgressListener {
public:
    void OnComplete() override { result = 1; }
    void OnFailed() override { result = -1; }
    int result = 0;
};

}  // namespace

int cmdPorts(const std::vector<std::string>& args) {
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json") json = true;
        else return usage("ports takes only --json");
    }
    MidiService midi;
    midi.Start();
    if (json) {
        nlohmann::json j = {{"inputs", nlohmann::json::array()}, {"outputs", nlohmann::json::array()}};
        for (int i = 0; i < midi.DeviceCount(); ++i)
            j[midi.IsInputIndex(i) ? "inputs" : "outputs"].push_back(
                {{"name", midi.DeviceName(i)}, {"platformName", midi.PlatformName(i)}});
        std::cout << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return 0;
    }
    std::cout << "Inputs:\n";
    for (int i = 0; i < midi.InputCount(); ++i) std::cout << "  " << midi.DeviceName(i) << "\n";
    if (midi.InputCount() == 0) std::cout << "  (none)\n";
    std::cout << "Outputs:\n";
    for (int i = midi.InputCount(); i < midi.DeviceCount(); ++i) std::cout << "  " << midi.DeviceName(i) << "\n";
    if (midi.DeviceCount() == midi.InputCount()) std::cout << "  (none)\n";
    return 0;
}

int cmdReceive(const std::vector<std::string>& args) {
    std::string name, out;
    double timeout = 60;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--in" && i + 1 < args.size()) name = args[++i];
        else if (args[i] == "--timeout" && i + 1 < args.size()) {
            char* end = nullptr;
            timeout = std::strtod(args[++i].c_str(), &end);
            if (!end || *end || timeout <= 0) return usage("--timeout needs a positive number of seconds");
        } else if (!args[i].empty() && args[i][0] == '-') return usage("unknown option '" + args[i] + "'");
        else if (out.empty()) out = args[i];
        else return usage("receive takes one OUT file");
    }
    if (out.empty()) return usage("receive needs an OUT file");

    MidiService midi;
    midi.Start();
    std::string error;
    if (!choosePort(midi, true, name, error)) return fail(error);
    Receiver receiver;
    // Another device's SysEx on the same input is passed over.
    midi.SetDumpHeader(MakerDumpHeader(CTaNGRAQVTemplate()));
    if (!midi.StartListening(&receiver, &receiver)) return fail("Invalid input device");
    std::cerr << "Listening for template dump from device: " << midi.InputName() << "\n";
    const auto until = Clock::now() + std::chrono::duration<double>(timeout);
    while (!receiver.done) {
        if (receiver.lost) return fail("the input port " + midi.InputName() + " went away");
        if (Clock::now() > until) {
            std::cerr << "tangra-qv-tool: nothing was received within " << timeout << " seconds\n";
            return 1;
        }
        std::this_thread::sleep_for(kPollInterval);
        midi.Poll();
    }

    CTaNGRAQVTemplate tpl;
    CollectingNoticeSink sink;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &sink;
    ScopedModelHooks scope(hooks);
    const OpenResult r = openTemplateBytes(ByteSequence(receiver.bytes), tpl);
    if (!r.ok)
        return fail("The dump received was not a valid template.\n\nEither the dump came from another device, was "
                     "corrupted, or you started listening in the middle of the dump.");
    const CTaNGRAQVDeviceProfile profile;
    if (r.foreign) {
        const std::string source = deviceKindName(r.kind);
        std::cerr << "This template has been recieved from a " << source << ".\n\nIt has been converted to a "
                  << profile.GetDeviceName() << " template, which will not load back onto the " << source
                  << ".\n\nYou can find all of the controls from the original template by right-clicking on a control "
                     "and choosing \"Imported Controls\".\n";
    } else {
        const OsVersion v = osVersionFromBytes(receiver.bytes[9], receiver.bytes[10]);
        if (versionLess(v, profile.GetCurrentOSVersion()))
            std::cerr << "Notice: the unit runs OS " << versionText(v) << ", older than "
                      << versionText(profile.GetCurrentOSVersion()) << "; please update it.\n";
    }
    for (const auto& n : sink.texts) std::cerr << "Notice: " << n << "\n";
    std::string writeError;
    if (!writeBytesToFile(out, tpl.save(), false, writeError)) return fail(writeError);
    std::cerr << "Received \"" << tpl.displayName() << "\" (" << receiver.bytes.size() << " bytes) into " << out << "\n";
    return 0;
}

int cmdSend(const std::vector<std::string>& args) {
    std::string name, path;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) name = args[++i];
        else if (!args[i].empty() && args[i][0] == '-') return usage("unknown option '" + args[i] + "'");
        else if (path.empty()) path = args[i];
        else return usage("send takes one FILE");
    }
    if (path.empty()) return usage("send needs a FILE");

    ByteSequence bytes;
    std::string fileError;
    const bool valid = readMessageFromFile(path, bytes, 0, fileError);
    if (!fileError.empty()) return fail(fileError);
    CTaNGRAQVTemplate tpl;
    CollectingNoticeSink sink;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &sink;
    ScopedModelHooks scope(hooks);
    if (!valid || !openTemplateBytes(bytes, tpl).ok)
        return fail("Unable to open template: " + path + " - the file is not a valid template file");
    for (const auto& n : sink.texts) std::cerr << "Notice: " << n << "\n";
    tpl.setBulkFlag(false);
    const ByteSequence dump = tpl.save();

    MidiService midi;
    midi.Start();
    std::string error;
    if (!choosePort(midi, false, name, error)) return fail(error);
    Progress progress;
    if (!midi.StartSend(dump.vector(), &progress)) return fail("Invalid output device: " + midi.LastError());
    std::cerr << "Sending template to device: " << midi.OutputName() << "\n";
    while (progress.result == 0) {
        std::this_thread::sleep_for(kPollInterval);
        midi.Poll();
    }
    if (progress.result < 0)
        return fail("Template dump failed!  " + midi.LastError());
    std::cerr << "Template dump completed (" << dump.size() << " bytes)\n";
    return 0;
}

bool chooseMidiPort(MidiService& midi, bool input, const std::string& given, std::string& error) {
    return choosePort(midi, input, given, error);
}
