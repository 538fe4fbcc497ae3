// Times a full repaint of the panel (72 assigned controls, a selection and a
// hover) into a memory DC. Build it with the panel sources and run it under a
// display (e.g. xvfb-run): panel_repaint_bench [images folder] [repaints]
//
// Build, from a configured build folder B that holds the model and editing libraries:
//   g++ -std=c++20 -O2 -I. tools/panel_repaint_bench.cpp ui/*.cpp B/editing/libtqv_editing.a B/model/libtqv_model.a
//       (continued) $(wx-config --cxxflags --libs core,base) -o B/panel_repaint_bench
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/BitmapFont.h"
#include "ui/TaNGRAQVLumiTemplateUI.h"

namespace {
class BenchHost : public ITemplateUIHost {
public:
    wxWindow* GetPanelWindow() override { return nullptr; }
    void SetPanelStatusText(const wxString&) override {}
    void EditControl(const CPlacedControl&, bool) override {}
    void HideEditWindow() override {}
    bool IsEditWindowShown() const override { return false; }
    wxRect GetEditWindowScreenRect() const override { return wxRect(); }
    void RunCommand(std::unique_ptr<ICommand>) override {}
    bool IsInputDeviceOpen() const override { return true; }
    bool IsOutputDeviceOpen() const override { return true; }
    void StartListening() override {}
    void StopListening() override {}
    void SendTemplate() override {}
};
}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new wxApp);
    wxEntryStart(argc, argv);
    wxInitAllImageHandlers();
    if (argc > 1) CTemplateUI::SetImagesFolder(argv[1]);
    const int repaints = argc > 2 ? std::stoi(argv[2]) : 2000;
    if (!BitmapFont::Get().Load(CTemplateUI::ImagePath("Font"))) {
        std::fprintf(stderr, "cannot load %s\n", static_cast<const char*>(CTemplateUI::ImagePath("Font").utf8_str()));
        return 1;
    }
    const CTaNGRAQVDeviceProfile profile;
    auto tpl = profile.CreateTemplate();
    for (int i = 0; i <= 77; ++i) {
        CBaseControlState* c = tpl->controlAt(i);
        c->setControlType(i >= 70 ? ControlType::DrumNote : (i % 3 ? ControlType::CC : ControlType::NRPN), false);
        c->setName("Ctrl " + std::to_string(i));
        c->setLsbNumber(static_cast<uint8_t>(i));
        c->setMidiChannel(1 + i % 16);
    }
    BenchHost host;
    CTaNGRAQVLumiTemplateUI view(host, profile);
    view.SetTemplate(tpl.get());
    view.SelectControl(3, true);
    view.OnMouseMove(view.FindButton(5)->Centre());
    view.ListenStarted();

    const wxSize size = view.GetBackgroundSize();
    wxBitmap buffer(size.x, size.y);
    wxMemoryDC dc(buffer);
    using clock = std::chrono::steady_clock;
    auto t0 = clock::now();
    view.Paint(dc);  // first paint renders every text into its cache
    auto t1 = clock::now();
    for (int i = 0; i < repaints; ++i) view.Paint(dc);
    auto t2 = clock::now();
    view.PaneExpanded();  // every text re-rendered, the background already converted
    auto t3 = clock::now();
    view.Paint(dc);
    auto t4 = clock::now();
    const double first = std::chrono::duration<double, std::milli>(t1 - t0).count();
    const double rerender = std::chrono::duration<double, std::milli>(t4 - t3).count();
    const double each = std::chrono::duration<double, std::milli>(t2 - t1).count() / repaints;
    std::printf("panel %dx%d, %zu controls: first paint %.3f ms, with every text re-rendered %.3f ms, "
                "repaint %.3f ms (mean of %d)\n",
                size.x, size.y, view.GetButtons().size(), first, rerender, each, repaints);
    dc.SelectObject(wxNullBitmap);
    wxEntryCleanup();
    return 0;
}
