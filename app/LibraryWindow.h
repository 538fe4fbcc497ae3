#pragma once
// The Library window: every template the library keeps, in a list that
// draws only the rows on screen (tens of thousands open at once), searched
// while the user types, with tags, opening, sending to the unit, export,
// deleting, the versions of a file or unit location, and unit backups.
// Every library call runs on the library's worker; the window only shows
// the answers.
#include <wx/dialog.h>
#include <wx/listctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/EditorServices.h"
#include "library/TemplateLibrary.h"

class CDeviceController;
class CEditorTemplate;
class CTemplateDocument;
class wxButton;
class wxStaticText;
class wxTextCtrl;

// The list: its rows are the window's entries, asked for when drawn.
class CLibraryList : public wxListCtrl {
public:
    CLibraryList() = default;
    void SetRows(const std::vector<LibraryEntry>* rows);
    static wxString ColumnText(const LibraryEntry& entry, long column);

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    const std::vector<LibraryEntry>* rows = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CLibraryList);
};

class CLibraryWindow : public wxDialog {
public:
    // What the window does its work with; all outlive it.
    struct Parts {
        CTemplateDocument& document;
        CDeviceController& device;
        // Marks the current template's controls that differ from `other`.
        std::function<void(const CEditorTemplate& other, const wxString& name)> compare;
    };
    CLibraryWindow(wxWindow* parent, const EditorServices& services, Parts parts);
    ~CLibraryWindow() override;
    bool Loaded() const { return loaded; }

    // Asks the library again for the rows that match the search box.
    void Reload();
    // Whether an answer to the newest question is still awaited.
    bool IsLoading() const { return loading; }
    const std::vector<LibraryEntry>& Rows() const { return rows; }
    // The entry of the selected row; 0 without one.
    int64_t SelectedId() const;
    void SelectRow(long row);
    // Milliseconds from the window's creation to its first filled list.
    long FirstFillMs() const { return firstFillMs; }

    // The actions behind the buttons, for the selected entry.
    void OpenSelected();
    void SendSelected();
    void ExportSelected();
    void DeleteSelected();
    void ApplyTags();
    void ShowHistory();
    void BackUpUnit();
    void RestoreUnit();

    CLibraryList* list = nullptr;
    wxTextCtrl* search = nullptr;
    wxTextCtrl* tags = nullptr;
    wxStaticText* count = nullptr;
    wxButton* setTags = nullptr;
    wxButton* open = nullptr;
    wxButton* send = nullptr;
    wxButton* exportButton = nullptr;
    wxButton* history = nullptr;
    wxButton* remove = nullptr;
    wxButton* backUp = nullptr;
    wxButton* restore = nullptr;
    wxButton* close = nullptr;

private:
    // The window as the library's answers see it: they travel through the
    // worker thread and may come back after the window closed.
    struct Guard {
        CLibraryWindow* window;
        std::shared_ptr<bool> alive;
        explicit operator bool() const { return *alive; }
        CLibraryWindow* operator->() const { return window; }
        CLibraryWindow* get() const { return window; }
    };
    Guard Guarded() { return Guard{this, alive}; }
    void ShowRows(std::vector<LibraryEntry> fresh, int total);
    void EnableControls();
    void ShowSelectedTags();
    // The bytes of an entry, fetched on the worker, then `use` on the GUI thread.
    void WithBytes(int64_t id, std::function<void(const LibraryEntryDetail& entry)> use);
    void SetStatus(const wxString& text);
    void OnButton(wxCommandEvent& event);
    void OnListKey(wxListEvent& event);

    EditorServices services;
    Parts parts;
    bool loaded = false;
    std::vector<LibraryEntry> rows;
    // Questions asked while typing: only the newest answer is shown.
    std::shared_ptr<std::atomic<int>> generation = std::make_shared<std::atomic<int>>(0);
    bool loading = false;
    long createdAt = 0;
    long firstFillMs = -1;
    int64_t keepSelected = 0;
    // The status line: the count, then what the last action did.
    wxString countLine;
    wxString note;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// The versions of one file or unit location, oldest first: open one, or
// compare two (the newer opens, marked where it differs from the older).
class CLibraryHistoryDialog : public wxDialog {
public:
    CLibraryHistoryDialog(wxWindow* parent, const wxString& heading, std::vector<LibraryEventRecord> versions,
                          std::vector<wxString> names);
    bool Loaded() const { return loaded; }
    // Selected versions, oldest first.
    std::vector<int> Selected() const;
    void Select(const std::vector<int>& rows);
    enum class Choice { Nothing, OpenOne, CompareTwo };
    Choice GetChoice() const { return choice; }
    // Ends the dialog with the user's choice.
    void Choose(Choice chosen);
    const std::vector<LibraryEventRecord>& Versions() const { return versions; }

    wxListCtrl* list = nullptr;
    wxButton* open = nullptr;
    wxButton* compare = nullptr;

private:
    void EnableControls();

    std::vector<LibraryEventRecord> versions;
    bool loaded = false;
    Choice choice = Choice::Nothing;
};
