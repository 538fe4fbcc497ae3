// Template files: open, convert, revert, save, save as, close with prompts,
// the recent list and the refusal messages.
#include <wx/app.h>
#include <wx/filename.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editing/ClipboardCommands.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/DeviceKind.h"
#include "model/EditorTemplate.h"
#include "model/TemplateFile.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateParts.h"

namespace {
wxString notFound(const wxString& path) { return "Cannot find file: " + path + "\n\nIt may have been moved or deleted."; }
wxString invalid(const wxString& path) {
    return "Unable to open template: " + path + " - the file is not a valid template file";
}
const char* const kRevert = "This template is already loaded.  Do you want to revert to the version on disk?";

// One recorded change on the current template: clears control 0.
void changeSomething(CMainFrame* frame) {
    CEditorTemplate* tpl = frame->Document().currentTemplate();
    executeCommand(deleteCommand({CPlacedControl(tpl->controlAt(0), 0)}), *tpl);
}

ByteSequence fileBytes(const wxString& path) {
    ByteSequence bytes;
    EXPECT_TRUE(readMessageFromFile(path.ToStdString(), bytes, 0));
    return bytes;
}
}  // namespace

using FileOpsTest = GuiTest;

TEST_F(FileOpsTest, OpeningAFileShowsItsControlsAndRecordsIt) {
    const wxString path = WriteTemplate("synth.syx", [](CEditorTemplate& t) {
        t.controlAt(5)->setName("CUTOFF");
        t.controlAt(5)->controlType = ControlType::CC;
    });
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    ASSERT_EQ(frame->Document().templateCount(), 1);
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(5)->getName(), "CUTOFF");
    EXPECT_FALSE(frame->Document().currentTemplate()->isModified());
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - " + path);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Opened template: " + path);
    EXPECT_EQ(Settings().recentFile(0), path);
    EXPECT_TRUE(MenuEnabled(MenuId::RecentFiles));
    EXPECT_EQ(MenuBar()->FindItem(MenuId::FirstRecent)->GetItemLabelText(), path);
    EXPECT_EQ(frame->View()->GetTemplate(), frame->Document().currentTemplate());
}

TEST_F(FileOpsTest, MissingAndInvalidFilesAreReported) {
    const wxString missing = Path("gone.syx");
    Settings().addRecentFile(missing);
    wxTEST_DIALOG(frame->Document().openFile(missing, true), ExpectMessage(notFound(missing), wxOK));
    EXPECT_EQ(Settings().recentFileCount(), 0);
    EXPECT_FALSE(MenuEnabled(MenuId::RecentFiles));

    struct Case {
        const char* name;
        ByteSequence bytes;
    };
    const Case cases[] = {
        {"empty.syx", ByteSequence{}},
        {"nosysex.syx", ByteSequence{0x01, 0x02, 0x03}},
        {"short.syx", ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x01, 0xF7}},
        {"foreign.syx", ByteSequence{0xF0, 0x00, 0x21, 0x29, 0x02, 0x03, 0x01, 0x05, 0xF7}},
    };
    for (const Case& c : cases) {
        const wxString path = Path(c.name);
        ASSERT_TRUE(writeBytesToFile(path.ToStdString(), c.bytes, false));
        wxTEST_DIALOG(frame->Document().openFile(path, true), ExpectMessage(invalid(path), wxOK));
        EXPECT_EQ(frame->Document().templateCount(), 0) << c.name;
        EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), invalid(path));
    }
}

TEST_F(FileOpsTest, OpeningAnOpenFileSelectsItOrRevertsOnRequest) {
    const wxString a = WriteTemplate("a.syx", [](CEditorTemplate& t) { t.controlAt(0)->setName("ORIGINAL"); });
    const wxString b = WriteTemplate("b.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(a, true);
        frame->Document().openFile(b, true);
        frame->Document().openFile(a, true);  // not modified: only made current, no reordering
    });
    EXPECT_EQ(OpenTemplateNames(), (std::vector<wxString>{"b.syx", "a.syx"}));
    EXPECT_EQ(frame->Document().currentIndex(), 1);

    changeSomething(frame);
    ASSERT_TRUE(frame->Document().currentTemplate()->isModified());
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(0)->getName(), "");
    // NO leaves the edit in place.
    wxTEST_DIALOG(frame->Document().openFile(a, true), ExpectMessage(kRevert, wxNO));
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(0)->getName(), "");
    EXPECT_TRUE(frame->Document().currentTemplate()->isModified());
    // YES reloads the same template from disk.
    CEditorTemplate* before = frame->Document().currentTemplate();
    wxTEST_DIALOG(frame->Document().openFile(a, true), ExpectMessage(kRevert, wxYES));
    EXPECT_EQ(frame->Document().currentTemplate(), before);
    EXPECT_EQ(frame->Document().templateCount(), 2);
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(0)->getName(), "ORIGINAL");
    EXPECT_FALSE(frame->Document().currentTemplate()->isModified());
    EXPECT_FALSE(canUndo(*frame->Document().currentTemplate()));
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - " + a);

    // Importing from a modified open file asks the same and reverts instead.
    changeSomething(frame);
    wxTEST_DIALOG(frame->Document().openFile(a, false), ExpectMessage(kRevert, wxYES));
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(0)->getName(), "ORIGINAL");
    EXPECT_TRUE(frame->Document().currentTemplate()->importedControls.empty());
}

TEST_F(FileOpsTest, AFailedRevertKeepsTheEditsAndTheirStar) {
    const wxString a = WriteTemplate("a.syx", [](CEditorTemplate& t) { t.controlAt(0)->setName("ORIGINAL"); });
    EXPECT_NO_DIALOG(frame->Document().openFile(a, true));
    changeSomething(frame);
    CEditorTemplate* tpl = frame->Document().currentTemplate();
    const ByteSequence edited = tpl->save();
    ASSERT_TRUE(frame->GetTitle().EndsWith("*"));

    struct Case {
        const char* what;
        size_t offset;  // 0: the file is cut short
        uint8_t value;
    };
    for (const Case c : {Case{"bad header", 4, 0x05}, Case{"cut short", 0, 0}}) {
        ByteSequence broken = fileBytes(a);
        if (c.offset) broken[c.offset] = c.value;
        else broken = ByteSequence(std::vector<uint8_t>(broken.begin(), broken.begin() + 2000));
        ASSERT_TRUE(writeBytesToFile(a.ToStdString(), broken, false));
        wxTEST_DIALOG(frame->Document().openFile(a, true), ExpectMessage(kRevert, wxYES), ExpectMessage(invalid(a), wxOK));
        EXPECT_EQ(frame->Document().currentTemplate(), tpl) << c.what;
        EXPECT_TRUE(tpl->isModified()) << c.what;
        EXPECT_TRUE(frame->GetTitle().EndsWith("*")) << c.what;
        EXPECT_EQ(tpl->controlAt(0)->getName(), "") << c.what;
        EXPECT_EQ(tpl->save(), edited) << c.what;
    }
    // Closing still asks about the edits.
    wxTEST_DIALOG(frame->Document().closeCurrentTemplate(),
                  ExpectMessage("Save changes to template \"" + a + "\"?", wxNO));
    EXPECT_EQ(frame->Document().templateCount(), 0);
}

TEST_F(FileOpsTest, ImportControlsAddsThemToTheCurrentTemplate) {
    const wxString source = WriteTemplate("source.syx", [](CEditorTemplate& t) {
        t.controlAt(2)->setName("LEVEL");
        t.controlAt(2)->controlType = ControlType::CC;
    });
    NewTemplateKeepingDefaults(frame);
    {
        FileDialogAnswers answers({{source, "", false}});
        EXPECT_NO_DIALOG(frame->Document().ImportControls());
    }
    EXPECT_EQ(frame->Document().templateCount(), 1);
    const auto& imported = frame->Document().currentTemplate()->importedControls;
    EXPECT_TRUE(std::any_of(imported.begin(), imported.end(),
                            [](const CBaseControlState& c) { return c.getName() == "LEVEL"; }));
    // The controls themselves stay as they were; only the imported list grows.
    EXPECT_EQ(frame->Document().currentTemplate()->controlAt(2)->getName(), "");
    {
        FileDialogAnswers answers({{"", "", false}});
        EXPECT_NO_DIALOG(frame->Document().ImportControls());
    }
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Import cancelled");
    {
        FileDialogAnswers answers({{"", "", false}});
        EXPECT_NO_DIALOG(frame->Document().OpenTemplate());
    }
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Open cancelled");
}

TEST_F(FileOpsTest, ASiblingDumpIsConvertedWithTheImportNote) {
    std::unique_ptr<CEditorTemplate> sibling = createTemplateOfKind(KindTaNGRA);
    if (!sibling) GTEST_SKIP() << "no template class for the first-generation sibling yet";
    sibling->setTemplateName("Old one");
    sibling->controlAt(0)->setName("OLDPOT");
    sibling->controlAt(0)->controlType = ControlType::CC;
    const wxString path = Path("sibling.syx");
    ASSERT_TRUE(writeBytesToFile(path.ToStdString(), sibling->save(), false));
    const wxString note =
        "This template has been imported from a template originally for the " +
        wxString::FromUTF8(deviceKindName(KindTaNGRA)) +
        ".\n\nIf you save this template, it will be saved as a TaNGRA LuMI QV template, which may result in loss "
        "of data.  To avoid this, choose \"Save As...\" from the File menu.\n\nYou can find all of the controls "
        "from the original template by right-clicking on a control and choosing \"Imported Controls\".";
    wxTEST_DIALOG(frame->Document().openFile(path, true), ExpectMessage(note, wxOK));
    ASSERT_EQ(frame->Document().templateCount(), 1);
    EXPECT_TRUE(frame->Document().currentTemplate()->isModified());
    EXPECT_TRUE(frame->GetTitle().EndsWith("*"));
    EXPECT_FALSE(frame->Document().currentTemplate()->importedControls.empty());
}

TEST_F(FileOpsTest, StandardTemplateQuestionCanDiscardTheFile) {
    const wxString path = WriteTemplate("standard.syx", [](CEditorTemplate& t) {
        // Byte 51 of the settings block marks the host-mapping feature's standard templates.
        static_cast<CTaNGRAQVTemplate&>(t).locals.deviceByte51 = 1;
    });
    ByteSequence bytes = fileBytes(path);
    ASSERT_TRUE(frame->Document().currentTemplate() == nullptr);
    const wxString question =
        "This template is an Pairlink standard template.\nEditing it may cause unexpected behaviour if you load it "
        "back onto your unit.\n\nDo you still want to edit this template?";
    wxTEST_DIALOG(frame->Document().openFile(path, true), ExpectMessage(question, wxNO));
    EXPECT_EQ(frame->Document().templateCount(), 0);
    wxTEST_DIALOG(frame->Document().openFile(path, true), ExpectMessage(question, wxYES));
    EXPECT_EQ(frame->Document().templateCount(), 1);
}

TEST_F(FileOpsTest, SavingANewTemplateProposesItsDisplayNameThenSavesSilently) {
    NewTemplateKeepingDefaults(frame);
    frame->Document().currentTemplate()->setTemplateName("My Synth/1");
    frame->Document().currentTemplate()->controlAt(1)->setName("DRIVE");
    const wxString target = Path("Unknown - My Synth_1.syx");
    {
        FileDialogAnswers answers({{target, "Unknown - My Synth_1.syx", true}});
        EXPECT_NO_DIALOG(frame->Document().SaveTemplate());
    }
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Saved template to: " + target);
    EXPECT_FALSE(frame->Document().currentTemplate()->isModified());
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - " + target);
    EXPECT_EQ(Settings().recentFile(0), target);
    ByteSequence saved = fileBytes(target);
    EXPECT_EQ(saved.size(), 4112u);
    EXPECT_EQ(saved, frame->Document().currentTemplate()->save());

    // Bound now: the next save asks nothing.
    changeSomething(frame);
    EXPECT_TRUE(frame->GetTitle().EndsWith("*"));
    EXPECT_NO_DIALOG(frame->Document().SaveTemplate());
    EXPECT_FALSE(frame->Document().currentTemplate()->isModified());
    EXPECT_FALSE(frame->GetTitle().EndsWith("*"));
    EXPECT_EQ(fileBytes(target), frame->Document().currentTemplate()->save());

    // A cancelled dialog saves nothing.
    NewTemplateKeepingDefaults(frame);
    {
        FileDialogAnswers answers({{"", "", true}});
        EXPECT_NO_DIALOG(frame->Document().SaveTemplate());
    }
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Save canceled");
    EXPECT_FALSE(frame->Document().currentTemplate()->fromFile);
}

TEST_F(FileOpsTest, SaveFailureKeepsTheTemplateModifiedAndTheOldFile) {
    const wxString path = WriteTemplate("locked.syx");
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    const ByteSequence before = fileBytes(path);
    changeSomething(frame);
    // A file in a folder that is gone cannot be written.
    const wxString unwritable = Path("no-such-folder/locked.syx");
    frame->Document().currentTemplate()->filePath = unwritable.ToStdString();
    const wxString message = "Unable to save template to: " + unwritable + "\n\nNo such file or directory.";
    wxTEST_DIALOG(frame->Document().SaveTemplate(), ExpectMessage(message, wxOK));
    EXPECT_TRUE(frame->Document().currentTemplate()->isModified());
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), message);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(FileOpsTest, SaveFailureSaysWhy) {
    const wxString path = WriteTemplate("full.syx");
    EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
    const ByteSequence before = fileBytes(path);
    changeSomething(frame);
    // A file size limit stands in for a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const wxString message = "Unable to save template to: " + path + "\n\nFile too large.";
    wxTEST_DIALOG(frame->Document().SaveTemplate(), ExpectMessage(message, wxOK));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(frame->Document().currentTemplate()->isModified());
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), message);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(FileOpsTest, OpeningAFolderOrADeviceSaysWhatItIs) {
    const wxString folder = Path("folder.syx");
    wxFileName::Mkdir(folder);
    struct Case {
        wxString path;
        wxString message;
    };
    const Case cases[] = {
        {folder, "'" + folder + "' is a folder, not a file"},
        {"/dev/zero", "'/dev/zero' is not a regular file"},
        {Path("missing.syx"), notFound(Path("missing.syx"))},
    };
    for (const Case& c : cases) {
        Settings().addRecentFile(c.path);
        wxTEST_DIALOG(frame->Document().openFile(c.path, true), ExpectMessage(c.message, wxOK));
        EXPECT_EQ(frame->Document().templateCount(), 0) << c.path;
        EXPECT_NE(Settings().recentFile(0), c.path) << "a path that is no file stays in the recent list";
    }
    // The same for a folder dropped on the window.
    wxArrayString dropped;
    dropped.Add(folder);
    bool accepted = false;
    wxTEST_DIALOG(accepted = frame->Document().DropFiles(dropped), ExpectMessage(cases[0].message, wxOK));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(frame->Document().templateCount(), 0);
}

TEST_F(FileOpsTest, SaveAsRefusesTheFileOfAnotherOpenTemplate) {
    const wxString a = WriteTemplate("a.syx");
    const wxString b = WriteTemplate("b.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(a, true);
        frame->Document().openFile(b, true);
    });
    {
        FileDialogAnswers answers({{a, "b.syx", true}});
        wxTEST_DIALOG(frame->Document().SaveTemplateAs(),
                      ExpectMessage("A template with the same filename is already loaded.\nPlease choose a different "
                                    "filename.",
                                    wxOK));
    }
    EXPECT_EQ(CTemplateDocument::templateFileName(*frame->Document().currentTemplate()), b);
    // Its own name is fine.
    {
        FileDialogAnswers answers({{b, "b.syx", true}});
        EXPECT_NO_DIALOG(frame->Document().SaveTemplateAs());
    }
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Saved template to: " + b);
    const wxString c = Path("c.syx");
    {
        FileDialogAnswers answers({{c, "b.syx", true}});
        EXPECT_NO_DIALOG(frame->Document().SaveTemplateAs());
    }
    EXPECT_TRUE(wxFileName::FileExists(c));
    EXPECT_EQ(TemplateMenuLabels(), (std::vector<wxString>{"c.syx", "a.syx"}));
}

TEST_F(FileOpsTest, ClosingAModifiedTemplateAsksAndAFailedSaveKeepsIt) {
    NewTemplateKeepingDefaults(frame);
    changeSomething(frame);
    // YES, then the save dialog is cancelled: the template stays.
    {
        FileDialogAnswers answers({{"", "", true}});
        wxTEST_DIALOG(frame->Document().closeCurrentTemplate(), ExpectMessage("Save changes to template \"Untitled\"?", wxYES));
    }
    EXPECT_EQ(frame->Document().templateCount(), 1);
    // YES with a file chosen saves and closes.
    const wxString target = Path("kept.syx");
    {
        FileDialogAnswers answers({{target, "", true}});
        wxTEST_DIALOG(frame->Document().closeCurrentTemplate(), ExpectMessage("Save changes to template \"Untitled\"?", wxYES));
    }
    EXPECT_EQ(frame->Document().templateCount(), 0);
    EXPECT_TRUE(wxFileName::FileExists(target));
    // A template with a file is named by its path; NO closes without saving.
    EXPECT_NO_DIALOG(frame->Document().openFile(target, true));
    changeSomething(frame);
    wxTEST_DIALOG(frame->Document().closeCurrentTemplate(),
                  ExpectMessage("Save changes to template \"" + target + "\"?", wxNO));
    EXPECT_EQ(frame->Document().templateCount(), 0);
    EXPECT_EQ(frame->GetTitle(), "TaNGRA LuMI QV Editor - No Template Loaded");
}

TEST_F(FileOpsTest, ClosingTheWindowAsksTemplateByTemplateAndCancelKeepsAll) {
    const wxString a = WriteTemplate("a.syx");
    const wxString b = WriteTemplate("b.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(a, true);
        frame->Document().openFile(b, true);
    });
    changeSomething(frame);
    frame->Document().selectTemplate(1);
    changeSomething(frame);
    frame->Document().selectTemplate(0);
    // List order: b first (NO), then a (CANCEL).
    wxTEST_DIALOG(frame->Close(), ExpectMessage("Save changes to template \"" + b + "\"?", wxNO),
                  ExpectMessage("Save changes to template \"" + a + "\"?", wxCANCEL));
    Pump();
    ASSERT_TRUE(FrameAlive());
    EXPECT_FALSE(wxPendingDelete.Member(frame));
    EXPECT_EQ(frame->Document().templateCount(), 2);
    EXPECT_TRUE(frame->Document().templateAt(0)->isModified());
    EXPECT_TRUE(frame->Document().templateAt(1)->isModified());

    // Saving both lets the window go.
    wxTEST_DIALOG(frame->Close(), ExpectMessage("Save changes to template \"" + b + "\"?", wxYES),
                  ExpectMessage("Save changes to template \"" + a + "\"?", wxYES));
    EXPECT_TRUE(wxPendingDelete.Member(frame));
    Pump();
    EXPECT_EQ(EditorApp().GetMainFrame(), nullptr);
    frame = nullptr;
}

TEST_F(FileOpsTest, RecentMenuOpensItsEntriesAndMovesThemUp) {
    const wxString a = WriteTemplate("a.syx");
    const wxString b = WriteTemplate("b.syx");
    EXPECT_NO_DIALOG({
        frame->Document().openFile(a, true);
        frame->Document().openFile(b, true);
        frame->Document().closeCurrentTemplate();
        frame->Document().closeCurrentTemplate();
    });
    // Closing b made a current again, which moved it up.
    ASSERT_EQ(Settings().recentFileCount(), 2);
    EXPECT_EQ(Settings().recentFile(0), a);
    wxCommandEvent pick(wxEVT_MENU, MenuId::FirstRecent + 1);
    EXPECT_NO_DIALOG(frame->ProcessWindowEvent(pick));
    EXPECT_EQ(frame->Document().templateCount(), 1);
    EXPECT_EQ(CTemplateDocument::templateFileName(*frame->Document().currentTemplate()), b);
    EXPECT_EQ(Settings().recentFile(0), b);
    EXPECT_EQ(Settings().recentFile(1), a);
    EXPECT_EQ(MenuBar()->FindItem(MenuId::FirstRecent)->GetItemLabelText(), b);
    EXPECT_EQ(MenuBar()->FindItem(MenuId::FirstRecent + 2), nullptr);
}

TEST(FileNameChars, OnlyLettersDigitsDotDashUnderscoreAndBlank) {
    const wxString allowed = "09AZaz.-_ ";
    for (wxChar c : allowed) EXPECT_TRUE(CTemplateDocument::isFileNameChar(c)) << static_cast<char>(c);
    const wxString refused = "/\\:*?\"<>|&+,";
    for (wxChar c : refused) EXPECT_FALSE(CTemplateDocument::isFileNameChar(c)) << static_cast<char>(c);
    EXPECT_FALSE(CTemplateDocument::isFileNameChar(wxChar(0xE9)));
}

// A Save As that cannot write leaves the template as it was: its file, its
// title, the recent list, and (for a new template) the dialog on the next Save.
TEST_F(FileOpsTest, FailedSaveAsKeepsThePreviousFileTitleAndRecentList) {
    const wxString unwritable = Path("no-such-folder/elsewhere.syx");
    const wxString message = "Unable to save template to: " + unwritable + "\n\nNo such file or directory.";
    struct Case {
        bool fromFile;
    };
    for (const Case c : {Case{true}, Case{false}}) {
        if (c.fromFile) {
            const wxString a = WriteTemplate("bound.syx");
            EXPECT_NO_DIALOG(frame->Document().openFile(a, true));
        } else {
            NewTemplateKeepingDefaults(frame);
        }
        changeSomething(frame);
        const wxString title = frame->GetTitle();
        const std::string filePath = frame->Document().currentTemplate()->filePath;
        const wxString templateLabel = TemplateMenuLabels().front();
        std::vector<wxString> recent;
        for (int i = 0; i < Settings().recentFileCount(); ++i) recent.push_back(Settings().recentFile(i));
        {
            FileDialogAnswers answers({{unwritable, "", true}});
            wxTEST_DIALOG(frame->Document().SaveTemplateAs(), ExpectMessage(message, wxOK));
        }
        EXPECT_EQ(frame->GetTitle(), title);
        EXPECT_EQ(frame->Document().currentTemplate()->fromFile, c.fromFile);
        EXPECT_EQ(frame->Document().currentTemplate()->filePath, filePath);
        EXPECT_EQ(TemplateMenuLabels().front(), templateLabel);
        EXPECT_TRUE(frame->Document().currentTemplate()->isModified());
        std::vector<wxString> recentAfter;
        for (int i = 0; i < Settings().recentFileCount(); ++i) recentAfter.push_back(Settings().recentFile(i));
        EXPECT_EQ(recentAfter, recent);
        // Reselecting the template does not put the unwritten file on the list either.
        frame->Document().reselectCurrent();
        EXPECT_EQ(Settings().recentFileCount(), static_cast<int>(recent.size()));
        if (!c.fromFile) {
            // Unbound still: Save asks for a file again.
            FileDialogAnswers answers({{"", "", true}});
            EXPECT_NO_DIALOG(frame->Document().SaveTemplate());
            EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Save canceled");
        }
    }
}
