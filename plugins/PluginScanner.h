#pragma once
// Runs tangra-qv-plugin-scan over a list of plug-in files and collects what
// it reports. The caller decides how to wait: the editor polls from its event
// loop without blocking, the command-line tool simply waits.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "plugins/PluginInfo.h"
#include "plugins/ScanProtocol.h"

// Told about each file while a search runs.
class IPluginHost {
public:
    virtual ~IPluginHost() = default;
    // A file is about to be examined.
    virtual void ExaminingFile(const std::string& path) = 0;
    // A plug-in was described.
    virtual void Examined(const PluginInfo& description) = 0;
    // A file gave no description (not a plug-in, crashed, no answer...).
    virtual void Skipped(const SkippedPlugin&) {}
};

class CPluginScan {
public:
    struct Options {
        std::string helperPath;   // empty: the helper beside the running program
        int timeoutSeconds = 10;  // per file
        int maxNameLength = 8;    // short parameter names
    };

    CPluginScan() = default;
    ~CPluginScan();
    CPluginScan(const CPluginScan&) = delete;
    CPluginScan& operator=(const CPluginScan&) = delete;

    // Starts the helper over `files`. False (with error()) when it cannot run.
    bool start(const std::vector<std::string>& files, const Options& options);
    // Handles everything the helper has written, waiting up to `waitMs` for
    // more (0: do not wait, -1: until something arrives or the scan ends).
    // Answers whether the scan is still running.
    bool poll(int waitMs, IPluginHost* host);
    // Ends the helper and its worker at once; what was found so far stays.
    void cancel();

    bool running() const { return pid_ > 0; }
    bool finished() const { return finished_; }    // every file was handled
    bool cancelled() const { return cancelled_; }
    const std::string& error() const { return error_; }
    int filesTotal() const { return total_; }
    int filesHandled() const { return handled_; }
    const std::vector<PluginInfo>& found() const { return found_; }
    const std::vector<SkippedPlugin>& skipped() const { return skipped_; }
    // The descriptor to watch for output, -1 when not running.
    int outputDescriptor() const { return out_; }

    // The helper program beside the running program, or $TQV_PLUGIN_SCAN.
    static std::string defaultHelperPath();

private:
    void handle(const ScanEvent& e, IPluginHost* host);
    void reap();

    Options options_;
    pid_t pid_ = -1;
    int out_ = -1;
    CScanRecordReader reader_;
    int total_ = 0;
    int handled_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
    std::string error_;
    std::vector<PluginInfo> found_;
    std::vector<SkippedPlugin> skipped_;
};

// Examines every plug-in in `folders` (see PluginSearch) and waits for the
// result. `keepGoing` is asked between reports; false cancels the search.
// False with `error` when the search could not run or stopped early.
bool searchPlugins(const std::vector<std::string>& folders, const CPluginScan::Options& options, IPluginHost* host,
                   std::vector<PluginInfo>& found, std::vector<SkippedPlugin>& skipped, std::string& error,
                   const std::function<bool()>& keepGoing = {});
