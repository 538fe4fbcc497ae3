// The panel at 100, 150 and 200 per cent: window size, pointer mapping, the
// setting kept across a restart of the main window, and the pixels on screen.
// The enlarged window is wider than a small screen: CTest runs these on a
// large virtual display of their own.
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "ui/BitmapFont.h"
#include "ui/TemplateUI.h"

#include <algorithm>

namespace {
struct ZoomCase {
    int menuId;
    int percent;
    const char* screenshot;  // null: none
};
const ZoomCase kZooms[] = {
    {MenuId::Zoom150, 150, "panel_zoom_150.png"},
    {MenuId::Zoom200, 200, "panel_zoom_200.png"},
    {MenuId::Zoom100, 100, nullptr},
};

class PanelZoomTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        OpenTemplate();
    }
    void OpenTemplate() {
        const wxString path = WriteTemplate("zoom.syx", [](CEditorTemplate& t) {
            const char* names[] = {"CUTOFF", "RESO", "ATTACK", "DECAY", "SUSTAIN", "RELEASE", "DRIVE", "VOLUME"};
            for (int i = 0; i < 8; ++i) {
                t.controlAt(i)->setName(names[i]);
                t.controlAt(i)->controlType = ControlType::CC;
                t.controlAt(i)->lsbNumber = static_cast<uint8_t>(70 + i);
            }
            t.controlAt(40)->setName("PLAY");
            t.controlAt(40)->controlType = ControlType::NoteOnOff;
            t.controlAt(63)->setName("EXPR");
        }, "Zoomed Panel");
        EXPECT_NO_DIALOG(frame->openFile(path, true));
        ASSERT_NE(frame->currentTemplate(), nullptr);
    }
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->ProcessWindowEvent(event);
        Pump();
    }
    // Where a control's centre shows in the window at the current zoom.
    wxPoint ZoomedCentre(int index) const {
        const CControlButton* button = frame->View()->FindButton(index);
        EXPECT_NE(button, nullptr) << index;
        if (!button) return wxPoint();
        const wxRect shown = frame->View()->ToWindow(button->GetRect());
        return wxPoint(shown.x + shown.width / 2, shown.y + shown.height / 2);
    }
    void Click(wxPoint p) {
        for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
            wxMouseEvent event(type);
            event.SetPosition(p);
            event.m_leftDown = type == wxEVT_LEFT_DOWN;
            event.SetEventObject(frame->Canvas());
            frame->Canvas()->GetEventHandler()->ProcessEvent(event);
        }
        frame->hideEditWindow();
    }
    // The panel as the display shows it, with the pointer parked away from it.
    wxImage CapturePanel() {
        frame->Move(0, 0);
        frame->Raise();
        frame->View()->ClearSelection();
        wxUIActionSimulator().MouseMove(wxGetDisplaySize().x - 2, wxGetDisplaySize().y - 2);
        frame->requestRepaint();
        frame->idleWork();
        for (int i = 0; i < 15; ++i) {
            Pump();
            wxMilliSleep(20);
        }
        return CaptureScreen(frame->Canvas()->GetScreenRect());
    }
};
}  // namespace

TEST_F(PanelZoomTest, EachZoomSizesTheWindowAndMapsThePointer) {
    const wxSize panel = frame->View()->GetBackgroundSize();
    ASSERT_GT(panel.x, 0);
    EXPECT_EQ(frame->View()->GetZoom(), 100);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(MenuId::Zoom100));
    for (const ZoomCase& z : kZooms) {
        SCOPED_TRACE(z.percent);
        Menu(z.menuId);
        EXPECT_EQ(frame->View()->GetZoom(), z.percent);
        EXPECT_EQ(Settings().panelZoom, z.percent);
        EXPECT_TRUE(frame->GetMenuBar()->IsChecked(z.menuId));
        const wxSize expected(panel.x * z.percent / 100, panel.y * z.percent / 100);
        EXPECT_EQ(frame->GetClientSize(), expected);
        EXPECT_EQ(frame->Canvas()->GetSize(), expected);
        EXPECT_EQ(frame->GetStatusBar()->GetStatusWidth(0), expected.x - 306);
        std::cout << z.percent << "%: window client " << frame->GetClientSize().x << "x" << frame->GetClientSize().y
                  << " for a panel of " << panel.x << "x" << panel.y << "\n";

        // A click at a control's centre as shown selects that control; far
        // right and bottom controls prove the mapping scales, not shifts.
        for (int index : {0, 7, 40, 55, 63, 77}) {
            Click(ZoomedCentre(index));
            EXPECT_EQ(frame->View()->GetSelectedIndices(), std::vector<int>{index}) << "control " << index;
        }
        // The same point unzoomed lies elsewhere on an enlarged panel.
        if (z.percent != 100) {
            const wxRect r55 = frame->View()->FindButton(55)->GetRect();
            Click(wxPoint(r55.x + r55.width / 2, r55.y + r55.height / 2));
            EXPECT_NE(frame->View()->GetSelectedIndices(), std::vector<int>{55});
        }
    }
}

TEST_F(PanelZoomTest, ARealPointerClickFindsItsControlWhenEnlarged) {
    Menu(MenuId::Zoom200);
    frame->Move(0, 0);
    frame->Raise();
    frame->Canvas()->SetFocus();
    Pump();
    wxUIActionSimulator sim;
    sim.MouseMove(frame->Canvas()->ClientToScreen(ZoomedCentre(55)));
    Pump();
    sim.MouseClick();
    for (int i = 0; i < 30 && frame->View()->GetSelectedIndices() != std::vector<int>{55}; ++i) {
        Pump();
        wxMilliSleep(10);
    }
    EXPECT_EQ(frame->View()->GetSelectedIndices(), std::vector<int>{55});
    frame->hideEditWindow();
}

TEST_F(PanelZoomTest, TheZoomSurvivesARestartOfTheMainWindow) {
    Menu(MenuId::Zoom150);
    const wxSize panel = frame->View()->GetBackgroundSize();
    frame->templateAt(0)->markSaved();
    frame->Destroy();
    Pump();
    ASSERT_EQ(EditorApp().GetMainFrame(), nullptr);
    // What exit writes and the next start reads.
    WriteSettings(*config, Settings());
    Settings() = EditorSettings();
    ReadSettings(*config, Settings());
    EXPECT_EQ(Settings().panelZoom, 150);
    ASSERT_TRUE(EditorApp().CreateMainWindow());
    frame = EditorApp().GetMainFrame();
    frame->Show();
    Pump();
    EXPECT_EQ(frame->View()->GetZoom(), 150);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(MenuId::Zoom150));
    EXPECT_EQ(frame->GetClientSize(), wxSize(panel.x * 3 / 2, panel.y * 3 / 2));

    // A stored value the menu does not offer falls back to 100 per cent.
    config->Write("PanelZoom", 175L);
    ReadSettings(*config, Settings());
    EXPECT_EQ(Settings().panelZoom, 100);
}

namespace {
bool samePixel(const wxImage& a, int ax, int ay, const wxImage& b, int bx, int by) {
    return a.GetRed(ax, ay) == b.GetRed(bx, by) && a.GetGreen(ax, ay) == b.GetGreen(bx, by) &&
           a.GetBlue(ax, ay) == b.GetBlue(bx, by);
}
// How much darker `shown` is than `blank` over an area: the ink of a text.
long ink(const wxImage& shown, const wxImage& blank, const wxRect& area) {
    long sum = 0;
    const wxRect inside = area.Intersect(wxRect(shown.GetSize()));
    for (int y = inside.y; y <= inside.GetBottom(); ++y)
        for (int x = inside.x; x <= inside.GetRight(); ++x)
            sum += std::max(0, (blank.GetRed(x, y) + blank.GetGreen(x, y) + blank.GetBlue(x, y)) -
                                   (shown.GetRed(x, y) + shown.GetGreen(x, y) + shown.GetBlue(x, y)));
    return sum;
}
}  // namespace

TEST_F(PanelZoomTest, TheEnlargedPanelCopiesThePictureAndDrawsItsTextsAtTheEnlargedSize) {
    // A note button named after its note: the same text on two lines, seven
    // panel pixels apart (one and a half times that is no whole number).
    CEditorTemplate* tpl = frame->currentTemplate();
    tpl->controlAt(40)->controlType = ControlType::NoteOnOff;
    tpl->controlAt(40)->lsbNumber = 60;
    tpl->controlAt(40)->setName(CBaseControlState::noteName(60));
    const wxImage plain = CapturePanel();
    ASSERT_TRUE(plain.IsOk());
    ASSERT_EQ(plain.GetSize(), frame->View()->GetBackgroundSize());
    // The same panel without a single text: the pixels where they differ are text.
    const wxString blankPath = WriteTemplate("blank.syx", [](CEditorTemplate& t) {
        for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; ++i) t.controlAt(i)->controlType = ControlType::Disabled;
    }, "");
    EXPECT_NO_DIALOG(frame->openFile(blankPath, true));
    const wxImage blank = CapturePanel();
    ASSERT_TRUE(blank.IsOk());
    wxImage text(plain.GetSize());  // white where a text is, or next to one
    text.Clear(0);
    for (int y = 0; y < plain.GetHeight(); ++y)
        for (int x = 0; x < plain.GetWidth(); ++x)
            if (!samePixel(plain, x, y, blank, x, y))
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        text.SetRGB(std::clamp(x + dx, 0, plain.GetWidth() - 1),
                                    std::clamp(y + dy, 0, plain.GetHeight() - 1), 255, 255, 255);
    CControlButton* note = frame->View()->FindButton(40);
    ASSERT_NE(note, nullptr);
    const wxPoint origin = note->Text().Origin();
    const int cell = BitmapFont::Get().Cell();

    for (const ZoomCase& z : kZooms) {
        if (!z.screenshot) continue;
        SCOPED_TRACE(z.percent);
        Menu(z.menuId);
        const wxImage blankShown = CapturePanel();
        frame->selectTemplate(1);  // the panel with its texts again
        frame->moveCurrentToFront();
        const wxImage shown = CapturePanel();
        ASSERT_TRUE(shown.IsOk() && blankShown.IsOk());
        const double f = z.percent / 100.0;
        // Everything but the texts is the unzoomed picture with every pixel copied.
        const wxImage expected = plain.Scale(shown.GetWidth(), shown.GetHeight(), wxIMAGE_QUALITY_NEAREST);
        const wxImage textShown = text.Scale(shown.GetWidth(), shown.GetHeight(), wxIMAGE_QUALITY_NEAREST);
        long differing = 0, differingText = 0;
        for (int y = 0; y < shown.GetHeight(); ++y)
            for (int x = 0; x < shown.GetWidth(); ++x)
                if (!samePixel(shown, x, y, expected, x, y)) ++(textShown.GetRed(x, y) ? differingText : differing);
        std::cout << z.percent << "%: outside the texts " << differing << " pixels differ from the unzoomed panel "
                  << "copied by nearest neighbour, inside " << differingText << "\n";
        EXPECT_EQ(differing, 0);
        if (z.percent == 200) EXPECT_EQ(differingText, 0);  // a whole factor: the texts are copies too
        // A text is drawn at the enlarged size: the same text has the same
        // ink wherever it stands.
        auto lineArea = [&](int line) {
            const int top = origin.y + line * (cell + 2);
            return wxRect(static_cast<int>((origin.x - 30) * f), static_cast<int>(top * f) - 1,
                          static_cast<int>(100 * f), static_cast<int>(cell * f) + 3);
        };
        const long name = ink(shown, blankShown, lineArea(0)), type = ink(shown, blankShown, lineArea(1));
        std::cout << z.percent << "%: ink of the note as the name " << name << ", as the type " << type << "\n";
        ASSERT_GT(name, 0);
        EXPECT_LT(std::abs(name - type), name / 50) << "name " << name << ", type " << type;
        // The whole window, menus and status bar included, for a look.
        const wxImage window = CaptureScreen(frame->GetScreenRect());
        ASSERT_TRUE(window.IsOk());
        EXPECT_TRUE(window.SaveFile(ScreenshotFolder() + "/" + z.screenshot, wxBITMAP_TYPE_PNG));
        frame->selectTemplate(1);  // the blank panel for the next zoom
        frame->moveCurrentToFront();
    }
    EXPECT_TRUE(plain.SaveFile(ScreenshotFolder() + "/panel_zoom_100.png", wxBITMAP_TYPE_PNG));
}
