#pragma once
// The two kinds of report, their files in the temporary folder and the
// texts of the report dialog.
#include <functional>
#include <string>

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

// The user's temporary folder, ending in a path separator.
std::string temporaryDirectory();

// Application name + ".dmp" in the temporary folder.
std::string crashReportPath(const std::string& appName, const std::string& tempDir = temporaryDirectory());
// Editor title + "SyxDiff.bin" in the temporary folder.
std::string dataErrorMaskPath(const std::string& editorTitle, const std::string& tempDir = temporaryDirectory());

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
// into the temporary folder (the one of the moment when none is given) and,
// when the user allows it, offers a report.
class CDataErrorReporter : public IDataErrorSink {
public:
    CDataErrorReporter(std::string editorTitle, std::string deviceName, std::function<bool()> sendingAllowed,
                       std::function<void(const ReportRequest&)> offer, std::string tempDir = {});

    void reportDataError(const CEditorTemplate& tpl, const ByteSequence& mask) override;

private:
    std::string editorTitle_;
    std::string deviceName_;
    std::function<bool()> sendingAllowed_;
    std::function<void(const ReportRequest&)> offer_;
    std::string tempDir_;
};

}  // namespace report
