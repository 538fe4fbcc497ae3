#include "ui/EditControlDialog.h"

#include <wx/display.h>
#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/tglbtn.h>

#include <algorithm>
#include <vector>

#include "editing/EditorView.h"
#include "model/ControlState.h"
#include "model/ModelHooks.h"
#include "ui/EditPanels.h"
#include "ui/MenuShortcuts.h"
#include "ui/TemplateUI.h"
#include "ui/WindowPlacement.h"

namespace {
CEditControlDialog::PanelBuilder& panelBuilder() {
    static CEditControlDialog::PanelBuilder builder;
    return builder;
}
}  // namespace

void CEditControlDialog::SetPanelBuilder(PanelBuilder builder) { panelBuilder() = std::move(builder); }

CEditControlDialog::CEditControlDialog(wxWindow* parent, IEditWindowOwner* owner)
    // Not a tool window: the window manager would neither give it the focus
    // when it opens nor reach it by its window switching.
    : wxFrame(parent, kWindowId, _(" Control settings"), wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU | wxFRAME_FLOAT_ON_PARENT | wxTAB_TRAVERSAL),
      owner(owner),
      panels(new wxBoxSizer(wxVERTICAL)) {
    SetSizer(panels);
    SetMinClientSize(wxSize(260, 40));
    Bind(wxEVT_SHOW, &CEditControlDialog::OnShow, this);
    Bind(wxEVT_CLOSE_WINDOW, &CEditControlDialog::OnClose, this);
    Bind(wxEVT_MOVE, &CEditControlDialog::OnMove, this);
    Bind(wxEVT_CHAR_HOOK, &CEditControlDialog::OnCharHook, this);
    Bind(wxEVT_IDLE, &CEditControlDialog::OnIdle, this);
    // The editor's shortcuts (undo, redo, save, ...) reach the main window.
    Bind(wxEVT_MENU, &CEditControlDialog::OnShortcut, this);

    // The main window's context menu must not open over the edit window.
    Bind(wxEVT_CONTEXT_MENU, [](wxContextMenuEvent&) {});
}

void CEditControlDialog::OpenFor(const CPlacedControl& placed) {
    // The same control again (its type changed, undo): rebuilt in place, the
    // focus kept on the field that had it. Another control: the window is
    // hidden first (see OnShow) and opens with the focus on its first field.
    const bool rebuild = IsShown() && built && *built == placed;
    wxString focusName;
    if (rebuild) {
        if (wxWindow* focused = FindFocus(); focused && focused != this && wxGetTopLevelParent(focused) == this)
            focusName = focused->GetName();
        else if (IsActive())
            focusName = lastUsed;
        ForgetControl();
    } else {
        Hide();
    }
    lastUsed.clear();
    built = placed.Clone();
    control = placed.Clone();
    controlIndex = placed.GetIndex();
    EndLearn();
    panels->Clear(true);
    DestroyChildren();
    if (panelBuilder()) panelBuilder()(*this, *panels, *control);
    WatchUse(*this);
    MirrorShortcuts();
    Fit();
    Layout();
    Enable();
    if (!rebuild) {
        const wxPoint place = Place();
        Move(place);
        Show();
        // Fields know their true size only once shown (on the very first
        // opening they are measured smaller), and the window manager may
        // have placed the window itself: fit and place it again.
        Fit();
        Layout();
        if (GetPosition() != place) Move(place);
        Raise();
        fitChecks = kFitChecks;
    } else {
        Fit();
        Layout();
    }
    FocusField(focusName);
    control->Select(true);
}

void CEditControlDialog::WatchUse(wxWindow& window) {
    // The field last used, to give the focus back to after a rebuild: a
    // choice list does not report having the focus. Bound after the panels'
    // own handlers, so called before them (they need not pass the event on).
    for (wxWindow* child : window.GetChildren()) {
        for (auto type : {wxEVT_CHOICE, wxEVT_CHECKBOX, wxEVT_RADIOBUTTON, wxEVT_TOGGLEBUTTON})
            child->Bind(type, [this, child](wxCommandEvent& event) {
                event.Skip();
                lastUsed = child->GetName();
            });
        WatchUse(*child);
    }
}

void CEditControlDialog::OnIdle(wxIdleEvent& event) {
    event.Skip();
    if (fitChecks <= 0) return;
    --fitChecks;
    // The fields' sizes settle once the toolkit has styled them (later than
    // the first showing): the window grows with them instead of cutting them.
    if (IsShown() && GetSizer() && GetClientSize() != GetSizer()->GetMinSize()) {
        Fit();
        Layout();
    }
}

void CEditControlDialog::TakeFocus() {
    if (!IsShown()) return;
    Raise();
    FocusField(lastFocused);
}

void CEditControlDialog::FocusField(const wxString& name) {
    wxWindow* target = name.empty() ? nullptr : FindWindowByName(name, this);
    if (!target || !target->IsShown() || !target->IsEnabled()) {
        // The first field that takes the keyboard, in tab order.
        std::vector<wxWindow*> pending(GetChildren().begin(), GetChildren().end());
        target = nullptr;
        while (!pending.empty() && !target) {
            wxWindow* w = pending.front();
            pending.erase(pending.begin());
            if (!w->IsShown() || !w->IsEnabled()) continue;
            if (w->AcceptsFocus() && !dynamic_cast<wxPanel*>(w)) {
                target = w;
                break;
            }
            pending.insert(pending.begin(), w->GetChildren().begin(), w->GetChildren().end());
        }
    }
    if (target) target->SetFocus();
}

void CEditControlDialog::MirrorShortcuts() {
    auto* frame = dynamic_cast<wxFrame*>(GetParent());
    wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
    if (!bar) return;
    // Every menu shortcut with Ctrl or Alt, or on a function key, but those
    // that the fields need themselves (cut, copy, paste, select all) and F6,
    // which moves between the panel and this window.
    std::vector<wxAcceleratorEntry> keys;
    for (const wxAcceleratorEntry& shortcut : MenuShortcuts(*bar)) {
        const int flags = shortcut.GetFlags(), key = shortcut.GetKeyCode();
        const bool functionKey = key >= WXK_F1 && key <= WXK_F24 && key != WXK_F6;
        const bool fieldKey = flags == wxACCEL_CTRL && (key == 'X' || key == 'C' || key == 'V' || key == 'A');
        if ((functionKey || (flags & (wxACCEL_CTRL | wxACCEL_ALT))) && !fieldKey) keys.push_back(shortcut);
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
}

void CEditControlDialog::OnShortcut(wxCommandEvent& event) {
    wxWindow* parent = GetParent();
    auto* frame = dynamic_cast<wxFrame*>(parent);
    wxMenuItem* item = frame && frame->GetMenuBar() ? frame->GetMenuBar()->FindItem(event.GetId()) : nullptr;
    if (!item) return;
    // The main window works its menu states out when asked (wxEVT_UPDATE_UI),
    // as it does before its own shortcuts run: ask for this item's now.
    wxUpdateUIEvent update(event.GetId());
    update.SetEventObject(frame);
    frame->ProcessWindowEvent(update);
    if (update.GetSetEnabled() ? !update.GetEnabled() : !item->IsEnabled()) return;
    wxString focusName;
    if (wxWindow* focused = FindFocus(); focused && wxGetTopLevelParent(focused) == this)
        focusName = focused->GetName();
    wxCommandEvent forwarded(wxEVT_MENU, event.GetId());
    forwarded.SetEventObject(parent);
    parent->GetEventHandler()->ProcessEvent(forwarded);
    // Undo and redo give the main window the focus; the user is working here.
    if (IsShown()) {
        Raise();
        FocusField(focusName);
    }
}

void CEditControlDialog::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_ESCAPE:
            // Escape ends MIDI learn first; otherwise it closes the window.
            if (!EndLearn()) Close();
            return;
        case WXK_F6:
            // To the panel, with the window left open; F6 there comes back.
            if (wxWindow* focused = FindFocus(); focused && focused != this && wxGetTopLevelParent(focused) == this)
                lastFocused = focused->GetName();
            else
                lastFocused = lastUsed;
            if (wxWindow* parent = GetParent()) parent->Raise();
            EditorView::focusMainWindow();
            return;
        default: event.Skip();
    }
}

wxPoint CEditControlDialog::KeepOnScreen(const wxPoint& wanted, const wxSize& size, const wxRect& fallback) {
    // The title bar is what the user needs to drag the window back.
    const wxPoint grip(wanted.x + std::min(std::max(size.x, 1) / 2, 60), wanted.y + 10);
    if (wxDisplay::GetFromPoint(grip) != wxNOT_FOUND) return wanted;
    int index = wxDisplay::GetFromPoint(fallback.GetPosition() + fallback.GetSize() / 2);
    if (index == wxNOT_FOUND) index = 0;
    const wxRect area = wxDisplay(static_cast<unsigned>(index)).GetClientArea();
    wxPoint at(fallback.x + (fallback.width - size.x) / 2, fallback.y + (fallback.height - size.y) / 2);
    at.x = std::max(area.x, std::min(at.x, area.GetRight() + 1 - size.x));
    at.y = std::max(area.y, std::min(at.y, area.GetBottom() + 1 - size.y));
    return at;
}

wxPoint CEditControlDialog::Place() const {
    const wxWindow* parent = GetParent();
    const wxRect mainWindow = parent ? parent->GetScreenRect() : wxDisplay(0u).GetClientArea();
    wxPoint at;
    if (owner && owner->StoredEditWindowPosition(at)) return KeepOnScreen(at, GetSize(), mainWindow);
    return BesideWindow(mainWindow, GetSize());
}

void CEditControlDialog::OnMove(wxMoveEvent& event) {
    event.Skip();
    if (owner && IsShown()) owner->StoreEditWindowPosition(GetPosition());
}

bool CEditControlDialog::EndLearn() {
    bool ended = false;
    for (wxWindow* child : GetChildren())
        if (auto* panel = dynamic_cast<CEditPanel*>(child)) ended = panel->EndLearn() || ended;
    return ended;
}

void CEditControlDialog::Clear() {
    control.reset();
    controlIndex = -1;
    if (owner) owner->ClearObservers();
}

void CEditControlDialog::OnShow(wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) return;
    if (owner) owner->StoreEditWindowPosition(GetPosition());
    ForgetControl();
    built.reset();
}

void CEditControlDialog::ForgetControl() {
    EndLearn();
    // The name just edited becomes a completion candidate.
    if (owner && control && owner->View()) {
        const auto& selection = owner->View()->GetSelection();
        if (!selection.empty() && *selection.front() == *control && control->GetState())
            if (auto* tools = ModelHooks::get().nameTools) tools->addName(control->GetState()->getName());
    }
    Clear();
}

void CEditControlDialog::OnClose(wxCloseEvent&) {
    // The window lives as long as the main window: closing only hides it.
    Hide();
}
