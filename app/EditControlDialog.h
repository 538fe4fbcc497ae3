#pragma once
// The control edit window: a small floating frame, created once by the main
// window, that shows the settings panels of one control at a time.
#include <wx/frame.h>
#include <wx/sizer.h>

#include <functional>
#include <memory>

#include "editing/PlacedControl.h"

class CMainFrame;

class CEditControlDialog : public wxFrame {
public:
    static constexpr int kWindowId = 10007;

    // Builds the panels for a control into the window's sizer. The panels
    // module installs one; without it the window opens empty.
    using PanelBuilder = std::function<void(CEditControlDialog&, wxSizer&, const CPlacedControl&)>;
    static void SetPanelBuilder(PanelBuilder builder);

    explicit CEditControlDialog(CMainFrame* owner);

    // Hides the window, throws away its panels, builds the panels for the
    // control, shows the window and selects the control on the panel.
    void OpenFor(const CPlacedControl& control);
    // Forgets the control, the main window's observers with it.
    void Clear();
    const CPlacedControl* GetControl() const { return control.get(); }
    int GetControlIndex() const { return controlIndex; }

private:
    void OnShow(wxShowEvent& event);
    void OnClose(wxCloseEvent& event);

    CMainFrame* owner;
    std::unique_ptr<CPlacedControl> control;
    int controlIndex = -1;
    wxBoxSizer* panels;
};
