#include "app/ReportDialog.h"

#include <wx/button.h>
#include <wx/config.h>
#include <wx/ffile.h>
#include <wx/font.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/stdpaths.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <unistd.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "model/EditorTemplate.h"
#include "report/CrashHandler.h"
#include "report/CrashReport.h"
#include "report/Reports.h"
#include "editing/History.h"
#include "editing/TemplateCommands.h"

namespace {

CEditorApp* g_reportingApp = nullptr;

std::string utf8(const wxString& s) { return std::string(s.utf8_str()); }
wxString fromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

// How long the status line stays readable before the dialog closes.
constexpr int kStatusPauseMs = 800;

// Runs a blocking network call off the GUI thread; the windows keep
// repainting meanwhile, but take no input.
template <typename Call>
auto runOffGuiThread(Call call) {
    auto result = std::async(std::launch::async, std::move(call));
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        if (wxTheApp) wxTheApp->SafeYieldFor(nullptr, wxEVT_CATEGORY_UI);
    return result.get();
}

}  // namespace

MyDialog::MyDialog(wxWindow* parent, CEditorApp* application, const wxString& path, const wxString& headlineText,
                   const wxString& subject, const report::MailServer& mailServer, const wxString& recoveryNote)
    : subjectWord(subject), app(application), attachmentPath(path), server(mailServer), poll(this), closing(this) {
    const wxString appName = app ? app->wxApp::GetAppName() : wxString();
    const wxString vendorName = app ? app->GetVendorName() : wxString();
    Create(parent, wxID_ANY, appName, wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX,
           "dialogBox");
    const report::ReportDialogTexts texts =
        report::reportDialogTexts(utf8(appName), utf8(vendorName), utf8(headlineText));
    headline = fromUtf8(texts.headline);
    appeal = fromUtf8(texts.appeal);
    explanation = fromUtf8(texts.explanation);

    auto* column = new wxBoxSizer(wxVERTICAL);
    const int gap = FromDIP(6);
    auto addText = [&](const wxString& text, bool bold = false) {
        auto* label = new wxStaticText(this, ReportIds::Text, text);
        if (bold) {
            wxFont font = label->GetFont();
            font.MakeBold();
            label->SetFont(font);
        }
        column->Add(label, 0, wxLEFT | wxRIGHT | wxTOP, gap * 2);
        return label;
    };
    addText(headline);
    addText(appeal, true);
    addText(explanation);
    if (!recoveryNote.empty()) addText(recoveryNote);
    addText("What were you doing when the problem happened?");
    description = new wxTextCtrl(this, ReportIds::Description, "", wxDefaultPosition, FromDIP(wxSize(440, 110)),
                                 wxTE_MULTILINE);
    column->Add(description, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    addText("Email address (optional)");
    address = new wxTextCtrl(this, ReportIds::Address, "");
    column->Add(address, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    status = new wxStaticText(this, ReportIds::Text, "");
    column->Add(status, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    sendButton = new wxButton(this, ReportIds::Send, "&Send");
    dontSendButton = new wxButton(this, ReportIds::DontSend, "&Don't send");
    sendButton->SetDefault();
    buttons->Add(sendButton, 0, wxRIGHT, gap);
    buttons->Add(dontSendButton, 0);
    column->Add(buttons, 0, wxALIGN_RIGHT | wxALL, gap * 2);
    SetSizerAndFit(column);
    Centre(wxBOTH);

    sendButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Send(); });
    dontSendButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(wxID_CANCEL); });
    Bind(wxEVT_TIMER, &MyDialog::OnPoll, this, poll.GetId());
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Finish(closeCode); }, closing.GetId());
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        // A report on its way cannot be called back; the exchange ends by itself.
        if (IsSending() && event.CanVeto()) {
            event.Veto();
            return;
        }
        Finish(wxID_CANCEL);
    });
}

MyDialog::~MyDialog() {
    poll.Stop();
    closing.Stop();
    if (sending.valid()) sending.wait();  // the time-outs bound this
}

void MyDialog::Send() {
    if (IsSending() || attachmentPath.empty()) return;
    sendButton->Disable();
    dontSendButton->Disable();
    status->SetLabel("Sending report...");
    Layout();
    const std::string replyTo = utf8(address->GetValue());
    const std::string body = utf8(description->GetValue());
    const std::string subject = report::reportSubject(utf8(app ? app->wxApp::GetAppName() : wxString()), utf8(subjectWord));
    const std::string path = utf8(attachmentPath);
    const report::MailServer to = server;
    sending = std::async(std::launch::async, [=] { return report::submitReportFile(to, replyTo, subject, body, path); });
    poll.Start(50);
}

void MyDialog::OnPoll(wxTimerEvent&) {
    if (!sending.valid() || sending.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    poll.Stop();
    const report::MailResult result = sending.get();
    if (result.ok) {
        status->SetLabel("Report submitted.");
        attachmentPath.clear();
        outcome = Outcome::Sent;
    } else {
        status->SetLabel("Report submission failed.");
        status->SetToolTip(fromUtf8(result.error));
        outcome = Outcome::Failed;
    }
    Layout();
    closeCode = result.ok ? wxID_OK : wxID_CANCEL;
    closing.StartOnce(kStatusPauseMs);
}

void MyDialog::Finish(int code) {
    if (IsModal()) EndModal(code);
    else Hide();
}

void RememberReportingApplication(CEditorApp* app) { g_reportingApp = app; }

bool ReportProblem(const wxString& attachmentPath, const wxString& headline, const wxString& subjectWord,
                   wxWindow* parent, const wxString& recoveryNote) {
    if (!g_reportingApp) return false;
    const report::MailServer server = report::reportServerFor(utf8(Settings().reportServer));
    // The test connection waits a few seconds at most; meanwhile the windows repaint.
    if (!runOffGuiThread([server] { return report::canReachMailServer(server, std::chrono::seconds(5)); }))
        return false;
    MyDialog dialog(parent, g_reportingApp, attachmentPath, headline, subjectWord, server, recoveryNote);
    dialog.ShowModal();
    return true;
}

void InstallCrashHandler(CEditorApp* app) {
    RememberReportingApplication(app);
    const std::string appName = utf8(app->wxApp::GetAppName());
    const std::string reportFolder = report::reportDirectory();
    const std::string dataFolder = report::dataDirectory(appName);
    const std::string homeFolder = report::homeDirectory();
    // A template that never had a file goes where it outlives a restart first.
    report::CRecoveryRegistry::instance().setFolders({dataFolder, reportFolder, homeFolder});
    report::CrashHandlerOptions options;
    options.applicationName = appName;
    options.reportPath = report::crashReportPath(appName, reportFolder);
    options.fallbackReportFolders = {dataFolder, homeFolder};
    options.noticePaths = report::recoveryNoticePaths(appName);
    const wxString exe = wxStandardPaths::Get().GetExecutablePath();
    if (!exe.empty()) options.reporterCommand = {utf8(exe), "--report"};
    report::installCrashHandler(options);
}

wxString RecoveryNote(const std::vector<std::string>& recovered, const std::vector<std::string>& lost) {
    wxString note;
    if (!recovered.empty()) {
        note = "Your unsaved changes were saved in:";
        for (const auto& file : recovered) note += "\n" + fromUtf8(file);
    }
    if (!lost.empty()) {
        if (!note.empty()) note += "\n\n";
        note += "The unsaved changes to these templates could not be saved anywhere:";
        for (const auto& name : lost) note += "\n" + fromUtf8(name);
    }
    return note;
}

namespace {

// Removes the notes left for the next start that list exactly these templates:
// the user has just been told.
void ForgetRecoveryNotices(const report::RecoveryList& told) {
    const std::string appName = utf8(wxTheApp ? wxTheApp->GetAppName() : wxString());
    for (const std::string& path : report::recoveryNoticePaths(appName)) {
        const report::RecoveryList listed = report::recoveryListIn(path);
        if (!listed.empty() && listed.recovered == told.recovered && listed.lost == told.lost)
            ::unlink(path.c_str());
    }
}

}  // namespace

void RefreshCrashRecovery() {
    // Handles of the templates the registry holds, by template.
    static std::map<const CEditorTemplate*, int> handles;
    auto& registry = report::CRecoveryRegistry::instance();
    CEditorApp* app = EditorAppOrNull();
    CMainFrame* frame = app ? app->GetMainFrame() : nullptr;
    std::map<const CEditorTemplate*, int> open;
    for (int i = 0; frame && i < frame->templateCount(); ++i) {
        CEditorTemplate* tpl = frame->templateAt(i);
        auto found = handles.find(tpl);
        if (found != handles.end()) {
            open.insert(*found);
            continue;
        }
        // The callbacks run only inside refresh(), after this sync, so they never
        // see a closed template.
        const int handle = registry.add({[tpl] { return tpl->isModified(); }, [tpl] { return tpl->save(); },
                                         [tpl] { return tpl->getFilePath(); },
                                         [tpl] { return tpl->suggestedFileName(); }});
        if (handle >= 0) open[tpl] = handle;
    }
    for (const auto& [tpl, handle] : handles)
        if (!open.count(tpl)) registry.remove(handle);
    handles = std::move(open);
    registry.refresh();
}

int RunCrashReporter(const wxArrayString& arguments) {
    const std::string path = arguments.empty() ? std::string() : utf8(arguments[0]);
    report::RecoveryList saved;
    for (size_t i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--recovered") saved.recovered.push_back(utf8(arguments[i + 1]));
        else if (arguments[i] == "--not-recovered") saved.lost.push_back(utf8(arguments[i + 1]));
    }
    const wxString note = RecoveryNote(saved.recovered, saved.lost);
    bool shown = false;
    if (!path.empty()) {
        // Names and lines for the stack trace, while the program files are still the crashed ones.
        report::symbolizeCrashReport(path);
        shown = ReportProblem(wxString::FromUTF8(path.c_str()), "", "Crash", nullptr, note);
    }
    // No report to offer (no mail server, or no folder took the report): the
    // user still learns where the changes are.
    if (!shown && !note.empty() && g_reportingApp) {
        g_reportingApp->ShowMessage(wxOK | wxICON_INFORMATION,
                                    g_reportingApp->wxApp::GetAppName() + " closed unexpectedly.\n\n" + note);
        shown = true;
    }
    // Only once the user has seen where the changes are: a reporter that ends
    // before (logged out, killed) leaves the note for the next start.
    if (shown) ForgetRecoveryNotices(saved);
    return 0;
}

void TellAboutTemplatesSavedAtLastCrash(CEditorApp& app) {
    for (const std::string& path : report::recoveryNoticePaths(utf8(app.wxApp::GetAppName()))) {
        const report::RecoveryList listed = report::recoveryListIn(path);
        if (listed.empty()) continue;
        app.ShowMessage(wxOK | wxICON_INFORMATION,
                        app.wxApp::GetAppName() + " closed unexpectedly last time.\n\n" +
                            RecoveryNote(listed.recovered, listed.lost));
        // Forgotten once seen, not before.
        ::unlink(path.c_str());
    }
}

void ScheduleTestCrash(CEditorApp& app) {
    wxString kind;
    if (!wxGetEnv("TQV_TEST_CRASH", &kind) || kind.empty()) return;
    app.CallAfter([&app, kind] {
        // A real edit through the undo history, so that the crash finds a
        // modified template to save: the template is renamed.
        CMainFrame* frame = app.GetMainFrame();
        if (CEditorTemplate* tpl = frame ? frame->currentTemplate() : nullptr) {
            CTemplateLocalData settings = tpl->localSettings();
            settings.setTemplateName("Crash Test");
            executeCommand(std::make_unique<CSetTemplateLocalsCommand>(&tpl->localSettings(), settings), *tpl);
        }
        RefreshCrashRecovery();
        auto* timer = new wxTimer();
        timer->Bind(wxEVT_TIMER, [kind](wxTimerEvent&) {
            // An exception out of an event handler travels through the toolkit's loop.
            if (kind == "throw-in-event") throw std::runtime_error("test crash requested");
            report::crashForTesting(utf8(kind));
        });
        timer->StartOnce(500);
    });
}
