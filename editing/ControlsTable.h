#pragma once
// The controls of a template as a table, one row per control of the unit
// (0..lastIndex, including those the panel does not draw), that a window
// shows and edits like a spreadsheet.
//
// Cells hold text. A cell whose column does not apply to the control's type
// (a channel on a SysEx control, a number on a pitch-bend control) is empty.
// Editing parses the text a user typed or pasted and issues the same
// property commands as the edit window, checked by the same rules
// (editing/ControlFields.h); the text a cell shows reads back as the same
// settings, so copied cells paste back unchanged.
//
// Nothing here changes the template: the editing operations return a command
// for the caller to execute on the template's history, or say which cell is
// wrong and why. Rows are addressed in the order shown (after filter and
// sort); call refresh() after every change of the template.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editing/ControlClashes.h"

class CEditorTemplate;
class ICommand;
class IDeviceProfile;

enum class TableColumn : int { Index, Place, Name, Type, Channel, Number, Low, High, Default, Ports, Display, Action };
inline constexpr int kTableColumnCount = 12;

// Why an edit or a paste was refused: `message` names the cell and says why.
struct TableError {
    std::string message;
    int row = -1;     // the table row of the bad cell, -1 when no cell is at fault
    int column = -1;  // its column
    bool empty() const { return message.empty(); }
};

class CControlsTable {
public:
    CControlsTable(const IDeviceProfile& profile, CEditorTemplate& tpl);

    // "Index", "Place", "Name", "Type", "MIDI Channel", "Number", "Low",
    // "High", "Default", "Ports", "Display", "Action" (of a button).
    static std::string columnTitle(TableColumn column);
    // Index and Place are read-only.
    static bool isEditable(TableColumn column);

    // Re-reads the template: clashes, then filter and order.
    void refresh();

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // The control index shown in a row, and the row showing a control (-1
    // when the filter hides it).
    int indexAt(int row) const;
    int rowOf(int index) const;
    std::string text(int row, TableColumn column) const { return cellText(indexAt(row), column); }
    // The text of a control's cell, shown or not.
    std::string cellText(int index, TableColumn column) const;

    // Rows in the order of a column's texts (numbers by value, "Pot 10" after
    // "Pot 9", empty cells last), ties in index order.
    void sortBy(TableColumn column, bool ascending);
    // Back to index order.
    void unsort();
    // Shows only the controls whose name, type or place holds the text
    // (ignoring case); empty shows all.
    void setFilter(const std::string& text);
    // Shows only the controls that take part in a clash.
    void setClashesOnly(bool only);
    bool clashesOnly() const { return clashesOnly_; }

    const std::vector<Clash>& clashes() const { return clashes_; }
    bool inClash(int index) const { return clashing_.count(index) != 0; }
    // "Sends CC 7 on channel 1 (MIDI 1) like 16 (Slider 1)", empty when not in a clash.
    std::string clashText(int index) const;

    // Sets the text in one column of several rows. One row: the property
    // command (or, when the text changes several settings, a composite named
    // "Set " + title); more rows: one composite "Set <title> on N controls".
    // Null when nothing would change, or when a cell is refused (then `error`
    // says which and why, and nothing is to be executed).
    std::unique_ptr<ICommand> setCells(const std::vector<int>& rows, TableColumn column, const std::string& text,
                                       TableError& error) const;

    // Tab-separated text of the given rows and columns, one line per row.
    std::string copyText(const std::vector<int>& rows, const std::vector<TableColumn>& columns) const;

    // A block of tab-separated lines (as a spreadsheet copies it) pasted with
    // its first cell at (row, column): checked whole first, then one
    // composite "Paste N cells". Empty cells and cells in read-only columns
    // are skipped; the cells of one row are applied type first, then display
    // format and action, then the rest, each checked against the control as
    // the earlier ones leave it. A block reaching past the table is refused.
    std::unique_ptr<ICommand> paste(int row, TableColumn column, const std::string& block, TableError& error) const;

private:
    void arrange();

    const IDeviceProfile& profile_;
    CEditorTemplate& tpl_;
    std::vector<int> rows_;
    std::vector<int> rowOfIndex_;
    std::vector<Clash> clashes_;
    std::set<int> clashing_;
    std::string filter_;
    bool clashesOnly_ = false;
    bool sorted_ = false;
    TableColumn sortColumn_ = TableColumn::Index;
    bool ascending_ = true;
};
