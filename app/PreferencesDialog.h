#pragma once
// The per-user settings that have a switch.
#include <wx/dialog.h>

#include "app/EditorServices.h"

class CMainFrame;
class IDeviceProfile;
class wxChoice;
class wxCheckBox;
class wxWindow;

class CPreferencesDialog : public wxDialog {
public:
    CPreferencesDialog(CMainFrame* frame, const EditorServices& services);
    // False when the layout is missing: the dialog was never created and must
    // not be shown (the error has been logged).
    bool Loaded() const { return loaded; }

    wxChoice* startupAction = nullptr;
    wxCheckBox* warnOnOldOS = nullptr;
    wxCheckBox* sendErrorReports = nullptr;
    wxCheckBox* showControlTooltips = nullptr;
    wxWindow* abbreviateSpacer = nullptr;
    wxCheckBox* abbreviateNames = nullptr;
    wxCheckBox* autoCompleteNames = nullptr;
    wxCheckBox* useExpandingPages = nullptr;
    wxCheckBox* releaseMidiDriver = nullptr;

private:
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnRestoreDefaults(wxCommandEvent& event);
    void OnPurgeRecentFiles(wxCommandEvent& event);
    void OnChooseVSTDirectory(wxCommandEvent& event);

    CMainFrame* frame;
    EditorServices services;
    const IDeviceProfile& profile;
    bool loaded = false;
};
