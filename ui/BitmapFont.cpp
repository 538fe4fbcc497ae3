#include "ui/BitmapFont.h"

#include <wx/dcmemory.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <cstring>

namespace {
// Row by row, column by column; '\0' marks a cell without a character.
const char kGrid[8][9] = {
    "ABCDEFGH", "IJKLMNOP", "QRSTUVWX", "YZ012345", "6789#b-+", ":.!/()\"?", "=<>;$%&'", {'*', '@', ',', 0, 0, 0, 0, ' ', 0},
};
}  // namespace

BitmapFont& BitmapFont::Get() {
    static BitmapFont font;
    return font;
}

bool BitmapFont::CellOf(char c, int& column, int& row) {
    if (c == '\0') return false;
    for (int r = 0; r < 8; ++r)
        for (int col = 0; col < 8; ++col)
            if (kGrid[r][col] == c) {
                column = col;
                row = r;
                return true;
            }
    return false;
}

bool BitmapFont::Load(const wxString& path) {
    Free();
    if (!wxFileExists(path)) return false;
    wxImage image;
    {
        wxLogNull quiet;  // an unreadable image is reported by the caller's result
        if (!image.LoadFile(path, wxBITMAP_TYPE_PNG)) return false;
    }
    return LoadImage(image);
}

bool BitmapFont::LoadImage(const wxImage& image) {
    Free();
    if (!image.IsOk() || image.GetWidth() != image.GetHeight() || image.GetWidth() % 8 != 0 || image.GetWidth() == 0)
        return false;
    source = image.Copy();
    cell = image.GetWidth() / 8;
    return true;
}

void BitmapFont::Free() {
    source = wxImage();
    cell = 0;
}

void BitmapFont::Render(wxImage& target, const std::string& text, int x, int y, const wxColour& colour) const {
    if (!IsLoaded() || !target.IsOk()) return;
    if (!target.HasAlpha()) target.InitAlpha();
    const unsigned char* src = source.GetData();
    const int side = source.GetWidth();
    const bool srcAlpha = source.HasAlpha();
    unsigned char* dst = target.GetData();
    unsigned char* dstAlpha = target.GetAlpha();
    const int tw = target.GetWidth(), th = target.GetHeight();
    const unsigned char cr = colour.Red(), cg = colour.Green(), cb = colour.Blue();
    for (size_t i = 0; i < text.size(); ++i) {
        int column = 0, row = 0;
        if (!CellOf(text[i], column, row)) continue;  // no glyph: the place stays empty
        const int ox = x + static_cast<int>(i) * (cell + 1);
        for (int gy = 0; gy < cell; ++gy) {
            const int ty = y + gy;
            if (ty < 0 || ty >= th) continue;
            const int sy = row * cell + gy;
            for (int gx = 0; gx < cell; ++gx) {
                const int tx = ox + gx;
                if (tx < 0 || tx >= tw) continue;
                const int sx = column * cell + gx;
                const unsigned char* p = src + 3 * (sy * side + sx);
                if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;  // white is transparent
                if (srcAlpha && source.GetAlpha()[sy * side + sx] == 0) continue;
                unsigned char* q = dst + 3 * (ty * tw + tx);
                q[0] = cr;
                q[1] = cg;
                q[2] = cb;
                dstAlpha[ty * tw + tx] = 255;
            }
        }
    }
}

void BitmapFont::DrawText(wxDC& dc, const std::string& text, int x, int y, const wxColour& colour) const {
    if (!IsLoaded() || text.empty()) return;
    wxImage image(TextWidth(text.size()), cell);
    image.InitAlpha();
    std::memset(image.GetAlpha(), 0, static_cast<size_t>(image.GetWidth()) * image.GetHeight());
    Render(image, text, 0, 0, colour);
    dc.DrawBitmap(wxBitmap(image), x, y, true);
}
