#pragma once
// The panels of the control edit window: the common panel (name, type,
// ports), the channel panel and one panel per message type. Each panel reads
// the control's settings and turns every change into a command; none writes
// the model itself.
#include <wx/panel.h>
#include <wx/string.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/Observer.h"
#include "editing/MidiLearn.h"
#include "editing/PlacedControl.h"
#include "ui/EntryFields.h"

class wxSizer;
class wxCheckBox;
class wxChoice;
class wxButton;
class wxRadioButton;
class wxStaticText;
class wxStaticLine;
class wxToggleButton;
class ICommand;
class CBaseControlState;
class CEditorTemplate;
class IDeviceProfile;

// What the panels need from the main window.
class IEditPanelHost {
public:
    virtual ~IEditPanelHost() = default;
    virtual const IDeviceProfile& PanelProfile() const = 0;
    // Caption of port 0..4: MIDI 1, MIDI 2, USB 1, USB 2, USB 3.
    virtual wxString PortCaption(int port) const = 0;
    // Runs the command on the current template's history.
    virtual void RunPanelCommand(std::unique_ptr<ICommand> command) = 0;
    // The current template (for the port and channel groups), or null.
    virtual const CEditorTemplate* PanelTemplate() const = 0;
    virtual void AddPanelObserver(IObserver* observer) = 0;
    virtual void SetPanelSnapshotObserver(IObserver* observer) = 0;
    // Whether name fields offer completion from the word history.
    virtual bool PanelAutoComplete() const = 0;

    // MIDI learn: every short message from the MIDI input goes to `receiver`
    // (status, data 1, data 2) until StopMidiInput; false when no input is open.
    using MidiReceiver = std::function<void(int status, int data1, int data2)>;
    virtual bool StartMidiInput(MidiReceiver) { return false; }
    virtual void StopMidiInput() {}
    // Status bar field 0.
    virtual void SetPanelStatus(const wxString&) {}
};

// Takes a window out of its layout without destroying it.
void RemoveFromLayout(wxWindow* window);
// Logged when a dialog or panel layout is missing from the loaded resources.
extern const char* const kMissingResourceText;

class CEditPanel : public wxPanel {
public:
    CEditPanel(IEditPanelHost& host, wxWindow* parent, const char* resource);
    ~CEditPanel() override = default;

    // Replaces the panel's control copy and refreshes.
    virtual void setControl(const CPlacedControl& placed);
    virtual void refresh() = 0;
    // Ends MIDI learn when it is on (Escape, the window hidden); true when it was.
    virtual bool EndLearn() { return false; }
    bool Loaded() const { return loaded; }
    const CPlacedControl* Control() const { return control.get(); }

protected:
    template <class T>
    T* find(const char* name) const {
        return dynamic_cast<T*>(wxWindow::FindWindowByName(name, const_cast<CEditPanel*>(this)));
    }
    CBaseControlState* state() const { return control ? control->GetState() : nullptr; }
    int index() const { return control ? control->GetIndex() : -1; }
    const IDeviceProfile& profile() const { return host.PanelProfile(); }
    void run(std::unique_ptr<ICommand> command);
    NumberTextCtrl::CommandRunner runner();
    // Shows a value unless the user is typing in the field.
    static void showNumber(NumberTextCtrl* field, int value);

    IEditPanelHost& host;
    std::unique_ptr<CPlacedControl> control;

private:
    void OnPaint(wxPaintEvent& event);
    bool loaded = false;
};

class CGenericDialog : public CEditPanel, public IAutoCompleteClient {
public:
    CGenericDialog(IEditPanelHost& host, wxWindow* parent, int controlIndex);
    void refresh() override;
    void refreshPorts();
    bool ShouldComplete() override;

    // MIDI learn: while on, the next message from the MIDI input that the
    // control can send becomes its type, number and channel (one undo step);
    // a message it cannot send beeps, says why and keeps learning.
    void StartLearn();
    bool EndLearn() override;
    bool IsLearning() const { return learning; }
    // A short message from the input (the host calls this while learning).
    void LearnMessage(int status, int data1, int data2);

    wxTextCtrl* name = nullptr;
    wxChoice* type = nullptr;
    wxToggleButton* learn = nullptr;
    wxChoice* portGroup = nullptr;
    wxCheckBox* ports[5] = {};
    CAutoCompleteMenu* completion = nullptr;

private:
    void showType(int controlType);
    void OnLearn(wxCommandEvent& event);
    void OnName(wxCommandEvent& event);
    void OnType(wxCommandEvent& event);
    void OnPort(wxCommandEvent& event);
    void OnPortGroup(wxCommandEvent& event);

    bool learning = false;
    CMidiLearnAssembler assembler;
};

class CMIDIChannelDialog : public CEditPanel {
public:
    CMIDIChannelDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;

    wxChoice* group = nullptr;
    NumberTextCtrl* channel = nullptr;
};

class CCCDialog : public CEditPanel {
public:
    CCCDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    NumberTextCtrl* number = nullptr;
};

class CNRPNDialog : public CEditPanel {
public:
    CNRPNDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    NumberTextCtrl* msb = nullptr;
    NumberTextCtrl* lsb = nullptr;
};

class CSnapValueDialog : public CEditPanel, public IObserver {
public:
    CSnapValueDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    void Notify() override { refresh(); }
    NumberTextCtrl* value = nullptr;
};

class CMMCDialog : public CEditPanel {
public:
    CMMCDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    NumberTextCtrl* device = nullptr;
    wxRadioButton* commands[13] = {};
};

class CSysExDialog : public CEditPanel {
public:
    CSysExDialog(IEditPanelHost& host, wxWindow* parent);
    void refresh() override;
    // The parser's status as shown (the label itself is wrapped to fit).
    wxString StatusText() const;
    wxTextCtrl* message = nullptr;
    wxStaticText* status = nullptr;
    wxButton* set = nullptr;

private:
    void check();
    void showStatus(const wxString& text);
    bool editing = false;
};

class CButtonDialog : public CEditPanel, public IObserver {
public:
    CButtonDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    void Notify() override { refresh(); }

    NumberTextCtrl* high = nullptr;
    NumberTextCtrl* low = nullptr;
    wxStaticText* lowText = nullptr;
    wxStaticText* displayText = nullptr;
    wxRadioButton* display[3] = {};  // formats 0, 1, 3
    wxRadioButton* action[4] = {};   // Normal, Momentary, Toggle, Step
    wxSpinCtrl* stepSize = nullptr;

private:
    int shownStep = 1;
};

class CDrumnoteDialog : public CEditPanel {
public:
    CDrumnoteDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    NumberTextCtrl* note = nullptr;
    wxStaticText* noteName = nullptr;
    NumberTextCtrl* velocity = nullptr;
    NumberTextCtrl* autoOff = nullptr;
    wxChoice* offSync = nullptr;
};

class CNoteOnDialog : public CEditPanel {
public:
    CNoteOnDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;
    NumberTextCtrl* note = nullptr;
    wxStaticText* noteName = nullptr;
    NumberTextCtrl* velocity = nullptr;
    wxRadioButton* action[3] = {};
};

class CPotDialog : public CEditPanel {
public:
    CPotDialog(IEditPanelHost& host, wxWindow* parent);
    void setControl(const CPlacedControl& placed) override;
    void refresh() override;

    NumberTextCtrl* high = nullptr;
    NumberTextCtrl* low = nullptr;
    wxStaticText* catchupText = nullptr;
    wxChoice* strategy = nullptr;
    wxCheckBox* pickup = nullptr;
    wxCheckBox* send14Bit = nullptr;
    wxStaticText* displayText = nullptr;
    wxRadioButton* display[5] = {};  // formats 0, 1, 6, 7, 17
};

// Stacks the panels for the control's kind and type into `sizer` (nothing for
// a control that is neither a button nor a continuous control, or a type
// without panels).
void BuildControlPanels(wxWindow& window, wxSizer& sizer, const CPlacedControl& control, IEditPanelHost& host);
