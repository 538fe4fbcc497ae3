#include "ui/EditControlDialog.h"

#include <wx/intl.h>

#include "model/ControlState.h"
#include "model/ModelHooks.h"
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
    // The main window's context menu must not open over the edit window.
    Bind(wxEVT_CONTEXT_MENU, [](wxContextMenuEvent&) {});
}

void CEditControlDialog::OpenFor(const CPlacedControl& placed) {
    Hide();
    control = placed.Clone();
    controlIndex = placed.GetIndex();
    panels->Clear(true);
    DestroyChildren();
    if (panelBuilder()) panelBuilder()(*this, *panels, *control);
    Fit();
    Layout();
    Enable();
    Show();
    control->Select(true);
}

void CEditControlDialog::Clear() {
    control.reset();
    controlIndex = -1;
    if (owner) owner->ClearObservers();
}

void CEditControlDialog::OnShow(wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) return;
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
    if (owner) owner->UpdateEditMenuFromHistory();
}
