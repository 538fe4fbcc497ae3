#pragma once
// The panel's picture, kept where it is drawn from. A window's picture is
// held by the window system: the file is read a strip of rows at a time
// straight into it (at the first paint, or earlier on a thread of its own,
// see StartEarlyUpload), so the program never holds a whole decoded copy, nor
// a shared-memory block to hand one over, and every repaint is a copy inside
// the window system. Drawing into an image (a zoomed or high-density panel,
// a picture saved to a file) uses a decoded copy, made when first needed and
// kept.
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

#include <memory>

typedef struct _cairo_surface cairo_surface_t;

class CPanelBackground {
public:
    // Starts putting the picture at `pngPath` into the X server on a thread of
    // its own while the program sets up its windows; the first CPanelBackground
    // of the same file then draws its windows from there, and its first paint
    // costs no more than a repaint. A picture with transparency, an interlaced
    // file, or another window system, is read at the first paint as ever.
    // Call once the toolkit is set up (from OnInit).
    static void StartEarlyUpload(const wxString& pngPath);
    // Lets go of an early upload no picture took (waits for its thread).
    static void EndEarlyUpload();

    // Reads only the size from `pngPath`; an unreadable file leaves !IsOk().
    // Takes the early upload of the same file, if any.
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
    bool HeldFromEarlyUpload() const { return earlyUser != nullptr; }

    class EarlyUpload;

private:
    cairo_surface_t* DecodedCopy();
    // The early upload's pixmap, for drawing on `target`; or null, and the
    // upload let go.
    cairo_surface_t* TakeEarlyUpload(cairo_surface_t* target);

    wxString path;
    wxSize size;
    bool damaged = false;  // once a read failed, nothing is drawn or read again
    cairo_surface_t* image = nullptr;
    cairo_surface_t* held = nullptr;
    // Kept while `held` is its pixmap; `earlyUser` is the connection that draws from it.
    std::unique_ptr<EarlyUpload> early;
    struct _XDisplay* earlyUser = nullptr;
};
