#pragma once
// The editor's only top-level window. It owns its parts and wires them to
// one another and to the menus; the work is theirs:
//   CTemplateDocument  the open templates, file operations, history
//   CDeviceController  listening, sending, the Device menu's dialogs
//   CMainMenus         the menu bar and the states of its items
//   CEditWindowHost    the control edit window and its panels
//   CTemplateMenu      the Template menu's dialogs
//   CTemplateCanvas    the panel window (painting, pointer, keys)
#include <wx/frame.h>
#include <wx/weakref.h>

#include <functional>
#include <memory>

#include "app/DeviceController.h"
#include "app/EditWindowHost.h"
#include "app/EditorServices.h"
#include "app/LibraryWindow.h"
#include "app/MainMenus.h"
#include "app/TemplateDocument.h"
#include "app/TemplateMenu.h"
#include "editing/EditorView.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"


class CControlsTableWindow;
class wxMenuItem;

class CMainFrame : public wxFrame,
                   public IEditorView,
                   public ITemplateUIHost,
                   private CTemplateDocument::IWindow {
public:
    // Makes the device's panel view for this window.
    using PanelViewMaker = std::function<std::unique_ptr<CTemplateUI>(ITemplateUIHost& host)>;
    // With CMainMenus::Items::Later the menus get their items once the first
    // paint is on the screen, or at the first key or menu opened before that.
    CMainFrame(const EditorServices& services, PanelViewMaker makeView,
               CMainMenus::Items menuItems = CMainMenus::Items::Now);
    ~CMainFrame() override;

    CTemplateDocument& Document() { return *document; }
    const CTemplateDocument& Document() const { return *document; }
    CDeviceController& Device() { return *device; }
    CEditWindowHost& EditHost() { return *editHost; }
    CTemplateMenu& TemplateCommands() { return *templateMenu; }
    CMainMenus& Menus() { return *menus; }
    // Gives the menus their items now, if they have none yet.
    void AddMenuItems();
    CTemplateCanvas* Canvas() const { return canvas; }
    CTemplateUI* View() const { return view.get(); }
    CEditControlDialog* EditWindow() const;
    // View > Controls table: made at its first opening (null before).
    CControlsTableWindow* ControlsTable() const { return controlsTable; }

    // View > Template Library: opens the library window, or brings it to the front.
    CLibraryWindow* LibraryCommand();
    CLibraryWindow* LibraryWindow() const { return libraryWindow.get(); }
    // Runs a menu item's command, as when the user chooses it.
    void RunMenuCommand(int id);
    // The same with the item's state as its menu shows it: nothing when it is
    // disabled, and a check item changes its mark.
    void RunMenuItem(wxMenuItem& item);
    // Shows the panel at 100, 150 or 200 per cent (anything else: 100), sizes
    // the window to it and remembers the choice in the settings.
    void SetZoom(int percent);
    // The stored zoom, or the largest that fits the screen when it does not
    // (said in the status bar); the stored choice stays for a larger screen.
    void ShowStoredZoom();
    // Says again, after the start-up opened its templates (each saying so),
    // that the stored zoom did not fit; nothing when it did.
    void RepeatZoomNotice() {
        if (!zoomNotice.empty()) SetStatus(zoomNotice);
    }
    void SetStatus(const wxString& text) { SetStatusText(text, 0); }
    // The status text and the panel's tool tip describe the controls as they are now.
    void refreshControlTexts();
    // File > Compare with: marks the controls of the current template that
    // differ from the template in a file (read as Open reads it).
    void CompareWithFile(const wxString& path);
    // The same with a template held elsewhere (a library version); `name` names it in the status line.
    void CompareWithTemplate(const CEditorTemplate& other, const wxString& name);

    // --- Idle processing (from the application's idle passes) ---------------
    void idleWork();
    // Whether the next idle pass has anything to do.
    bool NeedsIdleWork() const;
    // A left-button release at the pointer, as when the application loses focus.
    void ReleaseOutside();

    // IEditorView (the editing engine's calls). The menus read their states
    // when shown, so the menu updates have nothing to do.
    bool selectControl(const CPlacedControl& control, bool add) override;
    void editControl(const CPlacedControl& control, bool deferred) override;
    void hideEditWindow() override;
    void updateEditMenu(bool, bool) override {}
    void updateTitle() override;
    void updateTemplateMenu() override {}
    void requestRepaint() override;
    void focusMainWindow() override;
    void notifyObservers() override;
    void notifySnapshotObserver() override;

    // ITemplateUIHost (the panel view's calls)
    wxWindow* GetPanelWindow() override;
    void SetPanelStatusText(const wxString& text) override { SetStatus(text); }
    void EditControl(const CPlacedControl& control, bool deferred) override { editControl(control, deferred); }
    void HideEditWindow() override { hideEditWindow(); }
    bool IsEditWindowShown() const override;
    wxRect GetEditWindowScreenRect() const override;
    void RunCommand(std::unique_ptr<ICommand> command) override;
    bool IsInputDeviceOpen() const override;
    bool IsOutputDeviceOpen() const override;
    void StartListening() override;
    void StopListening() override;
    void SendTemplate() override;
    bool HasViewMenu() const override;
    int GetViewType() const override;
    bool GetAbbreviateNames() const override;
    bool GetShowCtrlToolTips() const override;

private:
    // CTemplateDocument::IWindow
    void CurrentChanged() override;
    void DocumentChanged() override;
    void ShowNow() override;
    wxWindow* DialogParent() override { return this; }

    // Shows the panel at this zoom and sizes the window to it.
    void ApplyZoom(int percent);
    void WireMenuCommands();
    void OnMenu(int id, std::function<void()> action);
    void RunOnSelection(int id);
    void CompareWith();
    bool PreviewKey(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnCloseWindow(wxCloseEvent& event);

    EditorServices services;
    CTemplateCanvas* canvas = nullptr;
    // Declared before the view, which refers to its templates.
    std::unique_ptr<CTemplateDocument> document;
    std::unique_ptr<CTemplateUI> view;
    std::unique_ptr<CEditWindowHost> editHost;
    std::unique_ptr<CDeviceController> device;
    std::unique_ptr<CTemplateMenu> templateMenu;
    std::unique_ptr<CMainMenus> menus;
    // From the moment the menus get their items after the window was shown
    // until the toolkit has taken their shortcuts in (its next idle pass).
    bool shortcutsPending = false;
    CControlsTableWindow* controlsTable = nullptr;  // a child window
    wxWeakRef<CLibraryWindow> libraryWindow;
    // A Ctrl+Tab cycle through the templates is under way.
    bool switching = false;
    // Why the panel is not shown at the stored zoom (empty when it is).
    wxString zoomNotice;
};
