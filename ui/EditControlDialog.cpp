#include "ui/EditControlDialog.h"

#include <wx/display.h>
#include <wx/intl.h>

#include <algorithm>

#include "model/ControlState.h"
#include "model/ModelHooks.h"
#include "ui/EditPanels.h"
#include "ui/TemplateUI.h"

namespace {
CEditControlDialog::PanelBuilder& panelBuilder() {
    static CEditControlDialog::PanelBuilder builder;
    return builder;
}
}  // namespace

void CEditControlDialog::SetPanelBuilder(PanelBuilder builder) { panelBuilder() = std::move(builder); }

CEditControlDialog::CEditControlDialog(wxWindow* parent, IEditWindowOwner* owner)
    : wxFrame(parent, kWindowId, _(" Control settings"), wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU | wxFRAME_TOOL_WINDOW | wxFRAME_FLOAT_ON_PARENT |
                  wxTAB_TRAVERSAL),
      owner(owner),
      panels(new wxBoxSizer(wxVERTICAL)) {
    SetSizer(panels);
    SetMinClientSize(wxSize(260, 40));
    Bind(wxEVT_SHOW, &CEditControlDialog::OnShow, this);
    Bind(wxEVT_CLOSE_WINDOW, &CEditControlDialog::OnClose, this);
    Bind(wxEVT_MOVE, &CEditControlDialog::OnMove, this);
    // Escape anywhere in the window ends MIDI learn.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_ESCAPE || !EndLearn()) event.Skip();
    });
    // The main window's context menu must not open over the edit window.
    Bind(wxEVT_CONTEXT_MENU, [](wxContextMenuEvent&) {});
}

void CEditControlDialog::OpenFor(const CPlacedControl& placed) {
    Hide();
    control = placed.Clone();
    controlIndex = placed.GetIndex();
    EndLearn();
    panels->Clear(true);
    DestroyChildren();
    if (panelBuilder()) panelBuilder()(*this, *panels, *control);
    Fit();
    Layout();
    Enable();
    PlaceWhereLeft();
    Show();
    control->Select(true);
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

void CEditControlDialog::PlaceWhereLeft() {
    wxPoint at;
    if (!owner || !owner->StoredEditWindowPosition(at)) return;
    const wxWindow* parent = GetParent();
    const wxRect fallback = parent ? parent->GetScreenRect() : wxDisplay(0u).GetClientArea();
    const wxPoint place = KeepOnScreen(at, GetSize(), fallback);
    if (place != GetPosition()) Move(place);
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
