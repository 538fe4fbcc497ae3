#include "ui/EntryFields.h"

#include <wx/utils.h>
#include <wx/weakref.h>

#include <algorithm>

#include "model/Command.h"
#include "editing/CommandCreator.h"
#include "editing/PlacedControl.h"
#include "model/WordHistory.h"

namespace {
int beeps = 0;

// Navigation and editing keys pass every filter.
bool isControlKey(int key) { return key < 32 || key == 127 || key > 300; }

// A whole number, optionally signed: "-" alone or "" is not one.
bool readsAsNumber(const wxString& text, long* out = nullptr) {
    if (text.empty() || text.Contains(".")) return false;
    long v = 0;
    if (!text.ToLong(&v)) return false;
    if (out) *out = v;
    return true;
}

wxString trimRight(const wxString& s) {
    wxString t = s;
    t.Trim(true);
    return t;
}
}  // namespace

void EntryFields::Beep() {
    ++beeps;
    wxBell();
}

int EntryFields::BeepCount() { return beeps; }

// --- Name validator --------------------------------------------------------------

const wxString& CNameValidator::Allowed() {
    static const wxString chars = [] {
        wxString s;
        for (char c = 0x30; c <= 0x3F; ++c) s += c;
        for (char c = 'A'; c <= 'Z'; ++c) s += c;
        for (char c = 'a'; c <= 'z'; ++c) s += c;
        s += " !#$%&'()*+,-./:;<>?@\"=";
        return s;
    }();
    return chars;
}

CNameValidator::CNameValidator(int maxLength, wxString* text)
    : wxTextValidator(wxFILTER_INCLUDE_CHAR_LIST, text), maxLength(maxLength) {
    SetCharIncludes(Allowed());
    Bind(wxEVT_CHAR, &CNameValidator::OnKey, this);
}

CNameValidator::CNameValidator(const CNameValidator& other) : wxTextValidator(other), maxLength(other.maxLength) {
    Bind(wxEVT_CHAR, &CNameValidator::OnKey, this);
}

void CNameValidator::OnKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    auto* text = dynamic_cast<wxTextEntry*>(GetWindow());
    if (isControlKey(key) || !text) {
        event.Skip();
        return;
    }
    long from = 0, to = 0;
    text->GetSelection(&from, &to);
    if (from != to) {
        // Typing over a selection never makes the text longer.
        if (IsCharIncluded(event.GetUnicodeKey())) event.Skip();
        else EntryFields::Beep();
        return;
    }
    if (maxLength >= 0 && static_cast<int>(text->GetValue().length()) >= maxLength) {
        EntryFields::Beep();
        return;
    }
    if (!IsCharIncluded(event.GetUnicodeKey())) {
        EntryFields::Beep();
        return;
    }
    event.Skip();
}

// --- Number validator ------------------------------------------------------------

CNumberValidator::CNumberValidator() : wxTextValidator(wxFILTER_INCLUDE_CHAR_LIST, &value) {
    wxString chars;
    for (char c = 0x30; c <= 0x3F; ++c) chars += c;
    chars += "-";
    SetCharIncludes(chars);
    Bind(wxEVT_CHAR, &CNumberValidator::OnKey, this);
}

CNumberValidator::CNumberValidator(const CNumberValidator& other) : wxTextValidator(other), value(other.value) {
    m_stringValue = &value;
    Bind(wxEVT_CHAR, &CNumberValidator::OnKey, this);
}

void CNumberValidator::OnKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    auto* text = dynamic_cast<wxTextEntry*>(GetWindow());
    if (isControlKey(key) || !text) {
        event.Skip();
        return;
    }
    const wxString current = text->GetValue();
    const wxUniChar typed = event.GetUnicodeKey();
    if (typed == '-' && current.Contains("-")) {
        EntryFields::Beep();
        return;
    }
    long from = 0, to = 0;
    text->GetSelection(&from, &to);
    if (from == to) from = to = text->GetInsertionPoint();
    const wxString would = current.Left(static_cast<size_t>(from)) + wxString(typed) + current.Mid(static_cast<size_t>(to));
    if (!IsCharIncluded(typed) || !readsAsNumber(would)) {
        EntryFields::Beep();
        return;
    }
    event.Skip();
}

// --- Number field ----------------------------------------------------------------------

wxIMPLEMENT_DYNAMIC_CLASS(NumberTextCtrl, wxTextCtrl);

NumberTextCtrl::NumberTextCtrl() { Init(); }

NumberTextCtrl::NumberTextCtrl(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos,
                               const wxSize& size, long style)
    : wxTextCtrl(parent, id, value, pos, size, style | wxTE_PROCESS_ENTER) {
    Init();
}

void NumberTextCtrl::Init() { Bind(wxEVT_KILL_FOCUS, &NumberTextCtrl::OnKillFocus, this); }

void NumberTextCtrl::bind(const ICommandCreator* c, const CPlacedControl* placed, CommandRunner run) {
    creator = c;
    control = placed;
    runner = std::move(run);
    if (!enterBound) {
        // Enter commits as leaving the field does.
        if (!HasFlag(wxTE_PROCESS_ENTER)) SetWindowStyleFlag(GetWindowStyleFlag() | wxTE_PROCESS_ENTER);
        Bind(wxEVT_TEXT_ENTER, &NumberTextCtrl::OnEnter, this);
        enterBound = true;
    }
    if (!GetValidator()) SetValidator(CNumberValidator());
}

void NumberTextCtrl::setRange(int a, int b) {
    bound1 = a;
    bound2 = b;
}

void NumberTextCtrl::show(int v) {
    lastValue = v;
    const wxString text = wxString::Format("%d", v);
    if (GetValue() != text) ChangeValue(text);
    // What is shown is the model's value, not the user's unfinished typing
    // (undo must be able to replace it even while the field has the focus).
    DiscardEdits();
}

int NumberTextCtrl::value() const {
    long v = 0;
    return readsAsNumber(GetValue(), &v) ? static_cast<int>(v) : 0;
}

bool NumberTextCtrl::inRange() const {
    long v = 0;
    if (!readsAsNumber(GetValue(), &v)) return false;
    const int lo = std::min(bound1, bound2), hi = std::max(bound1, bound2);
    return v >= lo && v <= hi;
}

void NumberTextCtrl::commit() {
    if (creator && inRange()) {
        const int v = value();
        if (v != lastValue) {
            lastValue = v;
            if (runner && control) runner(creator->Create(*control, v));
        }
    }
    // The command may have rebuilt the panels; this field still exists, as
    // panels are destroyed only from the event loop.
    show(lastValue);
}

void NumberTextCtrl::OnKillFocus(wxFocusEvent& event) {
    commit();
    event.Skip();
}

void NumberTextCtrl::OnEnter(wxCommandEvent&) { commit(); }

// --- Spin check ------------------------------------------------------------------------

bool spinCheck(int eventNumber, wxSpinCtrl* spin, int& current, int max) {
    if (!spin) return false;
    if (max == -1) max = spin->GetMax();
    const int min = spin->GetMin();
    const wxString text = spin->GetTextValue();
    if (text.empty() && eventNumber == 0) {
        const int v = min < 0 ? 0 : min;
        spin->SetValue(v);
        return v != current;
    }
    if (text == "-") {
        if (min < 0) return current != -1;
        spin->SetValue(wxString());
        spin->SetValue(current);
        return false;
    }
    long typed = 0;
    if (!readsAsNumber(text, &typed)) {
        spin->SetValue(current);
        return false;
    }
    if (eventNumber > max || eventNumber < min || typed > max || typed < min) {
        spin->SetValue(current);
        return false;
    }
    if (typed != eventNumber) {
        spin->SetValue(eventNumber);
        const bool changed = current != eventNumber;
        current = eventNumber;
        return changed;
    }
    return current != eventNumber;
}

// --- Completion ------------------------------------------------------------------------

CAutoCompleteListCtrl::CAutoCompleteListCtrl(CAutoCompleteMenu* menu, wxTextCtrl* field)
    : wxListCtrl(menu, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL),
      menu(menu),
      field(field) {
    Bind(wxEVT_CHAR, &CAutoCompleteListCtrl::OnKey, this);
    Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        switch (event.GetKeyCode()) {
            case WXK_BACK:
            case WXK_DELETE:
            case WXK_TAB:
            case WXK_ESCAPE:
            case WXK_RETURN:
            case WXK_NUMPAD_ENTER: OnKey(event); break;
            case WXK_DOWN:
            case WXK_UP:
                // The first arrow key from the field picks the first (or last) candidate.
                if (GetItemCount() > 0 && GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) < 0) {
                    const long item = event.GetKeyCode() == WXK_DOWN ? 0 : GetItemCount() - 1;
                    SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
                    EnsureVisible(item);
                } else {
                    event.Skip();
                }
                break;
            default: event.Skip(); break;
        }
    });
}

void CAutoCompleteListCtrl::OnKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    switch (key) {
        case WXK_BACK:
        case WXK_DELETE: menu->backspaceField(); return;
        case WXK_TAB:
        case WXK_ESCAPE: menu->hidePopup(); return;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: {
            const long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
            if (selected < 0) menu->hidePopup();
            else menu->activate(selected);
            return;
        }
        case WXK_UP:
        case WXK_DOWN:
        case WXK_LEFT:
        case WXK_RIGHT: event.Skip(); return;
        default: break;
    }
    const wxUniChar c = event.GetUnicodeKey();
    if (c != WXK_NONE && c >= 32) menu->appendToField(wxString(c));
    else event.Skip();
}

CAutoCompleteMenu* CAutoCompleteMenu::create(wxWindow* parent, wxTextCtrl* field, int maxLength,
                                             IAutoCompleteClient* client) {
    return new CAutoCompleteMenu(parent, field, maxLength, client);
}

// The field is tracked weakly: the pop-up and the field are siblings and
// either may go first when their panel is destroyed.
class CAutoCompleteMenu::FieldHook {
public:
    wxWeakRef<wxTextCtrl> field;
};

CAutoCompleteMenu::CAutoCompleteMenu(wxWindow* parent, wxTextCtrl* field, int maxLength, IAutoCompleteClient* client)
    : wxFrame(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
              wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW | wxFRAME_FLOAT_ON_PARENT),
      list(nullptr),
      field(field),
      hook(new FieldHook),
      maxLength(maxLength),
      client(client) {
    hook->field = field;
    list = new CAutoCompleteListCtrl(this, field);
    const int width = field->GetSize().GetWidth();
    list->InsertColumn(0, "", wxLIST_FORMAT_LEFT, std::max(width - 22, 20));
    SetClientSize(wxSize(width, 110));
    list->SetSize(GetClientSize());
    field->Bind(wxEVT_TEXT, &CAutoCompleteMenu::OnFieldText, this);
    list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CAutoCompleteMenu::OnActivated, this);
    Bind(wxEVT_ACTIVATE, &CAutoCompleteMenu::OnActivate, this);
}

CAutoCompleteMenu::~CAutoCompleteMenu() {
    if (hook->field) hook->field->Unbind(wxEVT_TEXT, &CAutoCompleteMenu::OnFieldText, this);
    delete hook;
}

void CAutoCompleteMenu::OnFieldText(wxCommandEvent& event) {
    event.Skip();
    FieldChanged();
}

void CAutoCompleteMenu::FieldChanged() {
    if (client && !client->ShouldComplete()) return;
    update(field->GetValue());
}

void CAutoCompleteMenu::update(const wxString& text) {
    if (text == lastText) return;
    lastText = text;
    candidates.clear();
    const int blank = text.Find(' ', true);
    const wxString prefix = blank == wxNOT_FOUND ? text : text.Mid(static_cast<size_t>(blank) + 1);
    if (!prefix.empty()) {
        const wxString lower = prefix.Lower();
        const auto& words = CWordHistory::instance().words();
        for (auto it = words.rbegin(); it != words.rend(); ++it) {
            const wxString word = wxString::FromUTF8(*it);
            if (!word.Lower().StartsWith(lower)) continue;
            const wxString candidate = prefix + word.Mid(prefix.length());
            if (candidate == prefix) continue;
            if (std::find(candidates.begin(), candidates.end(), candidate) != candidates.end()) continue;
            candidates.push_back(candidate);
            if (maxLength != -1 && static_cast<int>(trimRight(replacementText(candidates.size() - 1)).length()) > maxLength)
                candidates.pop_back();
        }
    }
    if (candidates.empty()) {
        hidePopup();
        return;
    }
    list->DeleteAllItems();
    const size_t shown = std::min<size_t>(candidates.size(), 20);
    for (size_t i = 0; i < shown; ++i) list->InsertItem(static_cast<long>(i), candidates[i]);
    if (candidates.size() > shown) candidates.resize(shown);
    const wxPoint at = field->GetScreenPosition();
    Move(at.x, at.y + 20);
    Show();
    list->SetFocus();
}

wxString CAutoCompleteMenu::replacementText(size_t i) const {
    if (i >= candidates.size()) return field->GetValue();
    const wxString text = lastText;
    const int blank = text.Find(' ', true);
    wxString result = blank == wxNOT_FOUND ? wxString() : text.Left(static_cast<size_t>(blank));
    if (!result.empty()) result += " ";
    result += candidates[i];
    if (maxLength == -1 || static_cast<int>(result.length()) < maxLength - 1) result += " ";
    return result;
}

void CAutoCompleteMenu::activate(long index) {
    if (index >= 0 && static_cast<size_t>(index) < candidates.size()) {
        field->SetValue(replacementText(static_cast<size_t>(index)));
        field->SetInsertionPointEnd();
    }
    hidePopup();
}

void CAutoCompleteMenu::hidePopup() {
    if (!IsShown()) return;
    Hide();
    if (hook->field) hook->field->SetFocus();
}

void CAutoCompleteMenu::appendToField(const wxString& text) {
    field->AppendText(text);
}

void CAutoCompleteMenu::backspaceField() {
    const wxString text = field->GetValue();
    if (!text.empty()) field->SetValue(text.Left(text.length() - 1));
}

void CAutoCompleteMenu::OnActivated(wxListEvent& event) { activate(event.GetIndex()); }

void CAutoCompleteMenu::OnActivate(wxActivateEvent& event) {
    event.Skip();
    if (!event.GetActive()) hidePopup();
}
