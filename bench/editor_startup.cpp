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

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MainFrame.h"
#include "app/TaNGRAQVLumiEditorApp.h"
#include "FirstPaintReport.h"

namespace {
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
        FirstPaintReport::Print(wxGetUTCTimeMillis().GetValue());
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
