#pragma once
// The bulk dump dialog: the unit's 40 templates in a list, received from the
// unit, sent to it, opened from and saved to ".blk" files, and edited entry by
// entry (".syx" files, drops, reordering, extract all).
#include <wx/dialog.h>
#include <wx/dnd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EditorServices.h"
#include "library/TemplateLibrary.h"
#include "midi/Transfers.h"

class IBulkDump;
class wxButton;
class wxGauge;
class wxListCtrl;
class wxListEvent;
class wxStaticText;

class CBulkDumpDialog : public wxDialog, public ITransferObserver {
public:
    // The factory settings are read from the services' program directory.
    CBulkDumpDialog(wxWindow* parent, const EditorServices& services, ITransferLink& link);
    ~CBulkDumpDialog() override;

    IBulkDump& Dump() { return *dump; }
    bool IsBusy() const { return busy; }
    bool IsSending() const { return sending; }
    bool IsListening() const { return listening; }
    int SelectedRow() const { return selected; }
    int Counter() const { return counter; }

    // The next dump received becomes a dated backup of the unit in the
    // library; `done` gets, on the GUI thread, whether it was kept and its id.
    void ReceiveAsBackup(std::function<void(bool ok, int64_t snapshotId, const std::string& error)> done);
    // Shows the 40 dumps of a backup (entry i at location i), unmodified.
    bool LoadEntries(const std::vector<ByteSequence>& entries);

    // The actions behind the buttons and the row menu, without their choosers.
    void Listen();
    void Upload();
    void UploadFactorySettings();
    bool LoadDump(const wxString& path, bool quiet);
    bool SaveDumpAs(const wxString& chosen);
    void ExtractAllTo(const wxString& folder);
    void SaveEntryAs(int row, const wxString& path);
    void ReplaceEntry(int row, const wxString& path);
    void ClearEntry(int row);
    void SelectRow(int row);
    void MoveUp();
    void MoveDown();
    // Dropped files, on the row under `point` (dialog coordinates); false
    // when the drop is refused.
    bool DropFiles(const wxPoint& point, const wxArrayString& files);
    void CancelTransfer();
    // Asks to save a modified dump; false when the user cancels.
    bool SavePrompt();
    // The close request: refused while busy, otherwise after the save prompt.
    bool TryClose();

    // ITransferObserver
    void OnTransferStep(int done, int total) override;
    void OnTransferEnded(TransferEnd end) override;
    void OnTransferWaiting() override;

    wxListCtrl* list = nullptr;
    wxStaticText* hint = nullptr;
    wxButton* moveUp = nullptr;
    wxButton* moveDown = nullptr;
    wxButton* listen = nullptr;
    wxButton* upload = nullptr;
    wxButton* factory = nullptr;
    wxButton* open = nullptr;
    wxButton* save = nullptr;
    wxButton* saveAll = nullptr;
    wxButton* ok = nullptr;
    wxWindow* progLine = nullptr;
    wxStaticText* progMessage = nullptr;
    wxGauge* gauge = nullptr;
    wxButton* cancel = nullptr;

private:
    void FillList();
    void UpdateRow(int row);
    void EnableControls();
    void DisableTransfers();
    void ShowProgress(const wxString& message);
    void CloseProgress();
    void StartSending();
    void ShowError(const wxString& text);
    // Keeps every entry of the dump in the template library.
    void RecordInLibrary(LibraryEventKind kind, const wxString& path, bool asSnapshot);

    void OnButton(wxCommandEvent& event);
    void OnItemSelected(wxListEvent& event);
    void OnItemDeselected(wxListEvent& event);
    void OnItemRightClick(wxListEvent& event);
    void OnRowMenu(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    EditorServices services;
    ITransferLink& link;
    std::unique_ptr<IBulkDump> dump;
    std::unique_ptr<CBulkReceiver> receiver;
    std::unique_ptr<CPacedSender> sender;
    int selected = -1;
    int counter = 0;
    bool sending = false;
    bool listening = false;
    bool busy = false;
    bool factoryEnabled = true;
    std::function<void(bool, int64_t, const std::string&)> backupDone;
};

// Accepts ".syx" files dropped on the bulk dump dialog.
class CEntryFileDropTarget : public wxFileDropTarget {
public:
    explicit CEntryFileDropTarget(CBulkDumpDialog* dialog) : dialog(dialog) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

private:
    CBulkDumpDialog* dialog;
};
