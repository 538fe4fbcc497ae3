#pragma once
// Choosing a plug-in whose parameter names a new template takes: the list of
// plug-ins found, and the progress window shown while they are examined.
#include <wx/dialog.h>
#include <wx/timer.h>

#include <string>
#include <vector>

#include "app/EditorServices.h"
#include "plugins/PluginScanner.h"

class wxButton;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxWindow;

// Shows the name of each file while the helper program examines it; Cancel
// (or closing the window) ends the examination. The event loop keeps running
// throughout, so the window repaints and answers input.
class CExaminingPlugins : public wxDialog, public IPluginHost {
public:
    // The search is recorded in `settings`.
    CExaminingPlugins(wxWindow* parent, EditorSettings& settings);
    ~CExaminingPlugins() override;

    // Examines `files` and waits for the result while handling events. The
    // settings record the search ("PluginsEnumeratedOK", "LastPluginEnumerated")
    // as it goes, so an editor that ends during it warns at its next start.
    // False when the examination could not run (error()) or was cancelled.
    bool Run(const std::vector<std::string>& files, const CPluginScan::Options& options);
    void Cancel();

    const std::vector<PluginInfo>& found() const { return scan.found(); }
    const std::vector<SkippedPlugin>& skipped() const { return scan.skipped(); }
    bool cancelled() const { return scan.cancelled(); }
    const std::string& error() const { return scan.error(); }

    // IPluginHost
    void ExaminingFile(const std::string& path) override;
    void Examined(const PluginInfo&) override {}

    wxStaticText* pluginName = nullptr;  // "ID_PLUGNAME"
    wxButton* cancelButton = nullptr;

private:
    void OnTimer(wxTimerEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void Finish();

    EditorSettings& settings;
    CPluginScan scan;
    wxTimer timer;
    class wxGUIEventLoop* loop = nullptr;
};

// Lists the plug-ins of the plug-in folder ("VSTDir") with their
// manufacturer and name; files that are no usable plug-in are listed as not
// loadable and cannot be chosen.
class CVSTSelector : public wxDialog {
public:
    CVSTSelector(wxWindow* parent, const EditorServices& services);

    // The chosen plug-in, or null.
    const PluginInfo* selectedPlugin() const;
    // Examines the folder again and refills the list.
    void FillList();

    // How the examination runs (the per-file time-out and the helper program).
    static CPluginScan::Options& ScanOptions();

    wxListCtrl* list = nullptr;            // "VST_Plugins_Found"
    wxButton* okButton = nullptr;          // "wxID_OK"
    wxButton* chooseDirectory = nullptr;   // "Choose_VST_Directory"
    std::vector<PluginInfo> plugins;       // rows 0 .. plugins.size() - 1
    std::vector<SkippedPlugin> notLoadable;  // the rows after them
    int selected = -1;

private:
    void OnSelected(wxListEvent& event);
    void OnDeselected(wxListEvent& event);
    void OnActivated(wxListEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnChooseDirectory(wxCommandEvent& event);
    void UpdateOK();
    void Close(int code);

    EditorServices services;
};

// The folders the "VSTDir" setting names.
std::vector<std::string> PluginFolders(const EditorSettings& settings);
