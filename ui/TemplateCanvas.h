#pragma once
// The panel window: shows one panel view and is the one place where a
// window's paint, pointer, key and idle events become the view's operations.
// The main window's client area is one; the tests show their views in one.
//
// At the panel's own size painting goes straight into the window (the
// toolkit double-buffers it); enlarged or on a high-density screen it goes
// through a back buffer, one copy per paint. Repaints are
// requested and carried out by the next idle pass, so that many changes in
// one pass cost one repaint. A press on the panel followed by a release
// outside it (a drag or a rubber band left the window) is seen by the idle
// pass, which follows the pointer while it is outside.
#include <wx/bitmap.h>
#include <wx/longlong.h>
#include <wx/window.h>

#include <functional>

class CTemplateUI;

class CTemplateCanvas : public wxWindow {
public:
    // What the canvas tells the window around it; each may be left empty.
    struct Hooks {
        // The idle passes are needed: a repaint was requested or the pointer moved.
        // Without it a requested repaint is carried out at once.
        std::function<void()> wakeIdle;
        // Sees each key before the panel; true when it took the key.
        std::function<bool(wxKeyEvent&)> previewKey;
        // The window was painted for the first time.
        std::function<void()> firstPaint;
    };

    explicit CTemplateCanvas(wxWindow* parent, wxWindowID id = wxID_ANY);
    void SetHooks(Hooks newHooks) { hooks = std::move(newHooks); }
    // The view shown (not owned; null shows nothing). Pointer and keys reach
    // it only while it shows a template; without one the canvas shows its
    // background colour.
    void SetView(CTemplateUI* view);
    CTemplateUI* GetView() const { return view; }

    // Whether the window has been painted at least once.
    bool Painted() const { return painted; }
    void RequestRepaint();
    void RepaintIfRequested();
    bool IsRepaintRequested() const { return repaintRequested; }

    // One idle pass: the pointer outside the window (and a release there),
    // the panel's animation, then a requested repaint.
    void IdleWork();
    // Whether the idle passes must go on: a repaint, a button held down, a
    // panel button pulsing.
    bool NeedsIdleWork() const;
    // A left-button release at the pointer, as when the application loses focus.
    void ReleaseOutside();
    // Brings the panel's animation up to now (between idle passes, during a transfer).
    void Animate();
    // Whether the window around the canvas, showing the panel at this zoom,
    // fits the work area of the screen that window is on. The canvas is taken
    // to fill the window's client area.
    bool ZoomFitsScreen(int percent) const;

private:
    bool ViewActive() const;
    // Milliseconds since the last call (the panel animation's clock).
    long MillisSinceTick();
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent&) {}
    void OnMouse(wxMouseEvent& event);
    void OnPointerCrossing(wxMouseEvent& event);
    void OnKey(wxKeyEvent& event);

    CTemplateUI* view = nullptr;
    Hooks hooks;
    bool repaintRequested = true;
    bool leftSeenDown = false;
    bool painted = false;
    wxLongLong lastTick;
    wxBitmap backBuffer;
    wxBitmap zoomScratch;
};
