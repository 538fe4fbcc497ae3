// The welcome, preferences and about dialogs.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dirdlg.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/AboutDialog.h"
#include "app/MessageBoxes.h"
#include "app/MainFrame.h"
#include "app/PreferencesDialog.h"
#include "app/Settings.h"
#include "app/WelcomeDialog.h"
#include "midi/MidiService.h"
#include "model/DeviceProfile.h"
#include "ui/TemplateCanvas.h"
#include "ui/XrcResources.h"

namespace {
const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

// Takes a control out of its dialog's layout.
void removeFromLayout(wxWindow* window) {
    if (!window) return;
    if (wxSizer* sizer = window->GetContainingSizer()) sizer->Detach(window);
    window->Hide();
}

void replaceProduct(wxWindow* window, const wxString& device) {
    if (!window) return;
    wxString label = window->GetLabel();
    if (label.Replace("$PRODUCT$", device)) window->SetLabel(label);
}
}  // namespace

// --- Welcome -----------------------------------------------------------------

CWelcomeDialog::CWelcomeDialog(CMainFrame* frame, const EditorServices& services)
    : frame(frame), services(services), profile(services.profile) {
    // Without its layout the dialog is never created: the caller skips it.
    loaded = XrcResources::LoadDialog(this, frame, "ID_WELCOMEDIALOG");
    if (!loaded) {
        wxLogError(kMissingResource);
        return;
    }
    greeting = findNamed<wxStaticText>(this, "wxID_STATIC");
    createNew = findNamed<wxRadioButton>(this, "Create_A_New_Template");
    listen = findNamed<wxRadioButton>(this, "Listen_For_A_Template");
    updateOS = findNamed<wxRadioButton>(this, "Update_The_OS");
    bulkDumps = findNamed<wxRadioButton>(this, "Send_Bulk_Dumps");
    readHelp = findNamed<wxRadioButton>(this, "Read_The_Help_File");
    nothing = findNamed<wxRadioButton>(this, "Nothing");
    dontShowAgain = findNamed<wxCheckBox>(this, "Dont_Show_Again");

    const wxString device = wxString::FromUTF8(profile.GetDeviceName());
    for (wxWindow* w : std::initializer_list<wxWindow*>{greeting, createNew, listen, updateOS, bulkDumps, readHelp,
                                                       nothing, dontShowAgain})
        replaceProduct(w, device);

    const int ports = services.midi.PortCount();
    if (ports == 0) removeFromLayout(listen);
    if (!(profile.HasOSUpdate() && ports > 0)) removeFromLayout(updateOS);
    if (!(profile.HasBulkDumps() && !profile.IsBulkDumpSingleMessage() && ports > 0)) removeFromLayout(bulkDumps);

    Bind(wxEVT_BUTTON, &CWelcomeDialog::OnOK, this, wxID_OK);
    Fit();
    CentreOnParent();
    // Shown at start-up just after the main window: once both are on the
    // screen (and the fields measured as shown), centre it again.
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        event.Skip();
        if (event.IsShown())
            CallAfter([this] {
                Fit();
                CentreOnParent();
            });
    });
}

void CWelcomeDialog::DevicePrompt(bool input) {
    services.messages.ShowMessage(wxOK, wxString("You will need to select a MIDI ") + (input ? "input " : "output ") +
                                      "device - please do so now before continuing.");
    frame->RunMenuCommand(MenuId::SelectMidiDevice);
}

void CWelcomeDialog::OnOK(wxCommandEvent&) {
    Hide();
    EditorSettings& settings = services.settings;
    const bool dontShow = dontShowAgain && dontShowAgain->GetValue();
    auto chosen = [](wxRadioButton* b) { return b && b->IsShown() && b->GetValue(); };
    if (chosen(nothing)) {
        if (dontShow) settings.startupAction = 1;
    } else if (chosen(createNew)) {
        frame->RunMenuCommand(MenuId::New);
        if (dontShow) settings.startupAction = 2;
    } else if (chosen(listen)) {
        DevicePrompt(true);
        frame->RunMenuCommand(MenuId::Listen);
    } else if (chosen(updateOS)) {
        DevicePrompt(false);
        frame->RunMenuCommand(MenuId::UpdateOS);
    } else if (chosen(bulkDumps)) {
        DevicePrompt(false);
        frame->RunMenuCommand(MenuId::BulkDumps);
    } else if (chosen(readHelp)) {
        frame->RunMenuCommand(MenuId::ViewHelp);
    }
    if (dontShow && settings.startupAction == 0) settings.startupAction = 1;
    Show();
    EndDialog(0);
}

// --- Preferences --------------------------------------------------------------------

CPreferencesDialog::CPreferencesDialog(CMainFrame* frame, const EditorServices& services)
    : frame(frame), services(services), profile(services.profile) {
    // Without its layout the dialog is never created: the caller skips it.
    loaded = XrcResources::LoadDialog(this, frame, "ID_PREFSDIALOG");
    if (!loaded) {
        wxLogError(kMissingResource);
        return;
    }
    startupAction = findNamed<wxChoice>(this, "Startup_Action");
    warnOnOldOS = findNamed<wxCheckBox>(this, "Warn_On_Old_OS");
    sendErrorReports = findNamed<wxCheckBox>(this, "Send_Error_Reports");
    showControlTooltips = findNamed<wxCheckBox>(this, "Show_Control_Tooltips");
    abbreviateSpacer = wxWindow::FindWindowByName("ID_ABBREV_SPACER", this);
    abbreviateNames = findNamed<wxCheckBox>(this, "Abbreviate_Names");
    autoCompleteNames = findNamed<wxCheckBox>(this, "Auto_Complete_Names");
    useExpandingPages = findNamed<wxCheckBox>(this, "Use_Expanding_Pages");
    releaseMidiDriver = findNamed<wxCheckBox>(this, "Release_Midi_Driver_In_Background");
    if (auto* ok = dynamic_cast<wxButton*>(FindWindow(wxID_OK))) ok->SetDefault();

    if (!profile.HasExpandingPanes()) {
        removeFromLayout(useExpandingPages);
        useExpandingPages = nullptr;
    }
    if (profile.GetDisplayNameLength() >= profile.GetMaxNameLength()) {
        removeFromLayout(abbreviateNames);
        removeFromLayout(abbreviateSpacer);
        abbreviateNames = nullptr;
        abbreviateSpacer = nullptr;
    }

    const EditorSettings& s = services.settings;
    auto set = [](wxCheckBox* box, int value) {
        if (box) box->SetValue(value == 1);
    };
    set(warnOnOldOS, s.showOldOSDialog);
    set(sendErrorReports, s.sendErrorsHome);
    set(showControlTooltips, s.showCtrlToolTips);
    set(abbreviateNames, s.abbreviateNames);
    set(autoCompleteNames, s.shouldUseAutoComplete);
    set(useExpandingPages, s.useExpandPanes);
    set(releaseMidiDriver, s.releaseDriver);
    if (startupAction) {
        startupAction->Clear();
        for (const char* entry :
             {"Show welcome dialog", "Blank window", "New blank template", "Open last template", "File open dialog"})
            startupAction->Append(entry);
        if (s.startupAction >= 0 && s.startupAction < 5) startupAction->SetSelection(s.startupAction);
    }

    Bind(wxEVT_BUTTON, &CPreferencesDialog::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CPreferencesDialog::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CPreferencesDialog::OnRestoreDefaults, this, XrcResources::Id("Restore_Defaults"));
    Bind(wxEVT_BUTTON, &CPreferencesDialog::OnPurgeRecentFiles, this, XrcResources::Id("Purge_Recent_Files"));
    Bind(wxEVT_BUTTON, &CPreferencesDialog::OnChooseVSTDirectory, this, XrcResources::Id("Choose_VST_Directory"));

    Fit();
    CentreOnParent();
    SetTitle(wxString::FromUTF8(profile.GetEditorTitle()) + " preferences");
}

void CPreferencesDialog::OnOK(wxCommandEvent&) {
    EditorSettings& s = services.settings;
    auto store = [](wxCheckBox* box, int& value) {
        if (box) value = box->GetValue() ? 1 : 0;
    };
    if (startupAction && startupAction->GetSelection() != wxNOT_FOUND) s.startupAction = startupAction->GetSelection();
    store(useExpandingPages, s.useExpandPanes);
    store(warnOnOldOS, s.showOldOSDialog);
    store(sendErrorReports, s.sendErrorsHome);
    store(showControlTooltips, s.showCtrlToolTips);
    store(abbreviateNames, s.abbreviateNames);
    store(autoCompleteNames, s.shouldUseAutoComplete);
    if (releaseMidiDriver) {
        if (releaseMidiDriver->GetValue() != (s.releaseDriver == 1))
            services.messages.ShowMessage(wxOK, "Please restart the " + wxString::FromUTF8(profile.GetEditorTitle()) +
                                              " for your changes to take effect");
        store(releaseMidiDriver, s.releaseDriver);
    }
    if (s.showCtrlToolTips != 1 && frame) {
        frame->SetToolTip("");
        if (frame->Canvas()) frame->Canvas()->UnsetToolTip();
    }
    WriteSettings(s);
    EndDialog(0);
}

void CPreferencesDialog::OnCancel(wxCommandEvent&) { EndDialog(wxID_CANCEL); }

void CPreferencesDialog::OnRestoreDefaults(wxCommandEvent&) {
    if (startupAction) startupAction->SetSelection(3);
    for (wxCheckBox* box : {warnOnOldOS, sendErrorReports, showControlTooltips, abbreviateNames, autoCompleteNames,
                            useExpandingPages, releaseMidiDriver})
        if (box) box->SetValue(true);
}

void CPreferencesDialog::OnPurgeRecentFiles(wxCommandEvent&) {
    services.settings.clearRecentFiles();
}

void CPreferencesDialog::OnChooseVSTDirectory(wxCommandEvent&) {
    wxDirDialog dialog(this, "Select VST plugins directory", services.settings.vstDir);
    if (dialog.ShowModal() == wxID_OK) services.settings.vstDir = dialog.GetPath();
}

// --- About -------------------------------------------------------------------------

CProductAboutDialog::CProductAboutDialog(wxWindow* parent, const wxString& title, const wxString& text,
                                         const wxString& picturePath)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      text(text) {
    SetBackgroundColour(*wxWHITE);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    if (!picturePath.empty()) {
        wxImage image;
        {
            wxLogNull quiet;  // a missing picture only leaves its space empty
            if (image.LoadFile(picturePath, wxBITMAP_TYPE_ANY)) picture = wxBitmap(image);
        }
        const wxSize space = picture.IsOk() ? picture.GetSize() : wxSize(0, 0);
        row->Add(space.GetWidth(), space.GetHeight());
    }
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* label = new wxStaticText(this, wxID_ANY, text);
    label->SetBackgroundColour(*wxWHITE);
    column->Add(label, 0, wxALL | wxALIGN_CENTRE_HORIZONTAL, 26);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    column->Add(ok, 0, wxALL | wxALIGN_CENTRE_HORIZONTAL, 26);
    row->Add(column, 0, wxALIGN_CENTRE_VERTICAL);
    SetSizerAndFit(row);
    CentreOnParent();
    Bind(wxEVT_PAINT, &CProductAboutDialog::OnPaint, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndDialog(wxID_OK); }, wxID_OK);
}

void CProductAboutDialog::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0) return;
    if (!surface.IsOk() || surface.GetSize() != size) surface.Create(size);
    wxMemoryDC memory(surface);
    memory.SetBackground(*wxWHITE_BRUSH);
    memory.Clear();
    if (picture.IsOk()) memory.DrawBitmap(picture, 0, 0, true);
    dc.Blit(0, 0, size.GetWidth(), size.GetHeight(), &memory, 0, 0);
}
