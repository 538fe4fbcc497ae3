#pragma once
// "MIDI Monitor": a live list of what arrives on the MIDI input, with a kind
// filter, pause, clear and copy. Modeless, one per main window.
//
// Messages go into a bounded log as they are polled; the list is a virtual
// one whose row count is brought up to date by a timer a few times a second,
// so a controller streaming thousands of messages a second costs the editor
// a handful of list refreshes, not one per message.
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <vector>

#include "midi/MidiMonitorLog.h"

class MidiService;
class wxCheckBox;
class wxButton;
class wxStaticText;
class wxToggleButton;

class CMidiMonitorList : public wxListCtrl {
public:
    CMidiMonitorList(wxWindow* parent, const MidiMonitorLog& log);
    wxString OnGetItemText(long item, long column) const override;
    // The selected rows, top to bottom.
    std::vector<size_t> SelectedRows() const;
    // Width column 0..3 needs for the widest text it can hold, and its heading.
    int NeededWidth(int column) const;
    static constexpr int kCellPadding = 24;

private:
    const MidiMonitorLog& log;
};

class CMidiMonitorWindow : public wxFrame, public IMidiMonitor {
public:
    static constexpr int kRefreshMs = 200;
    // The filter's check boxes, in the order shown, with their groups.
    struct FilterChoice {
        const char* label;
        unsigned group;
    };
    static const std::vector<FilterChoice>& FilterChoices();

    CMidiMonitorWindow(wxWindow* parent, MidiService& midi);
    ~CMidiMonitorWindow() override;

    void OnMonitoredMessage(const MonitorEvent& event) override;

    // What the buttons and check boxes do.
    void SetPaused(bool on);
    void ClearLines();
    // Puts the selected lines on the clipboard; false when none is selected.
    bool CopySelection();
    void SetShownGroups(unsigned groups);
    // Brings the list up to the log (the timer's work).
    void UpdateList();

    const MidiMonitorLog& Log() const { return log; }
    CMidiMonitorList* List() const { return list; }
    wxToggleButton* PauseButton() const { return pauseButton; }
    wxButton* ClearButton() const { return clearButton; }
    wxButton* CopyButton() const { return copyButton; }
    wxCheckBox* FilterBox(unsigned group) const;
    wxStaticText* StatusLine() const { return status; }
    // How often the list has been brought up to date.
    long ListUpdates() const { return listUpdates; }
    // Whether the list shows the log as it is now.
    bool ListUpToDate() const { return listedVersion == log.version(); }

private:
    void OnTimer(wxTimerEvent& event);
    void OnFilterBox(wxCommandEvent& event);
    void updateStatus();

    MidiService& midi;
    MidiMonitorLog log;
    CMidiMonitorList* list = nullptr;
    wxToggleButton* pauseButton = nullptr;
    wxButton* clearButton = nullptr;
    wxButton* copyButton = nullptr;
    std::vector<wxCheckBox*> filterBoxes;
    wxStaticText* status = nullptr;
    wxTimer timer;
    uint64_t listedVersion = ~uint64_t{0};
    uint64_t frontSeen = 0;
    long listUpdates = 0;
};
