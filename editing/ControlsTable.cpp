#include "editing/ControlsTable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "editing/ControlFields.h"
#include "editing/EditorView.h"
#include "editing/MetaCommand.h"
#include "editing/PlacedControl.h"
#include "model/Command.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/SysExText.h"

namespace {

const char* const kTitles[kTableColumnCount] = {"Index", "Place",   "Name",  "Type",    "MIDI Channel", "Number",
                                                "Low",   "High",    "Default", "Ports", "Display",      "Action"};
const char* const kActions[4] = {"Normal", "Momentary", "Toggle", "Step"};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Lower case without blanks: how words typed into a cell are compared.
std::string squeezed(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A whole cell as a decimal number.
bool readNumber(const std::string& text, long& out) {
    if (text.empty() || text.size() > 9) return false;
    const size_t digits = text[0] == '-' ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos) return false;
    out = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

int col(TableColumn c) { return static_cast<int>(c); }
std::string title(TableColumn c) { return kTitles[col(c)]; }

// The word for the third channel and port group.
std::string thirdGroupWord(const IDeviceProfile& p) { return p.HasKeyboard() ? "Keyboard" : "Program"; }

bool isType(int t, std::initializer_list<int> types) { return std::find(types.begin(), types.end(), t) != types.end(); }

using namespace ControlType;

bool isNote(int t) { return t == NoteOnOff || t == NoteOnOffAlt; }

// Whether the column shows a setting of this control, as the edit window
// shows one for its type.
bool applies(const IDeviceProfile& p, int index, const CBaseControlState& s, TableColumn column) {
    const int t = s.controlType;
    const bool button = p.IsButtonControl(index);
    switch (column) {
        case TableColumn::Index:
        case TableColumn::Place:
        case TableColumn::Name:
        case TableColumn::Type: return true;
        case TableColumn::Channel:
            return isType(t, {CC, NRPN, RPN, MMC, ProgramChange, PitchBend, DrumNote, Aftertouch}) || isNote(t);
        case TableColumn::Number: return isType(t, {CC, NRPN, RPN, SysEx, MMC, ProgramChange, DrumNote}) || isNote(t);
        case TableColumn::Low: return isType(t, {CC, NRPN, RPN, SysEx, PitchBend}) || isNote(t);
        case TableColumn::High: return isType(t, {CC, NRPN, RPN, SysEx, PitchBend, ProgramChange, DrumNote});
        case TableColumn::Default:
            if (button) return isType(t, {CC, NRPN, RPN, SysEx, ProgramChange}) && s.buttonAction != ButtonAction::Normal;
            return t == SysEx || (isType(t, {CC, NRPN, RPN}) && p.HasDefaultValue(index));
        case TableColumn::Ports:
            return isType(t, {CC, NRPN, RPN, SysEx, MMC, ProgramChange, PitchBend, DrumNote, Aftertouch}) || isNote(t);
        case TableColumn::Display:
            if (offeredDisplayFormats(p, index).empty()) return false;
            return isType(t, {CC, NRPN, RPN, SysEx}) || (!button && t == PitchBend);
        case TableColumn::Action: return button && (isType(t, {CC, NRPN, RPN, SysEx, ProgramChange}) || isNote(t));
    }
    return false;
}

std::string notApplying(const CBaseControlState& s, TableColumn column, bool button) {
    if (column == TableColumn::Default && button && s.buttonAction == ButtonAction::Normal)
        return "a button with the Normal action has no default value (it rests at its low value)";
    return title(column) + " does not apply to a " + CBaseControlState::typeName(s.controlType) + " control";
}

std::string displayName(int format) {
    switch (format) {
        case DisplayFormat::Range0To127: return "0 to 127";
        case DisplayFormat::RangeMinus64To63: return "-64 to 63";
        case DisplayFormat::Mmc: return "MMC";
        case DisplayFormat::OnStrokeOff: return "On / Off";
        case DisplayFormat::Relative1: return "Relative 1";
        case DisplayFormat::Relative2: return "Relative 2";
        case DisplayFormat::Send14Bit: return "14-bit";
        case DisplayFormat::AbsolutePot: return "Absolute pot";
        default: return "Format " + std::to_string(format);
    }
}

std::string noteText(int note) {
    return std::to_string(note) + " (" + CBaseControlState::noteName(note) + ")";
}

std::string cellTextOf(const IDeviceProfile& p, int index, const CBaseControlState& s, TableColumn column) {
    if (!applies(p, index, s, column)) return {};
    const int t = s.controlType;
    switch (column) {
        case TableColumn::Index: return std::to_string(index);
        case TableColumn::Place: return p.GetControlPlace(index);
        case TableColumn::Name: return s.name;
        case TableColumn::Type: return CBaseControlState::typeName(t);
        case TableColumn::Channel:
            if (t == MMC) return "Device " + std::to_string(s.midiChannel);
            if (s.channelGroup == ChannelGroup::Common) return "Common";
            if (s.channelGroup == ChannelGroup::Keyboard) return thirdGroupWord(p);
            return std::to_string(s.midiChannel);
        case TableColumn::Number:
            if (t == CC) return std::to_string(s.lsbNumber);
            if (t == NRPN || t == RPN)
                return "MSB " + std::to_string(s.msbNumber) + " LSB " + std::to_string(s.lsbNumber);
            if (t == SysEx) return trim(formatMessageText(s.sysExData));
            if (t == MMC) return CBaseControlState::mmcCommandName(s.mmcCommand);
            if (isNote(t)) return noteText(s.lsbNumber);
            if (t == DrumNote) return noteText(s.offValue);
            return std::to_string(s.offValue);  // the program of a Program Change
        case TableColumn::Low: return std::to_string(s.offValue);
        case TableColumn::High: return std::to_string(s.onValue);
        case TableColumn::Default: return std::to_string(s.snapshotValue);
        case TableColumn::Ports:
            if (s.portGroup == PortGroup::Common) return "Common";
            if (s.portGroup == PortGroup::Keyboard) return thirdGroupWord(p);
            return portSetText(p, {s.portMidi1, s.portMidi2, s.portUsb1, s.portUsb2, s.portUsb3});
        case TableColumn::Display: return displayName(s.displayFormat);
        case TableColumn::Action:
            return s.buttonAction >= 0 && s.buttonAction <= 3 ? kActions[s.buttonAction]
                                                               : "Action " + std::to_string(s.buttonAction);
    }
    return {};
}

std::string typeNames(const std::vector<int>& types) {
    std::string text;
    for (int t : types) text += (text.empty() ? "" : ", ") + CBaseControlState::typeName(t);
    return text;
}

// "C3", "C#3", "Db3", "C-2" (octaves from -2, as noteName writes them); -1 for anything else.
int readNoteName(const std::string& text) {
    static const int kPitch[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (text.empty()) return -1;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') return -1;
    int note = kPitch[letter - 'A'];
    size_t p = 1;
    if (p < text.size() && text[p] == '#') ++note, ++p;
    else if (p < text.size() && (text[p] == 'b' || text[p] == 'B')) --note, ++p;
    long octave = 0;
    if (!readNumber(text.substr(p), octave) || octave < -2 || octave > 8) return -1;
    note += static_cast<int>((octave + 2) * 12);
    return note >= 0 && note <= 127 ? note : -1;
}

// A note as a number ("60"), a name ("C3") or both as the table shows them
// ("60 (C3)"); -1 when the text is none of these.
int readNote(const std::string& text) {
    const size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty()) return readNoteName(text);
    long number = 0;
    if (!readNumber(text.substr(0, digits), number) || number > 127) return -1;
    if (digits == std::string::npos) return static_cast<int>(number);
    const std::string rest = trim(text.substr(digits));
    if (rest.size() < 3 || rest.front() != '(' || rest.back() != ')') return -1;
    return readNoteName(trim(rest.substr(1, rest.size() - 2))) == number ? static_cast<int>(number) : -1;
}

Assignment assign(const char* field, long v) { return {field, std::to_string(v)}; }

// The settings a cell's text asks for, as assignments in the order they are
// to be made; empty with the reason when the text means nothing here.
std::string parseCell(const IDeviceProfile& p, int index, const CBaseControlState& s, TableColumn column,
                      const std::string& text, std::vector<Assignment>& out) {
    const int t = s.controlType;
    const std::string word = squeezed(text);
    long v = 0;
    switch (column) {
        case TableColumn::Index:
        case TableColumn::Place: return title(column) + " cannot be changed";
        case TableColumn::Name:
            if (t == MMC && !p.CanNameMmcControls()) return "the unit shows no names for MMC controls";
            out.push_back({"name", text});
            return {};
        case TableColumn::Type: {
            int type = -1;
            for (int candidate = 0; candidate <= Aftertouch && type < 0; ++candidate)
                if (squeezed(CBaseControlState::typeName(candidate)) == word) type = candidate;
            if (type < 0 && readNumber(text, v)) type = static_cast<int>(v);
            const std::vector<int> offered = offeredControlTypes(p, index);
            if (type < 0 || std::find(offered.begin(), offered.end(), type) == offered.end())
                return "this control takes " + typeNames(offered) + ", not '" + text + "'";
            out.push_back(assign("controlType", type));
            return {};
        }
        case TableColumn::Channel:
            if (t == MMC) {
                const std::string number = word.rfind("device", 0) == 0 ? word.substr(6) : word;
                if (!readNumber(number, v))
                    return "an MMC control takes a device number (0 to " + std::to_string(p.GetMaxMmcDeviceNumber()) +
                           "), not '" + text + "'";
                out.push_back(assign("midiChannel", v));
                return {};
            }
            if (p.HasPortGroups() && word == "common") {
                out.push_back(assign("channelGroup", ChannelGroup::Common));
                return {};
            }
            if (p.HasPortGroups() && word == lower(thirdGroupWord(p))) {
                out.push_back(assign("channelGroup", ChannelGroup::Keyboard));
                return {};
            }
            if (!readNumber(text, v))
                return "MIDI Channel takes 1 to 16" +
                       (p.HasPortGroups() ? ", Common or " + thirdGroupWord(p) : std::string()) + ", not '" + text + "'";
            if (s.channelGroup != ChannelGroup::Own) out.push_back(assign("channelGroup", ChannelGroup::Own));
            if (v != s.midiChannel || v < 1 || v > 16) out.push_back(assign("midiChannel", v));
            return {};
        case TableColumn::Number:
            if (t == CC) {
                if (!readNumber(text, v)) return "a CC control takes a controller number, not '" + text + "'";
                out.push_back(assign("lsbNumber", v));
                return {};
            }
            if (t == NRPN || t == RPN) {
                // "MSB 1 LSB 20", "1 20", "1/20", or the parameter number alone.
                std::string rest = lower(text);
                for (const char* label : {"msb", "lsb"})
                    for (size_t at; (at = rest.find(label)) != std::string::npos;) rest.replace(at, 3, " ");
                std::vector<long> numbers;
                std::string digits;
                for (char c : rest + " ") {
                    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
                    else if (c == ' ' || c == ',' || c == '/' || c == ':' || c == ';') {
                        if (!digits.empty() && digits.size() <= 5) numbers.push_back(std::strtol(digits.c_str(), nullptr, 10));
                        else if (!digits.empty()) return "the number '" + digits + "' is too large";
                        digits.clear();
                    } else {
                        numbers.clear();
                        break;
                    }
                }
                if (numbers.size() == 1 && numbers[0] <= 16383) numbers = {numbers[0] >> 7, numbers[0] & 127};
                if (numbers.size() != 2)
                    return "a parameter is given as MSB and LSB (MSB 1 LSB 20) or as one number from 0 to 16383, not '" +
                           text + "'";
                if (numbers[0] != s.msbNumber || numbers[0] > 127) out.push_back(assign("msbNumber", numbers[0]));
                if (numbers[1] != s.lsbNumber || numbers[1] > 127) out.push_back(assign("lsbNumber", numbers[1]));
                return {};
            }
            if (t == SysEx) {
                out.push_back({"sysEx", text});
                return {};
            }
            if (t == MMC) {
                int command = -1;
                for (int c = MmcCommand::Stop; c <= MmcCommand::MmcReset && command < 0; ++c)
                    if (squeezed(CBaseControlState::mmcCommandName(c)) == word) command = c;
                if (command < 0 && readNumber(text, v)) command = static_cast<int>(v);
                if (command < MmcCommand::Stop || command > MmcCommand::MmcReset)
                    return "an MMC control takes a command from Stop, Play, ... MMC Reset (or 1 to 13), not '" + text + "'";
                out.push_back(assign("mmcCommand", command));
                return {};
            }
            if (isNote(t) || t == DrumNote) {
                const int note = readNote(text);
                if (note < 0) return "a note is a number from 0 to 127 or a name from C-2 to G8, not '" + text + "'";
                out.push_back(assign(t == DrumNote ? "offValue" : "lsbNumber", note));
                return {};
            }
            if (!readNumber(text, v)) return "a Program Change takes a program number, not '" + text + "'";
            out.push_back(assign("offValue", v));
            return {};
        case TableColumn::Low:
        case TableColumn::High:
        case TableColumn::Default:
            if (!readNumber(text, v)) return title(column) + " takes a number, not '" + text + "'";
            out.push_back(assign(column == TableColumn::Low    ? "offValue"
                              : column == TableColumn::High ? "onValue"
                                                            : "snapshotValue",
                              v));
            return {};
        case TableColumn::Ports: {
            if (p.HasPortGroups() && word == "common") {
                out.push_back(assign("portGroup", PortGroup::Common));
                return {};
            }
            if (p.HasPortGroups() && word == lower(thirdGroupWord(p))) {
                out.push_back(assign("portGroup", PortGroup::Keyboard));
                return {};
            }
            const bool present[5] = {true, p.HasMidiPort2(), true, p.HasUsbPort2(), p.HasUsbPort3()};
            PortSet wanted{};
            if (word != "none") {
                std::string token;
                for (char c : word + ",") {
                    if (c != ',' && c != '+' && c != ';' && c != '/') {
                        token += c;
                        continue;
                    }
                    for (size_t at; (at = token.find("port")) != std::string::npos;) token.erase(at, 4);
                    int port = -1;
                    for (int i = 0; i < 5 && port < 0; ++i)
                        if (present[i] && squeezed(portName(p, i)) == token) port = i;
                    if (port < 0)
                        return "'" + text + "' is not a list of ports such as " + portName(p, 0) + ", " +
                               portName(p, 2) + (p.HasPortGroups() ? " (or Common, " + thirdGroupWord(p) + ", None)" : "");
                    wanted[static_cast<size_t>(port)] = true;
                    token.clear();
                }
            }
            if (wanted[2] + wanted[3] + wanted[4] > 1) return "a control sends on at most one USB port";
            if (s.portGroup != PortGroup::Own) out.push_back(assign("portGroup", PortGroup::Own));
            const bool current[5] = {s.portMidi1, s.portMidi2, s.portUsb1, s.portUsb2, s.portUsb3};
            const char* const fields[5] = {"portMidi1", "portMidi2", "portUsb1", "portUsb2", "portUsb3"};
            for (size_t i = 0; i < 5; ++i)
                if (wanted[i] != current[i]) out.push_back(assign(fields[i], wanted[i]));
            return {};
        }
        case TableColumn::Display: {
            int format = -1;
            const std::vector<int> offered = offeredDisplayFormats(p, index);
            for (int f : offered)
                if (squeezed(displayName(f)) == word) format = f;
            if (format < 0 && readNumber(text, v)) format = static_cast<int>(v);
            if (std::find(offered.begin(), offered.end(), format) == offered.end()) {
                std::string names;
                for (int f : offered) names += (names.empty() ? "" : ", ") + displayName(f);
                return "this control shows " + names + ", not '" + text + "'";
            }
            out.push_back(assign("displayFormat", format));
            return {};
        }
        case TableColumn::Action: {
            // Note buttons have no Step action.
            const int actions = isNote(t) ? 3 : 4;
            for (int a = 0; a < actions; ++a)
                if (squeezed(kActions[a]) == word) {
                    out.push_back(assign("buttonAction", a));
                    return {};
                }
            std::string names;
            for (int a = 0; a < actions; ++a) names += (a ? ", " : "") + std::string(kActions[a]);
            return "a " + CBaseControlState::typeName(t) + " button acts " + names + ", not '" + text + "'";
        }
    }
    return "unknown column";
}

// Commands tried on a copy of a control must reach no window: the edit
// window would otherwise be asked to show, or refresh for, the copy.
class DetachedFromWindows {
public:
    DetachedFromWindows() : hooks_(withoutObservers()) {}

private:
    static ModelHooks withoutObservers() {
        ModelHooks hooks = ModelHooks::get();
        hooks.observers = nullptr;
        return hooks;
    }
    ScopedEditorView view_{nullptr};
    ScopedModelHooks hooks_;
};

struct CellInput {
    TableColumn column;
    std::string text;
    int blockLine = -1, blockCell = -1;  // where a pasted cell came from
};

// The order in which the cells of one row are applied: the type decides
// what the other cells mean, the display format the range of the values, and
// the low and high values the range of the default.
int applyRank(TableColumn c) {
    switch (c) {
        case TableColumn::Type: return 0;
        case TableColumn::Display:
        case TableColumn::Action: return 1;
        case TableColumn::Low: return 6;
        case TableColumn::High: return 7;
        case TableColumn::Default: return 8;
        default: return 2;
    }
}

struct RowPlan {
    int index = -1;
    std::vector<Assignment> assignments;
};

// Tries the cells on a copy of the control, in order; the assignments that
// change something, or the reason the first refused cell is refused (and
// which cell that is).
std::string planRow(const IDeviceProfile& p, int index, const CBaseControlState& real, const std::vector<CellInput>& cells,
                    RowPlan& plan, size_t& failed) {
    CBaseControlState scratch = real;
    const CPlacedControl placed(&scratch, index);
    plan.index = index;
    for (size_t k = 0; k < cells.size(); ++k) {
        failed = k;
        const TableColumn column = cells[k].column;
        const std::string text = trim(cells[k].text);
        if (text == cellTextOf(p, index, scratch, column)) continue;
        if (!applies(p, index, scratch, column)) return notApplying(scratch, column, p.IsButtonControl(index));
        std::vector<Assignment> assignments;
        if (std::string why = parseCell(p, index, scratch, column, text, assignments); !why.empty()) return why;
        for (const Assignment& a : assignments) {
            if (std::string why = checkControlField(p, placed, a); !why.empty()) return why;
            controlFieldCommand(placed, a)->Do();
            plan.assignments.push_back(a);
        }
    }
    return {};
}

std::string controlName(const IDeviceProfile& p, int index) {
    const std::string place = p.GetControlPlace(index);
    return place.empty() ? "control " + std::to_string(index) : place + " (control " + std::to_string(index) + ")";
}

// The plans' commands on the real controls.
std::vector<std::unique_ptr<ICommand>> commandsFor(CEditorTemplate& tpl, const std::vector<RowPlan>& plans) {
    std::vector<std::unique_ptr<ICommand>> commands;
    for (const RowPlan& plan : plans) {
        const CPlacedControl placed(tpl.controlAt(plan.index), plan.index);
        for (const Assignment& a : plan.assignments) commands.push_back(controlFieldCommand(placed, a));
    }
    return commands;
}

std::unique_ptr<ICommand> composite(const std::string& name, std::vector<std::unique_ptr<ICommand>> commands) {
    auto meta = std::make_unique<CMetaCommand>(name);
    for (auto& c : commands) meta->AddCommand(std::move(c));
    return meta;
}

// Natural order: digit runs compare by value ("Pot 10" after "Pot 9"), the
// rest without regard to case.
int compareNatural(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])), db = std::isdigit(static_cast<unsigned char>(b[j]));
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            const unsigned long long va = std::stoull(a.substr(i, std::min<size_t>(ei - i, 18)));
            const unsigned long long vb = std::stoull(b.substr(j, std::min<size_t>(ej - j, 18)));
            if (va != vb) return va < vb ? -1 : 1;
            i = ei, j = ej;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

CControlsTable::CControlsTable(const IDeviceProfile& profile, CEditorTemplate& tpl) : profile_(profile), tpl_(tpl) {
    refresh();
}

std::string CControlsTable::columnTitle(TableColumn column) { return title(column); }

bool CControlsTable::isEditable(TableColumn column) {
    return column != TableColumn::Index && column != TableColumn::Place;
}

void CControlsTable::refresh() {
    clashes_ = findClashes(tpl_);
    clashing_.clear();
    for (const Clash& c : clashes_) clashing_.insert(c.indices.begin(), c.indices.end());
    arrange();
}

void CControlsTable::arrange() {
    rows_.clear();
    const std::string wanted = lower(filter_);
    for (int i = 0; i <= tpl_.lastIndex(); ++i) {
        const CBaseControlState* s = tpl_.controlAt(i);
        if (!s) continue;
        if (clashesOnly_ && !inClash(i)) continue;
        if (!wanted.empty() && lower(s->name).find(wanted) == std::string::npos &&
            lower(CBaseControlState::typeName(s->controlType)).find(wanted) == std::string::npos &&
            lower(profile_.GetControlPlace(i)).find(wanted) == std::string::npos)
            continue;
        rows_.push_back(i);
    }
    if (sorted_) {
        std::vector<std::string> keys(static_cast<size_t>(tpl_.lastIndex() + 1));
        for (int i : rows_) keys[static_cast<size_t>(i)] = cellText(i, sortColumn_);
        std::stable_sort(rows_.begin(), rows_.end(), [&](int a, int b) {
            const std::string& ka = keys[static_cast<size_t>(a)];
            const std::string& kb = keys[static_cast<size_t>(b)];
            if (ka.empty() != kb.empty()) return kb.empty();  // empty cells last either way
            const int order = compareNatural(ka, kb);
            return ascending_ ? order < 0 : order > 0;
        });
    }
    rowOfIndex_.assign(static_cast<size_t>(tpl_.lastIndex() + 1), -1);
    for (size_t r = 0; r < rows_.size(); ++r) rowOfIndex_[static_cast<size_t>(rows_[r])] = static_cast<int>(r);
}

int CControlsTable::indexAt(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)] : -1;
}

int CControlsTable::rowOf(int index) const {
    return index >= 0 && index < static_cast<int>(rowOfIndex_.size()) ? rowOfIndex_[static_cast<size_t>(index)] : -1;
}

std::string CControlsTable::cellText(int index, TableColumn column) const {
    const CBaseControlState* s = tpl_.controlAt(index);
    return s && index <= tpl_.lastIndex() ? cellTextOf(profile_, index, *s, column) : std::string();
}

void CControlsTable::sortBy(TableColumn column, bool ascending) {
    sorted_ = true;
    sortColumn_ = column;
    ascending_ = ascending;
    arrange();
}

void CControlsTable::unsort() {
    sorted_ = false;
    arrange();
}

void CControlsTable::setFilter(const std::string& text) {
    filter_ = trim(text);
    arrange();
}

void CControlsTable::setClashesOnly(bool only) {
    clashesOnly_ = only;
    arrange();
}

std::string CControlsTable::clashText(int index) const {
    for (const Clash& c : clashes_) {
        if (std::find(c.indices.begin(), c.indices.end(), index) == c.indices.end()) continue;
        std::string others;
        for (int other : c.indices)
            if (other != index) others += (others.empty() ? "" : ", ") + controlName(profile_, other);
        return "Sends " + c.message + (c.channel ? " on channel " + std::to_string(c.channel) : std::string()) +
               " (" + portSetText(profile_, c.ports) + ") like " + others;
    }
    return {};
}

std::unique_ptr<ICommand> CControlsTable::setCells(const std::vector<int>& rows, TableColumn column,
                                                   const std::string& text, TableError& error) const {
    error = {};
    std::vector<RowPlan> plans;
    {
        const DetachedFromWindows detached;
        for (int row : rows) {
            const int index = indexAt(row);
            const CBaseControlState* state = tpl_.controlAt(index);
            if (!state) continue;
            RowPlan plan;
            size_t failed = 0;
            const std::string why = isEditable(column)
                                        ? planRow(profile_, index, *state, {{column, text}}, plan, failed)
                                        : title(column) + " cannot be changed";
            if (!why.empty()) {
                error = {title(column) + " of " + controlName(profile_, index) + ": " + why, row, col(column)};
                return nullptr;
            }
            plans.push_back(std::move(plan));
        }
    }
    auto commands = commandsFor(tpl_, plans);
    if (commands.empty()) return nullptr;
    if (rows.size() > 1)
        return composite("Set " + title(column) + " on " + std::to_string(rows.size()) + " controls", std::move(commands));
    if (commands.size() == 1) return std::move(commands.front());
    return composite("Set " + title(column), std::move(commands));
}

std::string CControlsTable::copyText(const std::vector<int>& rows, const std::vector<TableColumn>& columns) const {
    std::string text;
    for (int row : rows) {
        for (size_t k = 0; k < columns.size(); ++k) text += (k ? "\t" : "") + this->text(row, columns[k]);
        text += "\n";
    }
    return text;
}

std::unique_ptr<ICommand> CControlsTable::paste(int row, TableColumn column, const std::string& block,
                                                TableError& error) const {
    error = {};
    // Lines of tab-separated cells; the line break after the last line, as
    // spreadsheets copy it, ends the block.
    std::vector<std::vector<std::string>> lines;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find('\n', start);
        if (end == std::string::npos) end = block.size();
        std::string line = block.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        size_t from = 0;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            cells.push_back(line.substr(from, tab - from));
        cells.push_back(line.substr(from));
        lines.push_back(std::move(cells));
        start = end + 1;
    }
    if (lines.empty()) return nullptr;
    size_t width = 0;
    for (const auto& cells : lines) width = std::max(width, cells.size());
    const int roomRows = rowCount() - row;
    const int roomColumns = kTableColumnCount - col(column);
    if (row < 0 || roomRows <= 0 || roomColumns <= 0 || static_cast<int>(lines.size()) > roomRows ||
        static_cast<int>(width) > roomColumns) {
        error.message = "The pasted block of " + std::to_string(lines.size()) + " row(s) and " + std::to_string(width) +
                        " column(s) does not fit: from row " + std::to_string(row + 1) + ", column " + title(column) +
                        " on, the table has " + std::to_string(std::max(roomRows, 0)) + " row(s) and " +
                        std::to_string(std::max(roomColumns, 0)) + " column(s).";
        return nullptr;
    }

    std::vector<RowPlan> plans;
    int cellCount = 0;
    {
        const DetachedFromWindows detached;
        for (size_t line = 0; line < lines.size(); ++line) {
            const int tableRow = row + static_cast<int>(line);
            const int index = indexAt(tableRow);
            std::vector<CellInput> cells;
            for (size_t k = 0; k < lines[line].size(); ++k) {
                const auto c = static_cast<TableColumn>(col(column) + static_cast<int>(k));
                if (!isEditable(c)) continue;
                cells.push_back({c, lines[line][k], static_cast<int>(line), static_cast<int>(k)});
            }
            std::stable_sort(cells.begin(), cells.end(),
                             [](const CellInput& a, const CellInput& b) { return applyRank(a.column) < applyRank(b.column); });
            RowPlan plan;
            size_t failed = 0;
            // An empty cell leaves the setting as it is.
            cells.erase(std::remove_if(cells.begin(), cells.end(), [](const CellInput& c) { return trim(c.text).empty(); }),
                        cells.end());
            cellCount += static_cast<int>(cells.size());
            const std::string why = planRow(profile_, index, *tpl_.controlAt(index), cells, plan, failed);
            if (!why.empty()) {
                const CellInput& bad = cells[failed];
                error = {"Pasted line " + std::to_string(bad.blockLine + 1) + ", cell " + std::to_string(bad.blockCell + 1) +
                             " (" + title(bad.column) + " of " + controlName(profile_, index) + "): " + why,
                         tableRow, col(bad.column)};
                return nullptr;
            }
            plans.push_back(std::move(plan));
        }
    }
    auto commands = commandsFor(tpl_, plans);
    if (commands.empty()) return nullptr;
    return composite("Paste " + std::to_string(cellCount) + (cellCount == 1 ? " cell" : " cells"), std::move(commands));
}
