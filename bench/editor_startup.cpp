// The editor as bench/gui_startup.sh measures it: the real application class,
// with nobody at the screen. Not installed; the shipped editor has no
// measuring switch.
// Usage: TQV_BENCH=paint tqv-editor-bench [FILE...]  - report the first paint and the peak memory there,
//                                                      then, once the start is finished, the MIDI ports found; quit
//        TQV_BENCH=idle tqv-editor-bench [FILE...]   - keep running
// (the files are opened as the editor opens its command-line arguments).
// Every message box is answered as if the user pressed No (or OK), so an
// unexpected box shows up in the figures instead of hanging the run.
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "app/MainFrame.h"
#include "app/TaNGRAQVLumiEditorApp.h"

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

class NobodyAtTheScreen : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        if (auto* box = wxDynamicCast(dialog, wxMessageDialog))
            return (box->GetMessageDialogStyle() & wxYES_NO) ? wxID_NO : wxID_OK;
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

class BenchApp : public CTaNGRAQVLumiEditorApp {
public:
    bool OnInit() override {
        const char* mode = std::getenv("TQV_BENCH");
        if (!mode || (std::strcmp(mode, "paint") != 0 && std::strcmp(mode, "idle") != 0)) {
            std::fprintf(stderr, "usage: TQV_BENCH=paint|idle tqv-editor-bench [FILE...]\n");
            return false;
        }
        quitAfterPaint = std::strcmp(mode, "paint") == 0;
        hook.Register();
        return CTaNGRAQVLumiEditorApp::OnInit();
    }

    void OnFirstPaint() override {
        if (!quitAfterPaint || reported) return;
        reported = true;
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
        QuitOnceDone();
    }

    // The ports are found after the first paint; the run ends once they are.
    void OnStarted() override {
        if (!quitAfterPaint) return;
        started = true;
        std::printf("PORTS %d\n", Midi().PortCount());
        std::fflush(stdout);
        QuitOnceDone();
    }

    void QuitOnceDone() {
        if (!reported || !started) return;
        // Opened files are unchanged; a save question would be answered No.
        CallAfter([this] {
            if (CMainFrame* frame = GetMainFrame()) frame->Close();
        });
    }

private:
    NobodyAtTheScreen hook;
    bool quitAfterPaint = false;
    bool reported = false;
    bool started = false;
};
}  // namespace

wxIMPLEMENT_APP(BenchApp);
