#pragma once
// The main window's side of the MIDI exchange: listening for a template dump
// and taking it in, sending the current template, the Device menu's dialogs
// (port choice, bulk dumps, OS update, MIDI monitor), and the newest
// incoming message in the status bar. All of it runs on the GUI thread; the
// listener calls come from the idle poll.
#include <wx/string.h>
#include <wx/weakref.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/EditorServices.h"
#include "library/TemplateLibrary.h"
#include "midi/MidiTypes.h"

class CEditWindowHost;
class CEditorTemplate;
class CTemplateCanvas;
class CTemplateDocument;
class wxFrame;

class CDeviceController : public IProgressListener, public IMessageListener, public ISysExListener {
public:
    // `frame` holds the status bar and parents the dialogs.
    CDeviceController(wxFrame& frame, const EditorServices& services, CTemplateDocument& document,
                      CTemplateCanvas& canvas, CEditWindowHost& editWindow);
    ~CDeviceController() override;
    CDeviceController(const CDeviceController&) = delete;
    CDeviceController& operator=(const CDeviceController&) = delete;

    // --- The Device menu and the panel buttons ----------------------------------
    // Starts listening for a template dump, or stops when listening.
    void ListenCommand();
    void StopListening(bool withMessage);
    void UploadCommand();
    void SelectMidiDeviceCommand();
    void BulkDumpsCommand();
    void UpdateOSCommand();
    // Opens the monitor window, or brings it to the front.
    wxFrame* MidiMonitorCommand();
    wxFrame* MidiMonitorWindow() const { return monitorWindow.get(); }
    // --- The template library's transfers ------------------------------------
    // Sends a template dump to the unit's `location` (0-based) as a single
    // template, as Upload sends; false (the reason shown) when it cannot start.
    bool SendDumpTo(const ByteSequence& dump, int location);
    // The bulk dump dialog, listening at once; the dump received becomes a
    // dated backup of the unit in the library (`done` on the GUI thread).
    using BackupDone = std::function<void(bool ok, int64_t snapshotId, const std::string& error)>;
    void BackUpUnitCommand(BackupDone done);
    // After the user agrees, the bulk dump dialog sends a backup's 40 dumps
    // back with its paced send; `label` names the backup in the question.
    void RestoreCommand(const std::vector<ByteSequence>& dumps, const wxString& label);
    bool IsInputOpen() const;
    bool IsOutputOpen() const;

    // Shows the newest incoming message in the status bar (once per idle
    // pass: a controller can send thousands a second); whether one waits.
    void IdleWork();
    bool NeedsIdleWork() const { return midiStatusPending; }

    // IProgressListener, IMessageListener, ISysExListener
    void OnProgress() override;
    void OnWaiting() override {}
    void OnComplete() override;
    void OnFailed() override;
    void OnMidiMessage(uint8_t status, int data1, int data2) override;
    void OnSysExReceived(const MidiBytes& bytes) override;
    void OnSysExAborted() override;

private:
    void SetStatus(const wxString& text);
    bool StartTemplateSend(CEditorTemplate& tpl);

    wxFrame& frame;
    EditorServices services;
    CTemplateDocument& document;
    CTemplateCanvas& canvas;
    CEditWindowHost& editWindow;
    wxWeakRef<wxFrame> monitorWindow;
    // The newest incoming message's status texts, not yet shown.
    std::array<wxString, 5> midiStatus;
    bool midiStatusPending = false;
    bool midiStatusKeepFirst = false;
    // The template being sent, recorded in the library once the unit has it.
    std::optional<std::pair<ByteSequence, LibraryEvent>> sending;
};
