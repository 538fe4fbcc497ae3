#pragma once
// The panel's picture, kept where it is drawn from. A window's picture is
// held by the window system: at the first paint the file is read a strip of
// rows at a time straight into it, so the program never holds a whole decoded
// copy, nor a shared-memory block to hand one over, and every repaint is a
// copy inside the window system. Drawing into an image (a zoomed or
// high-density panel, a picture saved to a file) uses a decoded copy, made
// when first needed and kept.
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

typedef struct _cairo_surface cairo_surface_t;

class CPanelBackground {
public:
    // Reads only the size from `pngPath`; an unreadable file leaves !IsOk().
    explicit CPanelBackground(const wxString& pngPath);
    ~CPanelBackground();
    CPanelBackground(const CPanelBackground&) = delete;
    CPanelBackground& operator=(const CPanelBackground&) = delete;

    bool IsOk() const { return size.x > 0 && size.y > 0; }
    wxSize GetSize() const { return size; }
    // Draws the picture with its top left corner at (0, 0) of `dc`.
    void Draw(wxDC& dc);

    // Where the picture is held now, for the tests.
    bool HeldByWindowSystem() const { return held != nullptr; }
    bool HasDecodedCopy() const { return image != nullptr; }

private:
    cairo_surface_t* DecodedCopy();

    wxString path;
    wxSize size;
    bool damaged = false;  // once a read failed, nothing is drawn or read again
    cairo_surface_t* image = nullptr;
    cairo_surface_t* held = nullptr;
};
