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
    // The window was closed: the Edit menu may offer other things now.
    virtual void UpdateEditMenuFromHistory() = 0;
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
    // control, shows the window with the focus on its first field and
    // selects the control on the panel. For the control already shown (its
    // type changed) the panels are rebuilt in place and the focus stays on
    // the field that had it. Escape closes the window (ending MIDI learn
    // first), F6 goes to the panel, and the main window's menu shortcuts
    // other than the clipboard's work here too.
    void OpenFor(const CPlacedControl& control);
    // Forgets the control, the main window's observers with it.
    void Clear();
    // Activates the shown window with the focus where it was (F6 on the panel).
    void TakeFocus();
    // Ends MIDI learn in the panels; true when one was learning.
    bool EndLearn();
    const CPlacedControl* GetControl() const { return control.get(); }
    int GetControlIndex() const { return controlIndex; }

    // Where a window of `size` goes when asked to open at `wanted`: there,
    // when its title bar is on a display; otherwise centred on `fallback`
    // (the main window) inside the display that shows most of it.
    static wxPoint KeepOnScreen(const wxPoint& wanted, const wxSize& size, const wxRect& fallback);

private:
    // Where the user left the window, or beside the main window (BesideWindow).
    wxPoint Place() const;
    // Gives the focus to the field of that name, or to the first field.
    void FocusField(const wxString& name);
    // Notes which field the user used last (see lastUsed).
    void WatchUse(wxWindow& window);
    // Gives this window the shortcuts of the main window's menus.
    void MirrorShortcuts();
    void OnShortcut(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnIdle(wxIdleEvent& event);
    // What hiding does: ends learn, keeps the name for completion, Clear.
    void ForgetControl();
    void OnShow(wxShowEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnClose(wxCloseEvent& event);

    IEditWindowOwner* owner;
    std::unique_ptr<CPlacedControl> control;
    int controlIndex = -1;
    // The control the shown panels were built for (kept by Clear, which the
    // main window calls before a rebuild), and the field used last.
    std::unique_ptr<CPlacedControl> built;
    wxString lastUsed;
    wxString lastFocused;  // when F6 left for the panel
    // Idle passes after an opening in which the window follows its fields' size.
    static constexpr int kFitChecks = 20;
    int fitChecks = 0;
    wxBoxSizer* panels;
};
