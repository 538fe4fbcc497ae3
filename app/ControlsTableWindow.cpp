#include "app/ControlsTableWindow.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/persist/toplevel.h>
#include <wx/sizer.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "app/EditWindowHost.h"
#include "app/MessageBoxes.h"
#include "app/TemplateDocument.h"
#include "editing/ControlsTable.h"
#include "editing/EditorView.h"
#include "editing/History.h"
#include "editing/PlacedControl.h"
#include "model/Command.h"
#include "model/EditorTemplate.h"
#include "ui/MenuShortcuts.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateUI.h"
#include "ui/WindowPlacement.h"

namespace {
const wxColour kMarked(255, 214, 160);     // the panel frames compared controls in orange
const wxColour kNotApplying(238, 238, 238);
const wxColour kReadOnly(246, 246, 246);
const wxColour kClashText(170, 0, 30);
const int kFilterId = wxID_HIGHEST + 1;

TableColumn columnAt(int c) { return static_cast<TableColumn>(c); }

// The columns of the selected blocks, or the cursor's.
std::vector<int> columnsOf(const wxGrid& grid) {
    std::set<int> columns;
    for (const wxGridBlockCoords& block : grid.GetSelectedBlocks())
        for (int c = block.GetLeftCol(); c <= block.GetRightCol(); ++c) columns.insert(c);
    if (columns.empty() && grid.GetGridCursorCol() >= 0) columns.insert(grid.GetGridCursorCol());
    return {columns.begin(), columns.end()};
}
}  // namespace

// The grid's rows and cells, read from the table as they are drawn.
class CControlsTableWindow::GridTable : public wxGridTableBase {
public:
    explicit GridTable(const CControlsTableWindow& window) : window(window) {}
    ~GridTable() override {
        for (wxGridCellAttr* attr : attrs)
            if (attr) attr->DecRef();
    }

    int GetNumberRows() override { return window.table ? window.table->rowCount() : 0; }
    int GetNumberCols() override { return kTableColumnCount; }
    wxString GetValue(int row, int col) override {
        if (!Valid(row, col)) return {};
        return wxString::FromUTF8(window.table->text(row, columnAt(col)));
    }
    // Edits arrive as commands (OnCellChanging); the grid writes nothing.
    void SetValue(int, int, const wxString&) override {}
    wxString GetColLabelValue(int col) override {
        return col >= 0 && col < kTableColumnCount ? wxString::FromUTF8(CControlsTable::columnTitle(columnAt(col)))
                                                   : wxString();
    }
    bool CanHaveAttributes() override { return true; }
    // A row the compare marks hold has the panel's orange; a control in a
    // clash is written in red; a cell that does not apply to the control's
    // type is grey, and so are the read-only columns.
    wxGridCellAttr* GetAttr(int row, int col, wxGridCellAttr::wxAttrKind) override {
        if (!Valid(row, col)) return nullptr;
        const CControlsTable& table = *window.table;
        const int index = table.indexAt(row);
        const bool editable = CControlsTable::isEditable(columnAt(col));
        const bool marked = std::binary_search(window.shownMarks.begin(), window.shownMarks.end(), index);
        const bool clash = table.inClash(index);
        const bool grey = !editable || (col != static_cast<int>(TableColumn::Name) && table.text(row, columnAt(col)).empty());
        const size_t key = (editable ? 1u : 0u) | (marked ? 2u : 0u) | (clash ? 4u : 0u) | (grey ? 8u : 0u);
        wxGridCellAttr*& attr = attrs[key];
        if (!attr) {
            attr = new wxGridCellAttr;
            if (!editable) attr->SetReadOnly();
            if (marked) attr->SetBackgroundColour(kMarked);
            else if (grey) attr->SetBackgroundColour(editable ? kNotApplying : kReadOnly);
            if (clash) attr->SetTextColour(kClashText);
        }
        attr->IncRef();
        return attr;
    }

    // Tells the grid that the number of rows changed.
    void Resize(int from, int to) {
        if (!GetView() || from == to) return;
        if (to < from) {
            wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_DELETED, to, from - to);
            GetView()->ProcessTableMessage(message);
        } else {
            wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_APPENDED, to - from);
            GetView()->ProcessTableMessage(message);
        }
    }

private:
    bool Valid(int row, int col) const {
        return window.table && row >= 0 && row < window.table->rowCount() && col >= 0 && col < kTableColumnCount;
    }

    const CControlsTableWindow& window;
    std::array<wxGridCellAttr*, 16> attrs{};
};

// The main window as the editing engine sees it, but for the edit window
// opening on each control a table command touches and for the focus going to
// the panel: the user is working in the table. An edit window that shows one
// of the controls still refreshes it.
class CControlsTableWindow::QuietView : public IEditorView {
public:
    QuietView(IEditorView& view, const CEditWindowHost& editWindow) : view(view), editWindow(editWindow) {}
    bool selectControl(const CPlacedControl& control, bool add) override { return view.selectControl(control, add); }
    void editControl(const CPlacedControl& control, bool deferred) override {
        const CPlacedControl* shown = editWindow.ShownControl();
        if (shown && shown->GetIndex() == control.GetIndex()) view.editControl(control, deferred);
    }
    void hideEditWindow() override { view.hideEditWindow(); }
    void updateEditMenu(bool canUndo, bool canRedo) override { view.updateEditMenu(canUndo, canRedo); }
    void updateTitle() override { view.updateTitle(); }
    void updateTemplateMenu() override { view.updateTemplateMenu(); }
    void requestRepaint() override { view.requestRepaint(); }
    void focusMainWindow() override {}
    void notifyObservers() override { view.notifyObservers(); }
    void notifySnapshotObserver() override { view.notifySnapshotObserver(); }

private:
    IEditorView& view;
    const CEditWindowHost& editWindow;
};

CControlsTableWindow::CControlsTableWindow(wxWindow* parent, const EditorServices& services,
                                           const CTemplateDocument& document, CTemplateCanvas& canvas,
                                           CEditWindowHost& editWindow, ITemplateUIHost& host)
    : wxFrame(parent, wxID_ANY, "Controls table", wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT),
      services(services),
      document(document),
      canvas(canvas),
      editWindow(editWindow),
      host(host) {
    BuildLayout();
    BindKeys();
    Bind(wxEVT_CLOSE_WINDOW, &CControlsTableWindow::OnClose, this);
    // The main window's context menu must not open over the table.
    Bind(wxEVT_CONTEXT_MENU, [](wxContextMenuEvent&) {});
    if (!wxPersistentRegisterAndRestore(this, "ControlsTable") && parent) PlaceBesideWhenShown(*this, *parent);
}

CControlsTableWindow::~CControlsTableWindow() {
    // The grid asks for cells until it is gone (a focus change on the way
    // out): it goes while the table it reads is still here.
    DestroyChildren();
}

void CControlsTableWindow::BuildLayout() {
    auto* panel = new wxPanel(this);
    auto* top = new wxBoxSizer(wxVERTICAL);
    const int gap = FromDIP(6);

    auto* bar = new wxBoxSizer(wxHORIZONTAL);
    bar->Add(new wxStaticText(panel, wxID_ANY, "Filter:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    filterBox = new wxTextCtrl(panel, kFilterId, "", wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER);
    filterBox->SetName("Filter");
    filterBox->SetHint("Name, type or place");
    filterBox->SetToolTip("Show only the controls whose name, type or place holds this text (Ctrl+F)");
    filterBox->SetMinSize(wxSize(filterBox->GetTextExtent("Name, type or place").x + FromDIP(40), -1));
    bar->Add(filterBox, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2 * gap);
    clashesBox = new wxCheckBox(panel, wxID_ANY, "Clashes");
    clashesBox->SetName("Clashes");
    clashesBox->SetToolTip("Show only the controls that send the same message on the same channel and port");
    bar->Add(clashesBox, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4 * gap);
    bar->Add(new wxStaticText(panel, wxID_ANY, "Sort by:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    sortChoice = new wxChoice(panel, wxID_ANY);
    sortChoice->SetName("SortBy");
    for (int c = 0; c < kTableColumnCount; ++c)
        sortChoice->Append(wxString::FromUTF8(CControlsTable::columnTitle(columnAt(c))));
    sortChoice->SetSelection(0);
    bar->Add(sortChoice, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    descendingBox = new wxCheckBox(panel, wxID_ANY, "Descending");
    descendingBox->SetName("Descending");
    bar->Add(descendingBox, 0, wxALIGN_CENTER_VERTICAL);
    top->Add(bar, 0, wxEXPAND | wxALL, gap);

    grid = new wxGrid(panel, wxID_ANY);
    grid->SetName("ControlsGrid");
    gridTable = new GridTable(*this);
    grid->SetTable(gridTable, true, wxGrid::wxGridSelectCells);
    grid->SetRowLabelSize(0);
    grid->UseNativeColHeader(true);
    grid->EnableDragRowSize(false);
    grid->DisableDragColMove();
    grid->SetTabBehaviour(wxGrid::Tab_Wrap);
    grid->SetDefaultCellAlignment(wxALIGN_LEFT, wxALIGN_CENTRE);
    grid->SetColLabelAlignment(wxALIGN_LEFT, wxALIGN_CENTRE);
    grid->SetDefaultRowSize(grid->GetCharHeight() + FromDIP(10), true);
    top->Add(grid, 1, wxEXPAND | wxLEFT | wxRIGHT, gap);
    panel->SetSizer(top);
    CreateStatusBar(2);
    const int widths[2] = {-1, FromDIP(150)};
    SetStatusWidths(2, widths);

    filterBox->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ApplyArrangement(); });
    filterBox->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { grid->SetFocus(); });
    clashesBox->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { ApplyArrangement(); });
    sortChoice->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ApplyArrangement(); });
    descendingBox->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { ApplyArrangement(); });
    grid->Bind(wxEVT_GRID_CELL_CHANGING, &CControlsTableWindow::OnCellChanging, this);
    grid->Bind(wxEVT_GRID_COL_SORT, &CControlsTableWindow::OnColumnSort, this);
    grid->Bind(wxEVT_KEY_DOWN, &CControlsTableWindow::OnGridKey, this);
    grid->Bind(wxEVT_GRID_CELL_LEFT_DCLICK, [this](wxGridEvent& event) { OpenEditWindow(event.GetRow()); });
    // The grid reports a selection before it shows it: the panel follows afterwards.
    auto follow = [this](wxEvent& event) {
        event.Skip();
        if (!arranging) CallAfter([this] { PanelFollowsTable(); });
    };
    grid->Bind(wxEVT_GRID_SELECT_CELL, follow);
    grid->Bind(wxEVT_GRID_RANGE_SELECTED, follow);

    // Wide enough for every column at the widest texts any control can show.
    FitColumns();
    int width = 0;
    for (int c = 0; c < kTableColumnCount; ++c) width += grid->GetColSize(c);
    const int scrollbar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    width += 2 * gap + scrollbar + FromDIP(4);
    width = std::max(width, top->GetMinSize().x);
    // Never wider than the screen: the grid scrolls.
    const int display = GetParent() ? wxDisplay::GetFromWindow(GetParent()) : wxNOT_FOUND;
    const wxRect screen = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    width = std::min(width, screen.width - FromDIP(40));
    SetClientSize(width, std::min(FromDIP(560), screen.height * 8 / 10));
    SetMinClientSize(wxSize(std::min(width, FromDIP(600)), FromDIP(240)));
}

void CControlsTableWindow::BindKeys() {
    // The main window's shortcuts, but for those the grid and the filter box
    // need themselves (clipboard, select all) and Ctrl+F, the filter box's.
    std::vector<wxAcceleratorEntry> keys;
    if (auto* frame = dynamic_cast<wxFrame*>(GetParent()); frame && frame->GetMenuBar()) {
        for (const wxAcceleratorEntry& shortcut : MenuShortcuts(*frame->GetMenuBar())) {
            const int flags = shortcut.GetFlags(), key = shortcut.GetKeyCode();
            const bool functionKey = key >= WXK_F1 && key <= WXK_F24 && key != WXK_F2;
            const bool ownKey =
                flags == wxACCEL_CTRL && (key == 'X' || key == 'C' || key == 'V' || key == 'A' || key == 'F');
            if ((functionKey || (flags & (wxACCEL_CTRL | wxACCEL_ALT))) && !ownKey) keys.push_back(shortcut);
        }
    }
    keys.emplace_back(wxACCEL_CTRL, 'F', kFilterId);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
    Bind(wxEVT_MENU, &CControlsTableWindow::OnShortcut, this);
}

void CControlsTableWindow::Open() {
    shownTemplate = nullptr;  // read everything again
    table.reset();
    if (!IsShown()) Show();
    Raise();
    Sync();
    grid->SetFocus();
}

// --- Following the template ------------------------------------------------------------

void CControlsTableWindow::Sync() {
    CEditorTemplate* current = document.currentTemplate();
    if (!IsShown()) {
        if (current != shownTemplate) {
            const int rows = gridTable->GetNumberRows();
            table.reset();
            shownTemplate = nullptr;
            gridTable->Resize(rows, 0);
        }
        return;
    }
    if (grid->IsCellEditControlEnabled()) {
        // Changes of the template being edited wait for the cell's edit to
        // end; another template cannot: the edit goes.
        if (current == shownTemplate) return;
        grid->HideCellEditControl();
        grid->EnableCellEditControl(false);
    }
    const CTemplateUI* view = canvas.GetView();
    std::vector<int> marks = view ? view->GetComparisonMarks() : std::vector<int>{};
    bool changed = marks != shownMarks;
    shownMarks = std::move(marks);
    if (current != shownTemplate || (current && current->historyVersion != shownVersion)) {
        Reload();
        changed = false;
    }
    if (changed) grid->ForceRefresh();
    std::vector<int> selected = view ? view->GetSelectedIndices() : std::vector<int>{};
    std::sort(selected.begin(), selected.end());
    if (selected != panelSelection) {
        panelSelection = selected;
        // The edit window selects its control on the panel: leave a table
        // selection that holds it (several rows, or a control off the panel).
        const std::vector<int> mine = SelectedIndices();
        const bool covered = std::all_of(selected.begin(), selected.end(), [&](int i) {
            return std::find(mine.begin(), mine.end(), i) != mine.end();
        });
        if (!selected.empty() && !covered) TableFollowsPanel(selected);
    }
}

void CControlsTableWindow::Reload() {
    CEditorTemplate* current = document.currentTemplate();
    const std::vector<int> selected = table ? SelectedIndices() : std::vector<int>{};
    const int cursorIndex = table && grid->GetGridCursorRow() >= 0 && grid->GetGridCursorRow() < table->rowCount()
                                ? table->indexAt(grid->GetGridCursorRow())
                                : -1;
    const int cursorColumn = std::max(grid->GetGridCursorCol(), 0);
    const int before = gridTable->GetNumberRows();
    if (current != shownTemplate) {
        table.reset();
        if (current) table = std::make_unique<CControlsTable>(services.profile, *current);
    }
    shownTemplate = current;
    shownVersion = current ? current->historyVersion : 0;
    if (table) {
        table->setFilter(filterBox->GetValue().ToStdString(wxConvUTF8));
        table->setClashesOnly(clashesBox->GetValue());
        const int sortBy = std::max(sortChoice->GetSelection(), 0);
        if (sortBy == 0 && !descendingBox->GetValue())
            table->unsort();
        else
            table->sortBy(columnAt(sortBy), !descendingBox->GetValue());
        table->refresh();
    }
    arranging = true;
    gridTable->Resize(before, gridTable->GetNumberRows());
    grid->ClearSelection();
    if (table) {
        for (int index : selected)
            if (const int row = table->rowOf(index); row >= 0) grid->SelectRow(row, true);
        int row = cursorIndex >= 0 ? table->rowOf(cursorIndex) : -1;
        if (row < 0 && table->rowCount() > 0) row = 0;
        if (row >= 0) grid->SetGridCursor(row, cursorColumn);
    }
    const int sortBy = std::max(sortChoice->GetSelection(), 0);
    if (sortBy == 0 && !descendingBox->GetValue())
        grid->UnsetSortingColumn();
    else
        grid->SetSortingColumn(sortBy, !descendingBox->GetValue());
    arranging = false;
    FitColumns();
    grid->ForceRefresh();
    SetTitle(current ? "Controls table - " + wxFileName(CTemplateDocument::templateFileName(*current)).GetFullName()
                     : wxString("Controls table"));
    UpdateStatus();
}

void CControlsTableWindow::ApplyArrangement() {
    if (grid->IsCellEditControlEnabled()) grid->DisableCellEditControl();
    shownVersion = ~0ul;  // the arrangement is read again with the cells
    if (IsShown()) Reload();
}

void CControlsTableWindow::FitColumns() {
    wxClientDC dc(grid->GetGridWindow());
    dc.SetFont(grid->GetDefaultCellFont());
    const int padding = FromDIP(10);
    std::vector<int> widths(kTableColumnCount, 0);
    wxClientDC labels(grid);
    labels.SetFont(grid->GetLabelFont());
    for (int c = 0; c < kTableColumnCount; ++c)
        // Room for the sort arrow beside the title.
        widths[static_cast<size_t>(c)] =
            labels.GetTextExtent(wxString::FromUTF8(CControlsTable::columnTitle(columnAt(c)))).x + padding + FromDIP(16);
    if (table && shownTemplate) {
        for (int index = 0; index <= shownTemplate->lastIndex(); ++index)
            for (int c = 0; c < kTableColumnCount; ++c) {
                const std::string text = table->cellText(index, columnAt(c));
                if (text.empty()) continue;
                int& width = widths[static_cast<size_t>(c)];
                width = std::max(width, dc.GetTextExtent(wxString::FromUTF8(text)).x + padding);
            }
    } else {
        // Before a template: room for the usual texts.
        const char* samples[kTableColumnCount] = {"00",  "Button row 2, 8", "WWWWWWWW", "Note On/Off", "Common",
                                                  "NRPN 127/127",   "-8192",    "16383",       "16383",
                                                  "MIDI 1, MIDI 2, USB 1",   "Absolute pot", "Momentary"};
        for (int c = 0; c < kTableColumnCount; ++c) {
            int& width = widths[static_cast<size_t>(c)];
            width = std::max(width, dc.GetTextExtent(samples[c]).x + padding);
        }
    }
    grid->BeginBatch();
    for (int c = 0; c < kTableColumnCount; ++c)
        if (grid->GetColSize(c) < widths[static_cast<size_t>(c)]) grid->SetColSize(c, widths[static_cast<size_t>(c)]);
    grid->EndBatch();
}

void CControlsTableWindow::UpdateStatus() {
    if (!table) {
        SetStatusText("No template loaded", 0);
        SetStatusText("", 1);
        return;
    }
    const int total = shownTemplate ? shownTemplate->lastIndex() + 1 : 0;
    SetStatusText(wxString::Format("%d of %d controls", table->rowCount(), total), 1);
    const int row = grid->GetGridCursorRow();
    wxString text;
    if (row >= 0 && row < table->rowCount()) {
        const int index = table->indexAt(row);
        text = wxString::FromUTF8(table->clashText(index));
        if (std::binary_search(shownMarks.begin(), shownMarks.end(), index))
            text = "Differs from the compared template" + (text.empty() ? wxString() : "; " + text);
    }
    // A clash of many controls is longer than the line: the bar shows it
    // cut, and whole as its tool tip (wxSTB_SHOW_TIPS).
    SetStatusText(text, 0);
}

// --- Selection ---------------------------------------------------------------------------

std::vector<int> CControlsTableWindow::SelectedIndices() const {
    std::set<int> rows;
    for (const wxGridBlockCoords& block : grid->GetSelectedBlocks())
        for (int row = block.GetTopRow(); row <= block.GetBottomRow(); ++row) rows.insert(row);
    if (rows.empty() && grid->GetGridCursorRow() >= 0) rows.insert(grid->GetGridCursorRow());
    std::vector<int> indices;
    if (!table) return indices;
    for (int row : rows)
        if (row < table->rowCount()) indices.push_back(table->indexAt(row));
    return indices;
}

void CControlsTableWindow::PanelFollowsTable() {
    UpdateStatus();
    CTemplateUI* view = canvas.GetView();
    if (!view || !table || !view->GetTemplate()) return;
    std::vector<int> wanted = SelectedIndices();
    std::sort(wanted.begin(), wanted.end());
    std::vector<int> now = view->GetSelectedIndices();
    std::sort(now.begin(), now.end());
    if (now == wanted) return;
    view->ClearSelection();
    for (int index : wanted) view->SelectControl(index, true);
    std::vector<int> selected = view->GetSelectedIndices();
    std::sort(selected.begin(), selected.end());
    panelSelection = selected;
    canvas.RequestRepaint();
}

void CControlsTableWindow::TableFollowsPanel(const std::vector<int>& indices) {
    if (!table || grid->IsCellEditControlEnabled()) return;
    arranging = true;
    grid->ClearSelection();
    int first = -1;
    for (int index : indices)
        if (const int row = table->rowOf(index); row >= 0) {
            grid->SelectRow(row, true);
            if (first < 0 || row < first) first = row;
        }
    if (first >= 0) {
        // Moving the cursor would select its cell alone: set it, then the rows again.
        grid->SetGridCursor(first, std::max(grid->GetGridCursorCol(), 0));
        grid->ClearSelection();
        for (int index : indices)
            if (const int row = table->rowOf(index); row >= 0) grid->SelectRow(row, true);
        grid->MakeCellVisible(first, std::max(grid->GetGridCursorCol(), 0));
    }
    arranging = false;
    UpdateStatus();
}

void CControlsTableWindow::OpenEditWindow(int row) {
    if (!table || !shownTemplate || row < 0 || row >= table->rowCount()) return;
    const int index = table->indexAt(row);
    CBaseControlState* state = document.currentTemplate() ? document.currentTemplate()->controlAt(index) : nullptr;
    if (state) editWindow.Edit(CPlacedControl(state, index), false);
}

// --- Editing -------------------------------------------------------------------------------

void CControlsTableWindow::RunQuietly(const std::function<void()>& work) {
    IEditorView* frameView = EditorView::get();
    if (!frameView) {
        work();
        return;
    }
    QuietView quiet(*frameView, editWindow);
    {
        ScopedEditorView scope(&quiet);
        work();
    }
    Sync();
}

void CControlsTableWindow::RunCommand(std::unique_ptr<ICommand> command) {
    if (!command) return;
    RunQuietly([&] { host.RunCommand(std::move(command)); });
}

void CControlsTableWindow::ShowRefusal(const std::string& message, int row, int column) {
    services.messages.ShowMessage(wxOK | wxICON_WARNING, wxString::FromUTF8(message));
    if (table && row >= 0 && row < table->rowCount() && column >= 0) {
        grid->SetGridCursor(row, column);
        grid->MakeCellVisible(row, column);
    }
    grid->SetFocus();
}

bool CControlsTableWindow::SetCells(const std::vector<int>& indices, int column, const std::string& text) {
    if (!table || column < 0 || column >= kTableColumnCount) return false;
    std::vector<int> rows;
    for (int index : indices)
        if (const int row = table->rowOf(index); row >= 0) rows.push_back(row);
    TableError error;
    std::unique_ptr<ICommand> command = table->setCells(rows, columnAt(column), text, error);
    if (!error.empty()) {
        ShowRefusal(error.message, error.row, error.column);
        return false;
    }
    RunCommand(std::move(command));
    return true;
}

void CControlsTableWindow::OnCellChanging(wxGridEvent& event) {
    // The grid would only write the text into its one cell; the table turns
    // it into the command for every selected row, once the editor is closed.
    event.Veto();
    if (!table) return;
    const int row = event.GetRow(), column = event.GetCol();
    if (row < 0 || row >= table->rowCount()) return;
    std::vector<int> indices = SelectedIndices();
    const int index = table->indexAt(row);
    if (std::find(indices.begin(), indices.end(), index) == indices.end()) indices = {index};
    const std::string text = event.GetString().ToStdString(wxConvUTF8);
    const CEditorTemplate* edited = shownTemplate;
    CallAfter([this, indices, column, text, edited] {
        if (shownTemplate == edited) SetCells(indices, column, text);
    });
}

bool CControlsTableWindow::CopySelection() {
    if (!table) return false;
    std::vector<int> rows;
    for (int index : SelectedIndices()) rows.push_back(table->rowOf(index));
    std::vector<TableColumn> columns;
    for (int c : columnsOf(*grid)) columns.push_back(columnAt(c));
    if (rows.empty() || columns.empty()) return false;
    const std::string text = table->copyText(rows, columns);
    wxClipboardLocker locker;
    if (!locker) return false;
    return wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
}

bool CControlsTableWindow::PasteText(const std::string& block) {
    if (!table || table->rowCount() == 0) return false;
    // At the top-left cell of the selection, as a spreadsheet pastes.
    int row = grid->GetGridCursorRow(), column = grid->GetGridCursorCol();
    const wxGridBlocks blocks = grid->GetSelectedBlocks();
    bool any = false;
    for (const wxGridBlockCoords& b : blocks) {
        row = any ? std::min(row, b.GetTopRow()) : b.GetTopRow();
        column = any ? std::min(column, b.GetLeftCol()) : b.GetLeftCol();
        any = true;
    }
    if (row < 0 || column < 0) return false;
    TableError error;
    std::unique_ptr<ICommand> command = table->paste(row, columnAt(column), block, error);
    if (!error.empty()) {
        ShowRefusal(error.message, error.row, error.column);
        return false;
    }
    RunCommand(std::move(command));
    return true;
}

bool CControlsTableWindow::PasteClipboard() {
    wxString text;
    {
        wxClipboardLocker locker;
        if (!locker || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) return false;
        wxTextDataObject data;
        if (!wxTheClipboard->GetData(data)) return false;
        text = data.GetText();
    }
    return PasteText(text.ToStdString(wxConvUTF8));
}

// --- Keys and sorting ----------------------------------------------------------------------

void CControlsTableWindow::OnGridKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const bool editing = grid->IsCellEditControlEnabled();
    if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
        // Return commits an edit and stays on the cell (the selected rows
        // stay selected); on a row not being edited it opens the edit window.
        if (editing)
            grid->DisableCellEditControl();
        else if (event.GetModifiers() == wxMOD_NONE)
            OpenEditWindow(grid->GetGridCursorRow());
        else
            event.Skip();
        return;
    }
    if (!editing && event.GetModifiers() == wxMOD_CONTROL) {
        if (key == 'C') {
            CopySelection();
            return;
        }
        if (key == 'V') {
            PasteClipboard();
            return;
        }
    }
    event.Skip();
}

void CControlsTableWindow::OnColumnSort(wxGridEvent& event) {
    // A click on a column's title sorts by it; another click reverses the order.
    const int column = event.GetCol();
    if (column < 0 || column >= kTableColumnCount) return;
    const bool again = sortChoice->GetSelection() == column && (column != 0 || !descendingBox->GetValue()) &&
                       grid->IsSortingBy(column);
    descendingBox->SetValue(again ? !descendingBox->GetValue() : false);
    sortChoice->SetSelection(column);
    ApplyArrangement();
}

void CControlsTableWindow::OnShortcut(wxCommandEvent& event) {
    if (event.GetId() == kFilterId) {
        filterBox->SetFocus();
        filterBox->SelectAll();
        return;
    }
    auto* frame = dynamic_cast<wxFrame*>(GetParent());
    wxMenuItem* item = frame && frame->GetMenuBar() ? frame->GetMenuBar()->FindItem(event.GetId()) : nullptr;
    if (!item) return;
    // The main window works its menu states out when asked, as before its own shortcuts.
    wxUpdateUIEvent update(event.GetId());
    update.SetEventObject(frame);
    frame->ProcessWindowEvent(update);
    if (update.GetSetEnabled() ? !update.GetEnabled() : !item->IsEnabled()) return;
    if (grid->IsCellEditControlEnabled()) grid->DisableCellEditControl();
    wxCommandEvent forwarded(wxEVT_MENU, event.GetId());
    forwarded.SetEventObject(frame);
    // Undo and redo from here show their changes here, not in an edit window.
    RunQuietly([&] { frame->GetEventHandler()->ProcessEvent(forwarded); });
    if (IsShown()) {
        Raise();
        grid->SetFocus();
    }
}

void CControlsTableWindow::OnClose(wxCloseEvent& event) {
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    if (grid->IsCellEditControlEnabled()) grid->DisableCellEditControl();
    Hide();
    if (wxWindow* parent = GetParent()) parent->Raise();
}
