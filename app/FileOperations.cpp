// The File menu's operations on ".syx" template files.
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <map>

#include "ui/DifferenceWords.h"
#include "ui/EditControlDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/PluginDialogs.h"
#include "app/Settings.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/DeviceKind.h"
#include "model/EditorTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateDiff.h"
#include "model/TemplateFile.h"
#include "model/TemplateParts.h"

namespace {
const char* const kSyxFilter = "SysEx Dump (*.syx)|*.syx";

std::string toPath(const wxString& path) { return std::string(path.utf8_str()); }

CMainFrame::FileDialogRunner& fileDialogRunner() {
    static CMainFrame::FileDialogRunner runner;
    return runner;
}

wxString trimmedTemplateName(const CEditorTemplate& tpl) {
    return wxString::FromUTF8(tpl.localSettings().templateName).Trim(true);
}

// Why `path` cannot be opened before even reading it (a folder, device or
// pipe, or no file at all), as the message box says it; empty when it can.
wxString unopenableFileMessage(const wxString& path) {
    const std::string notAFile = notAFileReason(toPath(path));
    if (!notAFile.empty()) return wxString::FromUTF8(notAFile);
    if (!wxFileName::FileExists(path)) return "Cannot find file: " + path + "\n\nIt may have been moved or deleted.";
    return wxString();
}

wxString invalidTemplateMessage(const wxString& path) {
    return wxString::Format("Unable to open template: %s - the file is not a valid template file", path);
}
}  // namespace

void CMainFrame::SetFileDialogRunner(FileDialogRunner runner) { fileDialogRunner() = std::move(runner); }

bool CMainFrame::isFileNameChar(wxChar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-' ||
           c == '_' || c == ' ';
}

void CMainFrame::NewTemplate() {
    addTemplate(profile.CreateTemplate());
    updateTitle();
    updateFileMenu();
    updateEditMenu(false, false);
    wxCommandEvent settings(wxEVT_MENU, MenuId::TemplateSettings);
    ProcessWindowEvent(settings);
}

void CMainFrame::OpenTemplate() {
    wxString path;
    if (chooseFile(path, false, kSyxFilter))
        openFile(path, true);
    else
        SetStatus("Open cancelled");
    updateTitle();
}

void CMainFrame::ImportControls() {
    wxString path;
    if (chooseFile(path, false, kSyxFilter))
        openFile(path, false);
    else
        SetStatus("Import cancelled");
    updateTitle();
}

void CMainFrame::openFile(const wxString& path, bool interactive) {
    CEditorApp& app = EditorApp();
    // A folder, device or pipe exists but is no template: say what it is.
    const wxString unopenable = unopenableFileMessage(path);
    if (!unopenable.empty()) {
        app.ShowMessage(wxOK, unopenable);
        if (removeRecentFile(path)) updateFileMenu();
        return;
    }
    // Importing needs a template to import into.
    if (!interactive && !current) interactive = true;

    CEditorTemplate* target = nullptr;
    std::unique_ptr<CEditorTemplate> fresh;
    bool reverting = false;
    for (int i = 0; i < templateCount(); ++i) {
        if (templateFileName(*templates[static_cast<size_t>(i)]) != path) continue;
        selectTemplate(i);
        if (!current->isModified()) return;
        if (app.ShowMessage(wxYES_NO,
                            "This template is already loaded.  Do you want to revert to the version on disk?") != wxYES)
            return;
        target = current;
        reverting = true;
        break;
    }
    if (!target) {
        fresh = profile.CreateTemplate();
        target = fresh.get();
    }

    target->fromFile = true;
    target->filePath = toPath(path);

    // A failed revert keeps the template's edits, so it must stay modified.
    const int savedIndexBefore = target->savedIndex;
    const bool savedValidBefore = target->savedValid;
    const wxString failure = invalidTemplateMessage(path);
    auto fail = [&]() {
        if (reverting) {
            target->savedIndex = savedIndexBefore;
            target->savedValid = savedValidBefore;
        }
        fresh.reset();
        if (reverting) requestRepaint();
        updateTitle();
        SetStatus(failure);
        app.ShowMessage(wxOK, failure);
    };

    ByteSequence bytes;
    if (!readMessageFromFile(toPath(path), bytes, 0)) return fail();
    // Saved from here on, unless validation or a conversion marks it modified.
    target->markSaved();
    const OpenResult result = openTemplateBytes(bytes, *target);
    if (interactive && result.foreign) {
        if (!result.ok) return fail();
        app.ShowMessage(wxOK, "This template has been imported from a template originally for the " +
                                  wxString::FromUTF8(deviceKindName(result.kind)) +
                                  ".\n\nIf you save this template, it will be saved as a " + wxString::FromUTF8(profile.GetDeviceName()) +
                                  " template, which may result in loss of data.  To avoid this, choose \"Save "
                                  "As...\" from the File menu.\n\nYou can find all of the controls from the original "
                                  "template by right-clicking on a control and choosing \"Imported Controls\".");
        target->markModified();
    }
    if (!result.ok) return fail();
    const wxString status = wxString::Format("Opened template: %s", path);

    if (interactive) {
        addRecentFile(path);
        if (!reverting) {
            if (target->localSettings().hasDeviceByte51 &&
                app.ShowMessage(wxYES_NO,
                                "This template is an Pairlink standard template.\nEditing it may cause unexpected "
                                "behaviour if you load it back onto your unit.\n\nDo you still want to edit this "
                                "template?") != wxYES)
                return;  // the fresh template goes with this scope
            addTemplate(std::move(fresh));
        }
        // The template now matches its file: no history, nothing to save
        // (a converted template stays modified).
        current->clearHistory();
        if (current->savedValid) current->markSaved();
        current->filePath = toPath(path);
    } else if (!reverting) {
        current->importControlsFrom(*target);
        fresh.reset();
    }
    updateEditMenu(false, false);
    if (current) UpdateEditMenuFromHistory();
    updateTitle();
    updateFileMenu();
    updateTemplateMenu();
    requestRepaint();
    SetStatus(status);
}

void CMainFrame::CompareWith() {
    if (!current) return;
    wxString path;
    if (chooseFile(path, false, kSyxFilter))
        CompareWithFile(path);
    else
        SetStatus("Compare cancelled");
}

void CMainFrame::CompareWithFile(const wxString& path) {
    const auto* mine = dynamic_cast<const CTaNGRAQVTemplate*>(current);
    if (!mine || !view) return;
    CEditorApp& app = EditorApp();
    const wxString unopenable = unopenableFileMessage(path);
    if (!unopenable.empty()) {
        app.ShowMessage(wxOK, unopenable);
        return;
    }
    // Read and converted exactly as File > Open would, into a template of
    // its own that no window shows.
    std::unique_ptr<CEditorTemplate> other = profile.CreateTemplate();
    auto* theirs = dynamic_cast<CTaNGRAQVTemplate*>(other.get());
    ByteSequence bytes;
    if (!theirs || !readMessageFromFile(toPath(path), bytes, 0) || !openTemplateBytes(bytes, *theirs).ok) {
        SetStatus(invalidTemplateMessage(path));
        app.ShowMessage(wxOK, invalidTemplateMessage(path));
        return;
    }
    const TemplateDifference diff = compareTemplates(*mine, *theirs);
    std::map<int, wxString> notes;
    int shown = 0;
    for (const ControlDifference& control : diff.controls) {
        wxString lines;
        const CBaseControlState* state = current->controlAt(control.index);
        const int type = state ? state->getControlType() : ControlType::Disabled;
        for (const FieldDifference& field : control.fields)
            lines += (lines.empty() ? "" : "\n") + DifferenceInWords(field, profile, type);
        notes[control.index] = lines;
        if (view->FindButton(control.index)) ++shown;
    }
    view->SetComparisonMarks(std::move(notes));
    refreshControlTexts();
    requestRepaint();
    // The status line comes last: refreshing the control texts rewrites it.
    // It names the file without its folder, to leave room for the differences.
    const wxString name = wxFileName(path).GetFullName();
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
            wide += (wide.empty() ? "" : "; ") + DifferenceInWords(field, profile);
        if (!wide.empty()) status += "; template: " + wide;
    }
    SetStatus(status);
}

namespace {
// Writes the current template to its file (asking for one when it has none);
// false when nothing was written. A failed write leaves the template bound to
// the file it had before, so that the title, the recent list and the next
// Save never name a file that does not hold it.
bool saveCurrentTemplate(CMainFrame& frame) {
    CEditorTemplate* current = frame.currentTemplate();
    if (!current) return false;
    const bool wasBound = current->fromFile;
    const std::string previousPath = current->filePath;
    wxString path = CMainFrame::templateFileName(*current);
    wxString status;
    bool written = false;
    bool write = true;
    if (!current->fromFile) {
        if (frame.chooseFile(path, true, kSyxFilter)) {
            current->fromFile = true;
            current->filePath = toPath(path);
        } else {
            status = "Save canceled";
            write = false;
        }
    }
    if (write) {
        std::string error;
        if (writeBytesToFile(toPath(path), current->save(), false, error)) {
            status = wxString::Format("Saved template to: %s", path);
            current->markSaved();
            current->filePath = toPath(path);
            addRecentFile(path);
            written = true;
        } else {
            current->fromFile = wasBound;
            current->filePath = previousPath;
            status = wxString::Format("Unable to save template to: %s\n\n%s.", path, wxString::FromUTF8(error));
            EditorApp().ShowMessage(wxOK, status);
        }
    }
    frame.SetStatus(status);
    frame.updateFileMenu();
    frame.updateTemplateMenu();
    frame.updateTitle();
    return written;
}
}  // namespace

void CMainFrame::SaveTemplate() { saveCurrentTemplate(*this); }

void CMainFrame::SaveTemplateAs() {
    if (!current) return;
    wxString path = templateFileName(*current);
    if (!chooseFile(path, true, kSyxFilter)) return;
    const bool wasBound = current->fromFile;
    const std::string previousPath = current->filePath;
    current->fromFile = true;
    current->filePath = toPath(path);
    if (!saveCurrentTemplate(*this)) {
        current->fromFile = wasBound;
        current->filePath = previousPath;
        updateTitle();
    }
    updateTemplateMenu();
}

bool CMainFrame::chooseFile(wxString& path, bool forSaving, const wxString& filter) {
    const wxFileName proposed(path);
    const long style = forSaving ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT) : wxFD_OPEN;
    wxFileDialog dialog(this, "", proposed.GetPath(), proposed.GetFullName(), filter, style);
    wxString chosen;
    if (fileDialogRunner()) {
        if (!fileDialogRunner()(dialog, chosen)) return false;
    } else {
        if (dialog.ShowModal() != wxID_OK) return false;
        chosen = dialog.GetPath();
    }
    path = chosen;
    if (forSaving)
        for (const auto& tpl : templates)
            if (tpl.get() != current && templateFileName(*tpl) == path) {
                EditorApp().ShowMessage(wxOK,
                                        "A template with the same filename is already loaded.\nPlease choose a "
                                        "different filename.");
                return false;
            }
    return true;
}

void CMainFrame::closeCurrentTemplate() {
    hideEditWindow();
    if (!current) return;
    if (current->isModified()) {
        const wxString name = current->fromFile ? templateFileName(*current) : trimmedTemplateName(*current);
        const int answer = EditorApp().ShowMessage(wxYES_NO, wxString::Format("Save changes to template \"%s\"?", name));
        if (answer == wxYES) {
            SaveTemplate();
            if (current->isModified()) return;
        }
    }
    if (view) view->SetTemplate(nullptr);
    templates.erase(templates.begin() + currentIdx);
    current = nullptr;
    currentIdx = -1;
    selectTemplate(templates.empty() ? -1 : 0);
}

void CMainFrame::OnCloseWindow(wxCloseEvent& event) {
    hideEditWindow();
    bool cancelled = false;
    for (int i = 0; i < templateCount() && !cancelled; ++i) {
        CEditorTemplate& tpl = *templates[static_cast<size_t>(i)];
        if (!tpl.isModified()) continue;
        if (i != currentIdx) selectTemplate(i);
        canvas->Refresh(false);
        canvas->Update();
        const wxString name = tpl.fromFile ? templateFileName(tpl) : trimmedTemplateName(tpl);
        const int answer = EditorApp().ShowMessage(wxYES_NO | wxCANCEL,
                                                   wxString::Format("Save changes to template \"%s\"?", name));
        if (answer == wxYES) {
            SaveTemplate();
            cancelled = tpl.isModified();
        } else if (answer != wxNO) {
            cancelled = true;
        }
    }
    if (cancelled && event.CanVeto()) {
        event.Veto();
        return;
    }
    Destroy();
}

void CMainFrame::ImportPluginNames() {
    hideEditWindow();
    CVSTSelector selector(this);
    if (selector.ShowModal() != wxID_OK || !selector.selectedPlugin()) return;
    std::unique_ptr<CEditorTemplate> tpl = profile.CreateTemplate();
    {
        wxBusyCursor busy;
        tpl->importPluginNames(selector.selectedPlugin()->description());
    }
    addTemplate(std::move(tpl));
    updateTitle();
}
