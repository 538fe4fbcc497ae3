#include "app/BulkDumpDialog.h"

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>

#include "app/LibraryService.h"
#include "app/MessageBoxes.h"
#include "midi/MidiService.h"
#include "model/BulkDump.h"
#include "model/DeviceProfile.h"
#include "ui/XrcResources.h"

namespace {
const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";
const char* const kBulkFilter = "Bulk Dumps(*.blk)|*.blk";
const char* const kSysExFilter = "SysEx Dump (*.syx)|*.syx";

enum RowMenu { RowSaveAs = wxID_HIGHEST + 700, RowReplace, RowClear };

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

void enable(wxWindow* w, bool on) {
    if (w) w->Enable(on);
}

wxString fromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string toUtf8(const wxString& s) { return std::string(s.utf8_str()); }
}  // namespace

CBulkDumpDialog::CBulkDumpDialog(wxWindow* parent, const EditorServices& services, ITransferLink& link)
    : services(services), link(link), dump(services.profile.CreateBulkDump()) {
    if (!XrcResources::LoadDialog(this, parent, "ID_BULKDUMPDIALOG")) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Bulk dump");
    }
    list = findNamed<wxListCtrl>(this, "Dump_Contents");
    hint = findNamed<wxStaticText>(this, "wxID_STATIC");
    moveUp = findNamed<wxButton>(this, "Move_Item_Up");
    moveDown = findNamed<wxButton>(this, "Move_Item_Down");
    listen = findNamed<wxButton>(this, "Listen_For_Dump");
    upload = findNamed<wxButton>(this, "Upload_Dump");
    factory = findNamed<wxButton>(this, "Upload_Factory_Settings");
    open = findNamed<wxButton>(this, "Open_Dump");
    save = findNamed<wxButton>(this, "Save_Dump");
    saveAll = findNamed<wxButton>(this, "Save_All");
    ok = findNamed<wxButton>(this, "wxID_OK");
    progLine = wxWindow::FindWindowByName("ID_PROGLINE", this);
    progMessage = findNamed<wxStaticText>(this, "ID_PORGMESSAGE");
    gauge = findNamed<wxGauge>(this, "ID_PROGRESS");
    cancel = findNamed<wxButton>(this, "wxID_CANCEL");
    SetTitle("Bulk dump");

    if (hint) hint->SetLabel("Right click to modify contents");
    if (list) {
        list->InsertColumn(0, "Index", wxLIST_FORMAT_LEFT, 30);
        list->InsertColumn(1, "Name", wxLIST_FORMAT_LEFT, 160);
        list->Bind(wxEVT_LIST_ITEM_SELECTED, &CBulkDumpDialog::OnItemSelected, this);
        list->Bind(wxEVT_LIST_ITEM_DESELECTED, &CBulkDumpDialog::OnItemDeselected, this);
        list->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, &CBulkDumpDialog::OnItemRightClick, this);
    }
    Bind(wxEVT_BUTTON, &CBulkDumpDialog::OnButton, this);
    Bind(wxEVT_MENU, &CBulkDumpDialog::OnRowMenu, this, RowSaveAs, RowClear);
    Bind(wxEVT_CLOSE_WINDOW, &CBulkDumpDialog::OnClose, this);
    SetDropTarget(new CEntryFileDropTarget(this));

    FillList();
    EnableControls();
    enable(save, false);
    enable(saveAll, false);
    if (progLine) progLine->Hide();
    enable(cancel, false);
    Layout();
    Fit();
    CentreOnParent();
}

CBulkDumpDialog::~CBulkDumpDialog() {
    // Transfers end before the dialog goes (and stop calling it).
    if (receiver && receiver->IsRunning()) receiver->Cancel();
    if (sender && sender->IsRunning()) sender->Cancel();
    receiver.reset();
    sender.reset();
}

// ---- list and controls ----

void CBulkDumpDialog::FillList() {
    if (!list) return;
    list->DeleteAllItems();
    selected = -1;
    if (!dump->HasContents()) return;
    for (int i = 0; i < dump->GetCount(); ++i) {
        list->InsertItem(i, wxString::Format("%d", i + 1));
        list->SetItem(i, 1, fromUtf8(dump->GetEntry(i).displayName()));
    }
}

void CBulkDumpDialog::UpdateRow(int row) {
    if (!list || row < 0 || row >= list->GetItemCount()) return;
    list->SetItem(row, 0, wxString::Format("%d", row + 1));
    list->SetItem(row, 1, fromUtf8(dump->GetEntry(row).displayName()));
}

void CBulkDumpDialog::EnableControls() {
    const bool idle = !busy;
    const bool contents = dump->HasContents();
    enable(factory, idle && factoryEnabled);
    enable(list, idle);
    enable(open, idle);
    enable(ok, idle);
    enable(listen, idle && link.HasInput());
    enable(upload, idle && contents && link.HasOutput());
    enable(save, idle && contents);
    enable(saveAll, idle && contents);
    enable(moveUp, idle && contents && selected > 0);
    enable(moveDown, idle && contents && selected >= 0 && selected < dump->GetCount() - 1);
}

void CBulkDumpDialog::DisableTransfers() {
    enable(listen, false);
    enable(upload, false);
    enable(factory, false);
}

void CBulkDumpDialog::ShowProgress(const wxString& message) {
    busy = true;
    if (progMessage) progMessage->SetLabel(message);
    if (gauge) {
        gauge->SetRange(dump->GetCount());
        gauge->SetValue(0);
    }
    if (progLine) progLine->Show();
    for (wxWindow* w : {static_cast<wxWindow*>(list), static_cast<wxWindow*>(moveUp),
                        static_cast<wxWindow*>(moveDown), static_cast<wxWindow*>(listen),
                        static_cast<wxWindow*>(upload), static_cast<wxWindow*>(factory),
                        static_cast<wxWindow*>(open), static_cast<wxWindow*>(save),
                        static_cast<wxWindow*>(saveAll), static_cast<wxWindow*>(ok)})
        enable(w, false);
    enable(cancel, true);
    Layout();
    Fit();
}

void CBulkDumpDialog::CloseProgress() {
    counter = 0;
    sending = false;
    listening = false;
    busy = false;
    if (progMessage) progMessage->SetLabel("");
    if (gauge) gauge->SetValue(0);
    if (progLine) progLine->Hide();
    enable(cancel, false);
    EnableControls();
    Layout();
    Fit();
}

void CBulkDumpDialog::ShowError(const wxString& text) { services.messages.ShowMessage(wxOK | wxICON_ERROR, text); }

bool CBulkDumpDialog::SavePrompt() {
    if (!dump->IsModified()) return true;
    const int answer =
        services.messages.ShowMessage(wxYES_NO | wxCANCEL | wxICON_QUESTION, "Do you want to save your changes to the dump?");
    if (answer == wxCANCEL) return false;
    if (answer == wxYES) {
        wxFileDialog chooser(this, "Save bulk dump", "", "", kBulkFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (chooser.ShowModal() != wxID_OK) return false;
        if (!SaveDumpAs(chooser.GetPath())) return false;
    }
    return true;
}

// ---- receiving ----

void CBulkDumpDialog::Listen() {
    if (busy || !SavePrompt()) return;
    receiver = std::make_unique<CBulkReceiver>(link, *dump, this);
    if (!receiver->Start()) {
        DisableTransfers();
        services.messages.ReportInputLost(services.midi.InputName());
        return;
    }
    counter = 0;
    listening = true;
    sending = false;
    ShowProgress("Awaiting dump...");
}

// ---- sending ----

void CBulkDumpDialog::Upload() {
    if (busy || !dump->HasContents()) return;
    StartSending();
}

void CBulkDumpDialog::StartSending() {
    counter = 0;
    sending = true;
    listening = false;
    ShowProgress("Writing dump...");
    sender = std::make_unique<CPacedSender>(link, BulkDumpMessages(*dump),
                                            BulkSendPause(services.profile.GetDeviceType()), this);
    sender->Start();
}

void CBulkDumpDialog::UploadFactorySettings() {
    if (busy) return;
    // Loading the factory set replaces the dump shown here: offer to keep it first.
    if (!SavePrompt()) return;
    factoryEnabled = false;
    enable(factory, false);
    if (!LoadDump(services.programDirectory + wxFileName::GetPathSeparator() + "FactorySettings.blk", true)) return;
    if (!link.HasOutput()) {
        services.messages.ReportOutputLost(services.midi.OutputName());
        return;
    }
    StartSending();
}

void CBulkDumpDialog::CancelTransfer() {
    if (!busy) return;
    if (receiver && receiver->IsRunning()) receiver->Cancel();
    else if (sender && sender->IsRunning()) sender->Cancel();
    else CloseProgress();
}

void CBulkDumpDialog::OnTransferStep(int done, int) {
    counter = done;
    if (listening) {
        if (done < dump->GetCount()) {
            if (progMessage) progMessage->SetLabel(wxString::Format("Receiving %d...", done + 1));
            if (gauge) gauge->SetValue(done);
        }
    } else if (sending) {
        if (progMessage) progMessage->SetLabel(wxString::Format("Writing %d...", done));
        if (gauge) gauge->SetValue(done);
    }
}

void CBulkDumpDialog::OnTransferWaiting() {
    if (gauge) gauge->Refresh();
}

namespace {
wxString templatesText(int n) { return n == 1 ? wxString("1 template") : wxString::Format("%d templates", n); }
}  // namespace

void CBulkDumpDialog::OnTransferEnded(TransferEnd end) {
    const bool wasSending = sending;
    const int received = receiver ? receiver->Received() : 0;
    const int delivered = sender ? sender->Delivered() : 0;
    const int total = sender ? sender->Total() : 0;
    CloseProgress();
    factoryEnabled = true;
    if (!wasSending) FillList();
    switch (end) {
        case TransferEnd::Completed:
            if (wasSending) {
                RecordInLibrary(LibraryEventKind::BulkSent, wxString(), false);
            } else {
                RecordInLibrary(LibraryEventKind::BulkReceived, wxString(), static_cast<bool>(backupDone));
                backupDone = nullptr;
            }
            break;
        case TransferEnd::Cancelled:
            break;
        case TransferEnd::BadDump:
            // A message with the unit's header that is no template: a fault on
            // the way, not the user's doing.
            ShowError(
                "Unable to read dump: the unit sent a message that is not a valid template.\n\nListen again, then "
                "send the dump from the unit again.");
            break;
        case TransferEnd::PortLost:
            // The device-lost message comes from the service as well; this one
            // tells what became of the dump.
            ShowError(received > 0 ? "The MIDI input went away during the bulk dump.\n\nThe " +
                                         wxString(received == 1 ? "template" : templatesText(received)) +
                                         " received before " + (received == 1 ? "is" : "are") +
                                         " kept; the others are empty."
                                   : wxString("The MIDI input went away during the bulk dump; no template had "
                                              "arrived."));
            break;
        case TransferEnd::Unsendable:
            ShowError("Unable to send the bulk dump: " + wxString::FromUTF8(sender ? sender->Problem() : "") +
                      "\n\nNothing was sent.");
            break;
        case TransferEnd::CannotStart:
            DisableTransfers();
            if (wasSending) services.messages.ReportOutputLost(services.midi.OutputName());
            else services.messages.ReportInputLost(services.midi.InputName());
            break;
        case TransferEnd::Failed:
            ShowError(wasSending ? wxString::Format("Error sending bulk dump\n\n%d of %d templates reached the unit.",
                                                    delivered, total)
                                 : wxString("Error receiving bulk dump"));
            break;
    }
    EnableControls();
    if (end == TransferEnd::CannotStart) DisableTransfers();
}

// ---- files ----

bool CBulkDumpDialog::LoadDump(const wxString& path, bool quiet) {
    std::string error;
    if (!dump->LoadFromFile(toUtf8(path), error)) {
        if (!quiet) ShowError("Unable to load dump from file: " + path);
        return false;
    }
    // The factory set (loaded quietly) is no template of the user's.
    if (!quiet) RecordInLibrary(LibraryEventKind::BulkOpened, path, false);
    FillList();
    EnableControls();
    return true;
}

bool CBulkDumpDialog::SaveDumpAs(const wxString& chosen) {
    const wxString path = fromUtf8(bulkFileNameFor(toUtf8(chosen)));
    std::string error;
    if (!dump->SaveToFile(toUtf8(path), error)) {
        ShowError("Unable to save file: " + path + "\nCheck the file is not read only.");
        return false;
    }
    return true;
}

void CBulkDumpDialog::ExtractAllTo(const wxString& folder) {
    for (const ExtractFailure& f : extractAllEntries(*dump, toUtf8(folder)))
        ShowError("Unable to save \"" + fromUtf8(f.path) + "\" - Check the file is not read only.");
}

void CBulkDumpDialog::SaveEntryAs(int row, const wxString& path) {
    std::string error;
    if (!saveEntryAsTemplate(*dump, row, toUtf8(path), error))
        ShowError("Unable to save \"" + path + "\" - Check the file is not read only.");
}

void CBulkDumpDialog::ReplaceEntry(int row, const wxString& path) {
    switch (replaceEntryFromFile(*dump, row, toUtf8(path))) {
        case ReplaceResult::Unreadable:
            ShowError("Unable to load \"" + path + "\" - The file may have been moved or deleted.");
            return;
        case ReplaceResult::NotATemplate: ShowError("The file \"" + path + "\" is not a valid template file."); return;
        case ReplaceResult::Ok: break;
    }
    UpdateRow(row);
    if (list && row < list->GetItemCount()) list->SetItemState(row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
}

void CBulkDumpDialog::ClearEntry(int row) {
    dump->ClearEntry(row);
    UpdateRow(row);
}

// ---- the library ----

void CBulkDumpDialog::RecordInLibrary(LibraryEventKind kind, const wxString& path, bool asSnapshot) {
    if (!dump->HasContents()) return;
    std::vector<ByteSequence> entries;
    entries.reserve(static_cast<size_t>(dump->GetCount()));
    for (int i = 0; i < dump->GetCount(); ++i) entries.push_back(dump->GetEntry(i).save());
    LibraryEvent event{kind};
    if (!path.empty()) {
        wxFileName name(path);
        name.MakeAbsolute();
        event.path = toUtf8(name.GetFullPath());
    }
    CLibraryService::BulkDone done;
    if (asSnapshot) done = backupDone;
    services.library.RecordBulk(std::move(entries), event, asSnapshot, std::move(done));
}

void CBulkDumpDialog::ReceiveAsBackup(std::function<void(bool, int64_t, const std::string&)> done) {
    backupDone = std::move(done);
}

bool CBulkDumpDialog::LoadEntries(const std::vector<ByteSequence>& entries) {
    if (static_cast<int>(entries.size()) != dump->GetCount()) return false;
    // Read all before changing any entry: a bad dump leaves the dialog as it was.
    std::vector<std::unique_ptr<CEditorTemplate>> read;
    for (const ByteSequence& bytes : entries) {
        read.push_back(dump->CreateEntryTemplate());
        if (!read.back()->load(bytes)) return false;
    }
    for (int i = 0; i < dump->GetCount(); ++i) dump->SetEntry(*read[static_cast<size_t>(i)], i);
    dump->SetHasContents(true);
    dump->SetModified(false);
    FillList();
    EnableControls();
    return true;
}

// ---- rows ----

void CBulkDumpDialog::SelectRow(int row) {
    selected = row;
    if (list && row >= 0 && row < list->GetItemCount()) {
        list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                           wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        list->EnsureVisible(row);
    }
    selected = row;
    EnableControls();
}

void CBulkDumpDialog::MoveUp() {
    if (selected <= 0 || !dump->HasContents()) return;
    dump->SwapEntries(selected, selected - 1);
    UpdateRow(selected);
    UpdateRow(selected - 1);
    SelectRow(selected - 1);
}

void CBulkDumpDialog::MoveDown() {
    if (selected < 0 || selected >= dump->GetCount() - 1 || !dump->HasContents()) return;
    dump->SwapEntries(selected, selected + 1);
    UpdateRow(selected);
    UpdateRow(selected + 1);
    SelectRow(selected + 1);
}

bool CBulkDumpDialog::DropFiles(const wxPoint& point, const wxArrayString& files) {
    if (busy) return false;
    for (const wxString& f : files) {
        wxFileName name(f);
        if (!wxFileName::FileExists(f) || name.GetExt() != "syx") return false;
    }
    int row = 0;
    if (list) {
        // The row whose rectangle (in the list's own coordinates) holds the point.
        const wxPoint inList = list->ScreenToClient(ClientToScreen(point));
        const long top = std::max(0L, list->GetTopItem());
        const long last = std::min<long>(list->GetItemCount(), top + list->GetCountPerPage() + 2);
        for (long i = top; i < last; ++i) {
            wxRect r;
            if (list->GetItemRect(i, r) && r.Contains(inList)) {
                row = static_cast<int>(i);
                break;
            }
        }
    }
    for (const wxString& f : files) {
        if (row >= dump->GetCount()) break;
        ReplaceEntry(row, f);
        ++row;
    }
    if (list) list->Refresh();
    return true;
}

bool CEntryFileDropTarget::OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) {
    return dialog->DropFiles(wxPoint(x, y), files);
}

// ---- events ----

void CBulkDumpDialog::OnButton(wxCommandEvent& event) {
    wxWindow* source = dynamic_cast<wxWindow*>(event.GetEventObject());
    const wxString name = source ? source->GetName() : wxString();
    if (name == "Listen_For_Dump") {
        Listen();
    } else if (name == "Upload_Dump") {
        Upload();
    } else if (name == "Upload_Factory_Settings") {
        UploadFactorySettings();
    } else if (name == "Open_Dump") {
        if (!SavePrompt()) return;
        wxFileDialog chooser(this, "Open bulk dump", "", "", kBulkFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (chooser.ShowModal() == wxID_OK) LoadDump(chooser.GetPath(), false);
    } else if (name == "Save_Dump") {
        wxFileDialog chooser(this, "Save bulk dump", "", "", kBulkFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (chooser.ShowModal() == wxID_OK) SaveDumpAs(chooser.GetPath());
    } else if (name == "Save_All") {
        wxDirDialog chooser(this, wxString("Select a location to extract the contents of the ") + "bulk dump " + "to:");
        if (chooser.ShowModal() == wxID_OK) ExtractAllTo(chooser.GetPath());
    } else if (name == "Move_Item_Up") {
        MoveUp();
    } else if (name == "Move_Item_Down") {
        MoveDown();
    } else if (event.GetId() == wxID_CANCEL) {
        CancelTransfer();
    } else if (event.GetId() == wxID_OK) {
        if (TryClose()) EndModal(wxID_OK);
    } else {
        event.Skip();
    }
}

bool CBulkDumpDialog::TryClose() {
    if (busy) return false;
    return SavePrompt();
}

void CBulkDumpDialog::OnClose(wxCloseEvent& event) {
    if (event.CanVeto() && !TryClose()) {
        event.Veto();
        return;
    }
    if (IsModal()) EndModal(wxID_OK);
    else Destroy();
}

void CBulkDumpDialog::OnItemSelected(wxListEvent& event) {
    selected = static_cast<int>(event.GetIndex());
    EnableControls();
}

void CBulkDumpDialog::OnItemDeselected(wxListEvent&) {
    selected = -1;
    EnableControls();
}

void CBulkDumpDialog::OnItemRightClick(wxListEvent& event) {
    if (busy) return;
    SelectRow(static_cast<int>(event.GetIndex()));
    wxMenu menu;
    menu.Append(RowSaveAs, "&Save as...");
    menu.Append(RowReplace, "&Replace with...");
    menu.AppendSeparator();
    menu.Append(RowClear, "&Clear");
    PopupMenu(&menu);
}

void CBulkDumpDialog::OnRowMenu(wxCommandEvent& event) {
    const int row = selected;
    if (row < 0 || row >= dump->GetCount()) return;
    if (event.GetId() == RowSaveAs) {
        wxFileDialog chooser(this, "Save template", "", fromUtf8(dump->GetEntry(row).suggestedFileName()),
                             kSysExFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (chooser.ShowModal() == wxID_OK) SaveEntryAs(row, chooser.GetPath());
    } else if (event.GetId() == RowReplace) {
        wxFileDialog chooser(this, "Replace with template", "", "", kSysExFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (chooser.ShowModal() == wxID_OK) ReplaceEntry(row, chooser.GetPath());
    } else if (event.GetId() == RowClear) {
        ClearEntry(row);
    }
}
