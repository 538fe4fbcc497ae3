#include "app/MainMenus.h"

#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/event.h>
#include <wx/menu.h>

#include <algorithm>
#include <vector>

#include "app/EditWindowHost.h"
#include "app/Settings.h"
#include "app/TemplateDocument.h"
#include "editing/ClipboardCommands.h"
#include "editing/ControlClipboard.h"
#include "editing/EditMenu.h"
#include "editing/History.h"
#include "midi/MidiService.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/MenuShortcuts.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"

namespace {
// Menu labels show "&" only when doubled.
wxString menuText(const wxString& text) {
    wxString escaped = text;
    escaped.Replace("&", "&&");
    return escaped;
}

// The Template menu names the file, not its folder; "*" marks unsaved changes.
wxString templateEntryLabel(const CEditorTemplate& tpl) {
    wxString label = wxFileName(CTemplateDocument::templateFileName(tpl)).GetFullName();
    if (tpl.isModified()) label += "*";
    return menuText(label);
}

const char* const kNoTemplates = "No templates loaded";
struct ZoomItem {
    int id;
    int percent;
    const char* label;
    const char* help;
};
const ZoomItem kZoomItems[] = {
    {MenuId::Zoom100, 100, "Zoom &100%", "Show the panel at its own size"},
    {MenuId::Zoom150, 150, "Zoom 1&50%", "Show the panel one and a half times as large"},
    {MenuId::Zoom200, 200, "Zoom &200%", "Show the panel twice as large"},
};
}  // namespace

CMainMenus::CMainMenus(wxFrame& frame, const Sources& sources, Items items) : frame(frame), from(sources) {
    frame.SetMenuBar(BuildBar());
    if (items == Items::Now) AddItems();

    using M = CMainMenus;
    for (int id : {MenuId::Save, MenuId::SaveAs, MenuId::Close, MenuId::ImportControls, MenuId::CompareWith})
        frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateFile, this, id);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateRecentFiles, this, MenuId::RecentFiles);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateEdit, this, MenuId::Cut, MenuId::SelectAll);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateView, this, MenuId::ViewInfo, MenuId::ViewChannel);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateView, this, MenuId::Zoom100, MenuId::Zoom200);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateDevice, this, MenuId::Listen, MenuId::SelectMidiDevice);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateDevice, this, MenuId::UpdateOS);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateTemplate, this, MenuId::TemplateSettings, MenuId::LastZone);
    frame.Bind(wxEVT_UPDATE_UI, &M::OnUpdateTemplateEntry, this, MenuId::FirstTemplate, MenuId::LastTemplate);
}

namespace {
const char* const kMenuTitles[] = {"&File", "&Edit", "&View", "&Device", "&Template", "&Help"};
}

wxMenuBar* CMainMenus::BuildBar() {
    auto* bar = new wxMenuBar;
    for (const char* title : kMenuTitles) bar->Append(new wxMenu, title);
    return bar;
}

void CMainMenus::AddItems() {
    if (hasItems) return;
    hasItems = true;
    wxMenuBar* bar = frame.GetMenuBar();
    const IDeviceProfile& profile = from.profile;
    wxMenu* file = bar->GetMenu(0);
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

    wxMenu* edit = bar->GetMenu(1);
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

    wxMenu* view = bar->GetMenu(2);
    if (profile.HasViewMenu()) {
        view->AppendCheckItem(MenuId::ViewInfo, "&Info", "Display type-specific info under each control");
        view->AppendCheckItem(MenuId::ViewName, "&Name", "Display name under each control");
        view->AppendCheckItem(MenuId::ViewChannel, "&MIDI channel",
                              "Display MIDI channel / MMC device under each control");
        view->AppendSeparator();
    }
    // Every device can enlarge its panel.
    for (const ZoomItem& zoom : kZoomItems) view->AppendRadioItem(zoom.id, zoom.label, zoom.help);
    view->AppendSeparator();
    view->Append(MenuId::ControlsTable, "&Controls table\tCtrl+Shift+T", "See and edit every control in a table");
    view->Append(MenuId::Library, "Template &Library...\tCtrl+Shift+L",
                 "Find, open and send the templates the editor has kept, and back up the unit");

    wxMenu* device = bar->GetMenu(3);
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

    wxMenu* templates = bar->GetMenu(4);
    templates->Append(MenuId::TemplateSettings, "Edit Se&ttings...\tCtrl+T", "Edit the settings of the current template");
    if (profile.HasPortGroups())
        templates->Append(MenuId::MidiGroups, "MIDI &Groups...\tCtrl+G",
                          "Edit the Keyboard and Common MIDI port & channel groups");
    if (profile.HasAudioFXSettings())
        templates->Append(MenuId::AudioFX, "Audio + &FX Settings...\tCtrl+F", "Edit the audio & FX settings");
    if (profile.HasKeyboardZones()) {
        templates->AppendSeparator();
        templates->AppendCheckItem(MenuId::EnableZones, "Enable Keyboard &Zones", "Use zones");
        auto* zones = new wxMenu;
        for (int zone = 0; zone < 4; ++zone)
            zones->Append(MenuId::FirstZone + zone, wxString::Format("&%d...", zone + 1), "");
        templates->AppendSubMenu(zones, "Edit Keyboard Zone", "")->SetId(MenuId::EditZone);
    }
    // The open templates follow (SyncTemplateList).
    templates->AppendSeparator();

    wxMenu* help = bar->GetMenu(5);
    help->Append(MenuId::ViewHelp, "&View help...\t", "View documentation");
    help->Append(MenuId::Website, "Visit the Quorvane &website...\t", "Visit the Quorvane website");
    help->Append(MenuId::OnlineSupport, "Online &support...\t", "Visit the online answerbase");
    help->AppendSeparator();
    help->Append(MenuId::About, "&About...\tF1", "Show about dialog");

    SyncTemplateList();
}

wxMenuItem* CMainMenus::ItemForKey(const wxKeyEvent& event) const {
    wxMenuBar* bar = frame.GetMenuBar();
    if (!bar) return nullptr;
    // wxACCEL_* and wxMOD_* give the modifiers the same bits.
    const int modifiers = wxMOD_ALT | wxMOD_CONTROL | wxMOD_SHIFT;
    for (const wxAcceleratorEntry& shortcut : MenuShortcuts(*bar))
        if (shortcut.GetKeyCode() == event.GetKeyCode() &&
            (shortcut.GetFlags() & modifiers) == (event.GetModifiers() & modifiers))
            return bar->FindItem(shortcut.GetCommand());
    return nullptr;
}

wxMenu* CMainMenus::TemplateMenu() const {
    wxMenuBar* bar = frame.GetMenuBar();
    const int at = bar ? bar->FindMenu("Template") : wxNOT_FOUND;
    return at == wxNOT_FOUND ? nullptr : bar->GetMenu(static_cast<size_t>(at));
}

void CMainMenus::SyncTemplateList() {
    wxMenu* menu = TemplateMenu();
    // Without the fixed items the entries would come before them; adding
    // the items lists the templates.
    if (!menu || !hasItems) return;
    const CTemplateDocument& document = from.document;
    // At least one entry: without templates it is the "No templates loaded" placeholder.
    const int shown = std::min(document.templateCount(), kMaxTemplateItems);
    for (int i = 0; i < std::max(shown, 1); ++i) {
        const int id = MenuId::FirstTemplate + i;
        const wxString label = i < shown ? templateEntryLabel(*document.templateAt(i)) : wxString(kNoTemplates);
        if (wxMenuItem* item = menu->FindItem(id))
            item->SetItemLabel(label);
        else
            menu->AppendRadioItem(id, label, "");
        menu->Enable(id, i < shown);
    }
    for (int id = MenuId::FirstTemplate + std::max(shown, 1); id <= MenuId::LastTemplate; ++id)
        if (wxMenuItem* item = menu->FindItem(id)) menu->Destroy(item);
    if (document.currentIndex() >= 0 && document.currentIndex() < shown)
        menu->Check(MenuId::FirstTemplate + document.currentIndex(), true);
}

void CMainMenus::OnUpdateFile(wxUpdateUIEvent& event) { event.Enable(from.document.currentTemplate() != nullptr); }

void CMainMenus::OnUpdateRecentFiles(wxUpdateUIEvent& event) {
    event.Enable(from.settings.recentFileCount() > 0);
    wxMenuItem* item = frame.GetMenuBar() ? frame.GetMenuBar()->FindItem(MenuId::RecentFiles) : nullptr;
    if (item && item->GetSubMenu()) RebuildRecentFiles(*item->GetSubMenu());
}

void CMainMenus::RebuildRecentFiles(wxMenu& recent) const {
    const EditorSettings& settings = from.settings;
    const int n = settings.recentFileCount();
    bool same = static_cast<int>(recent.GetMenuItemCount()) == n;
    for (int i = 0; same && i < n; ++i)
        same = recent.FindItemByPosition(static_cast<size_t>(i))->GetItemLabel() == menuText(settings.recentFile(i));
    if (same) return;
    while (recent.GetMenuItemCount() > 0) recent.Destroy(recent.FindItemByPosition(0));
    for (int i = 0; i < n; ++i) recent.Append(MenuId::FirstRecent + i, menuText(settings.recentFile(i)), "");
}

void CMainMenus::OnUpdateEdit(wxUpdateUIEvent& event) {
    const CEditorTemplate* current = from.document.currentTemplate();
    std::vector<CPlacedControl> selection;
    if (const CTemplateUI* view = from.canvas.GetView(); view && current)
        for (const auto& placed : view->GetSelection()) selection.push_back(*placed);
    const EditMenuState s = editMenuState(current, current && canUndo(*current), current && canRedo(*current),
                                          from.editWindow.IsShown(), selection, CControlClipboard::instance());
    switch (event.GetId()) {
        case MenuId::Undo:
            event.SetText(wxString::FromUTF8(s.undoLabel));
            event.Enable(s.undo);
            break;
        case MenuId::Redo:
            event.SetText(wxString::FromUTF8(s.redoLabel));
            event.Enable(s.redo);
            break;
        case MenuId::Cut: event.Enable(s.cut); break;
        case MenuId::Copy: event.Enable(s.copy); break;
        case MenuId::Paste: event.Enable(s.paste); break;
        case MenuId::Delete: event.Enable(s.del); break;
        case MenuId::SelectAll: event.Enable(s.selectAll); break;
        case MenuId::GetInfo: event.Enable(s.getInfo); break;
        default: break;  // Edit selection is only on the pop-up menu
    }
}

void CMainMenus::OnUpdateView(wxUpdateUIEvent& event) {
    const int id = event.GetId();
    // Radio items are only ever checked: checking one unchecks the others.
    if (id >= MenuId::Zoom100 && id <= MenuId::Zoom200) {
        const CTemplateUI* view = from.canvas.GetView();
        const int zoom = view ? view->GetZoom() : 100;
        const int checked = zoom == 200 ? MenuId::Zoom200 : zoom == 150 ? MenuId::Zoom150 : MenuId::Zoom100;
        if (id == checked) event.Check(true);
        // A window larger than its screen cannot be seen whole: only the
        // zooms that fit the screen the window is on now are offered (and
        // the panel's own size, as there is nothing smaller).
        const ZoomItem& item = kZoomItems[id - MenuId::Zoom100];
        const bool fits = item.percent == 100 || from.canvas.ZoomFitsScreen(item.percent);
        event.Enable(fits);
        if (wxMenuItem* entry = frame.GetMenuBar() ? frame.GetMenuBar()->FindItem(id) : nullptr) {
            const wxString help = fits ? wxString(item.help)
                                       : wxString::Format("Zoom %d%% is too large for this screen", item.percent);
            if (entry->GetHelp() != help) entry->SetHelp(help);
        }
        return;
    }
    event.Check(from.settings.viewType == id - MenuId::ViewInfo);
}

void CMainMenus::OnUpdateDevice(wxUpdateUIEvent& event) {
    const MidiService& midi = from.midi;
    switch (event.GetId()) {
        case MenuId::Listen:
            event.Enable(midi.IsInputSelected());
            event.Check(midi.IsListening());
            break;
        case MenuId::Upload: event.Enable(from.document.currentTemplate() && midi.IsOutputSelected()); break;
        case MenuId::SelectMidiDevice: event.Enable(midi.PortCount() > 0); break;
        case MenuId::UpdateOS: event.Enable(midi.IsOutputSelected()); break;
        default: break;
    }
}

void CMainMenus::OnUpdateTemplate(wxUpdateUIEvent& event) {
    const CEditorTemplate* current = from.document.currentTemplate();
    const bool zonesOn = current && current->zonesEnabled();
    const int id = event.GetId();
    if (id == MenuId::EnableZones) {
        event.Enable(current != nullptr);
        event.Check(zonesOn);
    } else if (id >= MenuId::FirstZone && id <= MenuId::LastZone) {
        event.Enable(zonesOn);
    } else if (id == MenuId::TemplateSettings || id == MenuId::MidiGroups) {
        event.Enable(current != nullptr);
    }
}

void CMainMenus::OnUpdateTemplateEntry(wxUpdateUIEvent& event) {
    const CTemplateDocument& document = from.document;
    const int index = event.GetId() - MenuId::FirstTemplate;
    if (index >= document.templateCount()) {
        // The placeholder (or an entry whose template just went).
        event.Enable(false);
        return;
    }
    event.SetText(templateEntryLabel(*document.templateAt(index)));
    event.Enable(true);
    if (index == document.currentIndex()) event.Check(true);
}

std::unique_ptr<wxMenu> CMainMenus::BuildContextMenu() const {
    const CEditorTemplate* current = from.document.currentTemplate();
    const CTemplateUI* view = from.canvas.GetView();
    if (!current || !view || view->GetSelection().empty()) return nullptr;
    std::vector<CPlacedControl> selection;
    for (const auto& placed : view->GetSelection()) selection.push_back(*placed);
    auto menu = std::make_unique<wxMenu>();
    menu->Append(MenuId::Cut, "Cu&t");
    menu->Append(MenuId::Copy, "&Copy");
    menu->Append(MenuId::Paste, "&Paste");
    menu->Append(MenuId::Delete, "&Delete");
    menu->AppendSeparator();
    if (selection.size() == 1) menu->Append(MenuId::EditSelection, "&Edit selection...");
    menu->Append(MenuId::GetInfo, "&Get Info...");
    menu->Enable(MenuId::Paste, canPaste(from.profile.Facts(), CControlClipboard::instance().placed(), selection));

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
            item->Enable(from.profile.CanHoldState(target.GetIndex(), ctl));
        }
        menu->AppendSubMenu(imported, "Imported Controls", "")->SetId(MenuId::ImportedControls);
    }
    return menu;
}
