#include "Reports.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "report/PrivateFiles.h"

namespace report {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

namespace {

bool isAbsolute(const char* path) { return path && path[0] == '/'; }

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// A folder of this user's own under `parent` (made when missing), and in it
// a private report folder: an earlier one when there is one, else a new one.
std::string privateFolderUnder(const std::string& parent) {
    ::mkdir(parent.c_str(), 0700);
    const std::string base = parent + "/tangra-qv-editor";
    ::mkdir(base.c_str(), 0700);
    struct stat st {};
    if (::lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return "";
    std::vector<std::string> earlier;
    if (DIR* d = ::opendir(base.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::strncmp(e->d_name, "reports-", 8) == 0 && isPrivateFolder(base + "/" + e->d_name))
                earlier.push_back(base + "/" + e->d_name);
        ::closedir(d);
    }
    if (!earlier.empty()) return *std::min_element(earlier.begin(), earlier.end()) + "/";
    std::string pattern = base + "/reports-XXXXXX";
    if (!::mkdtemp(pattern.data())) return "";
    return pattern + "/";
}

}  // namespace

std::string reportDirectory(const char* runtimeDir, const char* cacheHome, const char* home) {
    if (isAbsolute(runtimeDir) && isPrivateFolder(runtimeDir)) return withSlash(runtimeDir);
    std::string cache;
    if (isAbsolute(cacheHome)) cache = cacheHome;
    else if (isAbsolute(home)) cache = std::string(home) + "/.cache";
    else return "";
    while (cache.size() > 1 && cache.back() == '/') cache.pop_back();
    return privateFolderUnder(cache);
}

std::string reportDirectory() {
    return reportDirectory(std::getenv("XDG_RUNTIME_DIR"), std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    return isAbsolute(home) ? withSlash(home) : std::string();
}

std::string dataDirectory(const std::string& appName) {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (isAbsolute(dataHome)) return withSlash(dataHome) + appName + "/";
    const std::string home = homeDirectory();
    return home.empty() ? std::string() : home + ".local/share/" + appName + "/";
}

std::vector<std::string> recoveryNoticePaths(const std::string& appName) {
    std::vector<std::string> paths;
    const std::string data = dataDirectory(appName);
    if (!data.empty()) paths.push_back(data + "recovered templates.txt");
    const std::string home = homeDirectory();
    if (!home.empty()) paths.push_back(home + "." + appName + " recovered templates.txt");
    return paths;
}

std::string crashReportPath(const std::string& appName, const std::string& folder) {
    if (folder.empty()) return "";
    return folder + appName + ".dmp";
}

std::string dataErrorMaskPath(const std::string& editorTitle, const std::string& folder) {
    if (folder.empty()) return "";
    return folder + editorTitle + "SyxDiff" + ".bin";
}

std::string dataErrorHeadline(const std::string& deviceName) {
    return "This template contains settings which cannot be processed properly.\n\n"
           "These settings will not be modified, so you can send this template back\nto your " +
           deviceName +
           " without corrupting it.\n\n"
           "To avoid seeing this message again, uncheck \"Send template data errors to Quorvane\"\n"
           "in the preferences dialog.";
}

std::string reportSubject(const std::string& appName, const std::string& subjectWord) {
    return appName + " " + subjectWord + " Report";
}

ReportDialogTexts reportDialogTexts(const std::string& appName, const std::string& vendorName,
                                    const std::string& headline) {
    ReportDialogTexts t;
    t.headline = headline.empty()
                     ? "AppName has encountered a problem and needs to close.\nWe are very sorry for the inconvenience"
                     : headline;
    t.appeal = "Please tell VendorName about this problem.";
    t.explanation =
        "We have created an error report which will help us to improve AppName. \n"
        "We will treat this report as confidential and anonymous. \n"
        "No personal data will be transmitted other than what you provide us.";
    for (std::string* text : {&t.headline, &t.appeal, &t.explanation}) {
        replaceAll(*text, "AppName", appName);
        replaceAll(*text, "VendorName", vendorName);
    }
    return t;
}

CDataErrorReporter::CDataErrorReporter(std::string editorTitle, std::string deviceName,
                                       std::function<bool()> sendingAllowed,
                                       std::function<void(const ReportRequest&)> offer, std::string folder)
    : editorTitle_(std::move(editorTitle)),
      deviceName_(std::move(deviceName)),
      sendingAllowed_(std::move(sendingAllowed)),
      offer_(std::move(offer)),
      folder_(std::move(folder)) {}

void CDataErrorReporter::reportDataError(const CEditorTemplate&, const ByteSequence& mask) {
    if (!mask.hasAnySetByte()) return;
    const std::string path = dataErrorMaskPath(editorTitle_, folder_.empty() ? reportDirectory() : folder_);
    std::string error;
    if (path.empty() || !writePrivateFile(path, mask.vector(), error)) return;
    if (!sendingAllowed_ || !sendingAllowed_()) return;
    if (offer_) offer_({path, dataErrorHeadline(deviceName_), "Data Error"});
}

}  // namespace report
