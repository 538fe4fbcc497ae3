#pragma once
// Fault reports in the editor: the report dialog `MyDialog`, the offer of a
// report (ReportProblem), the crash handler's installation with the open
// templates it saves, the data-error report and the reporter program mode.
#include <wx/arrstr.h>
#include <wx/dialog.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "report/MailExchange.h"

class CEditorApp;
class wxButton;
class wxStaticText;
class wxTextCtrl;

namespace ReportIds {
enum : int { Description = 10001, Address = 10002, Send = 5100, DontSend = 5101, Text = 5105 };
}

class MyDialog : public wxDialog {
public:
    enum class Outcome { NotSent, Sent, Failed };

    MyDialog(wxWindow* parent, CEditorApp* app, const wxString& attachmentPath, const wxString& headline,
             const wxString& subjectWord, const report::MailServer& server, const wxString& recoveryNote = {});
    ~MyDialog() override;

    Outcome GetOutcome() const { return outcome; }
    bool IsSending() const { return sending.valid(); }
    wxTextCtrl* DescriptionBox() const { return description; }
    wxTextCtrl* AddressBox() const { return address; }
    wxStaticText* StatusLine() const { return status; }
    wxButton* SendButton() const { return sendButton; }
    wxButton* DontSendButton() const { return dontSendButton; }
    const wxString& Headline() const { return headline; }
    const wxString& Appeal() const { return appeal; }
    const wxString& Explanation() const { return explanation; }
    // Starts sending as the Send button does.
    void Send();

private:
    void OnPoll(wxTimerEvent&);
    void Finish(int code);

    wxString headline;
    wxString appeal;
    wxString explanation;
    wxString subjectWord;
    CEditorApp* app = nullptr;
    wxString attachmentPath;
    wxTextCtrl* description = nullptr;
    wxTextCtrl* address = nullptr;
    wxStaticText* status = nullptr;
    wxButton* sendButton = nullptr;
    wxButton* dontSendButton = nullptr;

    report::MailServer server;
    std::future<report::MailResult> sending;
    wxTimer poll;
    wxTimer closing;  // leaves the final status readable for a moment
    int closeCode = wxID_CANCEL;
    Outcome outcome = Outcome::NotSent;
};

// Remembers the application that reports are made for; no report is offered
// before this has been called.
void RememberReportingApplication(CEditorApp* app);

// Offers one report: when the report server answers, shows MyDialog modally
// and answers true; otherwise nothing is shown and the file stays.
bool ReportProblem(const wxString& attachmentPath, const wxString& headline, const wxString& subjectWord,
                   wxWindow* parent, const wxString& recoveryNote = {});

// Installs the crash handler for this process: the crash report goes into the
// user's private report folder, modified templates beside their files or into
// the program's data folder, and the reporter is this program started with
// "--report".
void InstallCrashHandler(CEditorApp* app);

// Keeps the crash handler's copies of the main window's modified templates
// current; called whenever the program is idle.
void RefreshCrashRecovery();

// The reporter program mode ("--report FILE [--recovered PATH]...
// [--not-recovered NAME]..."; `arguments` start with FILE): offers the crash
// report in FILE (none when FILE is empty) and tells the user where each
// modified template was saved, in the report dialog or, when no report can be
// offered, in a message of its own. Returns the process's exit code.
int RunCrashReporter(const wxArrayString& arguments);

// At start-up: tells the user where a crash saved the modified templates when
// the reporter could not, and forgets that list.
void TellAboutTemplatesSavedAtLastCrash(CEditorApp& app);

// The words that tell where templates were saved and which were lost.
wxString RecoveryNote(const std::vector<std::string>& recovered, const std::vector<std::string>& lost);

// Test support: with TQV_TEST_CRASH set to a fault kind (see
// report::crashForTesting, or "throw-in-event" for an exception out of an
// event handler), the editor renames its current template through the undo
// history and then fails in that way.
void ScheduleTestCrash(CEditorApp& app);
