#pragma once
// The two kinds of report, their files in the temporary folder and the
// texts of the report dialog.
#include <functional>
#include <string>
#include <vector>

#include "model/ByteSequence.h"
#include "model/ModelHooks.h"

namespace report {

// One report to offer: the file to attach, the headline (empty: the
// standard crash headline) and the subject word ("Crash", "Data Error").
struct ReportRequest {
    std::string attachmentPath;
    std::string headline;
    std::string subjectWord;
};

// The user's private folder for report files, ending in '/': $XDG_RUNTIME_DIR
// when it is a folder that only this user may enter; else a private folder
// made with mkdtemp under the XDG cache folder ($XDG_CACHE_HOME, or
// ~/.cache), reused by later runs; empty when there is neither. Never the
// shared temporary folder.
std::string reportDirectory();
// The same from the given values of $XDG_RUNTIME_DIR, $XDG_CACHE_HOME and $HOME.
std::string reportDirectory(const char* runtimeDir, const char* cacheHome, const char* home);

// Further places for what a crash saves, each ending in '/' and empty when
// unknown: the program's XDG data folder ($XDG_DATA_HOME or ~/.local/share,
// then the application name; made only when needed) and the home folder.
std::string dataDirectory(const std::string& appName);
std::string homeDirectory();

// The files that tell the next start of the program which templates a crash
// saved, in the order they are tried: in the data folder, then in the home
// folder.
std::vector<std::string> recoveryNoticePaths(const std::string& appName);

// Application name + ".dmp" in the report folder.
std::string crashReportPath(const std::string& appName, const std::string& folder = reportDirectory());
// Editor title + "SyxDiff.bin" in the report folder.
std::string dataErrorMaskPath(const std::string& editorTitle, const std::string& folder = reportDirectory());

std::string dataErrorHeadline(const std::string& deviceName);

// "TaNGRA LuMI QV Editor Crash Report".
std::string reportSubject(const std::string& appName, const std::string& subjectWord);

// The three texts at the top of the report dialog, with "AppName" and
// "VendorName" put in.
struct ReportDialogTexts {
    std::string headline;
    std::string appeal;
    std::string explanation;
};
ReportDialogTexts reportDialogTexts(const std::string& appName, const std::string& vendorName,
                                    const std::string& headline);

// Receives templates with bits the model cannot reproduce: writes their mask
// into the report folder (reportDirectory() when none is given) as a file of
// this user's own, and, when the user allows it, offers a report.
class CDataErrorReporter : public IDataErrorSink {
public:
    CDataErrorReporter(std::string editorTitle, std::string deviceName, std::function<bool()> sendingAllowed,
                       std::function<void(const ReportRequest&)> offer, std::string folder = {});

    void reportDataError(const CEditorTemplate& tpl, const ByteSequence& mask) override;

private:
    std::string editorTitle_;
    std::string deviceName_;
    std::function<bool()> sendingAllowed_;
    std::function<void(const ReportRequest&)> offer_;
    std::string folder_;
};

}  // namespace report
