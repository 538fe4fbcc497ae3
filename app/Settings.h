#pragma once
// The per-user settings: read once at start-up into these process-wide
// values, changed while the program runs, written back at exit.
#include <wx/fileconf.h>
#include <wx/string.h>

#include <array>

class wxConfigBase;

// The per-user settings file ("~/." + application name, as wxConfig has it).
// Flush replaces the file the way templates are saved: the whole new content
// in a temporary file, synced, renamed over the old one, the folder synced;
// the toolkit's own flush removed the old file before renaming an unsynced one.
class CSettingsStore : public wxFileConfig {
public:
    CSettingsStore(const wxString& appName, const wxString& vendorName);
    CSettingsStore(const wxString& appName, const wxString& vendorName, const wxString& localFile);
    ~CSettingsStore() override;

    bool Flush(bool currentOnly = false) override;
    const wxString& FilePath() const { return path; }

private:
    wxString path;
};

constexpr int kRecentFileCount = 8;

struct EditorSettings {
    int startupAction = 0;       // "StartupAction": 0 welcome, 1 blank, 2 new, 3 last file, 4 file dialog
    int viewType = 1;            // "ViewType"
    int releaseDriver = 1;       // "ReleaseDriver"
    int useExpandPanes = 1;      // "UseExpandPanes"
    int showOldOSDialog = 1;     // "ShowOldOSDialog"
    int sendErrorsHome = 1;      // "SendErrorsHome"
    int showCtrlToolTips = 1;    // "ShowCtrlToolTips"
    int abbreviateNames = 1;     // "AbbreviateNames"
    wxString inputDevice;        // "InputDevice"
    wxString outputDevice;       // "OutputDevice"
    std::array<wxString, kRecentFileCount> recentFiles;  // "RecentFile0".."RecentFile7", most recent first
    wxString vstDir;             // "VSTDir"
    wxString lastPluginEnumerated;  // "LastPluginEnumerated"
    int pluginsEnumeratedOK = 1;    // "PluginsEnumeratedOK"
    int shouldUseAutoComplete = 1;  // "ShouldUseAutoComplete"
    wxString reportServer;          // "ReportServer": "host:port" for reports; empty: the maker's server
    int panelZoom = 100;            // "PanelZoom": 100, 150 or 200 per cent
    wxString editWindowPosition;    // "EditWindowPosition": "x,y" of the control edit window; empty: never placed
};

// The values every part of the program reads and changes.
EditorSettings& Settings();

// The folder searched for plug-ins when the store names none.
wxString DefaultPluginFolder();

// Reads every key in a fixed order; a missing key is written back with its
// default when the store records defaults.
void ReadSettings(wxConfigBase& config, EditorSettings& into);
// Writes every key in the store's fixed write order and flushes.
void WriteSettings(wxConfigBase& config, const EditorSettings& from);
// Writes the process-wide values to the process-wide store (when there is one).
void WriteSettings();

// The recent-file list: 8 entries, used ones first, exact path compares.
void addRecentFile(const wxString& path);
bool removeRecentFile(const wxString& path);
void clearRecentFiles();
int recentFileCount();
wxString recentFile(int i);
