#pragma once
// Shared pieces of the panel view tests: a host that records what the view
// asks of the main window, and a fixture that shows a fresh template.
#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <memory>
#include <string>
#include <vector>

#include "TestApplication.h"
#include "model/Command.h"
#include "editing/EditorView.h"
#include "editing/History.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/BitmapFont.h"
#include "ui/TaNGRAQVLumiTemplateUI.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"

namespace uitest {

// The images folder: beside the test program when the resources were copied
// there, else the source tree's.
inline wxString ImagesFolder() {
    const wxString beside = CTemplateUI::ImagePath("Font");
    if (wxFileExists(beside)) return wxFileName(beside).GetPath();
    wxFileName here(wxString::FromUTF8(__FILE__));
    here.RemoveLastDir();
    here.RemoveLastDir();
    return here.GetPath() + "/resources/images";
}

inline void LoadImages() {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    CTemplateUI::SetImagesFolder(ImagesFolder());
    if (!BitmapFont::Get().IsLoaded()) BitmapFont::Get().Load(CTemplateUI::ImagePath("Font"));
}

class RecordingHost : public ITemplateUIHost {
public:
    explicit RecordingHost(wxWindow* window) : window(window) {}

    wxWindow* GetPanelWindow() override { return window; }
    void SetPanelStatusText(const wxString& text) override { statusTexts.push_back(text.ToStdString()); }
    void EditControl(const CPlacedControl& control, bool deferred) override {
        edited.push_back(control.GetIndex());
        editDeferred = deferred;
        editShown = true;
    }
    void HideEditWindow() override {
        ++hideCalls;
        editShown = false;
    }
    bool IsEditWindowShown() const override { return editShown; }
    wxRect GetEditWindowScreenRect() const override { return editRect; }
    void RunCommand(std::unique_ptr<ICommand> command) override {
        commandNames.push_back(command->GetName());
        if (tpl) executeCommand(std::move(command), *tpl);
    }
    bool IsInputDeviceOpen() const override { return inputOpen; }
    bool IsOutputDeviceOpen() const override { return outputOpen; }
    void StartListening() override { calls.push_back("listen"); }
    void StopListening() override { calls.push_back("stop"); }
    void SendTemplate() override { calls.push_back("send"); }
    bool HasViewMenu() const override { return viewMenu; }
    int GetViewType() const override { return viewType; }
    bool GetAbbreviateNames() const override { return abbreviate; }
    bool GetShowCtrlToolTips() const override { return toolTips; }

    wxWindow* window;
    CEditorTemplate* tpl = nullptr;
    std::vector<std::string> statusTexts;
    std::vector<int> edited;
    bool editDeferred = false;
    bool editShown = false;
    wxRect editRect;
    int hideCalls = 0;
    std::vector<std::string> commandNames;
    std::vector<std::string> calls;
    bool inputOpen = true;
    bool outputOpen = true;
    bool viewMenu = false;
    int viewType = 1;
    bool abbreviate = false;
    bool toolTips = true;
};

// A frame, a host, a fresh template and the device layout showing it.
class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        LoadImages();
        ASSERT_TRUE(BitmapFont::Get().IsLoaded());
        frame = new wxFrame(nullptr, wxID_ANY, "panel");
        host = std::make_unique<RecordingHost>(frame);
        tpl = profile.CreateTemplate();
        host->tpl = tpl.get();
        view = std::make_unique<CTaNGRAQVLumiTemplateUI>(*host, profile);
        view->SetTemplate(tpl.get());
    }
    void TearDown() override {
        view.reset();
        frame->Destroy();
    }

    CBaseControlState& Control(int index) { return *tpl->controlAt(index); }
    // Gives a control an assignment so that drops treat it as assigned.
    void Assign(int index, int type, const std::string& name, int number = 7, int channel = 1) {
        CBaseControlState& c = Control(index);
        c.setControlType(type, false);
        c.setName(name);
        c.setLsbNumber(static_cast<uint8_t>(number));
        c.setMidiChannel(channel);
    }
    wxPoint CentreOf(int index) const { return view->FindButton(index)->Centre(); }
    void Click(wxPoint p, bool ctrl = false) {
        view->OnMouseButton(p, ctrl, false, false, false);
        view->OnMouseButton(p, ctrl, false, true, false);
    }
    void Click(int index, bool ctrl = false) { Click(CentreOf(index), ctrl); }
    // Press on `from`, move to `to`, release there.
    void Drag(wxPoint from, wxPoint to, bool ctrlAtRelease = false) {
        view->OnMouseButton(from, false, false, false, false);
        view->OnMouseMove(to);
        view->OnMouseButton(to, ctrlAtRelease, false, true, false);
    }

    const CTaNGRAQVDeviceProfile profile;
    wxFrame* frame = nullptr;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<CEditorTemplate> tpl;
    std::unique_ptr<CTaNGRAQVLumiTemplateUI> view;
    // Commands reach no main window: these tests watch the view alone.
    ScopedEditorView noMainWindow{nullptr};
};

}  // namespace uitest
