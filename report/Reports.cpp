#include "Reports.h"

#include <cstdlib>

#include "model/TemplateFile.h"

namespace report {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

std::string temporaryDirectory() {
#ifdef _WIN32
    const char* names[] = {"TMP", "TEMP", "USERPROFILE"};
    const char separator = '\\';
    const char* fallback = "c:\\temp\\";
#else
    const char* names[] = {"TMPDIR"};
    const char separator = '/';
    const char* fallback = "/tmp/";
#endif
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value && *value) {
            std::string dir = value;
            if (dir.back() != separator && dir.back() != '/') dir += separator;
            return dir;
        }
    }
    return fallback;
}

std::string crashReportPath(const std::string& appName, const std::string& tempDir) {
    return tempDir + appName + ".dmp";
}

std::string dataErrorMaskPath(const std::string& editorTitle, const std::string& tempDir) {
    return tempDir + editorTitle + "SyxDiff" + ".bin";
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
                                       std::function<void(const ReportRequest&)> offer, std::string tempDir)
    : editorTitle_(std::move(editorTitle)),
      deviceName_(std::move(deviceName)),
      sendingAllowed_(std::move(sendingAllowed)),
      offer_(std::move(offer)),
      tempDir_(std::move(tempDir)) {}

void CDataErrorReporter::reportDataError(const CEditorTemplate&, const ByteSequence& mask) {
    if (!mask.hasAnySetByte()) return;
    const std::string path = dataErrorMaskPath(editorTitle_, tempDir_.empty() ? temporaryDirectory() : tempDir_);
    if (!writeBytesToFile(path, mask, false)) return;
    if (!sendingAllowed_ || !sendingAllowed_()) return;
    if (offer_) offer_({path, dataErrorHeadline(deviceName_), "Data Error"});
}

}  // namespace report
