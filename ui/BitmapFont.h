#pragma once
// The character-cell font that imitates the hardware's display: an 8 x 8 grid
// of glyphs in one square image, white transparent.
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/image.h>
#include <wx/string.h>

#include <string>
#include <vector>

class BitmapFont {
public:
    // The program-wide font, loaded once at start-up.
    static BitmapFont& Get();
    // Loads the grid image; false when it cannot be read, is not square or its
    // side is not a multiple of 8 (the font then stays unloaded).
    bool Load(const wxString& path);
    bool LoadImage(const wxImage& image);
    void Free();
    bool IsLoaded() const { return cell > 0; }

    int Cell() const { return cell; }
    // Width a text of n characters takes: n cells plus one pixel between.
    int TextWidth(size_t n) const { return static_cast<int>(n) * (cell + 1); }
    // Grid cell (column, row) of a character; false when it has none.
    static bool CellOf(char c, int& column, int& row);
    // Character i is drawn at (x + i * (cell + 1), y) in the given colour;
    // characters without a cell leave a gap.
    void DrawText(wxDC& dc, const std::string& text, int x, int y, const wxColour& colour) const;
    // The same into an image with alpha: glyph pixels become opaque `colour`,
    // everything else is left as it is (for cached text bitmaps).
    void Render(wxImage& target, const std::string& text, int x, int y, const wxColour& colour) const;

    // A rendered text (alpha marks the glyph pixels) enlarged by `factor`.
    // A whole factor copies every pixel; any other (1.5) gives each dot the
    // same coverage wherever it falls, so that a character looks the same
    // at every place instead of alternating one- and two-pixel strokes.
    static wxImage Enlarge(const wxImage& rendered, double factor);

    // A rendered text and where it goes, in panel pixels.
    struct PlacedText {
        wxImage image;
        wxPoint at;
    };
    // While a list is set, rendered texts are put in it instead of being
    // drawn, so that the caller can draw them at another size.
    void SetCapture(std::vector<PlacedText>* list) { capture = list; }
    // Keeps the text when a capture is set (true); otherwise the caller draws.
    bool Captured(const wxImage& rendered, int x, int y) const;

private:
    wxImage source;
    int cell = 0;
    std::vector<PlacedText>* capture = nullptr;
};
