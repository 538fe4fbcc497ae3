// File > Compare with...: the controls that differ from another template file
// are marked on the panel, their tool tips list the differences, and the
// marks lapse at the next edit, undo or redo. Keeps a picture of a compared
// panel as a build artefact (<build>/screenshots/compare.png).
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/tooltip.h>

#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "editing/ClipboardCommands.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/TemplateFile.h"
#include "model/TemplateParts.h"
#include "ui/TemplateUI.h"

namespace {
const wxColour kMark(255, 110, 0);

// The template both files share: a few assigned controls.
void common(CEditorTemplate& t) {
    const struct {
        int index;
        const char* name;
        int number;
    } controls[] = {{0, "CUTOFF", 74}, {1, "RESO", 71}, {5, "RELEASE", 72}, {16, "VOL 1", 7}, {70, "KICK", 36}};
    for (const auto& c : controls) {
        CBaseControlState* ctl = t.controlAt(c.index);
        ctl->setName(c.name);
        ctl->controlType = ControlType::CC;
        ctl->lsbNumber = static_cast<uint8_t>(c.number);
        ctl->midiChannel = 0;
    }
}

int countColour(const wxImage& image, const wxRect& area, const wxColour& colour) {
    int n = 0;
    const wxRect inside = area.Intersect(wxRect(0, 0, image.GetWidth(), image.GetHeight()));
    for (int y = inside.y; y < inside.GetBottom(); ++y)
        for (int x = inside.x; x < inside.GetRight(); ++x)
            if (image.GetRed(x, y) == colour.Red() && image.GetGreen(x, y) == colour.Green() &&
                image.GetBlue(x, y) == colour.Blue())
                ++n;
    return n;
}

class CompareTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        mine = WriteTemplate("mine.syx", common, "Mine");
        // Control 1: channel; 5: name; 70: number; the template name.
        theirs = WriteTemplate(
            "theirs.syx",
            [](CEditorTemplate& t) {
                common(t);
                t.controlAt(1)->midiChannel = 2;
                t.controlAt(5)->name = "REL";
                t.controlAt(70)->lsbNumber = 38;
            },
            "Theirs");
        EXPECT_NO_DIALOG(frame->openFile(mine, true));
        tpl = frame->currentTemplate();
        ASSERT_NE(tpl, nullptr);
    }
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->ProcessWindowEvent(event);
    }
    // File > Compare with..., the file dialog answered with `path`.
    void CompareThroughMenu(const wxString& path) {
        FileDialogAnswers answers({{path, "", false}});
        EXPECT_NO_DIALOG(Menu(MenuId::CompareWith));
    }
    // The pointer moved onto control `index` of the panel window.
    void HoverOver(int index) {
        CControlButton* button = frame->View()->FindButton(index);
        ASSERT_NE(button, nullptr);
        wxMouseEvent motion(wxEVT_MOTION);
        motion.SetPosition(button->Centre());
        motion.SetEventObject(frame->Canvas());
        frame->Canvas()->ProcessWindowEvent(motion);
    }
    void LeavePanel() {
        wxMouseEvent motion(wxEVT_MOTION);
        motion.SetPosition(wxPoint(2, 2));
        frame->Canvas()->ProcessWindowEvent(motion);
    }
    wxString Status() const { return frame->GetStatusBar()->GetStatusText(0); }

    wxString mine, theirs;
    CEditorTemplate* tpl = nullptr;
};
}  // namespace

TEST_F(CompareTest, MarksExactlyTheChangedControlsWithTheirDifferencesInTheToolTip) {
    EXPECT_EQ(MenuLabel(MenuId::CompareWith), "Co&mpare with...");
    EXPECT_TRUE(MenuEnabled(MenuId::CompareWith));
    CompareThroughMenu(theirs);
    CTemplateUI* view = frame->View();
    EXPECT_EQ(view->GetComparisonMarks(), (std::vector<int>{1, 5, 70}));
    EXPECT_FALSE(tpl->isModified());  // comparing changes nothing

    // Template-wide differences go to the status bar, in the dialogs' words.
    EXPECT_NE(Status().Find("3 marked control(s) differ"), wxNOT_FOUND) << Status();
    EXPECT_NE(Status().Find("Template name: \"Mine\" -> \"Theirs\""), wxNOT_FOUND) << Status();

    HoverOver(70);
    const wxString tip = view->GetToolTipText();
    EXPECT_TRUE(tip.EndsWith("\n\nDifferences:\nCC number: 36 -> 38")) << tip;
    ASSERT_NE(frame->Canvas()->GetToolTip(), nullptr);
    EXPECT_EQ(frame->Canvas()->GetToolTip()->GetTip(), tip);
    HoverOver(5);
    EXPECT_NE(view->GetToolTipText().Find("Name: \"RELEASE\" -> \"REL\""), wxNOT_FOUND) << view->GetToolTipText();
    HoverOver(1);
    EXPECT_TRUE(view->GetToolTipText().EndsWith("\nChannel: 1 -> 2")) << view->GetToolTipText();
    HoverOver(0);  // unchanged: its usual tip only
    EXPECT_EQ(view->GetToolTipText().Find("Differences"), wxNOT_FOUND);
    EXPECT_NE(view->GetToolTipText(), "");

    // The first edit of the template clears every mark and the tip's list.
    HoverOver(5);
    frame->RunCommand(deleteCommand({CPlacedControl(tpl->controlAt(16), 16)}));
    EXPECT_TRUE(view->GetComparisonMarks().empty());
    EXPECT_FALSE(view->IsComparisonMarked(5));
    EXPECT_EQ(view->GetToolTipText().Find("Differences"), wxNOT_FOUND) << view->GetToolTipText();

    // So do undo and redo, each after a new comparison.
    CompareThroughMenu(theirs);
    EXPECT_EQ(view->GetComparisonMarks(), (std::vector<int>{1, 5, 16, 70}));  // 16 deleted here only
    Menu(MenuId::Undo);
    EXPECT_TRUE(view->GetComparisonMarks().empty());
    CompareThroughMenu(theirs);
    EXPECT_EQ(view->GetComparisonMarks(), (std::vector<int>{1, 5, 70}));
    Menu(MenuId::Redo);
    EXPECT_TRUE(view->GetComparisonMarks().empty());
}

TEST_F(CompareTest, TemplateDifferencesUseTheWordsOfTheDialogs) {
    const wxString other = WriteTemplate(
        "other.syx",
        [](CEditorTemplate& t) {
            common(t);
            t.groupSettings()->commonChannel = 4;
            t.groupSettings()->commonPortMidi2 = !t.groupSettings()->commonPortMidi2;
            t.localSettings().groupPageCount = 3;
            t.localSettings().manufacturerName = "Quorvane";
        },
        "Mine");
    const uint8_t before = tpl->groupSettings()->commonChannel;
    CompareThroughMenu(other);
    const wxString status = Status();
    EXPECT_NE(status.Find(wxString::Format("Common channel: %d -> 4", before)), wxNOT_FOUND) << status;
    // No field names of the JSON form on the line.
    for (const char* internal : {"groups.", "locals.", "commonChannel", "commonPortMidi2", "groupPageCount"})
        EXPECT_EQ(status.Find(internal), wxNOT_FOUND) << internal << " in " << status;
    for (const char* words : {"Common ports: MIDI Port 2: ", "Group pages: ", "Manufacturer: "})
        EXPECT_NE(status.Find(words), wxNOT_FOUND) << words << " not in " << status;
}

TEST_F(CompareTest, ANewComparisonReplacesTheMarks) {
    CompareThroughMenu(theirs);
    EXPECT_EQ(frame->View()->GetComparisonMarks().size(), 3u);
    CompareThroughMenu(mine);
    EXPECT_TRUE(frame->View()->GetComparisonMarks().empty());
    EXPECT_EQ(Status(), "No differences from mine.syx");
    // Another template shown: the marks of this one are not carried over.
    CompareThroughMenu(theirs);
    const wxString other = WriteTemplate("other.syx", common, "Other");
    EXPECT_NO_DIALOG(frame->openFile(other, true));
    EXPECT_TRUE(frame->View()->GetComparisonMarks().empty());
}

TEST_F(CompareTest, UnusableFilesAreReportedAsOpenReportsThem) {
    CompareThroughMenu(theirs);
    const wxString missing = Path("missing.syx");
    {
        FileDialogAnswers answers({{missing, "", false}});
        wxTEST_DIALOG(Menu(MenuId::CompareWith),
                      ExpectMessage("Cannot find file: " + missing + "\n\nIt may have been moved or deleted.", wxOK));
    }
    const wxString broken = Path("broken.syx");
    ASSERT_TRUE(writeBytesToFile(broken.ToStdString(), ByteSequence{0xF0, 0x00, 0x20, 0xF7}, false));
    const wxString invalid = "Unable to open template: " + broken + " - the file is not a valid template file";
    {
        FileDialogAnswers answers({{broken, "", false}});
        wxTEST_DIALOG(Menu(MenuId::CompareWith), ExpectMessage(invalid, wxOK));
    }
    EXPECT_EQ(Status(), invalid);
    {
        FileDialogAnswers answers({{"", "", false}});
        EXPECT_NO_DIALOG(Menu(MenuId::CompareWith));
    }
    EXPECT_EQ(Status(), "Compare cancelled");
    // A failed or cancelled comparison leaves the last one's marks.
    EXPECT_EQ(frame->View()->GetComparisonMarks(), (std::vector<int>{1, 5, 70}));
    EXPECT_EQ(frame->templateCount(), 1);  // nothing was opened
}

TEST_F(CompareTest, ScreenshotOfAComparedPanel) {
    frame->View()->SelectControl(0, true);  // a selection frame beside the marks
    LeavePanel();
    CompareThroughMenu(theirs);
    frame->Move(0, 0);
    frame->Raise();
    frame->requestRepaint();
    frame->idleWork();
    for (int i = 0; i < 10; ++i) {
        Pump();
        wxMilliSleep(20);
    }
    const wxRect screen = frame->GetScreenRect();
    const wxImage image = CaptureScreen(screen);
    ASSERT_TRUE(image.IsOk());
    ASSERT_TRUE(image.SaveFile(ScreenshotFolder() + "/compare.png", wxBITMAP_TYPE_PNG));
    EXPECT_TRUE(Status().StartsWith("Compared with theirs.syx: 3 marked control(s) differ; template: ")) << Status();

    // Each marked control is framed in the mark colour on the screen; the
    // unchanged ones are not.
    const wxPoint panelAt = frame->Canvas()->GetScreenPosition() - screen.GetTopLeft();
    auto around = [&](int index) {
        wxRect r = frame->View()->FindButton(index)->GetRect();
        r.Offset(panelAt);
        return countColour(image, r.Inflate(6), kMark);
    };
    for (int index : {1, 5, 70}) EXPECT_GT(around(index), 60) << "control " << index;
    for (int index : {0, 16, 2}) EXPECT_EQ(around(index), 0) << "control " << index;
}
