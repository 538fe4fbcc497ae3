// The panel's picture: the file's pixels on a window (from the window
// system's copy, read at the first paint or put there early by a thread) and
// in an image (from a decoded copy made then); a damaged or missing file
// draws nothing.
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
        white = wxImage(expected.GetSize());
        white.SetRGB(wxRect(expected.GetSize()), 255, 255, 255);
    }
    void TearDown() override {
        CPanelBackground::EndEarlyUpload();
        GuiTest::TearDown();
    }

    // A window that shows `picture` over white; `paints` counts its paints.
    wxFrame* ShowPicture(CPanelBackground& picture, int& paints) {
        auto* window = new wxFrame(nullptr, wxID_ANY, "picture", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
        window->SetBackgroundStyle(wxBG_STYLE_PAINT);
        window->Bind(wxEVT_PAINT, [window, &picture, &paints](wxPaintEvent&) {
            wxPaintDC dc(window);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            picture.Draw(dc);
            ++paints;
        });
        window->SetClientSize(expected.GetSize());
        window->Show();
        WaitUntilMapped(window);
        return window;
    }
    wxImage Shown(wxFrame* window) {
        return CaptureScreen(wxRect(window->ClientToScreen(wxPoint(0, 0)), expected.GetSize()));
    }

    wxString file;
    wxImage expected, white;
};

// Read at the first paint, or put into the window system by a thread beforehand.
class PanelBackgroundWindowTest : public PanelBackgroundTest, public testing::WithParamInterface<bool> {};
}  // namespace

TEST_P(PanelBackgroundWindowTest, AWindowShowsTheFilesPixelsFromTheWindowSystemsCopyAndAnImageFromADecodedOne) {
    const bool early = GetParam();
    if (early) CPanelBackground::StartEarlyUpload(file);
    CPanelBackground picture(file);
    ASSERT_TRUE(picture.IsOk());
    EXPECT_EQ(picture.GetSize(), expected.GetSize());
    EXPECT_FALSE(picture.HeldByWindowSystem());
    EXPECT_FALSE(picture.HasDecodedCopy());

    int paints = 0;
    wxFrame* window = ShowPicture(picture, paints);
    ASSERT_GT(paints, 0);
    // Read straight into the window system's copy: no decoded copy is left.
    EXPECT_TRUE(picture.HeldByWindowSystem());
    EXPECT_EQ(picture.HeldFromEarlyUpload(), early);
    EXPECT_FALSE(picture.HasDecodedCopy());
    const wxImage shown = Shown(window);
    ASSERT_TRUE(shown.IsOk()) << "the display could not be read";
    EXPECT_EQ(DifferentPixels(shown, expected), 0) << "on the window";

    // An image (a zoomed panel, a saved picture) is drawn from a decoded copy.
    EXPECT_EQ(DifferentPixels(DrawnIntoImage(picture, picture.GetSize()), expected), 0) << "in an image";
    EXPECT_TRUE(picture.HasDecodedCopy());
    // Repaints of the window keep using the window system's copy.
    const int before = paints;
    window->Refresh();
    Pump();
    EXPECT_GT(paints, before);
    EXPECT_EQ(DifferentPixels(Shown(window), expected), 0) << "on the window, repainted";
    window->Destroy();
    Pump();
}

INSTANTIATE_TEST_SUITE_P(ReadAtFirstPaintOrEarly, PanelBackgroundWindowTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Early" : "AtFirstPaint"; });

TEST_F(PanelBackgroundTest, AnEarlyUploadServesOnlyAPictureOfItsFileAndCanBeLetGoUnused) {
    // Another file's picture leaves it to the next picture of its own file.
    CPanelBackground::StartEarlyUpload(file);
    const wxString copied = Path("copy.png");
    ASSERT_TRUE(wxCopyFile(file, copied));
    CPanelBackground other(copied);
    {
        CPanelBackground first(file);  // ends before its first paint: the thread is waited for
    }
    CPanelBackground second(file);
    int paints = 0;
    wxFrame* window = ShowPicture(second, paints);
    ASSERT_GT(paints, 0);
    EXPECT_FALSE(second.HeldFromEarlyUpload()) << "an upload serves one picture";
    EXPECT_EQ(DifferentPixels(Shown(window), expected), 0);
    window->Destroy();
    Pump();

    // A file with transparency is read at the first paint as ever.
    wxImage withAlpha = expected.Copy();
    withAlpha.InitAlpha();
    const wxString alphaFile = Path("alpha.png");
    ASSERT_TRUE(withAlpha.SaveFile(alphaFile, wxBITMAP_TYPE_PNG));
    CPanelBackground::StartEarlyUpload(alphaFile);
    CPanelBackground transparent(alphaFile);
    window = ShowPicture(transparent, paints);
    EXPECT_TRUE(transparent.HeldByWindowSystem());
    EXPECT_FALSE(transparent.HeldFromEarlyUpload());
    EXPECT_EQ(DifferentPixels(Shown(window), expected), 0) << "with transparency";
    window->Destroy();
    Pump();

    // Let go before any picture took it (the program ended before its window
    // was shown); the same again while the thread is surely still running.
    for (int round = 0; round < 2; ++round) {
        CPanelBackground::StartEarlyUpload(file);
        if (round == 0) wxMilliSleep(100);
        CPanelBackground::EndEarlyUpload();
        CPanelBackground late(file);
        EXPECT_FALSE(late.HeldFromEarlyUpload());
    }
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
    for (int round = 0; round < 2; ++round)  // the second draw does not read the file again
        EXPECT_EQ(DifferentPixels(DrawnIntoImage(damaged, damaged.GetSize()), white), 0) << "draw " << round;
    EXPECT_FALSE(damaged.HasDecodedCopy());

    // On a window, read at the first paint or put there early.
    for (bool early : {false, true}) {
        if (early) CPanelBackground::StartEarlyUpload(cut);
        CPanelBackground picture(cut);
        int paints = 0;
        wxFrame* window = ShowPicture(picture, paints);
        ASSERT_GT(paints, 0);
        EXPECT_FALSE(picture.HeldByWindowSystem()) << "early: " << early;
        EXPECT_FALSE(picture.HeldFromEarlyUpload());
        EXPECT_EQ(DifferentPixels(Shown(window), white), 0) << "early: " << early;
        window->Destroy();
        Pump();
    }

    CPanelBackground missing(Path("none.png"));
    EXPECT_FALSE(missing.IsOk());
    EXPECT_EQ(DifferentPixels(DrawnIntoImage(missing, expected.GetSize()), white), 0);
}
