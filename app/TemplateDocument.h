#pragma once
// The main window's open templates and the File menu's operations on them:
// new, open, import, save, save as, close, the questions asked before
// unsaved changes are lost, and the commands run on the current template's
// history. The list is ordered most recently chosen first; exactly one
// template is current while any is open.
#include <wx/arrstr.h>
#include <wx/string.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/EditorServices.h"

class ByteSequence;
class CEditorTemplate;
class ICommand;
class wxFileDialog;
class wxWindow;

class CTemplateDocument {
public:
    // What the document needs from the window that shows it.
    class IWindow {
    public:
        virtual ~IWindow() = default;
        // Another template (or none) is current; the list may have changed too.
        virtual void CurrentChanged() = 0;
        // The list, a file name or a saved state changed (title, Template menu).
        virtual void DocumentChanged() = 0;
        virtual void SetStatus(const wxString& text) = 0;
        virtual void HideEditWindow() = 0;
        // Draws the current template at once, before a question about it.
        virtual void ShowNow() = 0;
        virtual wxWindow* DialogParent() = 0;
    };

    CTemplateDocument(IWindow& window, const EditorServices& services);
    ~CTemplateDocument();
    CTemplateDocument(const CTemplateDocument&) = delete;
    CTemplateDocument& operator=(const CTemplateDocument&) = delete;

    // --- The open templates ------------------------------------------------
    int templateCount() const { return static_cast<int>(templates.size()); }
    CEditorTemplate* templateAt(int i) const;
    CEditorTemplate* currentTemplate() const { return current; }
    int currentIndex() const { return currentIdx; }
    // Puts a template at the front of the list and makes it current.
    void addTemplate(std::unique_ptr<CEditorTemplate> tpl);
    // Makes the template at `index` current (none for -1).
    void selectTemplate(int index);
    void reselectCurrent() { selectTemplate(currentIdx); }
    void moveCurrentToFront();
    // Makes the template at `index` current and moves it to the front.
    void chooseTemplate(int index);
    // The name a template goes by: its file path, or the suggested file name.
    static wxString templateFileName(const CEditorTemplate& tpl);

    // --- Commands on the current template's history ----------------------------
    void RunCommand(std::unique_ptr<ICommand> command);
    void Undo();
    void Redo();

    // --- File operations ------------------------------------------------------
    void NewTemplate();
    void OpenTemplate();     // File > Open: the file dialog, then openFile
    void ImportControls();   // File > Import Controls: the same, importing
    // interactive: the file becomes a template of its own; otherwise its
    // controls are imported into the current template.
    void openFile(const wxString& path, bool interactive);
    void SaveTemplate();
    void SaveTemplateAs();
    void closeCurrentTemplate();
    // Asks about each modified template in turn; false when the user cancelled.
    bool CloseAllAsking();
    // File > Import Names from Plug-in: a new template named after a plug-in's parameters.
    void ImportPluginNames();
    // Opens a template dump held elsewhere (the library) as a new template
    // bound to no file, as Open would open the file holding it; `origin`
    // names it in the messages. False (the reason shown) when it is none.
    bool OpenDump(const ByteSequence& bytes, const wxString& origin);
    // A template read from `path` as Open reads it, belonging to no window;
    // null (the reason shown) when it cannot be read.
    std::unique_ptr<CEditorTemplate> ReadForComparison(const wxString& path);

    bool chooseFile(wxString& path, bool forSaving, const wxString& filter);
    // Runs a file dialog and gives the chosen path; replaced by tests, which
    // cannot read a choice back from the platform's dialog without showing it.
    using FileDialogRunner = std::function<bool(wxFileDialog& dialog, wxString& chosen)>;
    static void SetFileDialogRunner(FileDialogRunner runner);
    static bool isFileNameChar(wxChar c);
    // The drop rule: every path an existing file ending exactly in "syx".
    static bool AcceptsDrop(const wxArrayString& paths);
    bool DropFiles(const wxArrayString& paths);

private:
    // Writes the current template to its file (asking for one when it has
    // none); false when nothing was written.
    bool SaveCurrent();
    // Why `path` cannot be opened at all (shown), or empty.
    wxString Unopenable(const wxString& path) const;

    IWindow& window;
    EditorServices services;
    const IDeviceProfile& profile;
    EditorSettings& settings;
    CMessageBoxes& messages;
    std::vector<std::unique_ptr<CEditorTemplate>> templates;
    CEditorTemplate* current = nullptr;
    int currentIdx = -1;
};
