#include "app/MainFrame.h"

#include <dlfcn.h>

#include <wx/dnd.h>
#include <wx/filename.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <map>

#include "app/AboutDialog.h"
#include "app/ControlsTableWindow.h"
#include "app/DeviceController.h"
#include "app/EditWindowHost.h"
#include "app/PreferencesDialog.h"
#include "app/Settings.h"
#include "app/TemplateMenu.h"
#include "editing/ClipboardCommands.h"
#include "editing/ControlClipboard.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateDiff.h"
#include "ui/DifferenceWords.h"
#include "ui/TemplateCanvas.h"

namespace {
// A menu that opened before it had items keeps its empty size in GTK when
// they come in, and wxWidgets cannot open a menu of the bar: it is closed
// and opened again through GTK, looked up by name (loaded anyway).
void ReopenWithItems(wxMenuBar& bar, size_t index) {
#ifdef __WXGTK__
    using Cancel = void (*)(void*);
    using Select = void (*)(void*, void*);
    auto cancel = reinterpret_cast<Cancel>(dlsym(RTLD_DEFAULT, "gtk_menu_shell_cancel"));
    auto select = reinterpret_cast<Select>(dlsym(RTLD_DEFAULT, "gtk_menu_shell_select_item"));
    wxMenu* menu = index < bar.GetMenuCount() ? bar.GetMenu(index) : nullptr;
    if (!cancel || !select || !menu || !menu->m_owner) return;
    cancel(bar.m_widget);
    select(bar.m_widget, menu->m_owner);
#else
    (void)bar;
    (void)index;
#endif
}

const char* const kWebsite = "https://www.quorvane.com/";
const char* const kSupport = "https://www.quorvane.com/support/";

// Opens ".syx" files dropped on the panel.
class CSyxFileDropTarget : public wxFileDropTarget {
public:
    explicit CSyxFileDropTarget(CTemplateDocument& document) : document(document) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& paths) override { return document.DropFiles(paths); }

private:
    CTemplateDocument& document;
};
}  // namespace

CMainFrame::CMainFrame(const EditorServices& services, PanelViewMaker makeView, CMainMenus::Items menuItems)
    : wxFrame(nullptr, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
              wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxCAPTION | wxCLIP_CHILDREN),
      services(services) {
    const wxString iconPath = services.programDirectory + "/images/icon.png";
    // Decoded by the PNG reader the panel uses: the toolkit's own image
    // loading would first look the file's type up in the MIME database.
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    const wxImage iconImage = wxFileName::FileExists(iconPath) ? wxImage(iconPath, wxBITMAP_TYPE_PNG) : wxImage();
    if (iconImage.IsOk()) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(iconImage));
        SetIcon(icon);
    }

    canvas = new CTemplateCanvas(this);
    canvas->SetBackgroundColour(wxColour(170, 170, 170));
    SetToolTip("\n");
    SetToolTip("");
    EditorView::set(this);

    document = std::make_unique<CTemplateDocument>(static_cast<CTemplateDocument::IWindow&>(*this), services);
    canvas->SetDropTarget(new CSyxFileDropTarget(*document));
    view = makeView(*this);
    canvas->SetView(view.get());
    editHost = std::make_unique<CEditWindowHost>(*this, services, *document, *canvas, *this);
    device = std::make_unique<CDeviceController>(*this, services, *document, *canvas, *editHost);
    templateMenu = std::make_unique<CTemplateMenu>(*this, services, *document, *canvas, *editHost);
    menus = std::make_unique<CMainMenus>(
        *this, CMainMenus::Sources{services.profile, services.settings, *document, services.midi, *canvas, *editHost},
        menuItems);
    CreateStatusBar(5);
    updateTitle();
    ShowStoredZoom();

    std::function<void()> firstPaint = services.firstPaint;
    if (menuItems == CMainMenus::Items::Later) {
        // Once the paint is on the screen (the next pass of the event loop).
        firstPaint = [this, then = std::move(firstPaint)] {
            CallAfter([this] { AddMenuItems(); });
            if (then) then();
        };
        // A key goes to the window before the toolkit looks for a menu
        // shortcut; until the toolkit has taken the new items' shortcuts in,
        // it would look in a table made without them, so the key runs its
        // item here.
        Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
            if (!menus->HasItems() || shortcutsPending) {
                AddMenuItems();
                if (wxMenuItem* item = menus->ItemForKey(event)) {
                    RunMenuItem(*item);
                    return;
                }
            }
            event.Skip();
        });
        // A menu opened with the pointer in that moment is opening empty;
        // the items are added once it is open, and it opens again with them.
        Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& event) {
            event.Skip();
            wxMenuBar* bar = GetMenuBar();
            if (menus->HasItems() || !bar) return;
            for (size_t i = 0; i < bar->GetMenuCount(); ++i)
                if (bar->GetMenu(i) == event.GetMenu())
                    CallAfter([this, i] {
                        AddMenuItems();
                        ReopenWithItems(*GetMenuBar(), i);
                    });
        });
    }
    canvas->SetHooks({services.wakeIdle, [this](wxKeyEvent& event) { return PreviewKey(event); }, firstPaint});
    canvas->Bind(wxEVT_KEY_UP, &CMainFrame::OnKeyUp, this);
    Bind(wxEVT_CONTEXT_MENU, &CMainFrame::OnContextMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnCloseWindow, this);
    WireMenuCommands();
    canvas->SetFocus();
}

CMainFrame::~CMainFrame() {
    // The table reads the templates: it goes before them.
    delete controlsTable;
    controlsTable = nullptr;
    if (EditorView::get() == this) EditorView::set(nullptr);
    if (ModelHooks::get().observers == this) ModelHooks::get().observers = nullptr;
    device.reset();
    menus.reset();
    templateMenu.reset();
    editHost.reset();
    // The view refers to the current template: it goes first.
    canvas->SetView(nullptr);
    view.reset();
    document.reset();
}

CEditControlDialog* CMainFrame::EditWindow() const { return editHost->Window(); }

void CMainFrame::OnMenu(int id, std::function<void()> action) {
    Bind(wxEVT_MENU, [action = std::move(action)](wxCommandEvent&) { action(); }, id);
}

void CMainFrame::RunMenuCommand(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CMainFrame::AddMenuItems() {
    if (menus->HasItems()) return;
    menus->AddItems();
    // The toolkit renews its table of shortcuts when idle, before this
    // program's idle work (a lower priority).
    shortcutsPending = true;
    CallAfter([this] { shortcutsPending = false; });
}

void CMainFrame::RunMenuItem(wxMenuItem& item) {
    // Its state first, as when its menu opens.
    wxUpdateUIEvent update(item.GetId());
    update.SetEventObject(this);
    ProcessWindowEvent(update);
    if (update.GetSetEnabled() && !update.GetEnabled()) return;
    if (update.GetSetChecked()) item.Check(update.GetChecked());
    wxCommandEvent event(wxEVT_MENU, item.GetId());
    event.SetEventObject(this);
    if (item.IsCheckable()) {
        item.Check(!item.IsChecked());
        event.SetInt(item.IsChecked());
    }
    ProcessWindowEvent(event);
}

void CMainFrame::WireMenuCommands() {
    CTemplateDocument& doc = *document;
    // File
    OnMenu(MenuId::New, [this, &doc] {
        doc.NewTemplate();
        RunMenuCommand(MenuId::TemplateSettings);
    });
    OnMenu(MenuId::Open, [&doc] { doc.OpenTemplate(); });
    OnMenu(MenuId::Close, [&doc] { doc.closeCurrentTemplate(); });
    OnMenu(MenuId::CompareWith, [this] { CompareWith(); });
    OnMenu(MenuId::Save, [&doc] { doc.SaveTemplate(); });
    OnMenu(MenuId::SaveAs, [&doc] { doc.SaveTemplateAs(); });
    OnMenu(MenuId::ImportControls, [&doc] { doc.ImportControls(); });
    OnMenu(MenuId::ImportPluginNames, [&doc] { doc.ImportPluginNames(); });
    for (int id = MenuId::FirstRecent; id <= MenuId::LastRecent; ++id)
        OnMenu(id, [this, &doc, id] { doc.openFile(services.settings.recentFile(id - MenuId::FirstRecent), true); });
    OnMenu(MenuId::Exit, [this] { Close(); });
    // Edit
    for (int id : {MenuId::Cut, MenuId::Copy, MenuId::Paste, MenuId::Delete})
        OnMenu(id, [this, id] { RunOnSelection(id); });
    for (int id : {MenuId::Undo, MenuId::Redo})
        OnMenu(id, [this, &doc, id] {
            if (!doc.currentTemplate()) return;
            view->ClearSelection();
            if (id == MenuId::Undo) doc.Undo();
            else doc.Redo();
            refreshControlTexts();
            requestRepaint();
        });
    OnMenu(MenuId::EditSelection, [this, &doc] {
        if (doc.currentTemplate()) view->EditSelection();
    });
    OnMenu(MenuId::GetInfo, [this, &doc] {
        if (doc.currentTemplate() && !view->GetSelection().empty())
            wxMessageBox(view->SelectionInfoText(), "Selection info", wxOK | wxCENTRE, this);
    });
    OnMenu(MenuId::SelectAll, [this, &doc] {
        if (!doc.currentTemplate()) return;
        view->SelectAll();
        requestRepaint();
    });
    OnMenu(MenuId::Preferences, [this] {
        hideEditWindow();
        CPreferencesDialog prefs(this, services);
        if (prefs.Loaded()) prefs.ShowModal();
        requestRepaint();
    });
    // View
    for (int zoom : {100, 150, 200})
        OnMenu(zoom == 100 ? MenuId::Zoom100 : zoom == 150 ? MenuId::Zoom150 : MenuId::Zoom200,
               [this, zoom] {
                   if (zoom == 100 || canvas->ZoomFitsScreen(zoom)) SetZoom(zoom);
               });
    OnMenu(MenuId::ControlsTable, [this] {
        if (!controlsTable)
            controlsTable = new CControlsTableWindow(this, services, *document, *canvas, *editHost, *this);
        controlsTable->Open();
    });
    for (int id = MenuId::ViewInfo; id <= MenuId::ViewChannel; ++id)
        OnMenu(id, [this, id] {
            services.settings.viewType = id - MenuId::ViewInfo;
            requestRepaint();
        });
    // Device
    CDeviceController& dev = *device;
    OnMenu(MenuId::SelectMidiDevice, [&dev] { dev.SelectMidiDeviceCommand(); });
    OnMenu(MenuId::Listen, [&dev] { dev.ListenCommand(); });
    OnMenu(MenuId::Upload, [&dev] { dev.UploadCommand(); });
    OnMenu(MenuId::MidiMonitor, [&dev] { dev.MidiMonitorCommand(); });
    OnMenu(MenuId::BulkDumps, [&dev] { dev.BulkDumpsCommand(); });
    OnMenu(MenuId::PatchLibrarian, [&dev] { dev.BulkDumpsCommand(); });
    OnMenu(MenuId::UpdateOS, [&dev] { dev.UpdateOSCommand(); });
    OnMenu(MenuId::Library, [this] { LibraryCommand(); });
    // Template
    CTemplateMenu& tm = *templateMenu;
    OnMenu(MenuId::TemplateSettings, [&tm] { tm.EditTemplateSettings(); });
    OnMenu(MenuId::MidiGroups, [&tm] { tm.EditPortGroups(); });
    OnMenu(MenuId::AudioFX, [this] { view->EditAudioSettings(); });
    Bind(wxEVT_MENU, [&tm](wxCommandEvent& event) { tm.EnableZones(event.IsChecked()); }, MenuId::EnableZones);
    for (int id = MenuId::FirstZone; id <= MenuId::LastZone; ++id)
        OnMenu(id, [this, &tm, &doc, id] {
            hideEditWindow();
            if (doc.currentTemplate() && doc.currentTemplate()->zonesEnabled())
                tm.EditKeyboardZone(id - MenuId::FirstZone);
        });
    for (int id = MenuId::FirstTemplate; id <= MenuId::LastTemplate; ++id)
        OnMenu(id, [&doc, id] { doc.chooseTemplate(id - MenuId::FirstTemplate); });
    // The context menu's imported controls
    Bind(
        wxEVT_MENU,
        [this, &doc](wxCommandEvent& event) {
            CEditorTemplate* current = doc.currentTemplate();
            if (!current || view->GetSelection().empty()) return;
            const CPlacedControl target = *view->GetSelection().front();
            doc.RunCommand(assignImportedCommand(target, *current, event.GetId() - MenuId::FirstImported));
            refreshControlTexts();
            requestRepaint();
        },
        MenuId::FirstImported, MenuId::LastImported);
    // Help
    OnMenu(MenuId::ViewHelp, [this] {
        wxFileName help(services.programDirectory + "/help.html");
        help.MakeAbsolute();
        wxString address = help.GetFullPath();
        address.Replace("\\", "/");
        wxLaunchDefaultBrowser("file://" + address);
    });
    OnMenu(MenuId::Website, [] { wxLaunchDefaultBrowser(kWebsite); });
    OnMenu(MenuId::OnlineSupport, [] { wxLaunchDefaultBrowser(kSupport); });
    OnMenu(MenuId::About, [this] {
        hideEditWindow();
        const IDeviceProfile& profile = services.profile;
        CProductAboutDialog about(this, "About " + wxString::FromUTF8(profile.GetEditorTitle()),
                                  wxString::FromUTF8(profile.GetAboutText()),
                                  services.programDirectory + "/images/signatures.png");
        about.ShowModal();
    });
}

CLibraryWindow* CMainFrame::LibraryCommand() {
    if (!libraryWindow) {
        hideEditWindow();
        libraryWindow = new CLibraryWindow(
            this, services,
            {*document, *device, [this](const CEditorTemplate& other, const wxString& name) {
                 CompareWithTemplate(other, name);
             }});
    }
    libraryWindow->Show();
    libraryWindow->Raise();
    return libraryWindow.get();
}

void CMainFrame::RunOnSelection(int id) {
    CEditorTemplate* current = document->currentTemplate();
    if (!current) return;
    std::vector<CPlacedControl> selection;
    for (const auto& placed : view->GetSelection()) selection.push_back(*placed);
    if (selection.empty()) return;
    switch (id) {
        case MenuId::Cut:
            document->RunCommand(cutCommand(selection));
            hideEditWindow();
            break;
        case MenuId::Copy: copyToClipboard(selection); break;
        case MenuId::Paste:
            if (!canPaste(services.profile.Facts(), CControlClipboard::instance().placed(), selection)) return;
            document->RunCommand(pasteFromClipboard(selection));
            hideEditWindow();
            SetStatus("");
            break;
        case MenuId::Delete:
            document->RunCommand(deleteCommand(selection));
            hideEditWindow();
            break;
        default: break;
    }
    refreshControlTexts();
    requestRepaint();
}

void CMainFrame::SetZoom(int percent) {
    ApplyZoom(percent);
    services.settings.panelZoom = view->GetZoom();
}

void CMainFrame::ShowStoredZoom() {
    const int stored = services.settings.panelZoom;
    int shown = CTemplateUI::IsZoomPercent(stored) ? stored : 100;
    while (shown > 100 && !canvas->ZoomFitsScreen(shown)) shown = shown == 200 ? 150 : 100;
    ApplyZoom(shown);
    zoomNotice.clear();
    if (shown != stored && CTemplateUI::IsZoomPercent(stored))
        zoomNotice = wxString::Format("Zoom %d%% does not fit this screen: the panel is shown at %d%%", stored, shown);
    RepeatZoomNotice();
}

void CMainFrame::ApplyZoom(int percent) {
    if (!view->SetZoom(percent)) view->SetZoom(100);
    const wxSize panel = view->GetZoomedSize();
    // The first field takes what the four fixed ones leave.
    const int widths[5] = {panel.GetWidth() - 306, 74, 74, 74, 84};
    if (GetStatusBar()) SetStatusWidths(5, widths);
    SetClientSize(panel);
    canvas->SetSize(panel);
    requestRepaint();
}

void CMainFrame::updateTitle() {
    const CEditorTemplate* current = document->currentTemplate();
    wxString title = wxString::FromUTF8(services.profile.GetEditorTitle()) + " - ";
    if (current)
        title += CTemplateDocument::templateFileName(*current) + (current->isModified() ? "*" : "");
    else
        title += "No Template Loaded";
    SetTitle(title);
}

void CMainFrame::refreshControlTexts() {
    view->RefreshControlTexts();
    if (!document->currentTemplate()) {
        SetStatus("");
        canvas->UnsetToolTip();
    }
}

// --- Compare with -----------------------------------------------------------------

void CMainFrame::CompareWith() {
    if (!document->currentTemplate()) return;
    wxString path;
    if (document->chooseFile(path, false, "SysEx Dump (*.syx)|*.syx"))
        CompareWithFile(path);
    else
        SetStatus("Compare cancelled");
}

void CMainFrame::CompareWithFile(const wxString& path) {
    if (!dynamic_cast<const CTaNGRAQVTemplate*>(document->currentTemplate())) return;
    const std::unique_ptr<CEditorTemplate> other = document->ReadForComparison(path);
    // It names the file without its folder, to leave room for the differences.
    if (other) CompareWithTemplate(*other, wxFileName(path).GetFullName());
}

void CMainFrame::CompareWithTemplate(const CEditorTemplate& other, const wxString& name) {
    const auto* mine = dynamic_cast<const CTaNGRAQVTemplate*>(document->currentTemplate());
    const auto* theirs = dynamic_cast<const CTaNGRAQVTemplate*>(&other);
    if (!mine || !theirs) return;
    const TemplateDifference diff = compareTemplates(*mine, *theirs);
    std::map<int, wxString> notes;
    int shown = 0;
    for (const ControlDifference& control : diff.controls) {
        wxString lines;
        const CBaseControlState* state = document->currentTemplate()->controlAt(control.index);
        const int type = state ? state->getControlType() : ControlType::Disabled;
        for (const FieldDifference& field : control.fields)
            lines += (lines.empty() ? "" : "\n") + DifferenceInWords(field, services.profile, type);
        notes[control.index] = lines;
        if (view->FindButton(control.index)) ++shown;
    }
    view->SetComparisonMarks(std::move(notes));
    refreshControlTexts();
    requestRepaint();
    // The status line comes last: refreshing the control texts rewrites it.
    wxString status;
    if (diff.empty()) {
        status = "No differences from " + name;
    } else {
        status = wxString::Format("Compared with %s: %d marked control(s) differ", name, shown);
        const int hidden = static_cast<int>(diff.controls.size()) - shown;
        if (hidden > 0) status += wxString::Format(", %d imported control(s) differ", hidden);
        // All of them: the status bar cuts a long line short and then shows
        // the whole of it as its tool tip.
        wxString wide;
        for (const FieldDifference& field : diff.templateFields)
            wide += (wide.empty() ? "" : "; ") + DifferenceInWords(field, services.profile);
        if (!wide.empty()) status += "; template: " + wide;
    }
    SetStatus(status);
}

// --- Keys, context menu, closing ------------------------------------------------------

bool CMainFrame::PreviewKey(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_TAB && event.ControlDown()) {
        // Ctrl+Tab steps through the templates; releasing Ctrl keeps the one reached.
        if (document->templateCount() >= 2) {
            switching = true;
            document->selectTemplate((document->currentIndex() + 1) % document->templateCount());
        }
        return true;
    }
    // While the edit window is shown the panel leaves the keys alone.
    if (IsEditWindowShown()) {
        // F6 goes back to the edit window, as F6 there comes to the panel.
        if (event.GetKeyCode() == WXK_F6) EditWindow()->TakeFocus();
        else event.Skip();
        return true;
    }
    return false;
}

void CMainFrame::OnKeyUp(wxKeyEvent& event) {
    event.Skip();
    if (event.GetKeyCode() == WXK_CONTROL && switching) {
        switching = false;
        document->moveCurrentToFront();
    }
}

void CMainFrame::OnContextMenu(wxContextMenuEvent&) {
    if (!document->currentTemplate()) return;
    hideEditWindow();
    if (std::unique_ptr<wxMenu> menu = menus->BuildContextMenu()) canvas->PopupMenu(menu.get());
}

void CMainFrame::OnCloseWindow(wxCloseEvent& event) {
    if (!document->CloseAllAsking() && event.CanVeto()) {
        event.Veto();
        return;
    }
    Destroy();
}

// --- Idle processing -------------------------------------------------------------------

void CMainFrame::idleWork() {
    device->IdleWork();
    editHost->IdleWork();
    canvas->IdleWork();
    if (controlsTable) controlsTable->Sync();
}

bool CMainFrame::NeedsIdleWork() const {
    return canvas->NeedsIdleWork() || editHost->NeedsIdleWork() || device->NeedsIdleWork();
}

void CMainFrame::ReleaseOutside() { canvas->ReleaseOutside(); }

// --- The document's window ------------------------------------------------------------

void CMainFrame::CurrentChanged() {
    view->SetTemplate(document->currentTemplate());
    // Before the template it showed can go.
    if (controlsTable) controlsTable->Sync();
    DocumentChanged();
    refreshControlTexts();
    canvas->RepaintIfRequested();
}

void CMainFrame::DocumentChanged() {
    if (menus) menus->SyncTemplateList();
    updateTitle();
    requestRepaint();
}

void CMainFrame::ShowNow() {
    canvas->Refresh(false);
    canvas->Update();
}

// --- The editing engine's and the panel's calls ---------------------------------------

bool CMainFrame::selectControl(const CPlacedControl& control, bool add) {
    const CEditorTemplate* current = document->currentTemplate();
    if (!current || current->controlAt(control.GetIndex()) != control.GetState()) return false;
    const bool shown = view->SelectControl(control.GetIndex(), add);
    if (shown) requestRepaint();
    return shown;
}

void CMainFrame::editControl(const CPlacedControl& control, bool deferred) { editHost->Edit(control, deferred); }
void CMainFrame::hideEditWindow() { editHost->Hide(); }
void CMainFrame::requestRepaint() { canvas->RequestRepaint(); }
void CMainFrame::focusMainWindow() { canvas->SetFocus(); }
void CMainFrame::notifyObservers() { editHost->NotifyObservers(); }
void CMainFrame::notifySnapshotObserver() { editHost->NotifySnapshotObserver(); }

wxWindow* CMainFrame::GetPanelWindow() { return canvas; }
bool CMainFrame::IsEditWindowShown() const { return editHost && editHost->IsShown(); }
wxRect CMainFrame::GetEditWindowScreenRect() const { return editHost ? editHost->ScreenRect() : wxRect(); }

void CMainFrame::RunCommand(std::unique_ptr<ICommand> command) {
    document->RunCommand(std::move(command));
    refreshControlTexts();
    requestRepaint();
}

bool CMainFrame::IsInputDeviceOpen() const { return device->IsInputOpen(); }
bool CMainFrame::IsOutputDeviceOpen() const { return device->IsOutputOpen(); }
void CMainFrame::StartListening() { device->ListenCommand(); }
void CMainFrame::StopListening() { device->StopListening(true); }
void CMainFrame::SendTemplate() { device->UploadCommand(); }
bool CMainFrame::HasViewMenu() const { return services.profile.HasViewMenu(); }
int CMainFrame::GetViewType() const { return HasViewMenu() ? services.settings.viewType : 3; }
bool CMainFrame::GetAbbreviateNames() const { return services.settings.abbreviateNames == 1; }
bool CMainFrame::GetShowCtrlToolTips() const { return services.settings.showCtrlToolTips == 1; }
