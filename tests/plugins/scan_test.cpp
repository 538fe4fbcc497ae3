// The examination through the helper program, with our own small plug-ins
// for the awkward cases and Debian's plug-ins for the real thing.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "plugins/PluginScanner.h"
#include "plugins/PluginSearch.h"

namespace fs = std::filesystem;

namespace {

const std::string kMixed = std::string(TQV_TEST_PLUGIN_DIR) + "/mixed";

CPluginScan::Options testOptions(int timeoutSeconds = 2) {
    CPluginScan::Options o;
    o.helperPath = TQV_SCAN_HELPER;
    o.timeoutSeconds = timeoutSeconds;
    return o;
}

class CRecordingHost : public IPluginHost {
public:
    void ExaminingFile(const std::string& path) override { order.push_back("examining " + fileOf(path)); }
    void Examined(const PluginInfo& d) override { order.push_back("examined " + d.fileName); }
    void Skipped(const SkippedPlugin& s) override { order.push_back("skipped " + fileOf(s.path)); }
    static std::string fileOf(const std::string& p) { return fs::path(p).filename().string(); }
    std::vector<std::string> order;
};

// One search over the mixed folder, shared by the tests that read it.
class MixedFolder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host = new CRecordingHost;
        found = new std::vector<PluginInfo>;
        skipped = new std::vector<SkippedPlugin>;
        const auto start = std::chrono::steady_clock::now();
        ok = searchPlugins({kMixed}, testOptions(), host, *found, *skipped, error);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    static void TearDownTestSuite() {
        delete host;
        delete found;
        delete skipped;
    }
    static const PluginInfo* plugin(const std::string& fileName) {
        for (const PluginInfo& p : *found)
            if (p.fileName == fileName) return &p;
        return nullptr;
    }
    static std::string skipReason(const std::string& file) {
        for (const SkippedPlugin& s : *skipped)
            if (CRecordingHost::fileOf(s.path) == file) return s.reason;
        return "(not skipped)";
    }
    static inline CRecordingHost* host;
    static inline std::vector<PluginInfo>* found;
    static inline std::vector<SkippedPlugin>* skipped;
    static inline bool ok = false;
    static inline std::string error;
    static inline double seconds = 0;
};

TEST_F(MixedFolder, DescribesEveryPluginAndSkipsTheRest) {
    ASSERT_TRUE(ok) << error;
    std::vector<std::string> names;
    for (const PluginInfo& p : *found) names.push_back(p.fileName);
    EXPECT_EQ(names, (std::vector<std::string>{"EmptyName", "Noisy", "Probe", "TestFilter"}));
    std::vector<std::string> skippedFiles;
    for (const SkippedPlugin& s : *skipped) skippedFiles.push_back(CRecordingHost::fileOf(s.path));
    EXPECT_EQ(skippedFiles, (std::vector<std::string>{"Crash.so", "Hang.so", "NoEntry.so", "NotAPlugin.so",
                                                      "NullEffect.so", "Vst1.so"}));
    EXPECT_NE(skipReason("Crash.so").find("crashed"), std::string::npos) << skipReason("Crash.so");
    EXPECT_NE(skipReason("Hang.so").find("no answer within 2 s"), std::string::npos) << skipReason("Hang.so");
    EXPECT_NE(skipReason("NoEntry.so").find("entry point"), std::string::npos);
    EXPECT_NE(skipReason("NotAPlugin.so").find("not a loadable library"), std::string::npos);
    EXPECT_NE(skipReason("NullEffect.so").find("no VST effect"), std::string::npos);
    EXPECT_NE(skipReason("Vst1.so").find("VST 1"), std::string::npos);
    // The hang costs one time-out, not the whole search.
    EXPECT_LT(seconds, 8.0);
}

TEST_F(MixedFolder, HostHearsOfEachFileBeforeItsResult) {
    const auto& o = host->order;
    for (const std::string file : {"TestFilter", "Crash", "Hang", "NotAPlugin"}) {
        const auto examining = std::find(o.begin(), o.end(), "examining " + std::string(file) + ".so");
        ASSERT_NE(examining, o.end()) << file;
        const bool good = std::string(file) == "TestFilter";
        const auto result = std::find(o.begin(), o.end(), (good ? "examined " : "skipped ") + std::string(file) +
                                                              (good ? "" : ".so"));
        ASSERT_NE(result, o.end()) << file;
        EXPECT_LT(examining, result) << file;
    }
    EXPECT_EQ(std::count_if(o.begin(), o.end(), [](const std::string& s) { return s.rfind("examined", 0) == 0; }),
              4);
    EXPECT_EQ(std::count(o.begin(), o.end(), "examining readme.txt"), 0);
}

TEST_F(MixedFolder, NamesParametersWithGapsAndShortNames) {
    const PluginInfo* p = plugin("TestFilter");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->name, "Test Filter");
    EXPECT_EQ(p->vendor, "Quiet Test Works");
    EXPECT_EQ(p->folder, kMixed);
    ASSERT_EQ(p->parameters.size(), 4u);
    EXPECT_EQ(p->parameters[0], (PluginBinding{"Filter Cutoff", "FltCut", 0}));
    EXPECT_EQ(p->parameters[1].fullName, "Resonance");
    EXPECT_EQ(p->parameters[1].index, 2);
    EXPECT_EQ(p->parameters[2].fullName, "Drive Level");
    EXPECT_EQ(p->parameters[2].index, 4);
    EXPECT_EQ(p->parameters[3].index, 5);

    // An empty effect name (and an entry point exported only as "main").
    const PluginInfo* e = plugin("EmptyName");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->name, "EmptyName");
    EXPECT_EQ(fs::path(e->folder).filename(), ".sub");

    // Output on stdout and stderr that imitates the records changes nothing.
    const PluginInfo* n = plugin("Noisy");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->parameters, p->parameters);
    EXPECT_EQ(plugin("fake"), nullptr);
}

TEST_F(MixedFolder, PluginHearsTheHostCallsInOrder) {
    const PluginInfo* p = plugin("Probe");
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->parameters.size(), 2u);
    // Version, open (asking for the sample rate there is answered through
    // effSetSampleRate), block size and rate, both outputs, mains on, vendor, name.
    EXPECT_EQ(p->parameters[0].fullName, "58 0 10=44100 43=512/44100 32=0/1 32=1/1 12=1 47 45");
    EXPECT_EQ(p->parameters[1].fullName, "2300");
}

// Processes that have `file` mapped: the examination must leave none behind.
int processesHolding(const std::string& file) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream maps(entry.path() / "maps");
        std::string line;
        while (std::getline(maps, line))
            if (line.find(file) != std::string::npos) {
                ++n;
                break;
            }
    }
    return n;
}

TEST(PluginScan, CancelEndsAHungExaminationAtOnce) {
    const std::string stuck = std::string(TQV_TEST_PLUGIN_DIR) + "/hang-only/Stuck.so";
    CPluginScan scan;
    ASSERT_TRUE(scan.start({stuck}, testOptions(60))) << scan.error();
    CRecordingHost host;
    const auto start = std::chrono::steady_clock::now();
    while (host.order.empty() && scan.poll(100, &host)) {
    }
    ASSERT_EQ(host.order, std::vector<std::string>{"examining Stuck.so"});
    // The worker is inside the plug-in now.
    for (int i = 0; i < 50 && processesHolding(stuck) == 0; ++i) usleep(20000);
    EXPECT_EQ(processesHolding(stuck), 1);
    scan.cancel();
    EXPECT_TRUE(scan.cancelled());
    EXPECT_FALSE(scan.running());
    EXPECT_FALSE(scan.poll(0, &host));
    for (int i = 0; i < 50 && processesHolding(stuck) > 0; ++i) usleep(20000);
    EXPECT_EQ(processesHolding(stuck), 0);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
}

// A process that exists and is not a zombie.
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

TEST(PluginScan, PluginThatForksNeitherStallsTheScanNorOutlivesIt) {
    char pattern[] = "/tmp/tqv-plugin-fork-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string pidFile = dir + "/pids";
    ::setenv("TQV_TEST_PLUGIN_PIDFILE", pidFile.c_str(), 1);
    const std::string forking = std::string(TQV_TEST_PLUGIN_DIR) + "/forking/Forking.so";
    CPluginScan scan;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(scan.start({forking, kMixed + "/TestFilter.so"}, testOptions(10))) << scan.error();
    while (scan.poll(-1, nullptr)) {
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unsetenv("TQV_TEST_PLUGIN_PIDFILE");
    EXPECT_TRUE(scan.finished()) << scan.error();
    EXPECT_EQ(2u, scan.found().size());
    EXPECT_LT(seconds, 5.0) << "the scan waited for the plug-in's own process";
    std::vector<pid_t> children;
    std::ifstream pids(pidFile);
    for (long pid; pids >> pid;) children.push_back(static_cast<pid_t>(pid));
    ASSERT_FALSE(children.empty()) << "the plug-in did not start its process";
    for (pid_t child : children) {
        for (int i = 0; i < 50 && running(child); ++i) usleep(20000);
        EXPECT_FALSE(running(child)) << "process " << child << " still runs after the scan";
        if (running(child)) ::kill(child, SIGKILL);
    }

    // A search cancelled while a later plug-in hangs ends the earlier one's process too.
    fs::remove(pidFile);
    ::setenv("TQV_TEST_PLUGIN_PIDFILE", pidFile.c_str(), 1);
    CPluginScan cancelled;
    const std::string stuck = std::string(TQV_TEST_PLUGIN_DIR) + "/hang-only/Stuck.so";
    ASSERT_TRUE(cancelled.start({forking, stuck}, testOptions(60))) << cancelled.error();
    CRecordingHost host;
    while (host.order.size() < 3 && cancelled.poll(100, &host)) {
    }
    ::unsetenv("TQV_TEST_PLUGIN_PIDFILE");
    ASSERT_EQ(host.order, (std::vector<std::string>{"examining Forking.so", "examined Forking", "examining Stuck.so"}));
    cancelled.cancel();
    children.clear();
    std::ifstream again(pidFile);
    for (long pid; again >> pid;) children.push_back(static_cast<pid_t>(pid));
    ASSERT_EQ(1u, children.size());
    for (int i = 0; i < 50 && running(children[0]); ++i) usleep(20000);
    EXPECT_FALSE(running(children[0])) << "process " << children[0] << " still runs after the cancelled scan";
    if (running(children[0])) ::kill(children[0], SIGKILL);
    fs::remove_all(dir);
}

TEST(PluginScan, MissingHelperIsAClearError) {
    CPluginScan::Options o = testOptions();
    o.helperPath = "/nonexistent/tangra-qv-plugin-scan";
    std::vector<PluginInfo> found;
    std::vector<SkippedPlugin> skipped;
    std::string error;
    EXPECT_FALSE(searchPlugins({kMixed}, o, nullptr, found, skipped, error));
    EXPECT_NE(error.find("/nonexistent/tangra-qv-plugin-scan"), std::string::npos) << error;
    // An empty or missing folder is no error: there is just nothing to list.
    EXPECT_TRUE(searchPlugins({"/nonexistent/folder"}, o, nullptr, found, skipped, error)) << error;
    EXPECT_TRUE(found.empty());
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Debian's dragonfly-reverb-vst and dpf-plugins-vst, installed by tools/setup-debian.sh.
TEST(RealPlugins, KnownPluginIsListedAndNamesATemplate) {
    const std::string hall = "/usr/lib/lxvst/DragonflyHallReverb-vst.so";
    const std::string eq = "/usr/lib/vst/3BandEQ-vst.so";
    ASSERT_TRUE(fs::exists(hall) && fs::exists(eq)) << "run tools/setup-debian.sh";
    // Both packages' plug-ins, the way the editor searches them.
    std::vector<std::string> files = PluginSearch::findPluginFiles({"/usr/lib/lxvst"});
    for (const std::string& f : PluginSearch::findPluginFiles({"/usr/lib/vst"}))
        if (f.find("/lsp-plugins/") == std::string::npos) files.push_back(f);
    const long before = residentKiB();
    CPluginScan scan;
    ASSERT_TRUE(scan.start(files, testOptions(10))) << scan.error();
    while (scan.poll(-1, nullptr)) {
    }
    ASSERT_TRUE(scan.finished()) << scan.error();
    const long after = residentKiB();
    // The plug-ins lived in other processes: none is mapped into this one.
    std::ifstream maps("/proc/self/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    EXPECT_EQ(mapped.find("/usr/lib/lxvst/"), std::string::npos);
    EXPECT_EQ(mapped.find("/usr/lib/vst/"), std::string::npos);
    std::printf("resident memory before the search %ld KiB, after %ld KiB (%zu plug-ins described)\n", before, after,
                scan.found().size());
    EXPECT_LT(after - before, 1024);
    const std::vector<PluginInfo>& found = scan.found();
    EXPECT_TRUE(scan.skipped().empty());
    std::map<std::string, const PluginInfo*> byFile;
    for (const PluginInfo& p : found) byFile[p.path] = &p;
    ASSERT_TRUE(byFile.count(hall) && byFile.count(eq));

    const PluginInfo& h = *byFile[hall];
    EXPECT_EQ(h.name, "Dragonfly Hall Reverb");
    EXPECT_EQ(h.vendor, "Michael Willis and Rob vd Berg");
    ASSERT_GE(h.parameters.size(), 3u);
    EXPECT_EQ(h.parameters[0], (PluginBinding{"Dry Level", "DryLevel", 0}));
    EXPECT_EQ(h.parameters[1].fullName, "Early Level");
    const PluginInfo& e = *byFile[eq];
    EXPECT_EQ(e.name, "3 Band EQ");
    EXPECT_EQ(e.vendor, "DISTRHO");
    ASSERT_EQ(e.parameters.size(), 6u);
    EXPECT_EQ(e.parameters[0].fullName, "Low");

    // The template the File menu makes from it.
    std::unique_ptr<CEditorTemplate> tpl = IDeviceProfile::current().CreateTemplate();
    CollectingNoticeSink sink;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &sink;
    ScopedModelHooks scope(hooks);
    tpl->importPluginNames(h.description());
    // The manufacturer name is cut to the device's 13 characters.
    EXPECT_EQ(tpl->displayName(), "Michael Willi - Dragonfly Hall Reverb");
    ASSERT_EQ(tpl->importedControls.size(), h.parameters.size());
    for (size_t i = 0; i < h.parameters.size(); ++i) {
        EXPECT_EQ(tpl->importedControls[i].pluginBinding, h.parameters[i]);
        EXPECT_EQ(tpl->controlAt(static_cast<int>(i))->getName(), h.parameters[i].shortName) << i;
    }
    EXPECT_TRUE(sink.texts.empty());
}

}  // namespace
