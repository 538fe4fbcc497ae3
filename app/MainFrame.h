#pragma once
// The editor's only top-level window: the open templates, the panel view of
// the current one, the menus, the status bar and the control edit window.
#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/dnd.h>
#include <wx/frame.h>
#include <wx/longlong.h>
#include <wx/weakref.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "editing/EditorView.h"
#include "editing/PlacedControl.h"
#include "midi/MidiTypes.h"
#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"
#include "ui/TemplateUI.h"

class CEditorTemplate;
class CMessageForwarder;
class IDeviceProfile;
class IObserver;
class wxMenu;
class wxFileDialog;

// Menu identifiers of the main window.
namespace MenuId {
enum : int {
    Exit = 2, Open = 3, ImportControls = 4, Save = 5, SaveAs = 6, Close = 8, New = 10, ImportPluginNames = 12,
    RecentFiles = 13, FirstRecent = 14, LastRecent = 21,
    Cut = 22, Copy = 23, Paste = 24, Delete = 25, Undo = 26, Redo = 27, EditSelection = 28, GetInfo = 29,
    SelectAll = 30, Listen = 31, Upload = 32, SelectMidiDevice = 33, BulkDumps = 34, PatchLibrarian = 35,
    UpdateOS = 36, ViewHelp = 37, Website = 38, OnlineSupport = 39,
    TemplateSettings = 40, MidiGroups = 41, AudioFX = 42, EnableZones = 43, EditZone = 44, FirstZone = 45,
    LastZone = 48, FirstTemplate = 49, LastTemplate = 113, ViewInfo = 114, ViewName = 115, ViewChannel = 116,
    ImportedControls = 117, FirstImported = 118, LastImported = 630,
    CompareWith = 631,
    Zoom100 = 720, Zoom150 = 721, Zoom200 = 722,
    About = 5013, Preferences = 5019,
    MidiMonitor = 650
};
}

class CMainFrame : public wxFrame,
                   public IProgressListener,
                   public IMessageListener,
                   public ISysExListener,
                   public ITemplateUIHost,
                   public IEditorView,
                   public IEditWindowOwner,
                   public IEditPanelHost {
public:
    static constexpr int kImportedPerColumn = 49;
    static constexpr int kMaxImportedItems = 513;
    static constexpr int kMaxTemplateItems = MenuId::LastTemplate - MenuId::FirstTemplate + 1;

    // Makes the device's panel view for this window.
    using PanelViewMaker = std::function<std::unique_ptr<CTemplateUI>(ITemplateUIHost& host)>;
    // `profile` answers every device question; it outlives the window.
    CMainFrame(const IDeviceProfile& profile, PanelViewMaker makeView);
    ~CMainFrame() override;
    const IDeviceProfile& Profile() const { return profile; }
    // Icon, drop target, panel view, menus, status bar, edit window.
    bool Initialise();

    // --- Open templates ------------------------------------------------------
    void addTemplate(std::unique_ptr<CEditorTemplate> tpl);
    void selectTemplate(int index);
    void reselectCurrent();
    void moveCurrentToFront();
    CEditorTemplate* currentTemplate() const { return current; }
    int currentIndex() const { return currentIdx; }
    int templateCount() const { return static_cast<int>(templates.size()); }
    CEditorTemplate* templateAt(int i) const;
    // The name a template goes by: its file path, or the suggested file name.
    static wxString templateFileName(const CEditorTemplate& tpl);

    // --- Menus, title, repaint ---------------------------------------------
    void updateTitle() override;
    void updateFileMenu();
    void updateEditMenu(bool canUndo, bool canRedo) override;
    void UpdateEditMenuFromHistory() override;
    void updateDeviceMenu();
    void updateTemplateMenu() override;
    void updateViewMenu();
    // Shows the panel at 100, 150 or 200 per cent (anything else: 100), sizes
    // the window to it and remembers the choice in the settings.
    void SetZoom(int percent);
    void setListenMark(bool on);
    void requestRepaint() override;
    void repaintIfRequested();
    bool IsRepaintRequested() const { return repaintRequested; }
    void deferEdit(const CPlacedControl& control);
    void idleWork();
    // Whether the next idle pass has anything to do (animation, a drag that
    // may end outside the window, a pending repaint or edit).
    bool NeedsIdleWork() const;
    // A left-button release at the pointer, as when the application loses focus.
    void ReleaseOutside();
    void SetStatus(const wxString& text) { SetStatusText(text, 0); }
    // The status text and the panel's tool tip describe the controls as they are now.
    void refreshControlTexts();

    // --- File operations ------------------------------------------------------
    void openFile(const wxString& path, bool interactive);
    void closeCurrentTemplate();
    bool chooseFile(wxString& path, bool forSaving, const wxString& filter);
    // Runs a file dialog and gives the chosen path; replaced by tests, which
    // cannot read a choice back from the platform's dialog without showing it.
    using FileDialogRunner = std::function<bool(wxFileDialog& dialog, wxString& chosen)>;
    static void SetFileDialogRunner(FileDialogRunner runner);
    void NewTemplate();
    void OpenTemplate();
    void ImportControls();
    // File > Import Names from Plug-in: a new template named after a plug-in's parameters.
    void ImportPluginNames();
    void SaveTemplate();
    void SaveTemplateAs();
    // File > Compare with...: marks the controls of the current template that
    // differ from the template in a file (opened as Open opens it).
    void CompareWith();
    void CompareWithFile(const wxString& path);
    static bool isFileNameChar(wxChar c);
    // The drop rule: every path an existing file ending exactly in "syx".
    static bool AcceptsDrop(const wxArrayString& paths);
    bool DropFiles(const wxArrayString& paths);

    // --- Commands the welcome dialog and the panel run -----------------------
    void ListenCommand();
    void UploadCommand();
    void SelectMidiDeviceCommand();
    void BulkDumpsCommand();
    void UpdateOSCommand();
    // Device > MIDI Monitor: opens the monitor window, or brings it to the front.
    wxFrame* MidiMonitorCommand();
    wxFrame* MidiMonitorWindow() const { return monitorWindow.get(); }
    void ViewHelpCommand();
    void ShowImportedControlsMenu();
    // The context menu that would pop up now (null when none); for the tests.
    std::unique_ptr<wxMenu> BuildContextMenu();

    // --- Edit window and observers --------------------------------------------
    CEditControlDialog* EditWindow() const { return editWindow; }
    CTemplateUI* View() const override { return view.get(); }
    wxWindow* Canvas() const { return canvas; }
    void AddObserver(IObserver* observer) override;
    void SetSnapshotObserver(IObserver* observer) override { snapshotObserver = observer; }
    void ClearObservers() override;
    const std::vector<IObserver*>& Observers() const { return observers; }
    bool StoredEditWindowPosition(wxPoint& at) const override;
    void StoreEditWindowPosition(const wxPoint& at) override;

    // ITemplateUIHost
    wxWindow* GetPanelWindow() override { return canvas; }
    void SetPanelStatusText(const wxString& text) override { SetStatus(text); }
    void EditControl(const CPlacedControl& control, bool deferred) override { editControl(control, deferred); }
    void HideEditWindow() override { hideEditWindow(); }
    bool IsEditWindowShown() const override;
    wxRect GetEditWindowScreenRect() const override;
    void RunCommand(std::unique_ptr<ICommand> command) override;
    bool IsInputDeviceOpen() const override;
    bool IsOutputDeviceOpen() const override;
    void StartListening() override { ListenCommand(); }
    void StopListening() override { stopListening(true); }
    void SendTemplate() override { UploadCommand(); }
    bool HasViewMenu() const override;
    int GetViewType() const override;
    bool GetAbbreviateNames() const override;
    bool GetShowCtrlToolTips() const override;

    // IProgressListener, IMessageListener, ISysExListener (template transfer)
    void OnProgress() override;
    void OnWaiting() override {}
    void OnComplete() override;
    void OnFailed() override;
    void OnMidiMessage(uint8_t status, int data1, int data2) override;
    void OnSysExReceived(const MidiBytes& bytes) override;
    void OnSysExAborted() override;
    void stopListening(bool withMessage);
    // IEditPanelHost
    const IDeviceProfile& PanelProfile() const override;
    wxString PortCaption(int port) const override;
    void RunPanelCommand(std::unique_ptr<ICommand> command) override;
    const CEditorTemplate* PanelTemplate() const override { return current; }
    void AddPanelObserver(IObserver* observer) override { AddObserver(observer); }
    void SetPanelSnapshotObserver(IObserver* observer) override { SetSnapshotObserver(observer); }
    bool PanelAutoComplete() const override;
    bool StartMidiInput(MidiReceiver receiver) override;
    void StopMidiInput() override;
    void SetPanelStatus(const wxString& text) override { SetStatus(text); }
    bool IsLearning() const { return learnInput != nullptr; }

    // The template dialogs of the Template menu; each shows nothing when its
    // layout is missing (the error has been logged).
    void EditTemplateSettings();
    void EditPortGroups();
    void EditKeyboardZone(int zone);

    // IEditorView
    bool selectControl(const CPlacedControl& control, bool add) override;
    void editControl(const CPlacedControl& control, bool deferred) override;
    void hideEditWindow() override;
    void focusMainWindow() override;
    void notifyObservers() override;
    void notifySnapshotObserver() override;

private:
    void BuildMenuBar();
    std::vector<CPlacedControl> Selection() const;
    long MillisSinceTick();
    void RunOnSelection(int id);

    void OnMenu(wxCommandEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnPanelMouse(wxMouseEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnMouseAny(wxMouseEvent& event);
    void OnCloseWindow(wxCloseEvent& event);

    const IDeviceProfile& profile;
    PanelViewMaker makeView;
    IObserver* snapshotObserver = nullptr;
    std::vector<IObserver*> observers;
    wxBitmap backBuffer;
    wxBitmap zoomScratch;
    // The edit window's MIDI learn: the input forwarded while it is on, and
    // the last forwarder, kept until the next start (it may end from inside
    // its own call).
    std::unique_ptr<CMessageForwarder> learnInput, retiredInput;
    wxBrush backgroundBrush;
    std::unique_ptr<CTemplateUI> view;
    CEditControlDialog* editWindow = nullptr;
    int currentIdx = -1;
    std::vector<std::unique_ptr<CEditorTemplate>> templates;
    CEditorTemplate* current = nullptr;
    bool switching = false;
    std::unique_ptr<CPlacedControl> pendingEdit;
    bool repaintRequested = true;
    bool leftSeenDown = false;

    // The drawing surface of the client area; the view draws into it.
    wxWindow* canvas = nullptr;
    wxLongLong lastTick;
    int templateMenuEntries = 0;
    bool painted = false;
    wxWeakRef<wxFrame> monitorWindow;
    // The newest incoming message's status texts, not yet shown.
    std::array<wxString, 5> midiStatus;
    bool midiStatusPending = false;
    bool midiStatusKeepFirst = false;
};

// Opens ".syx" files dropped on the main window.
class CSyxFileDropTarget : public wxFileDropTarget {
public:
    explicit CSyxFileDropTarget(CMainFrame* frame) : frame(frame) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& paths) override;

private:
    CMainFrame* frame;
};
