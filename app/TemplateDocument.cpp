#include "app/TemplateDocument.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include "app/LibraryService.h"
#include "app/MessageBoxes.h"
#include "app/PluginDialogs.h"
#include "app/Settings.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/TemplateFile.h"
#include "model/TemplateParts.h"

namespace {
const char* const kSyxFilter = "SysEx Dump (*.syx)|*.syx";

std::string toPath(const wxString& path) { return std::string(path.utf8_str()); }

CTemplateDocument::FileDialogRunner& fileDialogRunner() {
    static CTemplateDocument::FileDialogRunner runner;
    return runner;
}

wxString trimmedTemplateName(const CEditorTemplate& tpl) {
    return wxString::FromUTF8(tpl.localSettings().templateName).Trim(true);
}

// How the save question names a template.
wxString promptName(const CEditorTemplate& tpl) {
    return tpl.fromFile ? CTemplateDocument::templateFileName(tpl) : trimmedTemplateName(tpl);
}

wxString invalidTemplateMessage(const wxString& path) {
    return wxString::Format("Unable to open template: %s - the file is not a valid template file", path);
}

wxString convertedNotice(int kind, const IDeviceProfile& profile) {
    return "This template has been imported from a template originally for the " +
           wxString::FromUTF8(deviceKindName(kind)) + ".\n\nIf you save this template, it will be saved as a " +
           wxString::FromUTF8(profile.GetDeviceName()) +
           " template, which may result in loss of data.  To avoid this, choose \"Save As...\" from the File "
           "menu.\n\nYou can find all of the controls from the original template by right-clicking on a control "
           "and choosing \"Imported Controls\".";
}

const char* const kStandardTemplateQuestion =
    "This template is an Pairlink standard template.\nEditing it may cause unexpected behaviour if you load it back "
    "onto your unit.\n\nDo you still want to edit this template?";
}  // namespace

CTemplateDocument::CTemplateDocument(IWindow& window, const EditorServices& services)
    : window(window),
      services(services),
      profile(services.profile),
      settings(services.settings),
      messages(services.messages) {}

CTemplateDocument::~CTemplateDocument() = default;

// --- The open templates -------------------------------------------------------------

CEditorTemplate* CTemplateDocument::templateAt(int i) const {
    if (i < 0 || i >= templateCount()) return nullptr;
    return templates[static_cast<size_t>(i)].get();
}

wxString CTemplateDocument::templateFileName(const CEditorTemplate& tpl) {
    return wxString::FromUTF8(tpl.suggestedFileName());
}

void CTemplateDocument::addTemplate(std::unique_ptr<CEditorTemplate> tpl) {
    templates.insert(templates.begin(), std::move(tpl));
    selectTemplate(0);
}

void CTemplateDocument::selectTemplate(int index) {
    if (index < 0 || index >= templateCount()) {
        currentIdx = -1;
        current = nullptr;
    } else {
        currentIdx = index;
        current = templates[static_cast<size_t>(index)].get();
        if (current->fromFile) settings.addRecentFile(templateFileName(*current));
        // Names of the template's controls are offered when naming others.
        if (auto* tools = ModelHooks::get().nameTools)
            for (int i = 0; i <= current->lastIndex(); ++i)
                if (const CBaseControlState* ctl = current->controlAt(i)) tools->addName(ctl->getName());
    }
    window.CurrentChanged();
}

void CTemplateDocument::moveCurrentToFront() {
    if (currentIdx < 0 || currentIdx >= templateCount()) return;
    auto it = templates.begin() + currentIdx;
    std::unique_ptr<CEditorTemplate> tpl = std::move(*it);
    templates.erase(it);
    addTemplate(std::move(tpl));
}

void CTemplateDocument::chooseTemplate(int index) {
    if (index < 0 || index >= templateCount()) return;
    currentIdx = index;
    current = templates[static_cast<size_t>(index)].get();
    moveCurrentToFront();
}

// --- Commands ------------------------------------------------------------------------

void CTemplateDocument::RunCommand(std::unique_ptr<ICommand> command) {
    if (command && current) executeCommand(std::move(command), *current);
}

void CTemplateDocument::Undo() {
    if (current && canUndo(*current)) undoCommand(*current);
}

void CTemplateDocument::Redo() {
    if (current && canRedo(*current)) redoCommand(*current);
}

// --- File operations ---------------------------------------------------------------------

void CTemplateDocument::SetFileDialogRunner(FileDialogRunner runner) { fileDialogRunner() = std::move(runner); }

bool CTemplateDocument::isFileNameChar(wxChar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-' ||
           c == '_' || c == ' ';
}

wxString CTemplateDocument::Unopenable(const wxString& path) const {
    // A folder, device or pipe exists but is no template: say what it is.
    const std::string notAFile = notAFileReason(toPath(path));
    if (!notAFile.empty()) return wxString::FromUTF8(notAFile);
    if (!wxFileName::FileExists(path)) return "Cannot find file: " + path + "\n\nIt may have been moved or deleted.";
    return wxString();
}

void CTemplateDocument::NewTemplate() {
    addTemplate(profile.CreateTemplate());
    window.DocumentChanged();
}

void CTemplateDocument::OpenTemplate() {
    wxString path;
    if (chooseFile(path, false, kSyxFilter))
        openFile(path, true);
    else
        window.SetStatus("Open cancelled");
}

void CTemplateDocument::ImportControls() {
    wxString path;
    if (chooseFile(path, false, kSyxFilter))
        openFile(path, false);
    else
        window.SetStatus("Import cancelled");
}

void CTemplateDocument::openFile(const wxString& path, bool interactive) {
    const wxString unopenable = Unopenable(path);
    if (!unopenable.empty()) {
        messages.ShowMessage(wxOK, unopenable);
        settings.removeRecentFile(path);
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
        if (messages.ShowMessage(wxYES_NO, "This template is already loaded.  Do you want to revert to the version "
                                           "on disk?") != wxYES)
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

    // A failed revert keeps the template's edits, and with them its "*".
    ByteSequence bytes;
    OpenResult result;
    const bool loaded = readMessageFromFile(toPath(path), bytes, 0) && loadInPlace(*target, [&] {
        result = openTemplateBytes(bytes, *target);
        // A converted template may lose data when saved over its file.
        if (result.ok && interactive && result.foreign) target->markModified();
        return result.ok;
    });
    if (!loaded) {
        fresh.reset();
        window.DocumentChanged();
        window.SetStatus(invalidTemplateMessage(path));
        messages.ShowMessage(wxOK, invalidTemplateMessage(path));
        return;
    }
    // Every template opened from a file is kept in the library, as read.
    if (interactive) services.library.Record(bytes, {LibraryEventKind::Opened, toPath(path)});
    if (interactive && result.foreign) messages.ShowMessage(wxOK, convertedNotice(result.kind, profile));

    if (interactive) {
        settings.addRecentFile(path);
        if (!reverting) {
            if (target->localSettings().hasDeviceByte51 &&
                messages.ShowMessage(wxYES_NO, kStandardTemplateQuestion) != wxYES)
                return;  // the fresh template goes with this scope
            addTemplate(std::move(fresh));
        }
        // The template now matches its file (a converted one stays modified).
        restartHistory(*current);
        current->filePath = toPath(path);
    } else if (!reverting) {
        current->importControlsFrom(*target);
        fresh.reset();
    }
    window.DocumentChanged();
    window.SetStatus(wxString::Format("Opened template: %s", path));
}

bool CTemplateDocument::OpenDump(const ByteSequence& bytes, const wxString& origin) {
    std::unique_ptr<CEditorTemplate> fresh = profile.CreateTemplate();
    const OpenResult result = fresh ? openTemplateBytes(bytes, *fresh) : OpenResult{};
    if (!result.ok) {
        const wxString text = "Unable to open template: " + origin + " - it is not a valid template";
        window.SetStatus(text);
        messages.ShowMessage(wxOK, text);
        return false;
    }
    if (result.foreign) messages.ShowMessage(wxOK, convertedNotice(result.kind, profile));
    if (fresh->localSettings().hasDeviceByte51 && messages.ShowMessage(wxYES_NO, kStandardTemplateQuestion) != wxYES)
        return false;
    fresh->fromFile = false;
    fresh->filePath.clear();
    addTemplate(std::move(fresh));
    restartHistory(*current);
    // A converted template is not what the library holds until saved.
    if (result.foreign) current->markModified();
    window.DocumentChanged();
    window.SetStatus("Opened template: " + origin);
    return true;
}

std::unique_ptr<CEditorTemplate> CTemplateDocument::ReadForComparison(const wxString& path) {
    const wxString unopenable = Unopenable(path);
    if (!unopenable.empty()) {
        messages.ShowMessage(wxOK, unopenable);
        return nullptr;
    }
    // Read and converted exactly as File > Open would.
    std::unique_ptr<CEditorTemplate> other = profile.CreateTemplate();
    ByteSequence bytes;
    if (!other || !readMessageFromFile(toPath(path), bytes, 0) || !openTemplateBytes(bytes, *other).ok) {
        window.SetStatus(invalidTemplateMessage(path));
        messages.ShowMessage(wxOK, invalidTemplateMessage(path));
        return nullptr;
    }
    return other;
}

bool CTemplateDocument::SaveCurrent() {
    if (!current) return false;
    // A failed write leaves the template bound to the file it had before, so
    // that the title, the recent list and the next Save never name a file
    // that does not hold it.
    const bool wasBound = current->fromFile;
    const std::string previousPath = current->filePath;
    wxString path = templateFileName(*current);
    wxString status;
    bool written = false;
    bool write = true;
    if (!current->fromFile) {
        if (chooseFile(path, true, kSyxFilter)) {
            current->fromFile = true;
            current->filePath = toPath(path);
        } else {
            status = "Save canceled";
            write = false;
        }
    }
    if (write) {
        std::string error;
        const ByteSequence bytes = current->save();
        if (writeBytesToFile(toPath(path), bytes, false, error)) {
            services.library.Record(bytes, {LibraryEventKind::Saved, toPath(path)});
            status = wxString::Format("Saved template to: %s", path);
            current->markSaved();
            current->filePath = toPath(path);
            settings.addRecentFile(path);
            written = true;
        } else {
            current->fromFile = wasBound;
            current->filePath = previousPath;
            status = wxString::Format("Unable to save template to: %s\n\n%s.", path, wxString::FromUTF8(error));
            messages.ShowMessage(wxOK, status);
        }
    }
    window.SetStatus(status);
    window.DocumentChanged();
    return written;
}

void CTemplateDocument::SaveTemplate() { SaveCurrent(); }

void CTemplateDocument::SaveTemplateAs() {
    if (!current) return;
    wxString path = templateFileName(*current);
    if (!chooseFile(path, true, kSyxFilter)) return;
    const bool wasBound = current->fromFile;
    const std::string previousPath = current->filePath;
    current->fromFile = true;
    current->filePath = toPath(path);
    if (!SaveCurrent()) {
        current->fromFile = wasBound;
        current->filePath = previousPath;
        window.DocumentChanged();
    }
}

bool CTemplateDocument::chooseFile(wxString& path, bool forSaving, const wxString& filter) {
    const wxFileName proposed(path);
    const long style = forSaving ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT) : wxFD_OPEN;
    wxFileDialog dialog(window.DialogParent(), "", proposed.GetPath(), proposed.GetFullName(), filter, style);
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
                messages.ShowMessage(wxOK, "A template with the same filename is already loaded.\nPlease choose a "
                                           "different filename.");
                return false;
            }
    return true;
}

void CTemplateDocument::closeCurrentTemplate() {
    window.HideEditWindow();
    if (!current) return;
    if (current->isModified()) {
        const int answer =
            messages.ShowMessage(wxYES_NO, wxString::Format("Save changes to template \"%s\"?", promptName(*current)));
        if (answer == wxYES) {
            SaveTemplate();
            if (current->isModified()) return;
        }
    }
    // The window lets go of the template before it is deleted.
    std::unique_ptr<CEditorTemplate> closing = std::move(templates[static_cast<size_t>(currentIdx)]);
    templates.erase(templates.begin() + currentIdx);
    current = nullptr;
    currentIdx = -1;
    selectTemplate(templates.empty() ? -1 : 0);
}

bool CTemplateDocument::CloseAllAsking() {
    window.HideEditWindow();
    for (int i = 0; i < templateCount(); ++i) {
        CEditorTemplate& tpl = *templates[static_cast<size_t>(i)];
        if (!tpl.isModified()) continue;
        if (i != currentIdx) selectTemplate(i);
        window.ShowNow();
        const int answer = messages.ShowMessage(wxYES_NO | wxCANCEL,
                                                wxString::Format("Save changes to template \"%s\"?", promptName(tpl)));
        if (answer == wxYES) {
            SaveTemplate();
            if (tpl.isModified()) return false;
        } else if (answer != wxNO) {
            return false;
        }
    }
    return true;
}

void CTemplateDocument::ImportPluginNames() {
    window.HideEditWindow();
    CVSTSelector selector(window.DialogParent(), services);
    if (selector.ShowModal() != wxID_OK || !selector.selectedPlugin()) return;
    std::unique_ptr<CEditorTemplate> tpl = profile.CreateTemplate();
    {
        wxBusyCursor busy;
        tpl->importPluginNames(selector.selectedPlugin()->description());
    }
    addTemplate(std::move(tpl));
}

bool CTemplateDocument::AcceptsDrop(const wxArrayString& paths) {
    if (paths.empty()) return false;
    for (const wxString& path : paths) {
        // A dropped folder is taken so that opening it can say it is one.
        if (!notAFileReason(toPath(path)).empty()) continue;
        const wxFileName name(path);
        if (!wxFileName::FileExists(path) || name.GetExt() != "syx") return false;
    }
    return true;
}

bool CTemplateDocument::DropFiles(const wxArrayString& paths) {
    if (!AcceptsDrop(paths)) return false;
    for (const wxString& path : paths) openFile(path, true);
    return true;
}
