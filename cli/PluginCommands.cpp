#include "PluginCommands.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/TemplateFile.h"
#include "plugins/PluginScanner.h"
#include "plugins/PluginSearch.h"

namespace {

int usage(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n"
              << "Usage: tangra-qv-tool plugins [--json] [--timeout SECONDS] [DIR]\n"
              << "       tangra-qv-tool from-plugin PLUGIN_FILE OUT.syx\n";
    return 2;
}

// Shows the file being examined on a terminal, on one line that is rewritten.
class CTerminalProgress : public IPluginHost {
public:
    CTerminalProgress() : show_(isatty(STDERR_FILENO)) {}
    ~CTerminalProgress() override {
        if (show_ && shown_) std::cerr << "\r\033[K" << std::flush;
    }
    void ExaminingFile(const std::string& path) override {
        if (!show_) return;
        shown_ = true;
        std::cerr << "\r\033[KExamining " << PluginNames::shownText(path.substr(path.find_last_of('/') + 1))
                  << std::flush;
    }
    void Examined(const PluginInfo&) override {}

private:
    bool show_;
    bool shown_ = false;
};

CPluginScan::Options scanOptions(int timeoutSeconds = 10) {
    CPluginScan::Options o;
    o.timeoutSeconds = timeoutSeconds;
    o.maxNameLength = IDeviceProfile::current().GetMaxNameLength();
    return o;
}

nlohmann::json toJson(const PluginInfo& p) {
    nlohmann::json params = nlohmann::json::array();
    for (const PluginBinding& b : p.parameters)
        params.push_back({{"index", b.index}, {"name", b.fullName}, {"shortName", b.shortName}});
    return {{"file", p.path},   {"fileName", p.fileName}, {"folder", p.folder},
            {"name", p.name},   {"vendor", p.vendor},     {"parameters", params}};
}

}  // namespace

int cmdPlugins(const std::vector<std::string>& args) {
    bool asJson = false;
    std::string folderSetting;
    bool haveFolder = false;
    int timeoutSeconds = 10;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") asJson = true;
        else if (a == "--timeout") {
            if (i + 1 >= args.size()) return usage("--timeout needs SECONDS");
            try {
                timeoutSeconds = std::stoi(args[++i]);
            } catch (const std::exception&) {
                timeoutSeconds = 0;
            }
            if (timeoutSeconds <= 0) return usage("--timeout needs a whole number of seconds above 0");
        }
        else if (!a.empty() && a[0] == '-') return usage("unknown option '" + a + "'");
        else if (!haveFolder) folderSetting = a, haveFolder = true;
        else return usage("plugins takes one DIR");
    }
    if (!haveFolder) folderSetting = PluginSearch::defaultFolderSetting();
    const std::vector<std::string> folders = PluginSearch::splitFolders(folderSetting);
    // A folder named on the command line that is not there is a mistake, not an empty list.
    if (haveFolder)
        for (const std::string& folder : folders) {
            std::error_code ec;
            if (!std::filesystem::is_directory(folder, ec)) {
                std::cerr << "tangra-qv-tool: no plug-in folder " << PluginNames::shownText(folder) << ": "
                          << (std::filesystem::exists(folder, ec) ? "not a folder" : "no such folder") << "\n";
                return 1;
            }
        }

    std::vector<PluginInfo> found;
    std::vector<SkippedPlugin> skipped;
    std::string error;
    bool ok;
    {
        CTerminalProgress progress;
        ok = searchPlugins(folders, scanOptions(timeoutSeconds), &progress, found, skipped, error);
    }
    if (!ok) {
        std::cerr << error << "\n";
        return 1;
    }
    if (asJson) {
        nlohmann::json j = {{"folders", folders},
                            {"plugins", nlohmann::json::array()},
                            {"skipped", nlohmann::json::array()}};
        for (const PluginInfo& p : found) j["plugins"].push_back(toJson(p));
        for (const SkippedPlugin& s : skipped) j["skipped"].push_back({{"file", s.path}, {"reason", s.reason}});
        std::cout << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return 0;
    }
    if (folders.empty()) std::cout << "No plug-in folder: set VST_PATH or name a DIR.\n";
    // Names come from files and plug-ins: shown escaped, they cannot act on the terminal.
    using PluginNames::shownText;
    for (const PluginInfo& p : found) {
        std::cout << shownText(p.name) << (p.vendor.empty() ? "" : " (" + shownText(p.vendor) + ")") << "  "
                  << shownText(p.path) << "\n";
        for (const PluginBinding& b : p.parameters)
            std::printf("  %4d  %-8s  %s\n", b.index, shownText(b.shortName).c_str(), shownText(b.fullName).c_str());
    }
    for (const SkippedPlugin& s : skipped)
        std::cout << "Skipped " << shownText(s.path) << ": " << shownText(s.reason) << "\n";
    std::cout << found.size() << " plug-in(s), " << skipped.size() << " file(s) skipped\n";
    return 0;
}

int cmdFromPlugin(const std::vector<std::string>& args) {
    if (args.size() != 2) return usage("from-plugin takes PLUGIN_FILE and OUT.syx");
    const std::string& pluginFile = args[0];
    if (::access(pluginFile.c_str(), R_OK) != 0) {
        std::cerr << "Cannot read the plug-in file " << PluginNames::shownText(pluginFile) << "\n";
        return 1;
    }
    CPluginScan scan;
    if (!scan.start({pluginFile}, scanOptions())) {
        std::cerr << scan.error() << "\n";
        return 1;
    }
    while (scan.poll(-1, nullptr)) {
    }
    if (!scan.error().empty()) {
        std::cerr << scan.error() << "\n";
        return 1;
    }
    if (scan.found().empty()) {
        const std::string reason = scan.skipped().empty() ? "no answer" : scan.skipped().front().reason;
        std::cerr << PluginNames::shownText(pluginFile) << " is not a usable VST 2 plug-in: "
                  << PluginNames::shownText(reason) << "\n";
        return 1;
    }
    const PluginInfo& plugin = scan.found().front();
    std::unique_ptr<CEditorTemplate> tpl = IDeviceProfile::current().CreateTemplate();
    CollectingNoticeSink sink;
    {
        ModelHooks hooks = ModelHooks::get();
        hooks.notices = &sink;
        ScopedModelHooks scope(hooks);
        tpl->importPluginNames(plugin.description());
    }
    for (const auto& n : sink.texts) std::cerr << "Notice: " << n << "\n";
    std::string error;
    if (!writeBytesToFile(args[1], tpl->save(), false, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    return 0;
}
