#pragma once
// The control edit window: a small floating frame, created once by the main
// window, that shows the settings panels of one control at a time.
#include <wx/frame.h>
#include <wx/sizer.h>

#include <functional>
#include <memory>

#include "editing/PlacedControl.h"

class CTemplateUI;
class IObserver;

// What the edit window and its panels need from the window that owns them
// (the main frame): the panel view, and the observers that refresh panels
// after undo, redo and edits made elsewhere.
class IEditWindowOwner {
public:
    virtual ~IEditWindowOwner() = default;
    virtual CTemplateUI* View() const = 0;
    virtual void AddObserver(IObserver* observer) = 0;
    virtual void SetSnapshotObserver(IObserver* observer) = 0;
    virtual void ClearObservers() = 0;
    // Where the user last left the window (screen coordinates of its frame);
    // false when it was never placed.
    virtual bool StoredEditWindowPosition(wxPoint&) const { return false; }
    virtual void StoreEditWindowPosition(const wxPoint&) {}
};

class CEditControlDialog : public wxFrame {
public:
    static constexpr int kWindowId = 10007;

    // Builds the panels for a control into the window's sizer. The panels
    // module installs one; without it the window opens empty.
    using PanelBuilder = std::function<void(CEditControlDialog&, wxSizer&, const CPlacedControl&)>;
    static void SetPanelBuilder(PanelBuilder builder);

    // `parent` is the owner's window; both live as long as this window.
    CEditControlDialog(wxWindow* parent, IEditWindowOwner* owner);
    IEditWindowOwner* Owner() const { return owner; }

    // Hides the window, throws away its panels, builds the panels for the
    // control, shows the window and selects the control on the panel.
    void OpenFor(const CPlacedControl& control);
    // Forgets the control, the main window's observers with it.
    void Clear();
    // Ends MIDI learn in the panels; true when one was learning.
    bool EndLearn();
    const CPlacedControl* GetControl() const { return control.get(); }
    int GetControlIndex() const { return controlIndex; }

    // Where a window of `size` goes when asked to open at `wanted`: there,
    // when its title bar is on a display; otherwise centred on `fallback`
    // (the main window) inside the display that shows most of it.
    static wxPoint KeepOnScreen(const wxPoint& wanted, const wxSize& size, const wxRect& fallback);

private:
    void PlaceWhereLeft();
    void OnShow(wxShowEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnClose(wxCloseEvent& event);

    IEditWindowOwner* owner;
    std::unique_ptr<CPlacedControl> control;
    int controlIndex = -1;
    wxBoxSizer* panels;
};
