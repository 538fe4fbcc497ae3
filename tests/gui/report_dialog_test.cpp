// The report dialog and the offer of reports, inside the editor.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/ReportDialog.h"
#include "app/Settings.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace {

// A local port that accepts connections (the kernel completes them) and
// never says a word: reachable, but no mail server.
class SilentServer {
public:
    SilentServer() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 8);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd); }
    wxString Address() const { return wxString::Format("127.0.0.1:%d", port); }

    int fd = -1;
    int port = 0;
};

int closedPort() {
    SilentServer s;
    return s.port;  // closed again when s goes
}

// Answers a message box like ExpectMessage, first checking what holds while
// the user reads it.
class ExpectMessageWhile : public ExpectMessage {
public:
    ExpectMessageWhile(const wxString& text, std::function<void()> check)
        : ExpectMessage(text, wxOK), check(std::move(check)) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        check();
        return ExpectMessage::OnInvoked(dlg);
    }

private:
    std::function<void()> check;
};

class ReportTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        savedHooks = ModelHooks::get();
        savedAppName = wxTheApp->GetAppName();
        savedVendor = wxTheApp->GetVendorName();
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            savedEnv.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        // Report files go into the test's own folder, which only this user may enter.
        ::chmod(dir.utf8_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", dir.utf8_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir + "/data").utf8_str(), 1);
        wxTheApp->SetAppName(wxString::FromUTF8(EditorApp().Profile().GetEditorTitle()));
        wxTheApp->SetVendorName("Quorvane");
        RememberReportingApplication(&EditorApp());
    }
    void TearDown() override {
        ModelHooks::get() = savedHooks;
        wxTheApp->SetAppName(savedAppName);
        wxTheApp->SetVendorName(savedVendor);
        for (const auto& [name, value] : savedEnv) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        RememberReportingApplication(nullptr);
        GuiTest::TearDown();
    }
    wxString WriteFile(const wxString& name, const std::string& content) {
        std::ofstream(Path(name).ToStdString(), std::ios::binary) << content;
        return Path(name);
    }
    // A template whose dump holds a bit the editor does not model.
    wxString WriteTemplateWithDataError(const wxString& name) {
        ByteSequence bytes = CTaNGRAQVTemplate().save();
        bytes[100] = 0x7F;
        const wxString path = Path(name);
        EXPECT_TRUE(writeBytesToFile(path.ToStdString(), bytes, false));
        return path;
    }
    wxString MaskPath() const { return dir + "/TaNGRA LuMI QV EditorSyxDiff.bin"; }

    ModelHooks savedHooks;
    wxString savedAppName, savedVendor;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv;
};

}  // namespace

TEST_F(ReportTest, DialogShowsItsTextsAndControls) {
    const wxString file = WriteFile("TaNGRA LuMI QV Editor.dmp", "report");
    MyDialog dialog(frame, &EditorApp(), file, "", "Crash", report::MailServer{});
    EXPECT_EQ("TaNGRA LuMI QV Editor", dialog.GetTitle());
    EXPECT_EQ("dialogBox", dialog.GetName());
    EXPECT_EQ(0, dialog.GetWindowStyle() & wxRESIZE_BORDER);
    EXPECT_NE(0, dialog.GetWindowStyle() & wxCLOSE_BOX);
    EXPECT_EQ("TaNGRA LuMI QV Editor has encountered a problem and needs to close.\n"
              "We are very sorry for the inconvenience",
              dialog.Headline());
    EXPECT_EQ("Please tell Quorvane about this problem.", dialog.Appeal());

    std::vector<wxString> texts;
    for (wxWindow* child : dialog.GetChildren())
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            EXPECT_EQ(ReportIds::Text, label->GetId());
            texts.push_back(label->GetLabel());
        }
    const std::vector<wxString> expected = {dialog.Headline(), dialog.Appeal(), dialog.Explanation(),
                                            "What were you doing when the problem happened?",
                                            "Email address (optional)", ""};
    EXPECT_EQ(expected, texts);

    auto* description = dynamic_cast<wxTextCtrl*>(dialog.FindWindow(ReportIds::Description));
    auto* address = dynamic_cast<wxTextCtrl*>(dialog.FindWindow(ReportIds::Address));
    auto* send = dynamic_cast<wxButton*>(dialog.FindWindow(ReportIds::Send));
    auto* dontSend = dynamic_cast<wxButton*>(dialog.FindWindow(ReportIds::DontSend));
    ASSERT_TRUE(description && address && send && dontSend);
    EXPECT_TRUE(description->IsMultiLine());
    EXPECT_TRUE(address->IsSingleLine());
    EXPECT_EQ("&Send", send->GetLabel());
    EXPECT_EQ("&Don't send", dontSend->GetLabel());
    EXPECT_EQ(send, dialog.GetDefaultItem());
    // The description box takes the spare height.
    EXPECT_GT(description->GetSize().y, address->GetSize().y * 2);

    description->SetValue("I pressed Save.");
    dialog.Show();
    WaitUntilMapped(&dialog);
    for (int i = 0; i < 10; ++i) {
        Pump();
        wxMilliSleep(20);
    }
    const wxImage shot = CaptureScreen(dialog.GetScreenRect());
    ASSERT_TRUE(shot.IsOk());
    EXPECT_TRUE(shot.SaveFile(ScreenshotFolder() + "/report_dialog.png", wxBITMAP_TYPE_PNG));
    dialog.Hide();
}

TEST_F(ReportTest, SendingRunsOffTheWindowThreadAndAFailureKeepsTheFile) {
    const wxString file = WriteFile("TaNGRA LuMI QV Editor.dmp", "report");
    SilentServer server;
    report::MailServer to;
    ASSERT_TRUE(report::parseReportServer(server.Address().ToStdString(), to));
    MyDialog dialog(frame, &EditorApp(), file, "", "Crash", to);
    dialog.Show();
    const auto start = std::chrono::steady_clock::now();
    dialog.Send();
    EXPECT_EQ("Sending report...", dialog.StatusLine()->GetLabel());
    EXPECT_FALSE(dialog.SendButton()->IsEnabled());
    EXPECT_FALSE(dialog.DontSendButton()->IsEnabled());
    // The window keeps handling events while the server keeps silent, and
    // cannot be closed under the exchange.
    int pumps = 0;
    while (dialog.GetOutcome() == MyDialog::Outcome::NotSent &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        Pump(1);
        wxMilliSleep(20);
        if (++pumps == 10) {
            EXPECT_FALSE(dialog.Close());
            EXPECT_TRUE(dialog.IsShown());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(MyDialog::Outcome::Failed, dialog.GetOutcome());
    EXPECT_EQ("Report submission failed.", dialog.StatusLine()->GetLabel());
    EXPECT_GT(pumps, 100);  // the window thread was never blocked for long
    EXPECT_GT(seconds, 9.0);
    EXPECT_LT(seconds, 13.0);
    EXPECT_TRUE(wxFileExists(file));
    // The status stays readable for a moment, then the dialog closes.
    for (int i = 0; i < 200 && dialog.IsShown(); ++i) {
        Pump(1);
        wxMilliSleep(10);
    }
    EXPECT_FALSE(dialog.IsShown());
}

TEST_F(ReportTest, UnreachableServerShowsNothingAndKeepsTheFile) {
    const wxString file = WriteFile("TaNGRA LuMI QV Editor.dmp", "report");
    Settings().reportServer = wxString::Format("127.0.0.1:%d", closedPort());
    EXPECT_NO_DIALOG(ReportProblem(file, "", "Crash", nullptr));
    EXPECT_TRUE(wxFileExists(file));
    // Nothing is offered before the application is known.
    RememberReportingApplication(nullptr);
    SilentServer server;
    Settings().reportServer = server.Address();
    EXPECT_NO_DIALOG(ReportProblem(file, "", "Crash", nullptr));
}

TEST_F(ReportTest, DataErrorWritesTheMaskAndOffersItWhenAllowed) {
    SilentServer server;
    Settings().reportServer = server.Address();
    EditorApp().InstallModelHooks();
    Settings().sendErrorsHome = 0;
    EXPECT_NO_DIALOG(frame->openFile(WriteTemplateWithDataError("first.syx"), true));
    ASSERT_TRUE(wxFileExists(MaskPath()));
    wxRemoveFile(MaskPath());

    Settings().sendErrorsHome = 1;
    int shown = 0;
    wxTEST_DIALOG(frame->openFile(WriteTemplateWithDataError("second.syx"), true),
                  ExpectDialog<MyDialog>([&](MyDialog* dialog) {
                      ++shown;
                      EXPECT_EQ(frame, dialog->GetParent());
                      EXPECT_NE(wxString::npos,
                                dialog->Headline().find("back\nto your TaNGRA LuMI QV without corrupting it."));
                      EXPECT_TRUE(dialog->Headline().StartsWith(
                          "This template contains settings which cannot be processed"));
                      return wxID_CANCEL;  // Don't send
                  }));
    EXPECT_EQ(1, shown);
    EXPECT_EQ(2, frame->templateCount());  // loading went on
    std::ifstream mask(MaskPath().ToStdString(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(mask), std::istreambuf_iterator<char>()};
    EXPECT_EQ(4112u, bytes.size());
    EXPECT_EQ(1, std::count_if(bytes.begin(), bytes.end(), [](char b) { return b != 0; }));
}

TEST_F(ReportTest, WithoutAReportToOfferTheReporterStillSaysWhereTheChangesAre) {
    // The mail server is away: no report dialog, but a message with every place.
    Settings().reportServer = wxString::Format("127.0.0.1:%d", closedPort());
    const wxString file = WriteFile("TaNGRA LuMI QV Editor.dmp", "report");
    wxArrayString arguments;
    for (const char* a : {"", "--recovered", "/music/song.recovered.syx", "--not-recovered", "Untitled"}) arguments.Add(a);
    arguments[0] = file;
    // What the crash left for the next start is told now, and forgotten.
    const std::string notice = (dir + "/data/TaNGRA LuMI QV Editor/recovered templates.txt").ToStdString();
    wxFileName::Mkdir(dir + "/data/TaNGRA LuMI QV Editor", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    std::ofstream(notice) << "Recovered: /music/song.recovered.syx\nNot recovered: Untitled\n";
    const wxString expected =
        "TaNGRA LuMI QV Editor closed unexpectedly.\n\nYour unsaved changes were saved in:\n"
        "/music/song.recovered.syx\n\nThe unsaved changes to these templates could not be saved anywhere:\nUntitled";
    // Kept while the message is up: a reporter ended before the user read
    // it leaves the list for the next start.
    wxTEST_DIALOG(EXPECT_EQ(0, RunCrashReporter(arguments)),
                  ExpectMessageWhile(expected, [&] { EXPECT_TRUE(wxFileExists(notice)); }));
    EXPECT_FALSE(wxFileExists(notice));
    EXPECT_TRUE(wxFileExists(file));  // nothing was sent

    // No report file at all: the same message.
    arguments[0] = "";
    wxTEST_DIALOG(RunCrashReporter(arguments), ExpectMessage(expected, wxOK));
}

TEST_F(ReportTest, NextStartTellsWhatTheReporterCouldNot) {
    const wxString folder = dir + "/data/TaNGRA LuMI QV Editor";
    wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    const std::string notice = (folder + "/recovered templates.txt").ToStdString();
    std::ofstream(notice) << "Recovered: /music/song.recovered.syx\n";
    wxTEST_DIALOG(TellAboutTemplatesSavedAtLastCrash(EditorApp()),
                  ExpectMessageWhile("TaNGRA LuMI QV Editor closed unexpectedly last time.\n\n"
                                     "Your unsaved changes were saved in:\n/music/song.recovered.syx",
                                     [&] { EXPECT_TRUE(wxFileExists(notice)); }));
    EXPECT_FALSE(wxFileExists(notice));
    // Told once: the next start shows nothing.
    EXPECT_NO_DIALOG(TellAboutTemplatesSavedAtLastCrash(EditorApp()));
    // A link planted in its place is neither read nor shown.
    ::symlink((dir + "/elsewhere.txt").utf8_str(), notice.c_str());
    std::ofstream((dir + "/elsewhere.txt").ToStdString()) << "Recovered: /somewhere/else.syx\n";
    EXPECT_NO_DIALOG(TellAboutTemplatesSavedAtLastCrash(EditorApp()));
}
