#include "app/PluginDialogs.h"

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "model/DeviceProfile.h"
#include "plugins/PluginSearch.h"
#include "ui/XrcResources.h"

namespace {
const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

wxString fromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

// The part of a path after its last "/", or after its last "\".
wxString lastPart(const wxString& path) {
    int cut = path.Find('/', true);
    if (cut == wxNOT_FOUND) cut = path.Find('\\', true);
    return cut == wxNOT_FOUND ? path : path.Mid(static_cast<size_t>(cut) + 1);
}
}  // namespace

std::vector<std::string> PluginFolders(const EditorSettings& settings) {
    return PluginSearch::splitFolders(settings.vstDir.ToStdString());
}

// --- Progress -------------------------------------------------------------------

CExaminingPlugins::CExaminingPlugins(wxWindow* parent, EditorSettings& settings) : settings(settings), timer(this) {
    if (!XrcResources::LoadDialog(this, parent, "ID_EXAMINEPROGRESS")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Examining plug-ins");
    }
    pluginName = findNamed<wxStaticText>(this, "ID_PLUGNAME");
    cancelButton = findNamed<wxButton>(this, "wxID_CANCEL");
    if (pluginName) pluginName->SetLabel("");
    Bind(wxEVT_TIMER, &CExaminingPlugins::OnTimer, this);
    Bind(wxEVT_BUTTON, &CExaminingPlugins::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CExaminingPlugins::OnClose, this);
}

CExaminingPlugins::~CExaminingPlugins() {
    timer.Stop();
    scan.cancel();
}

bool CExaminingPlugins::Run(const std::vector<std::string>& files, const CPluginScan::Options& options) {
    settings.pluginsEnumeratedOK = 0;
    WriteSettings(settings);
    const bool started = scan.start(files, options);
    if (started) {
        CentreOnParent();
        Show();
        Update();
        // Other windows take no input meanwhile, but all of them repaint.
        wxWindowDisabler others(this);
        wxGUIEventLoop nested;
        loop = &nested;
        timer.Start(20);
        nested.Run();
        loop = nullptr;
        timer.Stop();
        Hide();
    }
    settings.pluginsEnumeratedOK = 1;
    WriteSettings(settings);
    return started && scan.finished() && scan.error().empty();
}

void CExaminingPlugins::ExaminingFile(const std::string& path) {
    settings.lastPluginEnumerated = fromUtf8(path);
    WriteSettings(settings);
    if (!pluginName) return;
    pluginName->SetLabel(lastPart(fromUtf8(PluginNames::shownText(path))));
    Layout();
    Refresh();
    Update();
}

void CExaminingPlugins::OnTimer(wxTimerEvent&) {
    if (!scan.poll(0, this)) Finish();
}

void CExaminingPlugins::Cancel() {
    scan.cancel();
    Finish();
}

void CExaminingPlugins::Finish() {
    timer.Stop();
    if (loop && loop->IsRunning()) loop->Exit();
}

void CExaminingPlugins::OnCancel(wxCommandEvent&) { Cancel(); }

void CExaminingPlugins::OnClose(wxCloseEvent& event) {
    if (scan.running()) {
        Cancel();
        event.Veto();
        return;
    }
    event.Skip();
}

// --- Selector --------------------------------------------------------------------

CPluginScan::Options& CVSTSelector::ScanOptions() {
    static CPluginScan::Options options;
    return options;
}

CVSTSelector::CVSTSelector(wxWindow* parent, const EditorServices& services) : services(services) {
    if (!XrcResources::LoadDialog(this, parent, "ID_VSTSELECTOR")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Plug-ins");
    }
    list = findNamed<wxListCtrl>(this, "VST_Plugins_Found");
    okButton = findNamed<wxButton>(this, "wxID_OK");
    chooseDirectory = findNamed<wxButton>(this, "Choose_VST_Directory");
    // A choice between kinds of result that this editor does not offer.
    for (const char* name : {"ID_CREATEAS", "Create_As_Normal_Template", "Create_As_Cubase_Map"})
        if (wxWindow* w = wxWindow::FindWindowByName(name, this)) {
            // A box's own sizer holds the other two: take it out of the layout whole.
            if (wxSizer* boxSizer = w->GetContainingSizer(); boxSizer && GetSizer())
                GetSizer()->Hide(boxSizer, true);
            w->Hide();
        }
    if (okButton) okButton->Disable();

    Bind(wxEVT_LIST_ITEM_SELECTED, &CVSTSelector::OnSelected, this);
    Bind(wxEVT_LIST_ITEM_DESELECTED, &CVSTSelector::OnDeselected, this);
    Bind(wxEVT_LIST_ITEM_ACTIVATED, &CVSTSelector::OnActivated, this);
    Bind(wxEVT_BUTTON, &CVSTSelector::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CVSTSelector::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CVSTSelector::OnChooseDirectory, this, XrcResources::Id("Choose_VST_Directory"));
    FillList();
    Layout();
    CentreOnParent();
}

void CVSTSelector::FillList() {
    selected = -1;
    plugins.clear();
    notLoadable.clear();
    if (list) {
        list->ClearAll();
        list->Refresh();
        list->Update();
        list->InsertColumn(0, "Manufacturer", wxLIST_FORMAT_LEFT, 120);
        list->InsertColumn(1, "Name", wxLIST_FORMAT_LEFT, 155);
    }
    UpdateOK();

    const std::vector<std::string> files = PluginSearch::findPluginFiles(PluginFolders(services.settings));
    CPluginScan::Options options = ScanOptions();
    options.maxNameLength = services.profile.GetMaxNameLength();
    {
        CExaminingPlugins progress(IsShown() ? static_cast<wxWindow*>(this) : GetParent(), services.settings);
        if (!progress.Run(files, options) && !progress.cancelled() && !progress.error().empty())
            services.messages.ShowMessage(wxOK | wxICON_ERROR, fromUtf8(progress.error()));
        plugins = progress.found();
        notLoadable = progress.skipped();
    }
    if (!list) return;
    long row = 0;
    for (const PluginInfo& p : plugins) {
        wxString vendor = fromUtf8(PluginNames::shownText(p.vendor));
        vendor.Trim(false);
        wxString name = fromUtf8(PluginNames::shownText(p.name));
        name.Trim(true);
        list->InsertItem(row, vendor);
        list->SetItem(row, 1, name);
        ++row;
    }
    for (const SkippedPlugin& s : notLoadable) {
        list->InsertItem(row, "(not loadable)");
        list->SetItem(row, 1,
                      lastPart(fromUtf8(PluginNames::shownText(s.path))) + ": " +
                          fromUtf8(PluginNames::shownText(s.reason)));
        list->SetItemTextColour(row, wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
        ++row;
    }
}

const PluginInfo* CVSTSelector::selectedPlugin() const {
    if (selected < 0 || selected >= static_cast<int>(plugins.size())) return nullptr;
    return &plugins[static_cast<size_t>(selected)];
}

void CVSTSelector::UpdateOK() {
    if (!okButton) return;
    const bool one = list && list->GetSelectedItemCount() == 1 && selectedPlugin() != nullptr;
    okButton->Enable(one);
    if (one) okButton->SetDefault();
}

void CVSTSelector::OnSelected(wxListEvent& event) {
    const long row = event.GetIndex();
    selected = row < static_cast<long>(plugins.size()) ? static_cast<int>(row) : -1;
    UpdateOK();
}

void CVSTSelector::OnDeselected(wxListEvent&) {
    if (list && list->GetSelectedItemCount() == 0) selected = -1;
    UpdateOK();
}

void CVSTSelector::OnActivated(wxListEvent& event) {
    const long row = event.GetIndex();
    if (row < 0 || row >= static_cast<long>(plugins.size())) return;  // a file that is no plug-in
    selected = static_cast<int>(row);
    Close(wxID_OK);
}

void CVSTSelector::OnOK(wxCommandEvent&) {
    if (selectedPlugin()) Close(wxID_OK);
}

void CVSTSelector::OnCancel(wxCommandEvent&) { Close(wxID_CANCEL); }

void CVSTSelector::Close(int code) {
    SetReturnCode(code);
    EndDialog(code);
}

void CVSTSelector::OnChooseDirectory(wxCommandEvent&) {
    const std::vector<std::string> folders = PluginFolders(services.settings);
    wxDirDialog dialog(this, "Select VST plugins directory", folders.empty() ? wxString() : fromUtf8(folders[0]),
                       wxDD_DEFAULT_STYLE, wxDefaultPosition, wxDefaultSize, "wxDirCtrl");
    if (dialog.ShowModal() != wxID_OK) return;
    services.settings.vstDir = dialog.GetPath();
    WriteSettings(services.settings);
    FillList();
}
