#pragma once
// The two drawn buttons on the panel (listen for a template, send the
// template): a rectangle that reacts to press, release and hover.
#include <wx/dc.h>
#include <wx/gdicmn.h>

class CToggleButton {
public:
    CToggleButton() = default;
    virtual ~CToggleButton() = default;
    virtual void Paint(wxDC& dc);

    void SetRect(const wxRect& r) { rect = r; }
    const wxRect& GetRect() const { return rect; }
    // A press inside makes it pressed; a release inside while pressed flips
    // it on/off and answers true (a click).
    bool MouseButton(wxPoint p, bool released);
    // Hovered = pointer inside; leaving clears pressed. True when the hover changed.
    bool MouseMove(wxPoint p);

    wxRect rect;
    unsigned char on = 0;
    unsigned char hovered = 0;
    unsigned char pressed = 0;
    unsigned char highlight = 0;  // every frame drawn in purple
    wxColour outline{255, 255, 255};

protected:
    static void Frame2(wxDC& dc, const wxRect& r, const wxColour& colour);
};

// A toggle button whose frame pulses while it is on.
class CAnimatedButton : public CToggleButton {
public:
    explicit CAnimatedButton(long periodMs) : period(periodMs) {}
    void Paint(wxDC& dc) override;
    // Advances the pulse; true when a repaint is needed (only while on).
    bool Tick(long elapsedMs);
    wxColour PulseColour() const;

    int step = 0;  // 0..4
    long period;
    long lastStepTime = 0;
    long elapsed = 0;
    bool rising = true;
};
