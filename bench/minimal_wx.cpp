// The yardstick for the editor's start-up, memory and idle figures: the
// smallest wxWidgets program that opens one frame (and, for the idle figure,
// runs a 20 ms timer as the editor does).
// Usage: minimal_wx paint   - report the first paint and the peak memory, quit
//        minimal_wx idle    - keep running with a 20 ms timer
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include "FirstPaintReport.h"

namespace {
class Frame : public wxFrame {
public:
    explicit Frame(bool quitAfterPaint)
        : wxFrame(nullptr, wxID_ANY, "minimal", wxDefaultPosition, wxSize(900, 520)), quit(quitAfterPaint), timer(this) {
        Bind(wxEVT_PAINT, &Frame::OnPaint, this);
        Bind(wxEVT_TIMER, [](wxTimerEvent&) {});
        if (!quit) timer.Start(20);
    }

private:
    void OnPaint(wxPaintEvent&) {
        wxPaintDC dc(this);
        dc.SetBackground(*wxLIGHT_GREY_BRUSH);
        dc.Clear();
        if (painted) return;
        painted = true;
        if (!quit) return;
        FirstPaintReport::Print(wxGetUTCTimeMillis().GetValue());
        CallAfter([this] { Close(); });
    }

    bool quit;
    bool painted = false;
    wxTimer timer;
};

class App : public wxApp {
public:
    bool OnInit() override {
        const bool paint = argc > 1 && wxString(argv[1]) == "paint";
        (new Frame(paint))->Show();
        return true;
    }
};
}  // namespace

wxIMPLEMENT_APP(App);
