#pragma once
// View > Controls table: every control of the current template in one grid,
// edited like a spreadsheet. The window only shows and forwards:
// CControlsTable (editing/) reads the cells, parses what is typed or pasted,
// checks it and makes the commands, which run on the template's history
// through the main window like the edit window's. The window follows the
// template on the main window's idle passes (Sync): another template, any
// command, undo or redo, the compare marks and the panel's selection.
//
// Keys: arrows and Tab move, F2 or typing edits, Escape cancels, Return
// commits (and on a row not being edited opens the control's edit window, as
// a double-click does), Ctrl+C copies the selected cells as tab-separated
// lines, Ctrl+V pastes such lines at the selection's top-left cell, Ctrl+F
// goes to the filter box; the main window's shortcuts (undo, redo, save...)
// work here too. Typing into one column of several selected rows sets them
// all as one undo step.
#include <wx/frame.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EditorServices.h"

class CControlsTable;
class CEditWindowHost;
class CEditorTemplate;
class CTemplateCanvas;
class CTemplateDocument;
class ICommand;
class ITemplateUIHost;
class wxCheckBox;
class wxChoice;
class wxGrid;
class wxGridEvent;
class wxTextCtrl;

class CControlsTableWindow : public wxFrame {
public:
    // `host` runs the commands; `canvas` shows the panel whose selection the
    // table follows and leads; `editWindow` opens a row's control.
    CControlsTableWindow(wxWindow* parent, const EditorServices& services, const CTemplateDocument& document,
                         CTemplateCanvas& canvas, CEditWindowHost& editWindow, ITemplateUIHost& host);
    ~CControlsTableWindow() override;

    // Shows the window up to date, raised, with the focus on the grid.
    void Open();
    // Brings the grid up to the current template, its history, the compare
    // marks and the panel's selection; cheap when nothing changed. While the
    // window is hidden it only lets go of a template that is no longer current.
    void Sync();

    // Ctrl+C and Ctrl+V: false (and, for a refused paste, a message naming
    // the cell and why) when nothing was copied or changed.
    bool CopySelection();
    bool PasteText(const std::string& block);
    bool PasteClipboard();
    // Sets the text on the control rows of `indices`, one column, as typing
    // into the selected cells does (one undo step); false after a message.
    bool SetCells(const std::vector<int>& indices, int column, const std::string& text);
    // The controls of the selected rows, in row order (the cursor's row when
    // nothing is selected).
    std::vector<int> SelectedIndices() const;

    wxGrid* Grid() const { return grid; }
    wxTextCtrl* FilterBox() const { return filterBox; }
    wxCheckBox* ClashesBox() const { return clashesBox; }
    wxChoice* SortChoice() const { return sortChoice; }
    wxCheckBox* DescendingBox() const { return descendingBox; }
    // Null while no template is open.
    const CControlsTable* Table() const { return table.get(); }

private:
    class GridTable;
    class QuietView;

    void BuildLayout();
    void BindKeys();
    // Re-reads the template into the grid, keeping the selected controls
    // selected and the cursor on its control.
    void Reload();
    void ApplyArrangement();
    // Column widths for every control's texts, shown or not, so that
    // filtering and sorting do not make the columns jump.
    void FitColumns();
    // Runs a command, undo or redo of the table's own without the edit
    // window opening on each control it touches.
    void RunQuietly(const std::function<void()>& work);
    void RunCommand(std::unique_ptr<ICommand> command);
    void ShowRefusal(const std::string& message, int row, int column);
    void PanelFollowsTable();
    void TableFollowsPanel(const std::vector<int>& indices);
    void OpenEditWindow(int row);
    void UpdateStatus();

    void OnCellChanging(wxGridEvent& event);
    void OnColumnSort(wxGridEvent& event);
    void OnGridKey(wxKeyEvent& event);
    void OnShortcut(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    EditorServices services;
    const CTemplateDocument& document;
    CTemplateCanvas& canvas;
    CEditWindowHost& editWindow;
    ITemplateUIHost& host;

    wxGrid* grid = nullptr;
    GridTable* gridTable = nullptr;  // owned by the grid
    wxTextCtrl* filterBox = nullptr;
    wxCheckBox* clashesBox = nullptr;
    wxChoice* sortChoice = nullptr;
    wxCheckBox* descendingBox = nullptr;

    std::unique_ptr<CControlsTable> table;
    // What the grid shows now, to see what changed.
    const CEditorTemplate* shownTemplate = nullptr;
    unsigned long shownVersion = 0;
    std::vector<int> shownMarks;
    std::vector<int> panelSelection;
    // Selection changes made by the window itself, not by the user.
    bool arranging = false;
};
