#include "app/MainFrame.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/icon.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <algorithm>

#include "app/AboutDialog.h"
#include "app/AppTransferLink.h"
#include "app/BulkDumpDialog.h"
#include "ui/EditControlDialog.h"
#include "ui/TemplateDialogs.h"
#include "model/DeviceProfile.h"
#include "model/TemplateParts.h"
#include "app/EditorApp.h"
#include "ui/Observer.h"
#include "app/PreferencesDialog.h"
#include "app/UpdateOSDialog.h"
#include "app/MidiDialogs.h"
#include "app/MessageForwarder.h"
#include "app/MidiMonitorWindow.h"
#include "app/Settings.h"
#include "editing/ClipboardCommands.h"
#include "editing/ControlClipboard.h"
#include "editing/EditMenu.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/DeviceKind.h"
#include "model/ModelHooks.h"
#include "model/OsVersion.h"
#include "model/TemplateFile.h"

namespace {
const char* const kWebsite = "https://www.quorvane.com/";
const char* const kSupport = "https://www.quorvane.com/support/";

// Menu labels show "&" only when doubled.
wxString menuText(const wxString& text) {
    wxString escaped = text;
    escaped.Replace("&", "&&");
    return escaped;
}

// The client area: a plain window the frame draws into and takes the
// pointer and keys from.
class CPanelSurface : public wxWindow {
public:
    explicit CPanelSurface(wxWindow* parent)
        : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
    }
    bool AcceptsFocus() const override { return true; }
};
}  // namespace

CMainFrame::CMainFrame(const IDeviceProfile& profile, PanelViewMaker makeView)
    : wxFrame(nullptr, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
              wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxCAPTION | wxCLIP_CHILDREN),
      profile(profile),
      makeView(std::move(makeView)),
      backgroundBrush(wxColour(170, 170, 170)) {}

CMainFrame::~CMainFrame() {
    learnInput.reset();
    retiredInput.reset();
    CEditControlDialog::SetPanelBuilder(nullptr);
    if (EditorView::get() == this) EditorView::set(nullptr);
    if (ModelHooks::get().observers == this) ModelHooks::get().observers = nullptr;
    if (CEditorApp* app = EditorAppOrNull()) app->Midi().ForgetListeners(this, this, this);
    // The view refers to the current template: let it go first.
    view.reset();
    current = nullptr;
    templates.clear();
    if (CEditorApp* app = EditorAppOrNull()) app->MainFrameGone(this);
}

bool CMainFrame::Initialise() {
    CEditorApp& app = EditorApp();
    const wxString iconPath = app.ProgramDirectory() + "/images/icon.png";
    if (wxFileName::FileExists(iconPath)) SetIcon(wxIcon(iconPath, wxBITMAP_TYPE_PNG));

    canvas = new CPanelSurface(this);
    canvas->SetDropTarget(new CSyxFileDropTarget(this));
    SetToolTip("\n");
    SetToolTip("");

    EditorView::set(this);
    view = makeView(*this);

    BuildMenuBar();
    updateTemplateMenu();
    updateFileMenu();
    CreateStatusBar(5);
    updateEditMenu(false, false);
    updateTitle();
    updateDeviceMenu();
    SetZoom(Settings().panelZoom);

    editWindow = new CEditControlDialog(this, this);
    CEditControlDialog::SetPanelBuilder([this](CEditControlDialog& window, wxSizer& sizer, const CPlacedControl& c) {
        BuildControlPanels(window, sizer, c, *this);
    });
    editWindow->Hide();
    lastTick = wxGetLocalTimeMillis();

    canvas->Bind(wxEVT_PAINT, &CMainFrame::OnPaint, this);
    for (auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN, wxEVT_MOTION,
                      wxEVT_MOUSEWHEEL})
        canvas->Bind(type, &CMainFrame::OnPanelMouse, this);
    canvas->Bind(wxEVT_LEAVE_WINDOW, &CMainFrame::OnMouseAny, this);
    canvas->Bind(wxEVT_ENTER_WINDOW, &CMainFrame::OnMouseAny, this);
    canvas->Bind(wxEVT_KEY_DOWN, &CMainFrame::OnKeyDown, this);
    canvas->Bind(wxEVT_KEY_UP, &CMainFrame::OnKeyUp, this);
    Bind(wxEVT_CONTEXT_MENU, &CMainFrame::OnContextMenu, this);
    Bind(wxEVT_MENU, &CMainFrame::OnMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnCloseWindow, this);
    canvas->SetFocus();
    return true;
}

void CMainFrame::BuildMenuBar() {
    auto* file = new wxMenu;
    file->Append(MenuId::New, "&New\tCtrl+N", "Create a new empty template");
    file->Append(MenuId::Open, "&Open...\tCtrl+O", "Open file...");
    file->Append(MenuId::Close, "&Close", "Close current template");
    file->Append(MenuId::CompareWith, "Co&mpare with...", "Mark the controls that differ from another template file");
    file->AppendSeparator();
    file->Append(MenuId::Save, "&Save\tCtrl+S", "Save file");
    file->Append(MenuId::SaveAs, "S&ave As...\tCtrl+Shift+S", "Save file as...");
    file->AppendSeparator();
    file->Append(MenuId::ImportControls, "&Import Controls from Template...\tCtrl+I",
                 "Import controls from another template");
    file->Append(MenuId::ImportPluginNames, "Import Names from &Plug-in...\tCtrl+Shift+I",
                 "Import parameter names from a plug-in");
    file->AppendSeparator();
    file->AppendSubMenu(new wxMenu, "Recent files...", "")->SetId(MenuId::RecentFiles);
    file->AppendSeparator();
    file->Append(MenuId::Exit, "E&xit\t", "Quit this program");

    auto* edit = new wxMenu;
    edit->Append(MenuId::Undo, "&Undo\tCtrl+Z", "Undo");
    edit->Append(MenuId::Redo, wxString("&Redo\t") + "Ctrl+Y", "Redo");
    edit->AppendSeparator();
    edit->Append(MenuId::Cut, "Cu&t\tCtrl+X", "Cut");
    edit->Append(MenuId::Copy, "&Copy\tCtrl+C", "Copy");
    edit->Append(MenuId::Paste, "&Paste\tCtrl+V", "Paste");
    edit->Append(MenuId::Delete, "&Delete\tDel", "Delete");
    edit->AppendSeparator();
    edit->Append(MenuId::SelectAll, "Select &All\tCtrl+A", "Select All");
    // Ctrl+G belongs to Template > MIDI Groups; Ctrl+I to importing controls.
    edit->Append(MenuId::GetInfo, "&Get Info...\tCtrl+Shift+G", "Info on selected control(s)");
    edit->AppendSeparator();
    edit->Append(MenuId::Preferences, "&Preferences...\tCtrl+P", "Edit preferences");

    auto* viewMenu = new wxMenu;
    if (profile.HasViewMenu()) {
        viewMenu->AppendCheckItem(MenuId::ViewInfo, "&Info", "Display type-specific info under each control");
        viewMenu->AppendCheckItem(MenuId::ViewName, "&Name", "Display name under each control");
        viewMenu->AppendCheckItem(MenuId::ViewChannel, "&MIDI channel",
                                  "Display MIDI channel / MMC device under each control");
        viewMenu->AppendSeparator();
    }
    // Every device can enlarge its panel.
    viewMenu->AppendRadioItem(MenuId::Zoom100, "Zoom &100%", "Show the panel at its own size");
    viewMenu->AppendRadioItem(MenuId::Zoom150, "Zoom 1&50%", "Show the panel one and a half times as large");
    viewMenu->AppendRadioItem(MenuId::Zoom200, "Zoom &200%", "Show the panel twice as large");

    auto* device = new wxMenu;
    device->Append(MenuId::SelectMidiDevice, "&Select MIDI input/output device...",
                   "Choose input and output MIDI devices");
    device->AppendSeparator();
    device->AppendCheckItem(MenuId::Listen, "&Listen for template dump\tCtrl+L",
                            "Listen for a template dump from the hardware");
    device->Append(MenuId::Upload, "&Upload template\tCtrl+U", "Send a template dump to the hardware");
    device->Append(MenuId::MidiMonitor, "MIDI &Monitor", "Show the messages arriving on the MIDI input");
    device->AppendSeparator();
    if (profile.HasBulkDumps()) device->Append(MenuId::BulkDumps, "&Bulk dumps...\tCtrl+B", "Dump multiple templates");
    if (profile.HasPatchLibrarian())
        device->Append(MenuId::PatchLibrarian, "&Patch Librarian...\t", "Manage patches and banks");
    if (profile.HasOSUpdate()) {
        device->AppendSeparator();
        device->Append(MenuId::UpdateOS, "Update &OS...", "Update the hardware operating system");
    }

    auto* templateMenu = new wxMenu;

    auto* help = new wxMenu;
    help->Append(MenuId::ViewHelp, "&View help...\t", "View documentation");
    help->Append(MenuId::Website, "Visit the Quorvane &website...\t", "Visit the Quorvane website");
    help->Append(MenuId::OnlineSupport, "Online &support...\t", "Visit the online answerbase");
    help->AppendSeparator();
    help->Append(MenuId::About, "&About...\tF1", "Show about dialog");

    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(viewMenu, "&View");
    bar->Append(device, "&Device");
    bar->Append(templateMenu, "&Template");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
}

CEditorTemplate* CMainFrame::templateAt(int i) const {
    if (i < 0 || i >= templateCount()) return nullptr;
    return templates[static_cast<size_t>(i)].get();
}

wxString CMainFrame::templateFileName(const CEditorTemplate& tpl) {
    return wxString::FromUTF8(tpl.suggestedFileName());
}

// --- Open templates ------------------------------------------------------------

void CMainFrame::addTemplate(std::unique_ptr<CEditorTemplate> tpl) {
    templates.insert(templates.begin(), std::move(tpl));
    selectTemplate(0);
}

void CMainFrame::selectTemplate(int index) {
    if (index < 0 || index >= templateCount()) {
        currentIdx = -1;
        current = nullptr;
        if (view) view->SetTemplate(nullptr);
        updateEditMenu(false, false);
    } else {
        currentIdx = index;
        current = templates[static_cast<size_t>(index)].get();
        if (view) view->SetTemplate(current);
        if (current->fromFile) addRecentFile(templateFileName(*current));
        UpdateEditMenuFromHistory();
        if (auto* tools = ModelHooks::get().nameTools)
            for (int i = 0; i <= current->lastIndex(); ++i)
                if (const CBaseControlState* ctl = current->controlAt(i)) tools->addName(ctl->getName());
    }
    updateTemplateMenu();
    updateDeviceMenu();
    updateFileMenu();
    updateTitle();
    refreshControlTexts();
    requestRepaint();
    repaintIfRequested();
}

void CMainFrame::refreshControlTexts() {
    if (view) view->RefreshControlTexts();
    if (!current) {
        SetStatus("");
        if (canvas) canvas->UnsetToolTip();
    }
}

void CMainFrame::reselectCurrent() { selectTemplate(currentIdx); }

void CMainFrame::moveCurrentToFront() {
    if (currentIdx < 0 || currentIdx >= templateCount()) return;
    auto it = templates.begin() + currentIdx;
    std::unique_ptr<CEditorTemplate> tpl = std::move(*it);
    templates.erase(it);
    addTemplate(std::move(tpl));
}

// --- Menus and title ---------------------------------------------------------------

void CMainFrame::updateTitle() {
    wxString title = wxString::FromUTF8(profile.GetEditorTitle()) + " - ";
    if (current)
        title += templateFileName(*current) + (current->isModified() ? "*" : "");
    else
        title += "No Template Loaded";
    SetTitle(title);
}

void CMainFrame::updateFileMenu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    const bool open = current != nullptr;
    for (int id : {MenuId::Save, MenuId::SaveAs, MenuId::Close, MenuId::ImportControls, MenuId::CompareWith})
        bar->Enable(id, open);
    wxMenuItem* recentItem = bar->FindItem(MenuId::RecentFiles);
    if (!recentItem || !recentItem->GetSubMenu()) return;
    wxMenu* recent = recentItem->GetSubMenu();
    while (recent->GetMenuItemCount() > 0) recent->Destroy(recent->FindItemByPosition(0));
    const int n = recentFileCount();
    recentItem->Enable(n > 0);
    for (int i = 0; i < n; ++i) recent->Append(MenuId::FirstRecent + i, menuText(recentFile(i)), "");
}

void CMainFrame::updateEditMenu(bool canUndo, bool canRedo) {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    const EditMenuState s = editMenuState(current, canUndo, canRedo, IsEditWindowShown(), Selection(),
                                          CControlClipboard::instance());
    bar->SetLabel(MenuId::Undo, wxString::FromUTF8(s.undoLabel));
    bar->SetLabel(MenuId::Redo, wxString::FromUTF8(s.redoLabel));
    bar->Enable(MenuId::Undo, s.undo);
    bar->Enable(MenuId::Redo, s.redo);
    bar->Enable(MenuId::Cut, s.cut);
    bar->Enable(MenuId::Copy, s.copy);
    bar->Enable(MenuId::Paste, s.paste);
    bar->Enable(MenuId::Delete, s.del);
    bar->Enable(MenuId::SelectAll, s.selectAll);
    bar->Enable(MenuId::GetInfo, s.getInfo);
}

void CMainFrame::UpdateEditMenuFromHistory() {
    if (current)
        updateEditMenu(canUndo(*current), canRedo(*current));
    else
        updateEditMenu(false, false);
}

void CMainFrame::updateDeviceMenu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    CEditorApp& app = EditorApp();
    const bool output = app.Midi().IsOutputSelected();
    bar->Enable(MenuId::Upload, current != nullptr && output);
    bar->Enable(MenuId::Listen, app.Midi().IsInputSelected());
    bar->Enable(MenuId::SelectMidiDevice, app.Midi().PortCount() > 0);
    if (profile.HasOSUpdate()) bar->Enable(MenuId::UpdateOS, output);
}

void CMainFrame::updateViewMenu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    const int zoom = view ? view->GetZoom() : 100;
    bar->Check(zoom == 200 ? MenuId::Zoom200 : zoom == 150 ? MenuId::Zoom150 : MenuId::Zoom100, true);
    if (!profile.HasViewMenu()) return;
    const int type = Settings().viewType;
    bar->Check(MenuId::ViewInfo, type == 0);
    bar->Check(MenuId::ViewName, type == 1);
    bar->Check(MenuId::ViewChannel, type == 2);
}

void CMainFrame::SetZoom(int percent) {
    if (!view) return;
    if (!view->SetZoom(percent)) view->SetZoom(100);
    Settings().panelZoom = view->GetZoom();
    const wxSize panel = view->GetZoomedSize();
    // The first field takes what the four fixed ones leave.
    const int widths[5] = {panel.GetWidth() - 306, 74, 74, 74, 84};
    if (GetStatusBar()) SetStatusWidths(5, widths);
    SetClientSize(panel);
    canvas->SetSize(panel);
    updateViewMenu();
    requestRepaint();
}

void CMainFrame::setListenMark(bool on) {
    if (wxMenuBar* bar = GetMenuBar()) bar->Check(MenuId::Listen, on);
}

void CMainFrame::updateTemplateMenu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    const int at = bar->FindMenu("Template");
    if (at == wxNOT_FOUND) return;
    wxMenu* menu = bar->GetMenu(static_cast<size_t>(at));

    if (!menu->FindItem(MenuId::TemplateSettings))
        menu->Append(MenuId::TemplateSettings, "Edit Se&ttings...\tCtrl+T", "Edit the settings of the current template");
    if (profile.HasPortGroups() && !menu->FindItem(MenuId::MidiGroups))
        menu->Append(MenuId::MidiGroups, "MIDI &Groups...\tCtrl+G",
                     "Edit the Keyboard and Common MIDI port & channel groups");
    if (profile.HasAudioFXSettings() && !menu->FindItem(MenuId::AudioFX))
        menu->Append(MenuId::AudioFX, "Audio + &FX Settings...\tCtrl+F", "Edit the audio & FX settings");

    if (profile.HasKeyboardZones()) {
        if (!menu->FindItem(MenuId::EnableZones)) {
            menu->AppendSeparator();
            menu->AppendCheckItem(MenuId::EnableZones, "Enable Keyboard &Zones", "Use zones");
        }
        if (!menu->FindItem(MenuId::EditZone)) {
            auto* zones = new wxMenu;
            zones->Append(MenuId::FirstZone, "&1...", "");
            zones->Append(MenuId::FirstZone + 1, "&2...", "");
            zones->Append(MenuId::FirstZone + 2, "&3...", "");
            zones->Append(MenuId::FirstZone + 3, "&4...", "");
            menu->AppendSubMenu(zones, "Edit Keyboard Zone", "")->SetId(MenuId::EditZone);
        }
        const bool zonesOn = current && current->zonesEnabled();
        for (int id = MenuId::FirstZone; id <= MenuId::LastZone; ++id) menu->Enable(id, zonesOn);
        menu->Enable(MenuId::EnableZones, current != nullptr);
        menu->Check(MenuId::EnableZones, zonesOn);
    }

    if (!menu->FindItem(MenuId::FirstTemplate)) menu->AppendSeparator();

    if (current) {
        menu->Enable(MenuId::TemplateSettings, true);
        if (profile.HasPortGroups()) menu->Enable(MenuId::MidiGroups, true);
    } else {
        if (!menu->FindItem(MenuId::FirstTemplate))
            menu->AppendRadioItem(MenuId::FirstTemplate, "No templates loaded", "");
        menu->Enable(MenuId::TemplateSettings, false);
        menu->Enable(MenuId::FirstTemplate, false);
        if (profile.HasPortGroups()) menu->Enable(MenuId::MidiGroups, false);
    }

    const int shown = std::min(templateCount(), kMaxTemplateItems);
    for (int i = 0; i < shown; ++i) {
        const CEditorTemplate& tpl = *templates[static_cast<size_t>(i)];
        // The menu names the file, not its folder.
        wxString label = wxFileName(templateFileName(tpl)).GetFullName();
        if (tpl.isModified()) label += "*";
        const int id = MenuId::FirstTemplate + i;
        wxMenuItem* item = menu->FindItem(id);
        if (!item)
            item = menu->AppendRadioItem(id, menuText(label), "");
        else
            item->SetItemLabel(menuText(label));
        item->Enable(true);
        if (i == currentIdx) item->Check(true);
    }
    // Entries left over from a longer list go; entry 49 stays as the placeholder.
    for (int id = MenuId::FirstTemplate + std::max(shown, 1); id <= MenuId::LastTemplate; ++id)
        if (wxMenuItem* item = menu->FindItem(id)) menu->Destroy(item);
    if (templates.empty())
        if (wxMenuItem* item = menu->FindItem(MenuId::FirstTemplate)) {
            item->SetItemLabel("No templates loaded");
            item->Enable(false);
        }
    templateMenuEntries = shown;
}

void CMainFrame::repaintIfRequested() {
    if (!repaintRequested) return;
    repaintRequested = false;
    if (canvas) canvas->Refresh(false);
}

void CMainFrame::requestRepaint() {
    repaintRequested = true;
    if (CEditorApp* app = EditorAppOrNull()) app->WakeIdle();
}

void CMainFrame::deferEdit(const CPlacedControl& control) {
    pendingEdit = control.Clone();
    if (CEditorApp* app = EditorAppOrNull()) app->WakeIdle();
}

bool CMainFrame::NeedsIdleWork() const {
    if (repaintRequested || pendingEdit || leftSeenDown || midiStatusPending) return true;
    return current && view && (view->GetListenButton().on || view->GetSendButton().on);
}

void CMainFrame::OnMouseAny(wxMouseEvent& event) {
    event.Skip();
    // Pointer activity may need the idle check (leaving, dragging outside).
    if (CEditorApp* app = EditorAppOrNull()) app->WakeIdle();
}

long CMainFrame::MillisSinceTick() {
    const wxLongLong now = wxGetLocalTimeMillis();
    const long elapsed = (now - lastTick).ToLong();
    lastTick = now;
    return elapsed < 0 ? 0 : elapsed;
}

void CMainFrame::idleWork() {
    if (midiStatusPending) {
        midiStatusPending = false;
        wxStatusBar* bar = GetStatusBar();
        for (int i = midiStatusKeepFirst ? 1 : 0; bar && i < static_cast<int>(midiStatus.size()) && i < bar->GetFieldsCount(); ++i)
            if (bar->GetStatusText(i) != midiStatus[static_cast<size_t>(i)]) bar->SetStatusText(midiStatus[static_cast<size_t>(i)], i);
    }
    if (current && view && canvas) {
        const wxMouseState mouse = wxGetMouseState();
        const wxPoint windowPoint = canvas->ScreenToClient(mouse.GetPosition());
        const wxPoint p = view->ToPanel(windowPoint);
        const wxSize size = canvas->GetClientSize();
        const bool inside = windowPoint.x >= 0 && windowPoint.y >= 0 && windowPoint.x < size.GetWidth() &&
                            windowPoint.y < size.GetHeight();
        if (inside) {
            leftSeenDown = mouse.LeftIsDown();
        } else {
            if (view->OnMouseMove(p)) requestRepaint();
            if (leftSeenDown && !mouse.LeftIsDown()) {
                leftSeenDown = false;
                if (view->OnMouseButton(p, false, false, true, false)) {
                    requestRepaint();
                    UpdateEditMenuFromHistory();
                }
            }
        }
        if (view->Tick(MillisSinceTick())) requestRepaint();
    }
    if (pendingEdit) {
        std::unique_ptr<CPlacedControl> pending = std::move(pendingEdit);
        if (editWindow) editWindow->Clear();
        editControl(*pending, false);
    }
    repaintIfRequested();
}

void CMainFrame::ReleaseOutside() {
    if (!current || !view || !canvas) return;
    const wxPoint p = view->ToPanel(canvas->ScreenToClient(wxGetMousePosition()));
    if (view->OnMouseButton(p, false, false, true, false)) {
        requestRepaint();
        UpdateEditMenuFromHistory();
    }
}

// --- Edit window, observers, view host --------------------------------------------------

void CMainFrame::AddObserver(IObserver* observer) {
    if (observer && std::find(observers.begin(), observers.end(), observer) == observers.end())
        observers.push_back(observer);
}

void CMainFrame::ClearObservers() {
    observers.clear();
    snapshotObserver = nullptr;
}

void CMainFrame::notifyObservers() {
    // A panel may drop out of the list while it refreshes.
    const std::vector<IObserver*> copy = observers;
    for (IObserver* observer : copy) observer->Notify();
}

void CMainFrame::notifySnapshotObserver() {
    if (snapshotObserver) snapshotObserver->Notify();
}

bool CMainFrame::StoredEditWindowPosition(wxPoint& at) const {
    long x = 0, y = 0;
    const wxString& text = Settings().editWindowPosition;
    if (!text.BeforeFirst(',').ToLong(&x) || !text.AfterFirst(',').ToLong(&y)) return false;
    at = wxPoint(static_cast<int>(x), static_cast<int>(y));
    return true;
}

void CMainFrame::StoreEditWindowPosition(const wxPoint& at) {
    Settings().editWindowPosition = wxString::Format("%d,%d", at.x, at.y);
}

bool CMainFrame::IsEditWindowShown() const { return editWindow && editWindow->IsShown(); }

wxRect CMainFrame::GetEditWindowScreenRect() const {
    return editWindow ? editWindow->GetScreenRect() : wxRect();
}

void CMainFrame::hideEditWindow() {
    if (editWindow && editWindow->IsShown()) editWindow->Hide();
}

void CMainFrame::editControl(const CPlacedControl& control, bool deferred) {
    if (deferred) {
        deferEdit(control);
        return;
    }
    if (!editWindow) return;
    const CPlacedControl* shownControl = editWindow->GetControl();
    if (editWindow->IsShown() && shownControl && *shownControl == control) {
        // Undo, redo and edits made elsewhere show up in the fields at once.
        for (wxWindow* child : editWindow->GetChildren())
            if (auto* panel = dynamic_cast<CEditPanel*>(child)) panel->refresh();
        editWindow->Refresh();
        return;
    }
    editWindow->OpenFor(control);
    UpdateEditMenuFromHistory();
}

bool CMainFrame::selectControl(const CPlacedControl& control, bool add) {
    if (!view || !current) return false;
    if (current->controlAt(control.GetIndex()) != control.GetState()) return false;
    const bool shown = view->SelectControl(control.GetIndex(), add);
    if (shown) requestRepaint();
    return shown;
}

// --- Edit panels and template dialogs ------------------------------------------------------

const IDeviceProfile& CMainFrame::PanelProfile() const { return profile; }

wxString CMainFrame::PortCaption(int port) const {
    switch (port) {
        case 0: return wxString::FromUTF8(profile.GetMidiPort1Name());
        case 1: return wxString::FromUTF8(profile.GetMidiPort2Name());
        case 2: return wxString::FromUTF8(profile.GetUsbPort1Name());
        case 3: return wxString::FromUTF8(profile.GetUsbPort2Name());
        default: return wxString::FromUTF8(profile.GetUsbPort3Name());
    }
}

void CMainFrame::RunPanelCommand(std::unique_ptr<ICommand> command) {
    RunCommand(std::move(command));
    UpdateEditMenuFromHistory();
}

bool CMainFrame::PanelAutoComplete() const { return Settings().shouldUseAutoComplete == 1; }

bool CMainFrame::StartMidiInput(MidiReceiver receiver) {
    StopMidiInput();
    retiredInput.reset();
    CEditorApp& app = EditorApp();
    if (!app.Midi().IsInputOpen()) return false;
    learnInput = std::make_unique<CMessageForwarder>(app.Midi(), std::move(receiver));
    app.WakeIdle();
    return true;
}

void CMainFrame::StopMidiInput() {
    if (!learnInput) return;
    learnInput->Detach();
    retiredInput = std::move(learnInput);
}

namespace {
TemplateDialogOptions dialogOptions(const IDeviceProfile& profile) {
    TemplateDialogOptions options;
    options.hasSynthTemplateOption = profile.HasSynthTemplateOption();
    options.hasAftertouchSetting = profile.HasAftertouchSetting();
    options.hasTouchpad = profile.HasTouchpad();
    options.hasTouchpadType3 = profile.HasTouchpadType3();
    options.hasSynthModes = profile.HasSynthModes();
    options.hasTranspose = profile.HasTranspose();
    options.portNames[0] = wxString::FromUTF8(profile.GetMidiPort1Name());
    options.portNames[1] = wxString::FromUTF8(profile.GetMidiPort2Name());
    options.portNames[2] = wxString::FromUTF8(profile.GetUsbPort1Name());
    options.portNames[3] = wxString::FromUTF8(profile.GetUsbPort2Name());
    options.portNames[4] = wxString::FromUTF8(profile.GetUsbPort3Name());
    return options;
}
}  // namespace

void CMainFrame::EditTemplateSettings() {
    if (!current) return;
    CEditorTemplate* tpl = current;
    CTemplateSettings dialog(this, PanelProfile(), dialogOptions(profile), &tpl->localSettings(),
                             [this, tpl](std::unique_ptr<ICommand> command) {
                                 executeCommand(std::move(command), *tpl);
                                 requestRepaint();
                             });
    if (dialog.Loaded()) dialog.ShowModal();
    updateTemplateMenu();
}

void CMainFrame::EditPortGroups() {
    if (!current || !current->groupSettings()) return;
    CEditorTemplate* tpl = current;
    CEditPortGroups dialog(this, PanelProfile(), dialogOptions(profile), tpl->groupSettings(),
                           [this, tpl](std::unique_ptr<ICommand> command) {
                               executeCommand(std::move(command), *tpl);
                               requestRepaint();
                           });
    if (dialog.Loaded()) dialog.ShowModal();
    // Controls that follow the groups show the new ports and channels.
    if (editWindow && editWindow->GetControl()) editControl(*editWindow->GetControl(), false);
}

void CMainFrame::EditKeyboardZone(int zone) {
    if (!current || !current->keyboardZone(zone)) return;
    CEditorTemplate* tpl = current;
    CKbdZoneDialog dialog(this, PanelProfile(), dialogOptions(profile), tpl->keyboardZone(zone), zone,
                          [this, tpl](std::unique_ptr<ICommand> command) {
                              executeCommand(std::move(command), *tpl);
                              requestRepaint();
                          });
    if (!dialog.Loaded()) return;
    // A key played on the keyboard sets the focused note field while the dialog is open.
    // A Note On of velocity 0 is a key released, not a key played.
    CMessageForwarder notes(EditorApp().Midi(), [&dialog](int status, int note, int velocity) {
        if (velocity > 0) dialog.NoteReceived(status, note);
    });
    EditorApp().WakeIdle();
    dialog.ShowModal();
}

void CMainFrame::focusMainWindow() {
    if (canvas) canvas->SetFocus();
}

void CMainFrame::RunCommand(std::unique_ptr<ICommand> command) {
    if (!command || !current) return;
    executeCommand(std::move(command), *current);
    refreshControlTexts();
    requestRepaint();
}

bool CMainFrame::IsInputDeviceOpen() const { return EditorApp().Midi().IsInputOpen(); }
bool CMainFrame::IsOutputDeviceOpen() const { return EditorApp().Midi().IsOutputOpen(); }
bool CMainFrame::HasViewMenu() const { return profile.HasViewMenu(); }
int CMainFrame::GetViewType() const { return profile.HasViewMenu() ? Settings().viewType : 3; }
bool CMainFrame::GetAbbreviateNames() const { return Settings().abbreviateNames == 1; }
bool CMainFrame::GetShowCtrlToolTips() const { return Settings().showCtrlToolTips == 1; }

std::vector<CPlacedControl> CMainFrame::Selection() const {
    std::vector<CPlacedControl> list;
    if (!view || !current) return list;
    for (const auto& placed : view->GetSelection()) list.push_back(*placed);
    return list;
}

// --- Device commands and template transfer -------------------------------------------

void CMainFrame::ListenCommand() {
    CEditorApp& app = EditorApp();
    MidiService& midi = app.Midi();
    if (midi.IsListening()) {
        stopListening(true);
        return;
    }
    if (midi.StartListening(this, this)) {
        SetStatus("Listening for template dump from device: " + wxString::FromUTF8(midi.InputName()));
        setListenMark(true);
        if (view) view->ListenStarted();
        app.WakeIdle();
    } else {
        SetStatus("Invalid input device");
        setListenMark(false);
        if (view) view->ListenStopped();
        app.ReportInputLost();
    }
    updateDeviceMenu();
    requestRepaint();
}

void CMainFrame::stopListening(bool withMessage) {
    EditorApp().Midi().StopListening();
    if (withMessage) SetStatus("Stopped listening for template dumps");
    setListenMark(false);
    if (view) view->ListenStopped();
    updateDeviceMenu();
    requestRepaint();
}

void CMainFrame::UploadCommand() {
    CEditorApp& app = EditorApp();
    MidiService& midi = app.Midi();
    if (!current) return;
    stopListening(false);
    SetStatus("Sending template to device: " + wxString::FromUTF8(midi.OutputName()));
    if (view) view->SendStarted();
    // What the unit receives is a single template, whatever the file was.
    current->setBulkFlag(false);
    const ByteSequence bytes = current->save();
    if (!midi.StartSend(bytes.vector(), this)) {
        SetStatus("Invalid output device");
        // The send never started: the send button must not keep pulsing.
        if (view) view->SendFinished();
        app.ReportOutputLost();
    }
    requestRepaint();
    app.WakeIdle();
}

void CMainFrame::OnProgress() {
    if (view && view->Tick(MillisSinceTick())) requestRepaint();
    SetStatus("Template dump in progress...");
}

void CMainFrame::OnComplete() {
    if (view) view->SendFinished();
    SetStatus("Template dump completed");
    requestRepaint();
}

void CMainFrame::OnFailed() {
    CEditorApp& app = EditorApp();
    if (view) view->SendFinished();
    requestRepaint();
    SetStatus("Template dump failed!");
    app.ShowMessage(wxOK | wxICON_ERROR,
                    "Template dump failed!  Perhaps the USB connection to the " + wxString::FromUTF8(profile.GetDeviceName()) +
                        " was lost, or the driver is in use by another application.\n\nClose all other MIDI "
                        "applications and try again.");
}

void CMainFrame::OnSysExAborted() {
    EditorApp().ShowMessage(wxOK | wxICON_ERROR, "The dump was interrupted - please try sending it again");
}

void CMainFrame::OnSysExReceived(const MidiBytes& received) {
    CEditorApp& app = EditorApp();
    std::unique_ptr<CEditorTemplate> tpl = profile.CreateTemplate();
    const ByteSequence bytes{MidiBytes(received)};
    const OpenResult result = tpl ? openTemplateBytes(bytes, *tpl) : OpenResult{};
    if (!result.ok) {
        app.ShowMessage(wxOK | wxICON_ERROR,
                        "The dump received was not a valid template.\n\nEither the dump came from another device, "
                        "was corrupted, or you started listening in the middle of the dump.");
    } else {
        if (result.foreign) {
            const wxString source = wxString::FromUTF8(deviceKindName(result.kind));
            app.ShowMessage(wxOK | wxICON_ERROR,
                            "This template has been recieved from a " + source + ".\n\nIt has been converted to a " +
                                wxString::FromUTF8(profile.GetDeviceName()) + " template, which will not load back onto the " + source +
                                ".\n\nYou can find all of the controls from the original template by "
                                "right-clicking on a control and choosing \"Imported Controls\".");
        } else if (Settings().showOldOSDialog == 1 && profile.ChecksReceivedOSVersion() && received.size() > 10) {
            const OsVersion version = osVersionFromBytes(received[9], received[10]);
            if (versionLess(version, profile.GetCurrentOSVersion())) {
                COldOSDialog notice(this);
                notice.ShowModal();
            }
        }
        addTemplate(std::move(tpl));
        updateEditMenu(false, false);
        UpdateEditMenuFromHistory();
        updateTitle();
        updateFileMenu();
        updateTemplateMenu();
    }
    stopListening(false);
}

void CMainFrame::OnMidiMessage(uint8_t status, int data1, int data2) {
    wxString type, channel = wxString::Format("Channel: %d", (status & 0x0F) + 1), first, second;
    switch (status & 0xF0) {
        case 0x80: type = "Note off"; first = wxString::Format("Note: %d", data1); second = wxString::Format("Velocity: %d", data2); break;
        case 0x90: type = "Note on"; first = wxString::Format("Note: %d", data1); second = wxString::Format("Velocity: %d", data2); break;
        case 0xB0: type = "CC"; first = wxString::Format("CC#: %d", data1); second = wxString::Format("Value: %d", data2); break;
        case 0xC0: type = "Prog. Change"; first = wxString::Format("Data 1: %X", data1); break;
        case 0xD0: type = "Aftertouch"; first = wxString::Format("Value: %d", data1); break;
        case 0xE0: type = "Pitchbend"; first = wxString::Format("Value: %d", data2); break;
        case 0xF0:
            type = "SysEx";
            channel.clear();
            first = wxString::Format("Data 1: %X", data1);
            second = wxString::Format("Data 2: %X", data2);
            break;
        default:
            type = wxString::Format("Type: %X", status & 0xF0);
            first = wxString::Format("Data 1: %d", data1);
            second = wxString::Format("Data 2: %d", data2);
            break;
    }
    // Shown by the idle pass that follows the poll: a status text costs a
    // redraw, and a controller can send thousands of messages a second.
    // While the edit window learns, field 0 keeps what learning says.
    midiStatus = {"Received MIDI message", type, channel, first, second};
    midiStatusKeepFirst = learnInput != nullptr;
    midiStatusPending = true;
    if (view && view->OnMidiMessage(status, data1, data2)) requestRepaint();
}

void CMainFrame::SelectMidiDeviceCommand() {
    CEditorApp& app = EditorApp();
    stopListening(false);
    hideEditWindow();
    // Ports that appeared since start-up (a unit switched on later) are offered too.
    app.Midi().Rescan();
    CSelectMIDIDevices dialog(this);
    dialog.ShowModal();
    updateDeviceMenu();
    app.WakeIdle();
}

void CMainFrame::BulkDumpsCommand() {
    CEditorApp& app = EditorApp();
    // The dialog listens and sends with listeners of its own.
    stopListening(false);
    hideEditWindow();
    app.WakeIdle();
    CBulkDumpDialog dialog(this, AppTransferLink());
    dialog.ShowModal();
    updateDeviceMenu();
}

wxFrame* CMainFrame::MidiMonitorCommand() {
    if (!monitorWindow) monitorWindow = new CMidiMonitorWindow(this, EditorApp().Midi());
    monitorWindow->Show();
    monitorWindow->Raise();
    EditorApp().WakeIdle();
    return monitorWindow.get();
}

void CMainFrame::UpdateOSCommand() {
    hideEditWindow();
    EditorApp().WakeIdle();
    // The dialog listens for a template that tells the unit's OS version; when
    // it goes, the main window listens again if it listened before.
    CUpdateOSDialog dialog(this, AppTransferLink(), [this](bool wasListening) {
        if (wasListening) ListenCommand();
        else stopListening(false);
    });
    dialog.ShowModal();
}

void CMainFrame::ViewHelpCommand() {
    wxFileName help(EditorApp().ProgramDirectory() + "/help.html");
    help.MakeAbsolute();
    wxString address = help.GetFullPath();
    address.Replace("\\", "/");
    wxLaunchDefaultBrowser("file://" + address);
}

// --- Menu dispatch -------------------------------------------------------------------

void CMainFrame::RunOnSelection(int id) {
    if (!current || !view) return;
    const std::vector<CPlacedControl> selection = Selection();
    if (selection.empty()) return;
    switch (id) {
        case MenuId::Cut:
            if (auto command = cutCommand(selection)) executeCommand(std::move(command), *current);
            hideEditWindow();
            break;
        case MenuId::Copy: copyToClipboard(selection); break;
        case MenuId::Paste:
            if (!canPaste(CControlClipboard::instance().placed(), selection)) return;
            if (auto command = pasteFromClipboard(selection)) executeCommand(std::move(command), *current);
            hideEditWindow();
            SetStatus("");
            break;
        case MenuId::Delete:
            if (auto command = deleteCommand(selection)) executeCommand(std::move(command), *current);
            hideEditWindow();
            break;
        default: break;
    }
    UpdateEditMenuFromHistory();
    refreshControlTexts();
    requestRepaint();
}

void CMainFrame::OnMenu(wxCommandEvent& event) {
    const int id = event.GetId();
    CEditorApp& app = EditorApp();
    if (id >= MenuId::FirstRecent && id <= MenuId::LastRecent) {
        openFile(recentFile(id - MenuId::FirstRecent), true);
        return;
    }
    if (id >= MenuId::FirstTemplate && id <= MenuId::LastTemplate) {
        const int index = id - MenuId::FirstTemplate;
        if (index >= templateCount()) return;
        currentIdx = index;
        current = templates[static_cast<size_t>(index)].get();
        moveCurrentToFront();
        return;
    }
    if (id >= MenuId::FirstImported && id <= MenuId::LastImported) {
        const std::vector<CPlacedControl> selection = Selection();
        if (!current || selection.empty()) return;
        if (auto command = assignImportedCommand(selection.front(), *current, id - MenuId::FirstImported))
            executeCommand(std::move(command), *current);
        refreshControlTexts();
        requestRepaint();
        return;
    }
    switch (id) {
        case MenuId::Exit: Close(); break;
        case MenuId::Open: OpenTemplate(); break;
        case MenuId::ImportControls: ImportControls(); break;
        case MenuId::ImportPluginNames: ImportPluginNames(); break;
        case MenuId::Save: SaveTemplate(); break;
        case MenuId::SaveAs: SaveTemplateAs(); break;
        case MenuId::Close: closeCurrentTemplate(); break;
        case MenuId::CompareWith: CompareWith(); break;
        case MenuId::New: NewTemplate(); break;
        case MenuId::Cut:
        case MenuId::Copy:
        case MenuId::Paste:
        case MenuId::Delete: RunOnSelection(id); break;
        case MenuId::Undo:
        case MenuId::Redo:
            if (!current || !view) break;
            view->ClearSelection();
            if (id == MenuId::Undo) {
                if (canUndo(*current)) undoCommand(*current);
            } else if (canRedo(*current)) {
                redoCommand(*current);
            }
            UpdateEditMenuFromHistory();
            refreshControlTexts();
            requestRepaint();
            break;
        case MenuId::EditSelection:
            if (view && current) view->EditSelection();
            break;
        case MenuId::GetInfo:
            if (view && current && !view->GetSelection().empty())
                wxMessageBox(view->SelectionInfoText(), "Selection info", wxOK | wxCENTRE, this);
            break;
        case MenuId::SelectAll:
            if (!view || !current) break;
            view->SelectAll();
            UpdateEditMenuFromHistory();
            requestRepaint();
            break;
        case MenuId::Listen: ListenCommand(); break;
        case MenuId::Upload: UploadCommand(); break;
        case MenuId::SelectMidiDevice: SelectMidiDeviceCommand(); break;
        case MenuId::BulkDumps:
        case MenuId::PatchLibrarian: BulkDumpsCommand(); break;
        case MenuId::UpdateOS: UpdateOSCommand(); break;
        case MenuId::MidiMonitor: MidiMonitorCommand(); break;
        case MenuId::ViewHelp: ViewHelpCommand(); break;
        case MenuId::Website: wxLaunchDefaultBrowser(kWebsite); break;
        case MenuId::OnlineSupport: wxLaunchDefaultBrowser(kSupport); break;
        case MenuId::About: {
            hideEditWindow();
            CProductAboutDialog about(this, "About " + wxString::FromUTF8(profile.GetEditorTitle()), wxString::FromUTF8(profile.GetAboutText()),
                                      app.ProgramDirectory() + "/images/signatures.png");
            about.ShowModal();
            break;
        }
        case MenuId::Preferences: {
            hideEditWindow();
            CPreferencesDialog prefs(this, profile);
            if (prefs.Loaded()) prefs.ShowModal();
            requestRepaint();
            break;
        }
        case MenuId::TemplateSettings:
            hideEditWindow();
            EditTemplateSettings();
            reselectCurrent();
            break;
        case MenuId::MidiGroups:
            hideEditWindow();
            EditPortGroups();
            break;
        case MenuId::AudioFX:
            if (view) view->EditAudioSettings();
            break;
        case MenuId::EnableZones:
            hideEditWindow();
            if (current) {
                current->setZonesEnabled(event.IsChecked());
                updateTemplateMenu();
                requestRepaint();
            }
            break;
        case MenuId::Zoom100: SetZoom(100); break;
        case MenuId::Zoom150: SetZoom(150); break;
        case MenuId::Zoom200: SetZoom(200); break;
        case MenuId::ViewInfo:
        case MenuId::ViewName:
        case MenuId::ViewChannel:
            Settings().viewType = id - MenuId::ViewInfo;
            updateViewMenu();
            requestRepaint();
            break;
        default:
            if (id >= MenuId::FirstZone && id <= MenuId::LastZone) {
                hideEditWindow();
                if (current && current->zonesEnabled()) EditKeyboardZone(id - MenuId::FirstZone);
            } else {
                event.Skip();
            }
            break;
    }
}

// --- Painting, pointer and keys ------------------------------------------------------

void CMainFrame::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(canvas);
    const wxSize size = canvas->GetClientSize();
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0) return;
    if (current && view) view->Tick(MillisSinceTick());
    // On a high-density screen the buffer holds device pixels, so the zoomed
    // panel is not enlarged a second time (and blurred) on its way out.
    const double density = std::max(1.0, canvas->GetContentScaleFactor());
    if (!backBuffer.IsOk() || backBuffer.GetLogicalSize() != size || backBuffer.GetScaleFactor() != density)
        backBuffer.CreateWithDIPSize(size, density);
    wxMemoryDC memory(backBuffer);
    if (current && view) {
        view->PaintZoomed(memory, zoomScratch, backgroundBrush.GetColour(), density);
    } else {
        memory.SetBackground(backgroundBrush);
        memory.Clear();
    }
    dc.Blit(0, 0, size.GetWidth(), size.GetHeight(), &memory, 0, 0);
    if (!painted) {
        painted = true;
        EditorApp().OnFirstPaint();
    }
}

// The view translates the event (HandleMouseEvent); the window adds focus,
// idle wake-up and the menus that a click or a drop may change.
void CMainFrame::OnPanelMouse(wxMouseEvent& event) {
    const wxEventType type = event.GetEventType();
    if (type != wxEVT_MOUSEWHEEL) event.Skip();  // focus, button tracking, the context menu
    if (type == wxEVT_LEFT_DOWN) {
        leftSeenDown = true;
        EditorApp().WakeIdle();
    }
    if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN) canvas->SetFocus();
    if (!current || !view) return;
    const PanelEventResult result = view->HandleMouseEvent(event);
    if (type == wxEVT_RIGHT_DOWN) {
        // Show the selection before the context menu opens over it.
        canvas->Refresh(false);
        canvas->Update();
        return;
    }
    if (result.repaint) requestRepaint();
    if (type == wxEVT_LEFT_DOWN) {
        updateFileMenu();
        UpdateEditMenuFromHistory();
    } else if (result.repaint && type != wxEVT_LEFT_DCLICK) {
        UpdateEditMenuFromHistory();
    }
}

std::unique_ptr<wxMenu> CMainFrame::BuildContextMenu() {
    if (!current || !view || view->GetSelection().empty()) return nullptr;
    const std::vector<CPlacedControl> selection = Selection();
    auto menu = std::make_unique<wxMenu>();
    menu->Append(MenuId::Cut, "Cu&t");
    menu->Append(MenuId::Copy, "&Copy");
    menu->Append(MenuId::Paste, "&Paste");
    menu->Append(MenuId::Delete, "&Delete");
    menu->AppendSeparator();
    if (selection.size() == 1) menu->Append(MenuId::EditSelection, "&Edit selection...");
    menu->Append(MenuId::GetInfo, "&Get Info...");
    menu->Enable(MenuId::Paste, canPaste(CControlClipboard::instance().placed(), selection));

    if (!current->importedControls.empty() && selection.size() == 1) {
        menu->AppendSeparator();
        auto* imported = new wxMenu;
        const CPlacedControl& target = selection.front();
        const int count = std::min(static_cast<int>(current->importedControls.size()), kMaxImportedItems);
        for (int k = 0; k < count; ++k) {
            if (k > 0 && k % kImportedPerColumn == 0) imported->Break();
            const CBaseControlState& ctl = current->importedControls[static_cast<size_t>(k)];
            const std::string name = ctl.getControlType() == ControlType::MMC
                                         ? CBaseControlState::mmcCommandName(ctl.getMmcCommand())
                                         : ctl.getName();
            // Not after a tab: some toolkits read that part as a shortcut and drop it.
            const wxString label = menuText(wxString::FromUTF8(name)) + "  (" +
                                   wxString::FromUTF8(CBaseControlState::typeName(ctl.getControlType())) + ")";
            wxMenuItem* item = imported->AppendCheckItem(MenuId::FirstImported + k, label, "");
            bool assigned = false;
            for (int i = 0; i <= current->lastIndex() && !assigned; ++i)
                if (const CBaseControlState* own = current->controlAt(i)) assigned = *own == ctl;
            item->Check(assigned);
            item->Enable(profile.CanHoldState(target.GetIndex(), ctl));
        }
        menu->AppendSubMenu(imported, "Imported Controls", "")->SetId(MenuId::ImportedControls);
    }
    return menu;
}

void CMainFrame::OnContextMenu(wxContextMenuEvent&) {
    if (!current || !view) return;
    hideEditWindow();
    std::unique_ptr<wxMenu> menu = BuildContextMenu();
    if (!menu) return;
    canvas->PopupMenu(menu.get());
    UpdateEditMenuFromHistory();
}

void CMainFrame::OnKeyDown(wxKeyEvent& event) {
    if (!current || !view) {
        event.Skip();
        return;
    }
    const int key = event.GetKeyCode();
    if (key == WXK_TAB && event.ControlDown()) {
        if (templateCount() >= 2) {
            switching = true;
            selectTemplate((currentIdx + 1) % templateCount());
        }
        return;
    }
    if (IsEditWindowShown()) {
        // F6 goes back to the edit window, as F6 there comes to the panel.
        if (key == WXK_F6) editWindow->TakeFocus();
        else event.Skip();
        return;
    }
    const PanelEventResult result = view->HandleKeyEvent(event);
    if (!result.used) {
        event.Skip();
        return;
    }
    if (result.repaint) {
        requestRepaint();
        UpdateEditMenuFromHistory();
    }
}

void CMainFrame::OnKeyUp(wxKeyEvent& event) {
    event.Skip();
    if (event.GetKeyCode() == WXK_CONTROL && switching) {
        switching = false;
        moveCurrentToFront();
    }
}

// --- Drops ------------------------------------------------------------------------

bool CMainFrame::AcceptsDrop(const wxArrayString& paths) {
    if (paths.empty()) return false;
    for (const wxString& path : paths) {
        // A dropped folder is taken so that opening it can say it is one.
        if (!notAFileReason(std::string(path.utf8_str())).empty()) continue;
        const wxFileName name(path);
        if (!wxFileName::FileExists(path) || name.GetExt() != "syx") return false;
    }
    return true;
}

bool CMainFrame::DropFiles(const wxArrayString& paths) {
    if (!AcceptsDrop(paths)) return false;
    for (const wxString& path : paths) openFile(path, true);
    return true;
}

bool CSyxFileDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& paths) {
    return frame && frame->DropFiles(paths);
}
