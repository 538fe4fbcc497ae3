#pragma once
// The control edit window of the main window and everything its panels ask
// of the main window: the profile, the current template, the commands they
// run, the observers that refresh them after undo and redo, their place on
// the screen, and the MIDI input while a panel learns a control.
#include <wx/gdicmn.h>

#include <memory>
#include <vector>

#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"

#include "app/EditorServices.h"

class CMessageForwarder;
class CTemplateCanvas;
class CTemplateDocument;
class ITemplateUIHost;
class wxWindow;

class CEditWindowHost : public IEditWindowOwner, public IEditPanelHost {
public:
    // `panelHost` runs the panels' commands and shows their status texts.
    CEditWindowHost(wxWindow& parent, const EditorServices& services, const CTemplateDocument& document,
                    const CTemplateCanvas& canvas, ITemplateUIHost& panelHost);
    ~CEditWindowHost() override;
    CEditWindowHost(const CEditWindowHost&) = delete;
    CEditWindowHost& operator=(const CEditWindowHost&) = delete;

    // Made when first needed: a start that edits no control never builds it.
    CEditControlDialog* Window();
    bool IsShown() const;
    // The control the window shows while it is shown, else null.
    const CPlacedControl* ShownControl() const;
    wxRect ScreenRect() const;
    void Hide();
    // Opens the window on `control` (deferred: on the next idle pass); when it
    // already shows that control, its fields show the control as it is now.
    void Edit(const CPlacedControl& control, bool deferred);
    // Opens a deferred edit; whether one is waiting.
    void IdleWork();
    bool NeedsIdleWork() const { return pendingEdit != nullptr; }

    // The panels that refresh after undo, redo and edits made elsewhere.
    void NotifyObservers();
    void NotifySnapshotObserver();
    const std::vector<IObserver*>& Observers() const { return observers; }
    bool IsLearning() const { return learnInput != nullptr; }

    // IEditWindowOwner
    CTemplateUI* View() const override;
    void AddObserver(IObserver* observer) override;
    void SetSnapshotObserver(IObserver* observer) override { snapshotObserver = observer; }
    void ClearObservers() override;
    bool StoredEditWindowPosition(wxPoint& at) const override;
    void StoreEditWindowPosition(const wxPoint& at) override;

    // IEditPanelHost
    const IDeviceProfile& PanelProfile() const override { return services.profile; }
    wxString PortCaption(int port) const override;
    void RunPanelCommand(std::unique_ptr<ICommand> command) override;
    const CEditorTemplate* PanelTemplate() const override;
    void AddPanelObserver(IObserver* observer) override { AddObserver(observer); }
    void SetPanelSnapshotObserver(IObserver* observer) override { SetSnapshotObserver(observer); }
    bool PanelAutoComplete() const override;
    bool StartMidiInput(MidiReceiver receiver) override;
    void StopMidiInput() override;
    void SetPanelStatus(const wxString& text) override;

private:
    EditorServices services;
    const CTemplateDocument& document;
    const CTemplateCanvas& canvas;
    ITemplateUIHost& panelHost;
    wxWindow& parent;
    CEditControlDialog* window = nullptr;
    IObserver* snapshotObserver = nullptr;
    std::vector<IObserver*> observers;
    std::unique_ptr<CPlacedControl> pendingEdit;
    // MIDI learn: the input forwarded while it is on, and the last forwarder,
    // kept until the next start (learning may end from inside its own call).
    std::unique_ptr<CMessageForwarder> learnInput, retiredInput;
};
