#include "ui/BitmapFont.h"

#include <wx/dcmemory.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <algorithm>
#include <cmath>
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
    if (!Captured(image, x, y)) dc.DrawBitmap(wxBitmap(image), x, y, true);
}

bool BitmapFont::Captured(const wxImage& rendered, int x, int y) const {
    if (!capture) return false;
    capture->push_back({rendered, wxPoint(x, y)});
    return true;
}

wxImage BitmapFont::Enlarge(const wxImage& rendered, double factor) {
    if (!rendered.IsOk() || factor <= 0) return rendered;
    const int whole = static_cast<int>(std::lround(factor));
    if (std::abs(factor - whole) < 1e-6) {
        wxImage copy = rendered.Scale(rendered.GetWidth() * whole, rendered.GetHeight() * whole, wxIMAGE_QUALITY_NEAREST);
        return copy;
    }
    // Copy each pixel into a square of 2 x factor pixels, then average every
    // 2 x 2 block: each source pixel covers exactly factor x factor pixels.
    const int twice = static_cast<int>(std::lround(2 * factor));
    const int bigW = rendered.GetWidth() * twice, bigH = rendered.GetHeight() * twice;
    const int w = (bigW + 1) / 2, h = (bigH + 1) / 2;
    wxImage out(w, h);
    out.InitAlpha();
    const unsigned char* srcAlpha = rendered.HasAlpha() ? rendered.GetAlpha() : nullptr;
    const unsigned char* src = rendered.GetData();
    unsigned char* dst = out.GetData();
    unsigned char* dstAlpha = out.GetAlpha();
    const int sw = rendered.GetWidth();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int alpha = 0;
            const unsigned char* colour = nullptr;
            for (int by = 2 * y; by < std::min(2 * y + 2, bigH); ++by)
                for (int bx = 2 * x; bx < std::min(2 * x + 2, bigW); ++bx) {
                    const int s = (by / twice) * sw + bx / twice;
                    const int a = srcAlpha ? srcAlpha[s] : 255;
                    alpha += a;
                    if (a && !colour) colour = src + 3 * s;
                }
            const int o = y * w + x;
            dstAlpha[o] = static_cast<unsigned char>(alpha / 4);
            // One text has one colour: the covered part takes it.
            if (colour) std::copy(colour, colour + 3, dst + 3 * o);
        }
    return out;
}
