#pragma once
// The main window's menu bar and the panel's pop-up menu: every item with its
// label, help text and accelerator, and every enabled, checked and labelled
// state. The states are not pushed after each action: they are worked out
// from the open templates, the MIDI ports, the panel and the settings each
// time a menu opens or an accelerator is about to run (wxEVT_UPDATE_UI).
//
// A new menu item: its identifier below, one Append in AddItems, its state in
// one of the update handlers, its action where the main window wires them.
#include <memory>

class CEditWindowHost;
class CTemplateCanvas;
class CTemplateDocument;
struct EditorSettings;
class IDeviceProfile;
class MidiService;
class wxFrame;
class wxMenu;
class wxMenuBar;
class wxMenuItem;
class wxKeyEvent;
class wxUpdateUIEvent;

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
    MidiMonitor = 650,
    Library = 651,
    Zoom100 = 720, Zoom150 = 721, Zoom200 = 722,
    ControlsTable = 730,
    About = 5013, Preferences = 5019
};
}

class CMainMenus {
public:
    static constexpr int kImportedPerColumn = 49;
    static constexpr int kMaxImportedItems = 513;
    static constexpr int kMaxTemplateItems = MenuId::LastTemplate - MenuId::FirstTemplate + 1;

    // What the states are worked out from; all outlive the menus.
    struct Sources {
        const IDeviceProfile& profile;
        const EditorSettings& settings;
        const CTemplateDocument& document;
        const MidiService& midi;
        const CTemplateCanvas& canvas;
        const CEditWindowHost& editWindow;
    };
    // The items can come after the window's first paint: they are not seen
    // before a menu opens, and making them is a good part of what the
    // window costs before it shows.
    enum class Items { Now, Later };
    // Builds the menu bar on `frame` (with its items, or only the menus'
    // titles until AddItems) and binds the item states to it.
    CMainMenus(wxFrame& frame, const Sources& sources, Items items = Items::Now);

    // Adds every item, with its accelerator, to the menus; nothing the
    // second time.
    void AddItems();
    bool HasItems() const { return hasItems; }
    // The item whose shortcut is this key, or null.
    wxMenuItem* ItemForKey(const wxKeyEvent& event) const;

    // The Template menu gets one item per open template; run when templates
    // were opened, closed or reordered (their labels follow by themselves).
    void SyncTemplateList();
    // The pop-up menu for the panel's selection; null without a selection.
    std::unique_ptr<wxMenu> BuildContextMenu() const;

private:
    wxMenuBar* BuildBar();
    wxMenu* TemplateMenu() const;
    void RebuildRecentFiles(wxMenu& recent) const;

    void OnUpdateFile(wxUpdateUIEvent& event);
    void OnUpdateRecentFiles(wxUpdateUIEvent& event);
    void OnUpdateEdit(wxUpdateUIEvent& event);
    void OnUpdateView(wxUpdateUIEvent& event);
    void OnUpdateDevice(wxUpdateUIEvent& event);
    void OnUpdateTemplate(wxUpdateUIEvent& event);
    void OnUpdateTemplateEntry(wxUpdateUIEvent& event);

    wxFrame& frame;
    Sources from;
    bool hasItems = false;
};
