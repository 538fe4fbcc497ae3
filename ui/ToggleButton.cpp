#include "ui/ToggleButton.h"

#include <wx/brush.h>
#include <wx/pen.h>

namespace {
const wxColour kPurple(213, 23, 143);
const wxColour kHoverFrame(238, 238, 238);
}  // namespace

void CToggleButton::Frame2(wxDC& dc, const wxRect& r, const wxColour& colour) {
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(colour, 1, wxPENSTYLE_SOLID));
    dc.DrawRectangle(r.x, r.y, r.width, r.height);
    dc.DrawRectangle(r.x + 1, r.y + 1, r.width - 2, r.height - 2);
}

void CToggleButton::Paint(wxDC& dc) {
    if (on)
        Frame2(dc, rect, highlight ? kPurple : outline);
    else if (hovered)
        Frame2(dc, rect, highlight ? kPurple : kHoverFrame);
}

bool CToggleButton::MouseButton(wxPoint p, bool released) {
    const bool inside = rect.Contains(p);
    if (!released) {
        if (inside) pressed = 1;
        return false;
    }
    const bool click = inside && pressed;
    pressed = 0;
    if (click) on = !on;
    return click;
}

bool CToggleButton::MouseMove(wxPoint p) {
    const unsigned char inside = rect.Contains(p) ? 1 : 0;
    if (!inside) pressed = 0;
    if (inside == hovered) return false;
    hovered = inside;
    return true;
}

wxColour CAnimatedButton::PulseColour() const {
    return wxColour(static_cast<unsigned char>(213 + 10 * step), static_cast<unsigned char>(23 + 30 * step),
                    static_cast<unsigned char>(143 + 10 * step));
}

void CAnimatedButton::Paint(wxDC& dc) {
    if (on)
        Frame2(dc, rect, highlight ? kPurple : PulseColour());
    else if (hovered)
        Frame2(dc, rect, highlight ? kPurple : kHoverFrame);
}

bool CAnimatedButton::Tick(long elapsedMs) {
    elapsed += elapsedMs;
    if (elapsed - lastStepTime <= period) return false;
    if (rising) {
        if (step >= 4)
            rising = false;
        else
            ++step;
    } else {
        if (step <= 0)
            rising = true;
        else
            --step;
    }
    lastStepTime = elapsed;
    return on != 0;
}
