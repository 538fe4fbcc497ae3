#pragma once
// Shared pieces of the window tests: the per-test environment (own settings
// store, own main window), dialog answers reported to GoogleTest, and files.
#include <gtest/gtest.h>

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/filedlg.h>
#include <wx/image.h>

#include <functional>
#include <string>
#include <vector>

// Failures of wxTEST_DIALOG become test failures.
#include <wx/modalhook.h>
class wxTestingModalHook;
class GTestModalHook;
#define wxTEST_DIALOG_HOOK_CLASS GTestModalHook
#include <wx/testing.h>

class GTestModalHook : public wxTestingModalHook {
public:
    GTestModalHook(const char* file = nullptr, int line = 0, const char* func = nullptr)
        : wxTestingModalHook(file, line, func), file(file ? file : ""), line(line) {}

protected:
    // An unexpected dialog fails the test and is cancelled instead of waiting.
    int Enter(wxDialog* dlg) override {
        const int result = wxTestingModalHook::Enter(dlg);
        return result == wxID_NONE ? wxID_CANCEL : result;
    }
    void ReportFailure(const wxString& msg) override {
        ADD_FAILURE_AT(file.c_str(), line) << msg.ToStdString();
    }

private:
    std::string file;
    int line;
};

// Runs code that must show no dialog at all.
#define EXPECT_NO_DIALOG(codeToRun)                                  \
    {                                                                \
        GTestModalHook wx_hook(__FILE__, __LINE__, __func__);        \
        codeToRun;                                                   \
    }

// A message box with this exact text (and the editor's caption), answered.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
public:
    ExpectMessage(const wxString& text, int answer) : text(text), answer(answer) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        EXPECT_EQ(dlg->GetMessage().ToStdString(), text.ToStdString());
        EXPECT_EQ(dlg->GetCaption().ToStdString(), "TaNGRA LuMI QV Editor");
        switch (answer) {
            case wxYES: return wxID_YES;
            case wxNO: return wxID_NO;
            case wxCANCEL: return wxID_CANCEL;
            default: return wxID_OK;
        }
    }
    wxString GetDefaultDescription() const override { return "message box \"" + text + "\""; }

private:
    wxString text;
    int answer;
};

// Answers the file dialogs of the main window in order while in scope; each
// answer checks what the dialog proposes. An empty answer cancels.
class FileDialogAnswers {
public:
    struct Answer {
        wxString path;
        wxString proposedName;  // empty: not checked
        bool saving = false;
    };
    explicit FileDialogAnswers(std::vector<Answer> answers);
    ~FileDialogAnswers();

private:
    std::vector<Answer> answers;
    size_t used = 0;
};

// Any other dialog, handed to a function that drives it and gives the result.
template <class T>
class ExpectDialog : public wxExpectModalBase<T, ExpectDialog<T>> {
public:
    explicit ExpectDialog(std::function<int(T*)> drive) : drive(std::move(drive)) {}

protected:
    int OnInvoked(T* dlg) const override { return drive(dlg); }

private:
    std::function<int(T*)> drive;
};

#include "TestApplication.h"

class CMainFrame;
class CEditorTemplate;
class wxMenuBar;
struct EditorServices;
struct EditorSettings;

// What the application object hands to the main window and its dialogs.
EditorServices Services();
// The application object's settings.
EditorSettings& Settings();

// One main window over an empty settings store in a temporary folder.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lets pending events (paints, timers) run.
    static void Pump(int rounds = 3);
    // Pumps events until the window has been painted on the display (at most ~2 s):
    // hiding a window whose map is still on its way can leave it shown.
    static void WaitUntilMapped(wxWindow* window);
    // A template file in the test folder; `edit` sets its controls.
    wxString WriteTemplate(const wxString& name, const std::function<void(CEditorTemplate&)>& edit = nullptr,
                           const std::string& templateName = "Untitled");
    wxString Path(const wxString& name) const { return dir + "/" + name; }
    // The main window's menu bar with every item's state worked out, as
    // when the user opens a menu.
    wxMenuBar* MenuBar() const;
    // Menu item label, enabled state, of the main window's menu bar.
    wxString MenuLabel(int id) const;
    bool MenuEnabled(int id) const;
    std::vector<wxString> TemplateMenuLabels() const;
    std::vector<wxString> OpenTemplateNames() const;
    // The frame is gone once a close went through.
    bool FrameAlive() const;

    CMainFrame* frame = nullptr;
    wxString dir;
    wxFileConfig* config = nullptr;
};

// New asks for the new template's settings; this answers Cancel (the new
// template stays, unchanged) and fails on any other dialog.
void NewTemplateKeepingDefaults(CMainFrame* frame);

// The folder the test program runs from (holds the copied resources).
wxString ProgramFolder();
// A picture of part of the screen (empty when the display cannot be read).
wxImage CaptureScreen(const wxRect& area);
// The build folder's screenshot folder.
wxString ScreenshotFolder();
