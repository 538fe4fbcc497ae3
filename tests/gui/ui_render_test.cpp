// The panel drawn into a bitmap: frames, texts, and a screenshot to look at.
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/uiaction.h>

#include "model/TemplateParts.h"
#include "ui_support.h"

using namespace uitest;

namespace {

class RenderTest : public PanelFixture {
protected:
    wxImage Render() {
        const wxSize size = view->GetBackgroundSize();
        wxBitmap bitmap(size.x, size.y);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            view->Paint(dc);
        }
        return bitmap.ConvertToImage();
    }
    static bool Is(const wxImage& image, wxPoint p, const wxColour& c) {
        return image.GetRed(p.x, p.y) == c.Red() && image.GetGreen(p.x, p.y) == c.Green() &&
               image.GetBlue(p.x, p.y) == c.Blue();
    }
    // Pixels of a rectangle's area that are (near) black.
    static int DarkPixels(const wxImage& image, const wxRect& r) {
        int n = 0;
        for (int y = r.y; y < r.GetBottom(); ++y)
            for (int x = r.x; x < r.GetRight(); ++x)
                if (image.GetRed(x, y) < 40 && image.GetGreen(x, y) < 40 && image.GetBlue(x, y) < 40) ++n;
        return n;
    }
    // A template whose controls carry a spread of assignments.
    void AssignVariety() {
        const char* const potNames[] = {"Cutoff", "Reso", "Attack", "Decay", "Sustain", "Release", "Drive", "Volume"};
        for (int k = 0; k < 8; ++k) {
            Assign(k, ControlType::CC, potNames[k], 70 + k, 1);
            Assign(8 + k, k % 2 ? ControlType::NRPN : ControlType::CC, "Enc " + std::to_string(k + 1), 20 + k, 2);
            Assign(16 + k, ControlType::CC, "Ch" + std::to_string(k + 1) + " Vol", 7, k + 1);
            Assign(24 + k, ControlType::NoteOnOff, "Note", 48 + k, 10);
            Assign(32 + k, ControlType::ProgramChange, "Prog", 0, 3);
            Control(32 + k).setOffValue(k, false);
            Assign(40 + k, ControlType::CC, "Mute " + std::to_string(k + 1), 80 + k, 1);
            if (k < 5) Assign(48 + k, ControlType::SysEx, "Scene " + std::to_string(k + 1), 0, 1);
            Assign(70 + k, ControlType::DrumNote, "Pad", 36 + k, 10);
        }
        const int mmc[] = {5, 4, 1, 2, 6, 11};
        for (int i = 0; i < 6; ++i) {
            Assign(56 + i, ControlType::MMC, "", 0, 127);
            Control(56 + i).setMmcCommand(mmc[i]);
        }
        Assign(62, ControlType::CC, "Sustain", 64, 1);
        Assign(63, ControlType::PitchBend, "Express", 0, 1);
    }
};

TEST_F(RenderTest, FramesAndTextsLandWhereTheLayoutSays) {
    Assign(0, ControlType::CC, "Cutoff", 74);
    const wxRect textArea(0, 251, 60, 20);  // under Pot 1
    const wxImage before = Render();
    view->SelectControl(1, true);
    view->OnMouseMove(CentreOf(2));
    const wxImage image = Render();
    // Selection: purple two-pixel frame; hover: light frame.
    const wxRect sel = view->FindButton(1)->GetRect();
    EXPECT_TRUE(Is(image, sel.GetTopLeft(), wxColour(213, 23, 143)));
    EXPECT_TRUE(Is(image, sel.GetTopLeft() + wxPoint(1, 1), wxColour(213, 23, 143)));
    EXPECT_TRUE(Is(image, sel.GetBottomRight(), wxColour(213, 23, 143)));
    const wxRect hov = view->FindButton(2)->GetRect();
    EXPECT_TRUE(Is(image, hov.GetTopLeft(), wxColour(238, 238, 238)));
    EXPECT_FALSE(Is(before, hov.GetTopLeft(), wxColour(238, 238, 238)));
    // Assigned Pot 1 has black text under it; unassigned Pot 2 has none.
    EXPECT_GT(DarkPixels(image, textArea), 20);
    EXPECT_EQ(DarkPixels(image, wxRect(70, 251, 40, 20)), DarkPixels(Render(), wxRect(70, 251, 40, 20)));
    view->SetTemplate(nullptr);
    const wxImage empty = Render();
    EXPECT_TRUE(Is(empty, {100, 100}, *wxWHITE));  // nothing painted while not ready
}

TEST_F(RenderTest, RubberBandAndPulsingListenFrame) {
    view->ListenStarted();
    view->OnMouseButton({5, 440}, false, false, false, false);
    view->OnMouseMove({60, 446});
    const wxImage image = Render();
    EXPECT_TRUE(Is(image, {5, 440}, wxColour(68, 68, 68)));
    EXPECT_TRUE(Is(image, {493, 299}, wxColour(213, 23, 143)));  // step 0 of the pulse
    view->Tick(101);
    view->Tick(101);
    EXPECT_TRUE(Is(Render(), {494, 300}, wxColour(233, 83, 163)));  // step 2
}

TEST_F(RenderTest, ScreenshotOfAnAssignedPanel) {
    AssignVariety();
    view->SelectControl(3, true);
    view->SelectControl(44, true);
    view->OnMouseMove(CentreOf(19));
    view->ListenStarted();
    const wxImage image = Render();
    const wxString folder = wxFileName::GetCwd() + "/screenshots";
    wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    ASSERT_TRUE(image.SaveFile(folder + "/panel.png", wxBITMAP_TYPE_PNG));
    // Every assigned control has text under it; unassigned ones have none.
    for (const auto& b : view->GetButtons()) {
        if (b->GetControlState()->getControlType() == ControlType::Disabled) continue;
        const wxPoint o = b->Text().Origin();
        const wxRect under(std::max(o.x - 12, 0), o.y, 60, BitmapFont::Get().Cell());
        EXPECT_GT(DarkPixels(image, under), 5) << b->GetName();
    }
}

// The canvas forwards real pointer and key events to the view.
TEST_F(RenderTest, CanvasForwardsRealEvents) {
    auto* canvas = new CTemplateCanvas(frame);
    RecordingHost canvasHost(canvas);
    canvasHost.tpl = tpl.get();
    CTaNGRAQVLumiTemplateUI panel(canvasHost, profile);
    panel.SetTemplate(tpl.get());
    canvas->SetView(&panel);
    frame->SetClientSize(panel.GetBackgroundSize());
    frame->Show();
    frame->Raise();
    for (int i = 0; i < 20; ++i) wxYield();
    EXPECT_EQ(canvas->GetClientSize(), panel.GetBackgroundSize());

    wxUIActionSimulator sim;
    const wxPoint target = canvas->ClientToScreen(panel.FindButton(5)->Centre());
    sim.MouseMove(target);
    for (int i = 0; i < 20; ++i) wxYield();
    sim.MouseClick();
    for (int i = 0; i < 20 && panel.GetSelection().empty(); ++i) {
        wxMilliSleep(10);
        wxYield();
    }
    EXPECT_EQ(panel.GetSelectedIndices(), std::vector<int>{5});
    canvas->SetFocus();
    sim.Char(WXK_RIGHT);
    for (int i = 0; i < 20 && panel.IsSelected(5); ++i) {
        wxMilliSleep(10);
        wxYield();
    }
    EXPECT_EQ(panel.GetSelectedIndices(), std::vector<int>{6});
    canvas->SetView(nullptr);
}

}  // namespace

// The display strip shows the template's own name, as the unit does.
TEST_F(RenderTest, DisplayShowsTheTemplateName) {
    const wxPoint at = CTaNGRAQVLumiTemplateUI::kDisplayNameAt;
    const wxRect line(at.x, at.y, 260, BitmapFont::Get().Cell());
    const wxColour ink(32, 44, 28);
    auto inkImage = [&](const wxImage& image) {
        std::vector<bool> mask;
        for (int y = line.y; y < line.GetBottom(); ++y)
            for (int x = line.x; x < line.GetRight(); ++x) mask.push_back(Is(image, {x, y}, ink));
        return mask;
    };
    struct Case {
        const char* stored;
        const char* drawn;
    };
    const Case cases[] = {{"Strings", "STRINGS"}, {"Lead 2   ", "LEAD 2"}, {"  ", ""}};
    for (const Case& c : cases) {
        tpl->localSettings().setTemplateName(c.stored);
        EXPECT_EQ(CTaNGRAQVLumiTemplateUI::DisplayName(*tpl), c.drawn);
        // The expected picture: the display's own background with the text drawn on it.
        const wxImage shown = Render();
        wxImage expected = shown.Copy();
        for (int y = line.y; y < line.GetBottom(); ++y)
            for (int x = line.x; x < line.GetRight(); ++x) expected.SetRGB(x, y, 158, 186, 120);
        BitmapFont::Get().Render(expected, c.drawn, at.x, at.y, ink);
        EXPECT_EQ(inkImage(shown), inkImage(expected)) << c.stored;
    }
    // Nothing is left of a fixed caption on an empty name.
    const std::vector<bool> blank = inkImage(Render());
    EXPECT_EQ(std::count(blank.begin(), blank.end(), true), 0);
}
