#include "app/MidiMonitorWindow.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/panel.h>
#include <wx/persist/toplevel.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>
#include <wx/wrapsizer.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/MidiService.h"
#include "ui/WindowPlacement.h"

namespace {
const char* const kHeadings[] = {"Time", "Kind", "Channel", "Data"};

// The widest texts a column can hold, from lines made as the log makes them.
std::vector<wxString> widestTexts(int column) {
    std::vector<wxString> texts;
    if (column == 1)
        for (int kind = 0; kind <= static_cast<int>(MonitorKind::Undefined); ++kind)
            texts.push_back(KindName(static_cast<MonitorKind>(kind)));
    std::vector<uint8_t> longSysEx(4112, 0x7F), shortSysEx(MonitorEvent::kKept, 0x7F);
    longSysEx.front() = shortSysEx.front() = 0xF0;
    longSysEx.back() = shortSysEx.back() = 0xF7;
    const std::vector<std::vector<uint8_t>> messages = {
        {0x9F, 127, 127}, {0xAF, 127, 127}, {0xBF, 127, 127}, {0xEF, 127, 127}, shortSysEx, longSysEx};
    for (const auto& bytes : messages) {
        const MonitorLine line = FormatMonitorEvent(MonitorEvent::make(0, bytes.data(), bytes.size()));
        const std::string* text[] = {&line.time, &line.kind, &line.channel, &line.data};
        texts.push_back(wxString::FromUTF8(*text[column]));
    }
    // The widest digits at every place of the time.
    if (column == 0) texts.push_back("88:88:88.888");
    return texts;
}
}  // namespace

CMidiMonitorList::CMidiMonitorList(wxWindow* parent, const MidiMonitorLog& log)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL), log(log) {
    // Each column as wide as the widest text it can hold, so that none is cut.
    for (int c = 0; c < 4; ++c) AppendColumn(kHeadings[c], wxLIST_FORMAT_LEFT, NeededWidth(c));
}

int CMidiMonitorList::NeededWidth(int column) const {
    int widest = GetTextExtent(kHeadings[column]).x;
    for (const wxString& text : widestTexts(column)) widest = std::max(widest, GetTextExtent(text).x);
    return widest + FromDIP(kCellPadding);
}

wxString CMidiMonitorList::OnGetItemText(long item, long column) const {
    if (item < 0 || static_cast<size_t>(item) >= log.size()) return {};
    // Only the rows on screen are ever formatted.
    const MonitorLine line = log.line(static_cast<size_t>(item));
    switch (column) {
    case 0: return line.time;
    case 1: return line.kind;
    case 2: return line.channel;
    default: return line.data;
    }
}

std::vector<size_t> CMidiMonitorList::SelectedRows() const {
    std::vector<size_t> rows;
    for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
         i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        rows.push_back(static_cast<size_t>(i));
    return rows;
}

const std::vector<CMidiMonitorWindow::FilterChoice>& CMidiMonitorWindow::FilterChoices() {
    static const std::vector<FilterChoice> choices = {
        {"Notes", MonitorGroup::Notes},
        {"Control Change", MonitorGroup::ControlChange},
        {"Program Change", MonitorGroup::ProgramChange},
        {"Pitch Bend", MonitorGroup::PitchBend},
        {"Aftertouch", MonitorGroup::Aftertouch},
        {"SysEx", MonitorGroup::SysEx},
        {"Clock", MonitorGroup::Clock},
        {"Active Sensing", MonitorGroup::ActiveSensing},
        {"Other", MonitorGroup::Other},
    };
    return choices;
}

CMidiMonitorWindow::CMidiMonitorWindow(wxWindow* parent, MidiService& midi)
    : wxFrame(parent, wxID_ANY, "MIDI Monitor", wxDefaultPosition, wxSize(800, 500),
              wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT, "MidiMonitor"),
      midi(midi),
      timer(this) {
    auto* panel = new wxPanel(this);
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    pauseButton = new wxToggleButton(panel, wxID_ANY, "Pause");
    pauseButton->SetToolTip("Freeze the list; what arrives meanwhile appears on resume");
    clearButton = new wxButton(panel, wxID_CLEAR, "Clear");
    copyButton = new wxButton(panel, wxID_COPY, "Copy");
    copyButton->SetToolTip("Copy the selected lines (Ctrl+C)");
    buttons->Add(pauseButton, 0, wxRIGHT, FromDIP(6));
    buttons->Add(clearButton, 0, wxRIGHT, FromDIP(6));
    buttons->Add(copyButton, 0);
    top->Add(buttons, 0, wxALL, FromDIP(6));

    auto* filter = new wxStaticBoxSizer(wxHORIZONTAL, panel, "Show");
    auto* boxes = new wxWrapSizer(wxHORIZONTAL);
    for (const auto& choice : FilterChoices()) {
        auto* box = new wxCheckBox(filter->GetStaticBox(), wxID_ANY, choice.label);
        box->SetValue((log.shown() & choice.group) != 0);
        box->Bind(wxEVT_CHECKBOX, &CMidiMonitorWindow::OnFilterBox, this);
        boxes->Add(box, 0, wxRIGHT | wxBOTTOM, FromDIP(8));
        filterBoxes.push_back(box);
    }
    filter->Add(boxes, 1, wxEXPAND);
    top->Add(filter, 0, wxEXPAND | wxLEFT | wxRIGHT, FromDIP(6));

    list = new CMidiMonitorList(panel, log);
    top->Add(list, 1, wxEXPAND | wxALL, FromDIP(6));
    status = new wxStaticText(panel, wxID_ANY, "");
    top->Add(status, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(6));
    panel->SetSizer(top);

    pauseButton->Bind(wxEVT_TOGGLEBUTTON, [this](wxCommandEvent& e) { SetPaused(e.IsChecked()); });
    clearButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ClearLines(); });
    copyButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CopySelection(); });
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { CopySelection(); }, wxID_COPY);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) {
        for (long i = 0; i < list->GetItemCount(); ++i) list->SetItemState(i, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }, wxID_SELECTALL);
    wxAcceleratorEntry keys[] = {wxAcceleratorEntry(wxACCEL_CTRL, 'C', wxID_COPY),
                                 wxAcceleratorEntry(wxACCEL_CTRL, 'A', wxID_SELECTALL)};
    SetAcceleratorTable(wxAcceleratorTable(2, keys));

    SetMinSize(FromDIP(wxSize(480, 300)));
    // Where the user left it last time, or beside the main window, clear of its menus.
    if (!wxPersistentRegisterAndRestore(this, "MidiMonitor") && parent) PlaceBesideWhenShown(*this, *parent);
    updateStatus();
    Bind(wxEVT_TIMER, &CMidiMonitorWindow::OnTimer, this, timer.GetId());
    timer.Start(kRefreshMs);
    midi.AddMonitor(this);
}

CMidiMonitorWindow::~CMidiMonitorWindow() {
    timer.Stop();
    midi.RemoveMonitor(this);
}

void CMidiMonitorWindow::OnMonitoredMessage(const MonitorEvent& event) { log.add(event); }

wxCheckBox* CMidiMonitorWindow::FilterBox(unsigned group) const {
    const auto& choices = FilterChoices();
    for (size_t i = 0; i < choices.size(); ++i)
        if (choices[i].group == group) return filterBoxes[i];
    return nullptr;
}

void CMidiMonitorWindow::SetPaused(bool on) {
    pauseButton->SetValue(on);
    log.setPaused(on);
    UpdateList();
}

void CMidiMonitorWindow::ClearLines() {
    log.clear();
    list->SetItemCount(0);
    listedVersion = log.version();
    frontSeen = log.removedFromFront();
    list->Refresh();
    updateStatus();
}

bool CMidiMonitorWindow::CopySelection() {
    const std::vector<size_t> rows = list->SelectedRows();
    if (rows.empty()) return false;
    const std::string text = log.copyText(rows);
    wxClipboardLocker locker;
    if (!locker) return false;
    return wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
}

void CMidiMonitorWindow::SetShownGroups(unsigned groups) {
    for (size_t i = 0; i < filterBoxes.size(); ++i)
        filterBoxes[i]->SetValue((groups & FilterChoices()[i].group) != 0);
    // Lines leave from the middle: a selection would no longer mean the same lines.
    for (size_t row : list->SelectedRows()) list->SetItemState(static_cast<long>(row), 0, wxLIST_STATE_SELECTED);
    log.setShown(groups);
    frontSeen = log.removedFromFront();
    UpdateList();
}

void CMidiMonitorWindow::OnFilterBox(wxCommandEvent&) {
    unsigned groups = 0;
    for (size_t i = 0; i < filterBoxes.size(); ++i)
        if (filterBoxes[i]->GetValue()) groups |= FilterChoices()[i].group;
    SetShownGroups(groups);
}

void CMidiMonitorWindow::OnTimer(wxTimerEvent&) {
    if (IsShown()) UpdateList();
}

void CMidiMonitorWindow::UpdateList() {
    updateStatus();
    if (log.version() == listedVersion) return;
    listedVersion = log.version();
    ++listUpdates;
    const long before = list->GetItemCount();
    const long count = static_cast<long>(log.size());
    // Following the newest unless the user scrolled up to read.
    const bool following = before == 0 || list->GetTopItem() + list->GetCountPerPage() >= before;
    const long removed = static_cast<long>(log.removedFromFront() - frontSeen);
    frontSeen = log.removedFromFront();
    std::vector<size_t> selected;
    if (removed > 0) {
        // The rows moved up: keep the selection on the same messages.
        selected = list->SelectedRows();
        for (size_t row : selected) list->SetItemState(static_cast<long>(row), 0, wxLIST_STATE_SELECTED);
    }
    const long top = list->GetTopItem();
    list->SetItemCount(count);
    if (removed > 0) {
        for (size_t row : selected)
            if (static_cast<long>(row) >= removed)
                list->SetItemState(static_cast<long>(row) - removed, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    if (count > 0) {
        if (following)
            list->EnsureVisible(count - 1);
        else if (removed > 0)
            list->EnsureVisible(std::max(0L, top - removed));
    }
    list->Refresh();
}

void CMidiMonitorWindow::updateStatus() {
    wxString text = wxString::Format("%zu lines, %llu received, %llu hidden", log.size(),
                                     static_cast<unsigned long long>(log.received()),
                                     static_cast<unsigned long long>(log.hidden()));
    if (log.paused()) text += wxString::Format(" - paused, %zu waiting", log.waiting());
    if (const size_t lost = midi.MonitorDroppedCount())
        text += wxString::Format(" - %zu lost while the editor was busy", lost);
    if (status->GetLabel() != text) status->SetLabel(text);
}
