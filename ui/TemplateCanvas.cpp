#include "ui/TemplateCanvas.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <algorithm>

#include "editing/PlacedControl.h"
#include "ui/TemplateUI.h"

CTemplateCanvas::CTemplateCanvas(wxWindow* parent, wxWindowID id)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      lastTick(wxGetLocalTimeMillis()) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CTemplateCanvas::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &CTemplateCanvas::OnEraseBackground, this);
    for (auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN, wxEVT_MOTION,
                      wxEVT_MOUSEWHEEL})
        Bind(type, &CTemplateCanvas::OnMouse, this);
    Bind(wxEVT_ENTER_WINDOW, &CTemplateCanvas::OnPointerCrossing, this);
    Bind(wxEVT_LEAVE_WINDOW, &CTemplateCanvas::OnPointerCrossing, this);
    Bind(wxEVT_KEY_DOWN, &CTemplateCanvas::OnKey, this);
}

void CTemplateCanvas::SetView(CTemplateUI* newView) {
    view = newView;
    RequestRepaint();
}

bool CTemplateCanvas::ViewActive() const { return view && view->GetTemplate(); }

void CTemplateCanvas::RequestRepaint() {
    repaintRequested = true;
    if (hooks.wakeIdle) hooks.wakeIdle();
    else RepaintIfRequested();
}

void CTemplateCanvas::RepaintIfRequested() {
    if (!repaintRequested) return;
    repaintRequested = false;
    Refresh(false);
}

long CTemplateCanvas::MillisSinceTick() {
    const wxLongLong now = wxGetLocalTimeMillis();
    const long elapsed = (now - lastTick).ToLong();
    lastTick = now;
    return elapsed < 0 ? 0 : elapsed;
}

bool CTemplateCanvas::NeedsIdleWork() const {
    if (repaintRequested || leftSeenDown) return true;
    return ViewActive() && (view->GetListenButton().on || view->GetSendButton().on);
}

void CTemplateCanvas::IdleWork() {
    if (ViewActive()) {
        const wxMouseState mouse = wxGetMouseState();
        const wxPoint windowPoint = ScreenToClient(mouse.GetPosition());
        const wxPoint p = view->ToPanel(windowPoint);
        if (GetClientRect().Contains(windowPoint)) {
            leftSeenDown = mouse.LeftIsDown();
        } else {
            if (view->OnMouseMove(p)) RequestRepaint();
            if (leftSeenDown && !mouse.LeftIsDown()) {
                // A release outside the window ends a drag or a rubber band.
                leftSeenDown = false;
                if (view->OnMouseButton(p, false, false, true, false)) RequestRepaint();
            }
        }
        if (view->Tick(MillisSinceTick())) RequestRepaint();
    }
    RepaintIfRequested();
}

void CTemplateCanvas::ReleaseOutside() {
    if (!ViewActive()) return;
    const wxPoint p = view->ToPanel(ScreenToClient(wxGetMousePosition()));
    if (view->OnMouseButton(p, false, false, true, false)) RequestRepaint();
}

void CTemplateCanvas::Animate() {
    if (ViewActive() && view->Tick(MillisSinceTick())) RequestRepaint();
}

void CTemplateCanvas::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0) return;
    const bool active = ViewActive();
    if (active) view->Tick(MillisSinceTick());
    // On a high-density screen the buffer holds device pixels, so the zoomed
    // panel is not enlarged a second time (and blurred) on its way out.
    const double density = std::max(1.0, GetContentScaleFactor());
    if (density == 1 && (!active || view->GetZoom() == 100)) {
        // The panel's own size: drawn straight into the window, which the
        // toolkit already double-buffers, without a buffer of our own.
        backBuffer = wxBitmap();
        if (active) {
            view->PaintZoomed(dc, zoomScratch, GetBackgroundColour(), density);
        } else {
            dc.SetBackground(wxBrush(GetBackgroundColour()));
            dc.Clear();
        }
    } else {
        if (!backBuffer.IsOk() || backBuffer.GetLogicalSize() != size || backBuffer.GetScaleFactor() != density)
            backBuffer.CreateWithDIPSize(size, density);
        wxMemoryDC memory(backBuffer);
        if (active) {
            view->PaintZoomed(memory, zoomScratch, GetBackgroundColour(), density);
        } else {
            memory.SetBackground(wxBrush(GetBackgroundColour()));
            memory.Clear();
        }
        dc.Blit(0, 0, size.GetWidth(), size.GetHeight(), &memory, 0, 0);
    }
    if (!painted) {
        painted = true;
        if (hooks.firstPaint) hooks.firstPaint();
    }
}

void CTemplateCanvas::OnMouse(wxMouseEvent& event) {
    const wxEventType type = event.GetEventType();
    // The toolkit still focuses, tracks the buttons and offers the context menu.
    if (type != wxEVT_MOUSEWHEEL) event.Skip();
    if (type == wxEVT_LEFT_DOWN) {
        leftSeenDown = true;
        if (hooks.wakeIdle) hooks.wakeIdle();
    }
    if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN) SetFocus();
    if (!ViewActive()) return;
    const PanelEventResult result = view->HandleMouseEvent(event);
    if (type == wxEVT_RIGHT_DOWN) {
        // Show the selection before the context menu opens over it.
        Refresh(false);
        Update();
        return;
    }
    if (result.repaint) RequestRepaint();
}

void CTemplateCanvas::OnPointerCrossing(wxMouseEvent& event) {
    event.Skip();
    // Leaving may need the idle pass's pointer check (a drag going outside).
    if (hooks.wakeIdle) hooks.wakeIdle();
}

void CTemplateCanvas::OnKey(wxKeyEvent& event) {
    if (!ViewActive()) {
        event.Skip();
        return;
    }
    if (hooks.previewKey && hooks.previewKey(event)) return;
    const PanelEventResult result = view->HandleKeyEvent(event);
    if (!result.used) event.Skip();
    if (result.repaint) RequestRepaint();
}

bool CTemplateCanvas::ZoomFitsScreen(int percent) const {
    const wxWindow* window = wxGetTopLevelParent(const_cast<CTemplateCanvas*>(this));
    if (!view || !window) return true;
    const wxSize panel = view->GetBackgroundSize() * percent / 100;
    // Title bar, menu bar, status bar and borders.
    const wxSize around = window->GetSize() - window->GetClientSize();
    const wxRect area = wxDisplay(window).GetClientArea();
    return panel.x + around.x <= area.width && panel.y + around.y <= area.height;
}
