#include "app/EditWindowHost.h"

#include <algorithm>

#include "app/MessageForwarder.h"
#include "model/Command.h"
#include "app/Settings.h"
#include "app/TemplateDocument.h"
#include "midi/MidiService.h"
#include "model/DeviceProfile.h"
#include "ui/Observer.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"

CEditWindowHost::CEditWindowHost(wxWindow& parent, const EditorServices& services, const CTemplateDocument& document,
                                 const CTemplateCanvas& canvas, ITemplateUIHost& panelHost)
    : services(services), document(document), canvas(canvas), panelHost(panelHost), parent(parent) {
    CEditControlDialog::SetPanelBuilder([this](CEditControlDialog& w, wxSizer& sizer, const CPlacedControl& c) {
        BuildControlPanels(w, sizer, c, *this);
    });
}

CEditControlDialog* CEditWindowHost::Window() {
    if (!window) {
        window = new CEditControlDialog(&parent, this);
        window->Hide();
    }
    return window;
}

CEditWindowHost::~CEditWindowHost() {
    learnInput.reset();
    retiredInput.reset();
    CEditControlDialog::SetPanelBuilder(nullptr);
}

bool CEditWindowHost::IsShown() const { return window && window->IsShown(); }

const CPlacedControl* CEditWindowHost::ShownControl() const { return IsShown() ? window->GetControl() : nullptr; }

wxRect CEditWindowHost::ScreenRect() const { return window ? window->GetScreenRect() : wxRect(); }

void CEditWindowHost::Hide() {
    if (window && window->IsShown()) window->Hide();
}

void CEditWindowHost::Edit(const CPlacedControl& control, bool deferred) {
    if (deferred) {
        pendingEdit = control.Clone();
        services.wakeIdle();
        return;
    }
    Window();
    const CPlacedControl* shownControl = window->GetControl();
    if (window->IsShown() && shownControl && *shownControl == control) {
        // Undo, redo and edits made elsewhere show up in the fields at once.
        for (wxWindow* child : window->GetChildren())
            if (auto* panel = dynamic_cast<CEditPanel*>(child)) panel->refresh();
        window->Refresh();
        return;
    }
    window->OpenFor(control);
}

void CEditWindowHost::IdleWork() {
    if (!pendingEdit) return;
    std::unique_ptr<CPlacedControl> pending = std::move(pendingEdit);
    if (window) window->Clear();
    Edit(*pending, false);
}

void CEditWindowHost::NotifyObservers() {
    // A panel may drop out of the list while it refreshes.
    const std::vector<IObserver*> copy = observers;
    for (IObserver* observer : copy) observer->Notify();
}

void CEditWindowHost::NotifySnapshotObserver() {
    if (snapshotObserver) snapshotObserver->Notify();
}

CTemplateUI* CEditWindowHost::View() const { return canvas.GetView(); }

void CEditWindowHost::AddObserver(IObserver* observer) {
    if (observer && std::find(observers.begin(), observers.end(), observer) == observers.end())
        observers.push_back(observer);
}

void CEditWindowHost::ClearObservers() {
    observers.clear();
    snapshotObserver = nullptr;
}

bool CEditWindowHost::StoredEditWindowPosition(wxPoint& at) const {
    long x = 0, y = 0;
    const wxString& text = services.settings.editWindowPosition;
    if (!text.BeforeFirst(',').ToLong(&x) || !text.AfterFirst(',').ToLong(&y)) return false;
    at = wxPoint(static_cast<int>(x), static_cast<int>(y));
    return true;
}

void CEditWindowHost::StoreEditWindowPosition(const wxPoint& at) {
    services.settings.editWindowPosition = wxString::Format("%d,%d", at.x, at.y);
}

wxString CEditWindowHost::PortCaption(int port) const {
    const IDeviceProfile& profile = services.profile;
    switch (port) {
        case 0: return wxString::FromUTF8(profile.GetMidiPort1Name());
        case 1: return wxString::FromUTF8(profile.GetMidiPort2Name());
        case 2: return wxString::FromUTF8(profile.GetUsbPort1Name());
        case 3: return wxString::FromUTF8(profile.GetUsbPort2Name());
        default: return wxString::FromUTF8(profile.GetUsbPort3Name());
    }
}

void CEditWindowHost::RunPanelCommand(std::unique_ptr<ICommand> command) { panelHost.RunCommand(std::move(command)); }

const CEditorTemplate* CEditWindowHost::PanelTemplate() const { return document.currentTemplate(); }

bool CEditWindowHost::PanelAutoComplete() const { return services.settings.shouldUseAutoComplete == 1; }

bool CEditWindowHost::StartMidiInput(MidiReceiver receiver) {
    StopMidiInput();
    retiredInput.reset();
    if (!services.midi.IsInputOpen()) return false;
    learnInput = std::make_unique<CMessageForwarder>(services.midi, std::move(receiver));
    services.wakeIdle();
    return true;
}

void CEditWindowHost::StopMidiInput() {
    if (!learnInput) return;
    learnInput->Detach();
    retiredInput = std::move(learnInput);
}

void CEditWindowHost::SetPanelStatus(const wxString& text) { panelHost.SetPanelStatusText(text); }
