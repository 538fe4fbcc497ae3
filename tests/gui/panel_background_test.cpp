// The panel's picture: the file's pixels on a window (from the window
// system's copy) and in an image (from a decoded copy made then); a damaged
// or missing file draws nothing.
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/frame.h>

#include "GuiTestSupport.h"
#include "ui/PanelBackground.h"
#include "ui/TemplateUI.h"
#include "ui_support.h"

namespace {
// Pixels of `shown` that differ from `expected` (both of its size).
int DifferentPixels(const wxImage& shown, const wxImage& expected) {
    if (shown.GetSize() != expected.GetSize()) return -1;
    int n = 0;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x)
            if (shown.GetRed(x, y) != expected.GetRed(x, y) || shown.GetGreen(x, y) != expected.GetGreen(x, y) ||
                shown.GetBlue(x, y) != expected.GetBlue(x, y))
                ++n;
    return n;
}

wxImage DrawnIntoImage(CPanelBackground& picture, wxSize size) {
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        picture.Draw(dc);
    }
    return bitmap.ConvertToImage();
}

class PanelBackgroundTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        uitest::LoadImages();
        file = CTemplateUI::ImagePath("Background");
        ASSERT_TRUE(expected.LoadFile(file, wxBITMAP_TYPE_PNG));
    }
    wxString file;
    wxImage expected;
};
}  // namespace

TEST_F(PanelBackgroundTest, AWindowShowsTheFilesPixelsFromTheWindowSystemsCopyAndAnImageFromADecodedOne) {
    CPanelBackground picture(file);
    ASSERT_TRUE(picture.IsOk());
    EXPECT_EQ(picture.GetSize(), expected.GetSize());
    EXPECT_FALSE(picture.HeldByWindowSystem());
    EXPECT_FALSE(picture.HasDecodedCopy());

    auto* window = new wxFrame(nullptr, wxID_ANY, "picture", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
    window->SetBackgroundStyle(wxBG_STYLE_PAINT);
    int paints = 0;
    window->Bind(wxEVT_PAINT, [&](wxPaintEvent&) {
        wxPaintDC dc(window);
        picture.Draw(dc);
        ++paints;
    });
    window->SetClientSize(picture.GetSize());
    window->Show();
    WaitUntilMapped(window);
    ASSERT_GT(paints, 0);
    // Read straight into the window system's copy: no decoded copy is left.
    EXPECT_TRUE(picture.HeldByWindowSystem());
    EXPECT_FALSE(picture.HasDecodedCopy());
    const wxImage shown = CaptureScreen(wxRect(window->ClientToScreen(wxPoint(0, 0)), picture.GetSize()));
    ASSERT_TRUE(shown.IsOk()) << "the display could not be read";
    EXPECT_EQ(DifferentPixels(shown, expected), 0) << "on the window";

    // An image (a zoomed panel, a saved picture) is drawn from a decoded copy.
    EXPECT_EQ(DifferentPixels(DrawnIntoImage(picture, picture.GetSize()), expected), 0) << "in an image";
    EXPECT_TRUE(picture.HasDecodedCopy());
    // Repaints of the window keep using the window system's copy.
    window->Refresh();
    Pump();
    const wxImage again = CaptureScreen(wxRect(window->ClientToScreen(wxPoint(0, 0)), picture.GetSize()));
    EXPECT_EQ(DifferentPixels(again, expected), 0) << "on the window, repainted";
    window->Destroy();
    Pump();
}

TEST_F(PanelBackgroundTest, ADamagedOrMissingFileDrawsNothing) {
    // The file cut short: the size is known, the pixels are not.
    wxFFile whole(file, "rb");
    std::vector<char> bytes(static_cast<size_t>(whole.Length()));
    ASSERT_EQ(whole.Read(bytes.data(), bytes.size()), bytes.size());
    const wxString cut = Path("cut.png");
    wxFFile part(cut, "wb");
    part.Write(bytes.data(), bytes.size() / 3);
    part.Close();

    CPanelBackground damaged(cut);
    ASSERT_TRUE(damaged.IsOk());
    EXPECT_EQ(damaged.GetSize(), expected.GetSize());
    wxImage white(expected.GetSize());
    white.SetRGB(wxRect(expected.GetSize()), 255, 255, 255);
    for (int round = 0; round < 2; ++round)  // the second draw does not read the file again
        EXPECT_EQ(DifferentPixels(DrawnIntoImage(damaged, damaged.GetSize()), white), 0) << "draw " << round;
    EXPECT_FALSE(damaged.HasDecodedCopy());

    CPanelBackground missing(Path("none.png"));
    EXPECT_FALSE(missing.IsOk());
    EXPECT_EQ(DifferentPixels(DrawnIntoImage(missing, expected.GetSize()), white), 0);
}
