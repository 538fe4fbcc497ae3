#include "app/LibraryWindow.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/choicdlg.h>
#include <wx/log.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/time.h>

#include <algorithm>
#include <set>

#include "app/DeviceController.h"
#include "app/LibraryService.h"
#include "app/MessageBoxes.h"
#include "app/TemplateDocument.h"
#include "midi/MidiService.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/TemplateFile.h"
#include "ui/XrcResources.h"

wxIMPLEMENT_DYNAMIC_CLASS(CLibraryList, wxListCtrl);

namespace {
const char* const kMissingResource = "Missing wxXmlResource::Get()->Load() in OnInit()?";
const char* const kSyxFilter = "SysEx Dump (*.syx)|*.syx";
const int kFocusSearch = wxID_HIGHEST + 820;

wxString fromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string toUtf8(const wxString& s) { return std::string(s.utf8_str()); }

template <class T>
T* findNamed(wxWindow* parent, const char* name) {
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

void enable(wxWindow* w, bool on) {
    if (w) w->Enable(on);
}

wxString joinTags(const std::vector<std::string>& tags) {
    wxString text;
    for (const std::string& tag : tags) text += (text.empty() ? "" : ", ") + fromUtf8(tag);
    return text;
}

std::vector<std::string> splitTags(const wxString& text) {
    std::vector<std::string> tags;
    for (wxString part : wxSplit(text, ',', '\0')) {
        part.Trim(true).Trim(false);
        if (!part.empty() && std::find(tags.begin(), tags.end(), toUtf8(part)) == tags.end())
            tags.push_back(toUtf8(part));
    }
    return tags;
}

// The name shown for an entry: its template name, or a stand-in for none.
wxString entryName(const LibraryEntry& entry) {
    const wxString name = fromUtf8(entry.name).Trim(true);
    return name.empty() ? wxString("(no name)") : name;
}

// The file name Export proposes: the template's name, with what cannot stand in one left out.
wxString exportFileName(const LibraryEntry& entry) {
    wxString name;
    const wxString full = fromUtf8(entry.name);
    for (wxChar c : full)
        if (CTemplateDocument::isFileNameChar(c)) name += c;
    name.Trim(true).Trim(false);
    return (name.empty() ? wxString("Template") : name) + ".syx";
}

const ByteSequence& bytesToOpen(const LibraryEntryDetail& entry) {
    return entry.originDump.empty() ? entry.dump : entry.originDump;
}

wxString snapshotLabel(const LibrarySnapshot& s) {
    wxString label = fromUtf8(libraryTimeText(s.takenAt));
    if (s.source != "unit") label += ", from " + fromUtf8(s.source);
    return label;
}

// 10000 as "10,000".
wxString countText(size_t n) {
    wxString digits = wxString::Format("%zu", n), grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

struct RowsAnswer {
    bool superseded = false;
    bool available = false;
    std::vector<LibraryEntry> rows;
    int total = 0;
};
}  // namespace

// ---- the list ----

void CLibraryList::SetRows(const std::vector<LibraryEntry>* shown) {
    rows = shown;
    SetItemCount(rows ? static_cast<long>(rows->size()) : 0);
    Refresh();
}

wxString CLibraryList::ColumnText(const LibraryEntry& entry, long column) {
    switch (column) {
        case 0: return entryName(entry);
        case 1: return fromUtf8(entry.manufacturer).Trim(true);
        case 2: return fromUtf8(libraryTimeText(entry.lastUsed));
        case 3: return fromUtf8(libraryEventText(entry.lastEvent));
        case 4: return joinTags(entry.tags);
        default: return wxString();
    }
}

wxString CLibraryList::OnGetItemText(long item, long column) const {
    if (!rows || item < 0 || item >= static_cast<long>(rows->size())) return wxString();
    return ColumnText((*rows)[static_cast<size_t>(item)], column);
}

// ---- the window ----

CLibraryWindow::CLibraryWindow(wxWindow* parent, const EditorServices& services, Parts parts)
    : services(services), parts(std::move(parts)), createdAt(static_cast<long>(wxGetLocalTimeMillis().GetValue())) {
    loaded = XrcResources::LoadDialog(this, parent, "ID_LIBRARYWINDOW");
    if (!loaded) {
        wxLogError(kMissingResource);
        Create(parent, wxID_ANY, "Template Library");
        return;
    }
    list = findNamed<CLibraryList>(this, "Library_List");
    search = findNamed<wxTextCtrl>(this, "Library_Search");
    tags = findNamed<wxTextCtrl>(this, "Library_Tags");
    count = findNamed<wxStaticText>(this, "Library_Count");
    setTags = findNamed<wxButton>(this, "Set_Tags");
    open = findNamed<wxButton>(this, "Open_Entry");
    send = findNamed<wxButton>(this, "Send_Entry");
    exportButton = findNamed<wxButton>(this, "Export_Entry");
    history = findNamed<wxButton>(this, "History_Entry");
    remove = findNamed<wxButton>(this, "Delete_Entry");
    backUp = findNamed<wxButton>(this, "Back_Up_Unit");
    restore = findNamed<wxButton>(this, "Restore_Unit");
    close = findNamed<wxButton>(this, "wxID_CLOSE");
    if (!list || !search || !tags || !count) {
        loaded = false;
        return;
    }

    list->AppendColumn("Name", wxLIST_FORMAT_LEFT, FromDIP(190));
    list->AppendColumn("Manufacturer", wxLIST_FORMAT_LEFT, FromDIP(130));
    list->AppendColumn("Last Used", wxLIST_FORMAT_LEFT, FromDIP(130));
    list->AppendColumn("Where From", wxLIST_FORMAT_LEFT, FromDIP(390));
    list->AppendColumn("Tags", wxLIST_FORMAT_LEFT, FromDIP(130));
    // The two fields' labels take one width, so that the fields line up.
    auto* searchLabel = findNamed<wxStaticText>(this, "Search_Label");
    auto* tagsLabel = findNamed<wxStaticText>(this, "Tags_Label");
    if (searchLabel && tagsLabel) {
        const int width = std::max(searchLabel->GetBestSize().x, tagsLabel->GetBestSize().x);
        searchLabel->SetMinSize(wxSize(width, -1));
        tagsLabel->SetMinSize(wxSize(width, -1));
    }
    list->SetRows(&rows);

    search->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        note.clear();
        Reload();
    });
    // Down from the search box goes to the list, as in a file chooser.
    search->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_DOWN && !rows.empty()) {
            list->SetFocus();
            if (SelectedId() == 0) SelectRow(0);
            return;
        }
        event.Skip();
    });
    tags->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { ApplyTags(); });
    list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) {
        ShowSelectedTags();
        EnableControls();
    });
    list->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) {
        ShowSelectedTags();
        EnableControls();
    });
    list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { OpenSelected(); });
    list->Bind(wxEVT_LIST_KEY_DOWN, &CLibraryWindow::OnListKey, this);
    Bind(wxEVT_BUTTON, &CLibraryWindow::OnButton, this);
    // Ctrl+F goes back to the search box from anywhere in the window.
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { search->SetFocus(); search->SelectAll(); }, kFocusSearch);
    wxAcceleratorEntry keys[] = {{wxACCEL_CTRL, 'F', kFocusSearch}};
    SetAcceleratorTable(wxAcceleratorTable(1, keys));
    // A modeless window: Escape and the window's close box end it.
    SetEscapeId(wxID_CLOSE);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    // The unit may have been connected meanwhile.
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        event.Skip();
        EnableControls();
    });

    EnableControls();
    Layout();
    Fit();
    SetMinSize(GetSize());
    CentreOnParent();
    search->SetFocus();
    Reload();
}

CLibraryWindow::~CLibraryWindow() {
    // Answers still on their way find no window.
    *alive = false;
    ++*generation;
    if (list) list->SetRows(nullptr);
}

void CLibraryWindow::Reload() {
    if (!loaded) return;
    const int asked = ++*generation;
    loading = true;
    LibraryQuery query;
    query.search = toUtf8(search->GetValue());
    std::shared_ptr<std::atomic<int>> newest = generation;
    const Guard self = Guarded();
    services.library.Ask<RowsAnswer>(
        [newest, asked, query](CTemplateLibrary* library) {
            RowsAnswer answer;
            // The user typed on: a newer question is waiting behind this one.
            if (newest->load() != asked) {
                answer.superseded = true;
                return answer;
            }
            if (!library) return answer;
            answer.available = true;
            answer.rows = library->list(query);
            answer.total = query.search.empty() ? static_cast<int>(answer.rows.size()) : library->count();
            return answer;
        },
        [self, newest, asked](RowsAnswer answer) {
            if (!self || answer.superseded || newest->load() != asked) return;
            if (!answer.available) {
                self->rows.clear();
                self->list->SetRows(&self->rows);
                self->loading = false;
                self->count->SetLabel("The template library is not available.");
                self->EnableControls();
                return;
            }
            self->ShowRows(std::move(answer.rows), answer.total);
        });
}

void CLibraryWindow::ShowRows(std::vector<LibraryEntry> fresh, int total) {
    const int64_t before = SelectedId() ? SelectedId() : keepSelected;
    keepSelected = 0;
    rows = std::move(fresh);
    list->SetRows(&rows);
    loading = false;
    if (firstFillMs < 0) firstFillMs = static_cast<long>(wxGetLocalTimeMillis().GetValue()) - createdAt;
    long found = -1;
    for (size_t i = 0; before && i < rows.size(); ++i)
        if (rows[i].id == before) found = static_cast<long>(i);
    if (found >= 0) SelectRow(found);
    else {
        ShowSelectedTags();
        EnableControls();
    }
    wxString text;
    if (search->GetValue().empty())
        text = total == 1 ? wxString("1 template") : countText(static_cast<size_t>(total)) + " templates";
    else
        text = countText(rows.size()) + " of " + countText(static_cast<size_t>(total)) + " templates match";
    countLine = text;
    count->SetLabel(note.empty() ? text : text + " \u2014 " + note);
}

int64_t CLibraryWindow::SelectedId() const {
    if (!list) return 0;
    const long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0 || row >= static_cast<long>(rows.size())) return 0;
    return rows[static_cast<size_t>(row)].id;
}

void CLibraryWindow::SelectRow(long row) {
    if (!list || row < 0 || row >= static_cast<long>(rows.size())) return;
    list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                       wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    list->EnsureVisible(row);
    ShowSelectedTags();
    EnableControls();
}

void CLibraryWindow::EnableControls() {
    if (!loaded) return;
    const bool chosen = SelectedId() != 0;
    for (wxWindow* w : {static_cast<wxWindow*>(open), static_cast<wxWindow*>(exportButton),
                        static_cast<wxWindow*>(history), static_cast<wxWindow*>(remove),
                        static_cast<wxWindow*>(tags), static_cast<wxWindow*>(setTags)})
        enable(w, chosen);
    enable(send, chosen && services.midi.IsOutputOpen());
    enable(backUp, services.midi.IsInputOpen() && services.library.Enabled());
    enable(restore, services.midi.IsOutputOpen() && services.library.Enabled());
}

void CLibraryWindow::ShowSelectedTags() {
    if (!tags) return;
    const long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    tags->ChangeValue(row >= 0 && row < static_cast<long>(rows.size())
                          ? joinTags(rows[static_cast<size_t>(row)].tags)
                          : wxString());
}

void CLibraryWindow::SetStatus(const wxString& text) {
    // Shown after the count, which a reload writes again.
    note = text;
    if (count) count->SetLabel(countLine + (countLine.empty() ? "" : " \u2014 ") + note);
}

void CLibraryWindow::WithBytes(int64_t id, std::function<void(const LibraryEntryDetail&)> use) {
    // `use` runs only while the window is open.
    const Guard self = Guarded();
    services.library.Ask<std::optional<LibraryEntryDetail>>(
        [id](CTemplateLibrary* library) -> std::optional<LibraryEntryDetail> {
            if (!library) return std::nullopt;
            return library->entry(id);
        },
        [self, use = std::move(use)](std::optional<LibraryEntryDetail> entry) {
            if (!self) return;
            if (!entry) {
                self->services.messages.ShowMessage(wxOK | wxICON_ERROR,
                                                    "This template is no longer in the library.");
                self->Reload();
                return;
            }
            use(*entry);
        });
}

// ---- the actions ----

void CLibraryWindow::OpenSelected() {
    const int64_t id = SelectedId();
    if (!id) return;
    WithBytes(id, [this](const LibraryEntryDetail& entry) {
        if (parts.document.OpenDump(bytesToOpen(entry), entryName(entry)))
            SetStatus("Opened \"" + entryName(entry) + "\" in the editor");
    });
}

void CLibraryWindow::SendSelected() {
    const int64_t id = SelectedId();
    if (!id || !services.midi.IsOutputOpen()) return;
    const LibraryEntry& row = *std::find_if(rows.begin(), rows.end(), [id](const LibraryEntry& e) { return e.id == id; });
    wxArrayString locations;
    for (int i = 1; i <= CTemplateLibrary::kLocations; ++i) locations.Add(wxString::Format("Location %d", i));
    wxSingleChoiceDialog chooser(this, "Send \"" + entryName(row) + "\" to the unit's location:", "Send to Unit",
                                 locations);
    if (row.lastEvent.location >= 0 && row.lastEvent.location < CTemplateLibrary::kLocations)
        chooser.SetSelection(row.lastEvent.location);
    if (chooser.ShowModal() != wxID_OK) return;
    const int location = chooser.GetSelection();
    WithBytes(id, [this, location](const LibraryEntryDetail& entry) {
        if (parts.device.SendDumpTo(entry.dump, location))
            SetStatus(wxString::Format("Sending \"%s\" to location %d", entryName(entry), location + 1));
    });
}

void CLibraryWindow::ExportSelected() {
    const int64_t id = SelectedId();
    if (!id) return;
    WithBytes(id, [this, id](const LibraryEntryDetail& entry) {
        wxString path = exportFileName(entry);
        if (!parts.document.chooseFile(path, true, kSyxFilter)) return;
        std::string error;
        // Written whole or not at all: a temporary file, then a rename.
        if (!writeBytesToFile(toUtf8(path), entry.dump, false, error)) {
            services.messages.ShowMessage(wxOK | wxICON_ERROR, "Unable to save template to: " + path + "\n\n" +
                                                                   fromUtf8(error) + ".");
            return;
        }
        services.library.Post([id, file = toUtf8(path)](CTemplateLibrary* library) {
            if (library) library->recordEvent(id, {LibraryEventKind::Exported, file});
        });
        SetStatus("Exported \"" + entryName(entry) + "\" to " + path);
        Reload();
    });
}

void CLibraryWindow::DeleteSelected() {
    const int64_t id = SelectedId();
    if (!id) return;
    const LibraryEntry& row = *std::find_if(rows.begin(), rows.end(), [id](const LibraryEntry& e) { return e.id == id; });
    if (services.messages.ShowMessage(wxYES_NO | wxICON_QUESTION,
                                      "Delete \"" + entryName(row) +
                                          "\" from the library?\n\nThe library forgets this template and its history. "
                                          "No file is deleted.") != wxYES)
        return;
    const long at = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    // The row that takes its place stays selected.
    if (at + 1 < static_cast<long>(rows.size())) keepSelected = rows[static_cast<size_t>(at + 1)].id;
    else if (at > 0) keepSelected = rows[static_cast<size_t>(at - 1)].id;
    list->SetItemState(at, 0, wxLIST_STATE_SELECTED);
    services.library.Post([id](CTemplateLibrary* library) {
        if (library) library->remove(id);
    });
    Reload();
}

void CLibraryWindow::ApplyTags() {
    const int64_t id = SelectedId();
    if (!id) return;
    const LibraryEntry& row = *std::find_if(rows.begin(), rows.end(), [id](const LibraryEntry& e) { return e.id == id; });
    const std::vector<std::string> wanted = splitTags(tags->GetValue());
    std::vector<std::string> added, removed;
    for (const std::string& t : wanted)
        if (std::find(row.tags.begin(), row.tags.end(), t) == row.tags.end()) added.push_back(t);
    for (const std::string& t : row.tags)
        if (std::find(wanted.begin(), wanted.end(), t) == wanted.end()) removed.push_back(t);
    if (added.empty() && removed.empty()) return;
    services.library.Post([id, added, removed](CTemplateLibrary* library) {
        if (!library) return;
        if (!removed.empty()) library->removeTags(id, removed);
        if (!added.empty()) library->addTags(id, added);
    });
    Reload();
}

void CLibraryWindow::ShowHistory() {
    const int64_t id = SelectedId();
    if (!id) return;
    const LibraryEntry& row = *std::find_if(rows.begin(), rows.end(), [id](const LibraryEntry& e) { return e.id == id; });
    const LibraryEvent where = row.lastEvent;
    wxString heading;
    if (!where.path.empty()) heading = "Versions of " + fromUtf8(where.path);
    else if (where.location >= 0) heading = wxString::Format("Versions at the unit's location %d", where.location + 1);
    else heading = "Versions of \"" + entryName(row) + "\"";
    struct Answer {
        std::vector<LibraryEventRecord> versions;
        std::vector<wxString> names;
    };
    const Guard self = Guarded();
    services.library.Ask<Answer>(
        [where, id](CTemplateLibrary* library) {
            Answer answer;
            if (!library) return answer;
            if (!where.path.empty()) answer.versions = library->versionsOfFile(where.path);
            else if (where.location >= 0) answer.versions = library->versionsAtLocation(where.location);
            if (answer.versions.empty())
                if (auto entry = library->entry(id)) answer.versions = entry->events;
            for (const LibraryEventRecord& v : answer.versions) {
                const auto entry = library->entry(v.templateId);
                answer.names.push_back(entry ? entryName(*entry) : wxString("(deleted)"));
            }
            return answer;
        },
        [self, heading](Answer answer) {
            if (!self) return;
            CLibraryHistoryDialog dialog(self.get(), heading, answer.versions, answer.names);
            if (!dialog.Loaded() || dialog.ShowModal() != wxID_OK) return;
            const std::vector<int> chosen = dialog.Selected();
            const auto& versions = dialog.Versions();
            if (dialog.GetChoice() == CLibraryHistoryDialog::Choice::OpenOne && chosen.size() == 1) {
                self->WithBytes(versions[static_cast<size_t>(chosen[0])].templateId,
                                [w = self.get()](const LibraryEntryDetail& entry) {
                                    w->parts.document.OpenDump(bytesToOpen(entry), entryName(entry));
                                });
            } else if (dialog.GetChoice() == CLibraryHistoryDialog::Choice::CompareTwo && chosen.size() == 2) {
                const LibraryEventRecord older = versions[static_cast<size_t>(chosen[0])];
                const LibraryEventRecord newer = versions[static_cast<size_t>(chosen[1])];
                CLibraryWindow* w = self.get();
                w->WithBytes(older.templateId, [w, older, newer](const LibraryEntryDetail& first) {
                    const ByteSequence olderBytes = bytesToOpen(first);
                    w->WithBytes(newer.templateId, [w, older, olderBytes](const LibraryEntryDetail& second) {
                        if (!w->parts.document.OpenDump(bytesToOpen(second), entryName(second))) return;
                        std::unique_ptr<CEditorTemplate> other = w->services.profile.CreateTemplate();
                        if (!other || !openTemplateBytes(olderBytes, *other).ok) return;
                        w->parts.compare(*other, "the version of " + fromUtf8(libraryTimeText(older.at)));
                    });
                });
            }
        });
}

void CLibraryWindow::BackUpUnit() {
    const Guard self = Guarded();
    parts.device.BackUpUnitCommand([self](bool ok, int64_t, const std::string& error) {
        if (!self) return;
        if (!ok) {
            self->services.messages.ShowMessage(wxOK | wxICON_ERROR,
                                                "The unit's templates could not be kept in the library.\n\n" +
                                                    fromUtf8(error));
            return;
        }
        self->Reload();
        self->SetStatus("The unit's 40 templates were backed up in the library (" +
                        fromUtf8(libraryTimeText(libraryNow())) + ")");
    });
}

void CLibraryWindow::RestoreUnit() {
    const Guard self = Guarded();
    services.library.Ask<std::vector<LibrarySnapshot>>(
        [](CTemplateLibrary* library) {
            return library ? library->snapshots() : std::vector<LibrarySnapshot>();
        },
        [self](std::vector<LibrarySnapshot> backups) {
            if (!self) return;
            if (backups.empty()) {
                self->services.messages.ShowMessage(wxOK, "The library holds no backup of the unit yet.\n\nChoose "
                                                          "\"Back Up Unit...\" to make one.");
                return;
            }
            // Newest first, as the user looks for the last one.
            std::sort(backups.begin(), backups.end(),
                      [](const LibrarySnapshot& a, const LibrarySnapshot& b) { return a.takenAt > b.takenAt; });
            wxArrayString labels;
            for (const LibrarySnapshot& s : backups) labels.Add(snapshotLabel(s));
            wxSingleChoiceDialog chooser(self.get(), "Backup to send to the unit:", "Restore Unit", labels);
            chooser.SetSelection(0);
            if (chooser.ShowModal() != wxID_OK) return;
            const LibrarySnapshot chosen = backups[static_cast<size_t>(chooser.GetSelection())];
            self->services.library.Ask<std::vector<ByteSequence>>(
                [id = chosen.id](CTemplateLibrary* library) {
                    std::vector<ByteSequence> dumps;
                    if (!library || !library->snapshotDumps(id, dumps)) dumps.clear();
                    return dumps;
                },
                [self, label = snapshotLabel(chosen)](std::vector<ByteSequence> dumps) {
                    if (!self) return;
                    self->parts.device.RestoreCommand(dumps, label);
                });
        });
}

// ---- events ----

void CLibraryWindow::OnButton(wxCommandEvent& event) {
    auto* source = dynamic_cast<wxWindow*>(event.GetEventObject());
    const wxString name = source ? source->GetName() : wxString();
    if (name == "Open_Entry") OpenSelected();
    else if (name == "Send_Entry") SendSelected();
    else if (name == "Export_Entry") ExportSelected();
    else if (name == "History_Entry") ShowHistory();
    else if (name == "Delete_Entry") DeleteSelected();
    else if (name == "Set_Tags") ApplyTags();
    else if (name == "Back_Up_Unit") BackUpUnit();
    else if (name == "Restore_Unit") RestoreUnit();
    else if (event.GetId() == wxID_CLOSE) Close();
    else event.Skip();
}

void CLibraryWindow::OnListKey(wxListEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) DeleteSelected();
    else event.Skip();
}

// ---- the history ----

CLibraryHistoryDialog::CLibraryHistoryDialog(wxWindow* parent, const wxString& heading,
                                             std::vector<LibraryEventRecord> versionList,
                                             std::vector<wxString> names)
    : versions(std::move(versionList)) {
    loaded = XrcResources::LoadDialog(this, parent, "ID_LIBRARYHISTORY");
    if (!loaded) {
        wxLogError(kMissingResource);
        return;
    }
    list = findNamed<wxListCtrl>(this, "History_List");
    open = findNamed<wxButton>(this, "Open_Version");
    compare = findNamed<wxButton>(this, "Compare_Versions");
    if (auto* head = findNamed<wxStaticText>(this, "History_Heading")) head->SetLabel(heading);
    if (!list) {
        loaded = false;
        return;
    }
    list->AppendColumn("When", wxLIST_FORMAT_LEFT, FromDIP(130));
    list->AppendColumn("Name", wxLIST_FORMAT_LEFT, FromDIP(170));
    list->AppendColumn("What Happened", wxLIST_FORMAT_LEFT, FromDIP(320));
    for (size_t i = 0; i < versions.size(); ++i) {
        const long row = list->InsertItem(static_cast<long>(i), fromUtf8(libraryTimeText(versions[i].at)));
        list->SetItem(row, 1, i < names.size() ? names[i] : wxString());
        list->SetItem(row, 2, fromUtf8(libraryEventText(versions[i])));
    }
    list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { EnableControls(); });
    list->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { EnableControls(); });
    list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) {
        if (Selected().size() == 1) Choose(Choice::OpenOne);
    });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) {
        auto* source = dynamic_cast<wxWindow*>(event.GetEventObject());
        const wxString name = source ? source->GetName() : wxString();
        if (name == "Open_Version" && Selected().size() == 1) {
            Choose(Choice::OpenOne);
        } else if (name == "Compare_Versions" && Selected().size() == 2) {
            Choose(Choice::CompareTwo);
        } else if (event.GetId() == wxID_CLOSE) {
            Choose(Choice::Nothing);
        } else {
            event.Skip();
        }
    });
    SetEscapeId(wxID_CLOSE);
    // The newest version is the one the user most likely wants.
    if (!versions.empty()) Select({static_cast<int>(versions.size()) - 1});
    EnableControls();
    Layout();
    Fit();
    CentreOnParent();
    list->SetFocus();
}

void CLibraryHistoryDialog::Choose(Choice chosen) {
    choice = chosen;
    if (IsModal()) EndModal(chosen == Choice::Nothing ? wxID_CANCEL : wxID_OK);
}

std::vector<int> CLibraryHistoryDialog::Selected() const {
    std::vector<int> rows;
    if (!list) return rows;
    for (long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0;
         row = list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        rows.push_back(static_cast<int>(row));
    return rows;
}

void CLibraryHistoryDialog::Select(const std::vector<int>& rows) {
    if (!list) return;
    for (long row = 0; row < list->GetItemCount(); ++row) {
        const bool on = std::find(rows.begin(), rows.end(), row) != rows.end();
        list->SetItemState(row, on ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    }
    if (!rows.empty()) {
        list->SetItemState(rows.back(), wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
        list->EnsureVisible(rows.back());
    }
    EnableControls();
}

void CLibraryHistoryDialog::EnableControls() {
    const size_t n = Selected().size();
    enable(open, n == 1);
    enable(compare, n == 2);
}
