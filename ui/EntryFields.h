#pragma once
// Name and number entry shared by every name and number field: the name and
// number validators, the committing number field, the spin-field check and
// the name completion pop-up.
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ICommand;
class ICommandCreator;
class CPlacedControl;

namespace EntryFields {
// The one place a refused key is answered with a beep; counted so that tests
// can tell a refusal from a key that was merely ignored.
void Beep();
int BeepCount();
}  // namespace EntryFields

// Names: the characters the hardware's display can show, at most maxLength.
class CNameValidator : public wxTextValidator {
public:
    CNameValidator(int maxLength, wxString* text = nullptr);
    CNameValidator(const CNameValidator& other);
    wxObject* Clone() const override { return new CNameValidator(*this); }
    // The characters a name may hold.
    static const wxString& Allowed();
    int MaxLength() const { return maxLength; }

private:
    void OnKey(wxKeyEvent& event);
    int maxLength;
};

// Whole numbers, optionally negative.
class CNumberValidator : public wxTextValidator {
public:
    CNumberValidator();
    CNumberValidator(const CNumberValidator& other);
    wxObject* Clone() const override { return new CNumberValidator(*this); }

private:
    void OnKey(wxKeyEvent& event);
    wxString value;
};

// A number field that turns a committed value (Enter or leaving the field)
// into a command; an entry outside the range snaps back to the last value.
class NumberTextCtrl : public wxTextCtrl {
public:
    // Runs the command made for a committed value.
    using CommandRunner = std::function<void(std::unique_ptr<ICommand>)>;

    NumberTextCtrl();
    NumberTextCtrl(wxWindow* parent, wxWindowID id, const wxString& value = wxString(),
                   const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0);

    void bind(const ICommandCreator* creator, const CPlacedControl* control, CommandRunner runner);
    // The accepted range, inclusive, its ends in either order.
    void setRange(int a, int b);
    void show(int value);
    int value() const;
    bool inRange() const;
    int lastShown() const { return lastValue; }
    // What losing the focus does: a value in range that differs from the last
    // one becomes a command; the field then shows the last good value.
    void commit();

private:
    void Init();
    void OnKillFocus(wxFocusEvent& event);
    void OnEnter(wxCommandEvent& event);

    const ICommandCreator* creator = nullptr;
    const CPlacedControl* control = nullptr;
    int lastValue = 0;
    int bound1 = 127;
    int bound2 = 0;
    CommandRunner runner;
    bool enterBound = false;

    wxDECLARE_DYNAMIC_CLASS(NumberTextCtrl);
};

// The check a spin field runs on each text change: refuses text that is not
// a whole number in range by putting `current` back. `eventNumber` is the
// number the change reports; `max` -1 means the field's own maximum. True when
// the field now holds a valid value different from `current` (which is then
// updated when the field was rewritten).
bool spinCheck(int eventNumber, wxSpinCtrl* spin, int& current, int max = -1);

// Asked before completion is offered.
class IAutoCompleteClient {
public:
    virtual ~IAutoCompleteClient() = default;
    virtual bool ShouldComplete() = 0;
};

class CAutoCompleteMenu;

class CAutoCompleteListCtrl : public wxListCtrl {
public:
    CAutoCompleteListCtrl(CAutoCompleteMenu* menu, wxTextCtrl* field);

private:
    void OnKey(wxKeyEvent& event);
    CAutoCompleteMenu* menu;
    wxTextCtrl* field;
};

// The pop-up under a name field that offers words of the history starting
// with the word being typed.
class CAutoCompleteMenu : public wxFrame {
public:
    // Attaches a pop-up to `field`; the field's window owns it from then on.
    static CAutoCompleteMenu* create(wxWindow* parent, wxTextCtrl* field, int maxLength, IAutoCompleteClient* client);
    ~CAutoCompleteMenu() override;

    // The candidates for the word being typed, newest history word first.
    const std::vector<wxString>& Candidates() const { return candidates; }
    // The field's text after choosing candidate i.
    wxString replacementText(size_t i) const;
    void activate(long index);
    void hidePopup();
    void appendToField(const wxString& text);
    void backspaceField();
    // Candidates for the text as it stands (the text-changed handling).
    void update(const wxString& text);
    // The field's text changed: offers candidates when the client agrees.
    // The field's owner calls this before it acts on the new text itself
    // (the pop-up's own text handler may run after the owner's).
    void FieldChanged();

private:
    CAutoCompleteMenu(wxWindow* parent, wxTextCtrl* field, int maxLength, IAutoCompleteClient* client);
    void OnFieldText(wxCommandEvent& event);
    void OnActivated(wxListEvent& event);
    void OnActivate(wxActivateEvent& event);

    class FieldHook;
    CAutoCompleteListCtrl* list;
    wxTextCtrl* field;
    FieldHook* hook;
    std::vector<wxString> candidates;
    wxString lastText;
    int maxLength;
    IAutoCompleteClient* client;
};
