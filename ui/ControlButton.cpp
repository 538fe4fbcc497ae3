#include "ui/ControlButton.h"

#include <wx/brush.h>
#include <wx/image.h>
#include <wx/pen.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/ModelHooks.h"
#include "ui/BitmapFont.h"

namespace {
const wxColour kPurple(213, 23, 143);

std::string format3(const char* fmt, int value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, fmt, value);
    return buffer;
}

std::string mmcShortName(int command) {
    static const char* const names[] = {"STOP", "PLAY", "DPLAY", "FFW",   "REW",   "REC",  "REC-X",
                                        "REC-P", "PAUSE", "EJECT", "CHASE", "E-RST", "RESET"};
    return command >= 1 && command <= 13 ? names[command - 1] : "";
}
}  // namespace

// ---------------------------------------------------------------- ControlText

ControlText::ControlText(const IDeviceProfile& profile, const CPlacedControl& control, int x, int y,
                         bool singleLine, int maxNameLength, int abbreviationOption, bool preferPluginName)
    : profile(profile),
      control(control), x(x), y(y), singleLine(singleLine), maxNameLength(maxNameLength),
      abbreviationOption(abbreviationOption), preferPluginName(preferPluginName) {
    const int cell = BitmapFont::Get().Cell();
    const int length = maxNameLength == -1 ? profile.GetDisplayNameLength() : maxNameLength + 2;
    width = (length < 6 ? 7 : length + 1) * cell + 2;
    height = cell;
}

ControlText::~ControlText() = default;

std::string ControlText::TypeText(const CBaseControlState& state) {
    switch (state.getControlType()) {
        case ControlType::CC: return format3("CC%3.3d", state.getLsbNumber());
        case ControlType::NRPN: return "NRPN";
        case ControlType::RPN: return "RPN";
        case ControlType::SysEx: return "SYSEX";
        case ControlType::MMC: return format3("MM%3.3d", state.getMidiChannel());
        case ControlType::NoteOnOff:
        case ControlType::NoteOnOffAlt: return CBaseControlState::noteName(state.getLsbNumber());
        case ControlType::ProgramChange: return format3("PC%3.3d", state.getOffValue());
        case ControlType::PitchBend: return "PITCH";
        case ControlType::DrumNote: return "DRUM";
        case ControlType::Aftertouch: return "A.TCH";
        case ControlType::Disabled: return " ";
        default: return "AARGH";
    }
}

std::string ControlText::ChannelText(const CBaseControlState& state) {
    const int type = state.getControlType();
    if (type == ControlType::SysEx || type == ControlType::MMC) return "-";
    return format3("CH:%2.2d", state.getMidiChannel());
}

std::string ControlText::NameText(const CBaseControlState& state, bool abbreviate) const {
    if (state.getControlType() == ControlType::MMC && !profile.CanNameMmcControls())
        return mmcShortName(state.getMmcCommand());
    std::string text = state.getName();
    if (preferPluginName && state.pluginBinding.index >= 0)
        text = !state.pluginBinding.shortName.empty() ? state.pluginBinding.shortName : state.pluginBinding.fullName;
    const int displayLength = profile.GetDisplayNameLength();
    if (abbreviate) {
        const int limit = maxNameLength > 0 ? maxNameLength : displayLength;
        INameTools* tools = ModelHooks::get().nameTools;
        if (tools)
            text = tools->abbreviateName(text, limit);
        else if (static_cast<int>(text.size()) > limit)
            text.resize(static_cast<size_t>(std::max(limit, 0)));
    } else {
        if (static_cast<int>(text.size()) > displayLength) text.resize(static_cast<size_t>(std::max(displayLength, 0)));
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string ControlText::TextFor(int mode, bool abbreviate) const {
    const CBaseControlState* state = control.GetState();
    if (!state) return "";
    switch (mode) {
        case 0: return TypeText(*state);
        case 2: return ChannelText(*state);
        default: return NameText(*state, abbreviate);
    }
}

int ControlText::Shift(const std::string& text, int cell) {
    const int n = static_cast<int>(text.size());
    int shift = static_cast<int>(((1 - n) * 0.5 + 2) * (cell + 1));  // truncated toward 0
    if (!text.empty() && text.back() == '.') shift += 2;
    return shift;
}

void ControlText::Paint(wxDC& dc, const ControlTextSettings& settings, const wxColour& colour, int dx, int dy) {
    const CBaseControlState* state = control.GetState();
    BitmapFont& font = BitmapFont::Get();
    if (!state || !font.IsLoaded() || state->getControlType() == ControlType::Disabled) return;
    const int cell = font.Cell();
    int mode = settings.mode;
    if (mode == 3 && singleLine) mode = 1;

    std::string lines[3];
    int count = 1;
    if (mode == 3) {
        lines[0] = NameText(*state, settings.abbreviateNames);
        lines[1] = TypeText(*state);
        lines[2] = ChannelText(*state);
        count = 3;
    } else {
        lines[0] = TextFor(mode, settings.abbreviateNames);
    }

    // Render only when a text, the colour or the mode changed, or after a pane
    // change; the bitmap keeps transparent pixels around the glyphs, so it can be
    // drawn over whatever lies beneath.
    bool changed = dirty || colour != cachedColour || mode != cachedMode;
    for (int i = 0; i < 3 && !changed; ++i) changed = lines[i] != cachedBlock[i];
    if (changed) {
        int shifts[3] = {0, 0, 0};
        int left = 0, right = 0;
        for (int i = 0; i < count; ++i) {
            shifts[i] = singleLine ? 0 : Shift(lines[i], cell);
            const int w = font.TextWidth(lines[i].size());
            if (i == 0 || shifts[i] < left) left = shifts[i];
            if (i == 0 || shifts[i] + w > right) right = shifts[i] + w;
        }
        blockLeft = left;
        const int blockWidth = std::max(right - left, 1);
        const int blockHeight = count * (cell + 2) - 2;
        wxImage image(blockWidth, std::max(blockHeight, 1));
        image.InitAlpha();
        std::memset(image.GetAlpha(), 0, static_cast<size_t>(image.GetWidth()) * image.GetHeight());
        for (int i = 0; i < count; ++i) font.Render(image, lines[i], shifts[i] - left, i * (cell + 2), colour);
        blockImage = image;
        blockCache = wxBitmap(image);
        for (int i = 0; i < 3; ++i) cachedBlock[i] = lines[i];
        cachedText = lines[0];
        cachedColour = colour;
        cachedMode = mode;
        dirty = false;
    }
    if (!font.Captured(blockImage, x + dx + blockLeft, y + dy)) dc.DrawBitmap(blockCache, x + dx + blockLeft, y + dy, true);
}

// ------------------------------------------------------------- CControlButton

wxSize CControlButton::KindSize(int kind) {
    switch (kind) {
        case 0:
        case 1:
        case 4: return wxSize(34, 34);
        case 2: return wxSize(36, 90);
        case 3: return wxSize(36, 18);
        case 5: return wxSize(36, 34);
        case 7: return wxSize(41, 27);
        case 8: return wxSize(43, 44);
        case 9: return wxSize(44, 90);
        case 10: return wxSize(43, 42);
        default: return wxSize(0, 0);
    }
}

CControlButton::CControlButton(const IDeviceProfile& profile, const Params& params,
                               std::unique_ptr<CPlacedControl> control)
    : kind(params.kind), placed(std::move(control)), textOffset(params.textOffset), name(params.name),
      description(params.description), highlight(params.highlight), frame(params.frame) {
    const int x = params.position.x, y = params.position.y;
    int textX = 0, textY = 0;
    if (kind == 6) {
        const int cell = BitmapFont::Get().Cell();
        rect = wxRect(x - 3, y - 3, (cell + 1) * params.charCount + 5, cell + 6);
        textX = x - 3 + textOffset.x;
        textY = y + cell + 3 + textOffset.y;
    } else {
        const wxSize size = KindSize(kind);
        textX = x + textOffset.x;
        textY = y + size.y + textOffset.y;
        rect = wxRect(x + 2, y + 2, size.x - 3, size.y - 4);
    }
    text = std::make_unique<ControlText>(profile, *placed, textX, textY, params.singleLine, params.maxNameLength,
                                         params.abbreviationOption, params.preferPluginName);
}

CControlButton::~CControlButton() = default;

CBaseControlState* CControlButton::GetControlState() const { return placed->GetState(); }

int CControlButton::GetControlIndex() const { return placed->GetIndex(); }

void CControlButton::Frame(wxDC& dc, const wxRect& r, const wxColour& colour, int thickness) {
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(colour, 1, wxPENSTYLE_SOLID));
    dc.DrawRectangle(r.x, r.y, r.width, r.height);
    if (thickness >= 2) dc.DrawRectangle(r.x + 1, r.y + 1, r.width - 2, r.height - 2);
}

void CControlButton::PaintBody(wxDC& dc, const ControlTextSettings& settings, const wxColour& textColour, int dx,
                               int dy) {
    text->Paint(dc, settings, textColour, dx, dy);
    if (frame != *wxBLACK) Frame(dc, rect, frame, 1);
}

void CControlButton::PaintHover(wxDC& dc) { Frame(dc, rect, highlight, 2); }

void CControlButton::PaintSelected(wxDC& dc) { Frame(dc, rect, kPurple, 2); }

void CControlButton::PaintFrame(wxDC& dc, const wxColour& colour) { Frame(dc, rect, colour, 2); }

#if wxUSE_ACCESSIBILITY
wxAccStatus CControlButton::GetName(int, wxString* out) {
    *out = name;
    return wxACC_OK;
}

wxAccStatus CControlButton::GetDescription(int, wxString* out) {
    *out = description;
    return wxACC_OK;
}

wxAccStatus CControlButton::GetRole(int, wxAccRole* role) {
    *role = wxROLE_SYSTEM_PUSHBUTTON;
    return wxACC_OK;
}

wxAccStatus CControlButton::GetValue(int, wxString* out) {
    const CBaseControlState* state = GetControlState();
    if (!state || state->getControlType() == ControlType::Disabled)
        *out = "not assigned";
    else
        *out = wxString::FromUTF8(state->getDisplayName());
    return wxACC_OK;
}
#endif
