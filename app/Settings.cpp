#include "app/Settings.h"

#include <wx/config.h>
#include <wx/mstream.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include "model/TemplateFile.h"
#include "plugins/PluginSearch.h"

CSettingsStore::CSettingsStore(const wxString& appName, const wxString& vendorName)
    : CSettingsStore(appName, vendorName,
                     wxFileConfig::GetLocalFileName(appName, wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE)) {}

CSettingsStore::CSettingsStore(const wxString& appName, const wxString& vendorName, const wxString& localFile)
    : wxFileConfig(appName, vendorName, localFile, wxEmptyString, wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE),
      path(localFile) {}

CSettingsStore::~CSettingsStore() {
    // Before the toolkit's destructor would flush its own way.
    Flush();
}

bool CSettingsStore::Flush(bool) {
    wxMemoryOutputStream content;
    if (!Save(content, wxConvUTF8)) return false;
    const wxStreamBuffer* buffer = content.GetOutputStreamBuffer();
    const auto* begin = static_cast<const uint8_t*>(buffer->GetBufferStart());
    std::string error;
    return writeBytesToFile(std::string(path.fn_str()),
                            ByteSequence(std::vector<uint8_t>(begin, begin + content.GetSize())), false, error);
}

EditorSettings& Settings() {
    static EditorSettings settings;
    return settings;
}

wxString DefaultPluginFolder() { return wxString::FromUTF8(PluginSearch::defaultFolderSetting().c_str()); }

namespace {
int readInt(wxConfigBase& config, const char* key, int def) {
    long value = def;
    config.Read(key, &value, def);
    return static_cast<int>(value);
}

wxString readText(wxConfigBase& config, const char* key, const wxString& def) {
    wxString value;
    config.Read(key, &value, def);
    return value;
}

wxString recentKey(int i) { return wxString::Format("RecentFile%d", i); }
}  // namespace

void ReadSettings(wxConfigBase& config, EditorSettings& s) {
    const EditorSettings defaults;
    s.startupAction = readInt(config, "StartupAction", defaults.startupAction);
    s.viewType = readInt(config, "ViewType", defaults.viewType);
    s.releaseDriver = readInt(config, "ReleaseDriver", defaults.releaseDriver);
    s.useExpandPanes = readInt(config, "UseExpandPanes", defaults.useExpandPanes);
    s.showOldOSDialog = readInt(config, "ShowOldOSDialog", defaults.showOldOSDialog);
    s.sendErrorsHome = readInt(config, "SendErrorsHome", defaults.sendErrorsHome);
    s.showCtrlToolTips = readInt(config, "ShowCtrlToolTips", defaults.showCtrlToolTips);
    s.abbreviateNames = readInt(config, "AbbreviateNames", defaults.abbreviateNames);
    s.inputDevice = readText(config, "InputDevice", "");
    s.outputDevice = readText(config, "OutputDevice", "");
    for (int i = 0; i < kRecentFileCount; ++i) s.recentFiles[static_cast<size_t>(i)] = readText(config, recentKey(i).c_str(), "");
    s.vstDir = readText(config, "VSTDir", DefaultPluginFolder());
    s.lastPluginEnumerated = readText(config, "LastPluginEnumerated", "");
    s.pluginsEnumeratedOK = readInt(config, "PluginsEnumeratedOK", defaults.pluginsEnumeratedOK);
    s.shouldUseAutoComplete = readInt(config, "ShouldUseAutoComplete", defaults.shouldUseAutoComplete);
    s.reportServer = readText(config, "ReportServer", "");
    s.panelZoom = readInt(config, "PanelZoom", defaults.panelZoom);
    if (s.panelZoom != 100 && s.panelZoom != 150 && s.panelZoom != 200) s.panelZoom = defaults.panelZoom;
    s.editWindowPosition = readText(config, "EditWindowPosition", "");

    // The list keeps its used entries first; a hand-edited store with gaps
    // would otherwise hide the entries after the first empty one.
    std::array<wxString, kRecentFileCount> packed;
    size_t n = 0;
    for (const wxString& entry : s.recentFiles)
        if (!entry.empty()) packed[n++] = entry;
    s.recentFiles = packed;
}

void WriteSettings(wxConfigBase& config, const EditorSettings& s) {
    config.Write("StartupAction", static_cast<long>(s.startupAction));
    config.Write("ViewType", static_cast<long>(s.viewType));
    config.Write("ReleaseDriver", static_cast<long>(s.releaseDriver));
    config.Write("UseExpandPanes", static_cast<long>(s.useExpandPanes));
    config.Write("InputDevice", s.inputDevice);
    config.Write("OutputDevice", s.outputDevice);
    config.Write("ShowOldOSDialog", static_cast<long>(s.showOldOSDialog));
    config.Write("SendErrorsHome", static_cast<long>(s.sendErrorsHome));
    config.Write("ShowCtrlToolTips", static_cast<long>(s.showCtrlToolTips));
    config.Write("AbbreviateNames", static_cast<long>(s.abbreviateNames));
    for (int i = 0; i < kRecentFileCount; ++i) config.Write(recentKey(i), s.recentFiles[static_cast<size_t>(i)]);
    config.Write("VSTDir", s.vstDir);
    config.Write("LastPluginEnumerated", s.lastPluginEnumerated);
    config.Write("PluginsEnumeratedOK", static_cast<long>(s.pluginsEnumeratedOK));
    config.Write("ShouldUseAutoComplete", static_cast<long>(s.shouldUseAutoComplete));
    config.Write("ReportServer", s.reportServer);
    config.Write("PanelZoom", static_cast<long>(s.panelZoom));
    config.Write("EditWindowPosition", s.editWindowPosition);
    config.Flush();
}

void WriteSettings() {
    if (wxConfigBase* config = wxConfigBase::Get(false)) WriteSettings(*config, Settings());
}

void addRecentFile(const wxString& path) {
    auto& list = Settings().recentFiles;
    size_t remove = list.size() - 1;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == path) {
            remove = i;
            break;
        }
    for (size_t i = remove; i > 0; --i) list[i] = list[i - 1];
    list[0] = path;
}

bool removeRecentFile(const wxString& path) {
    if (path.empty()) return false;
    auto& list = Settings().recentFiles;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == path) {
            for (size_t j = i; j + 1 < list.size(); ++j) list[j] = list[j + 1];
            list.back() = "";
            return true;
        }
    return false;
}

void clearRecentFiles() {
    for (wxString& entry : Settings().recentFiles) entry.clear();
}

int recentFileCount() {
    int n = 0;
    for (const wxString& entry : Settings().recentFiles) {
        if (entry.empty()) break;
        ++n;
    }
    return n;
}

wxString recentFile(int i) {
    if (i < 0 || i >= kRecentFileCount) return wxString();
    return Settings().recentFiles[static_cast<size_t>(i)];
}
