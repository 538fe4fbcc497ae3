// The yardstick for the editor's start-up, memory and idle figures: the
// smallest wxWidgets program that opens one frame (and, for the idle figure,
// runs a 20 ms timer as the editor does).
// Usage: minimal_wx paint   - report the first paint and the peak memory, quit
//        minimal_wx idle    - keep running with a 20 ms timer
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {
long peakMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Processor time used so far (all threads), in milliseconds: steadier than
// the wall clock on a busy machine.
long cpuMillis() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000L + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1000L;
}

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
        std::printf("FIRST_PAINT_MS %lld\nPEAK_KIB %ld\nCPU_MS %ld\n",
                    static_cast<long long>(wxGetUTCTimeMillis().GetValue()), peakMemoryKiB(), cpuMillis());
        std::fflush(stdout);
        // TQV_SMAPS=FILE: the memory map as it is at the first paint, to see what the peak is made of.
        if (const char* copy = std::getenv("TQV_SMAPS")) {
            std::ifstream in("/proc/self/smaps");
            std::ofstream out(copy);
            out << in.rdbuf();
        }
        // TQV_EXIT_AT_PAINT=1: end here, so that a profile covers only the way to the first paint.
        if (std::getenv("TQV_EXIT_AT_PAINT")) std::_Exit(0);
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
