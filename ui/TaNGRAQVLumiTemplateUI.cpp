#include "ui/TaNGRAQVLumiTemplateUI.h"

#include <cctype>

#include "editing/PlacedControl.h"
#include "model/TemplateParts.h"
#include "ui/BitmapFont.h"
#include "model/EditorTemplate.h"

const wxRect CTaNGRAQVLumiTemplateUI::kListenRect(493, 299, 38, 23);
const wxRect CTaNGRAQVLumiTemplateUI::kSendRect(545, 299, 38, 23);
const wxPoint CTaNGRAQVLumiTemplateUI::kDisplayNameAt(614, 298);

namespace {
// One row of eight controls: first index, caption format, kind, first
// position, text offset. Items are 54 pixels apart.
struct Row {
    int firstIndex;
    const char* format;  // "%s %d" with the caption, or a complete format
    const char* caption;
    int kind;
    int x, y;
    int dx, dy;
};

// In creation order, which is also the paint and hit-test order.
const Row kRows[] = {
    {24, "%s %d", "Left Top Button", 7, 17, 10, 7, 3},
    {8, "%s %d", "Encoder", 8, 16, 65, 8, 3},
    {32, "%s %d", "Left Middle Button", 7, 17, 142, 7, 3},
    {0, "%s %d", "Pot", 8, 16, 204, 8, 3},
    {70, "Drumpad %d", nullptr, 10, 16, 281, 8, 8},
    {16, "Slider %d", nullptr, 9, 459, 14, 8, 6},
    {40, "%s %d", "Right Top Button", 7, 460, 142, 7, 3},
    {48, "%s %d", "Right Bottom Button", 7, 460, 212, 7, 3},
};

struct Single {
    int index;
    const char* name;
    int kind;
    int x, y;
    int dx, dy;
};

const Single kSingles[] = {
    {57, "Forward", 7, 233, 378, 7, 2},          {56, "Rewind", 7, 179, 378, 7, 2},
    {58, "Stop", 7, 288, 378, 7, 2},             {59, "Play", 7, 341, 378, 7, 2},
    {61, "Loop", 7, 395, 378, 7, 2},             {60, "Record", 7, 449, 378, 7, 2},
    {63, "Expression Pedal", 4, 612, 374, 3, -1}, {62, "Control Pedal", 4, 558, 374, 3, -1},
};
}  // namespace

CTaNGRAQVLumiTemplateUI::CTaNGRAQVLumiTemplateUI(ITemplateUIHost& host, const IDeviceProfile& profile)
    : CTemplateUI(host, profile) {
    listenButton.SetRect(kListenRect);
    sendButton.SetRect(kSendRect);
}

void CTaNGRAQVLumiTemplateUI::SetTemplate(CEditorTemplate* tpl) {
    panelReady = false;
    shown = tpl;
    RebuildButtons();
    panelReady = shown != nullptr;
}

void CTaNGRAQVLumiTemplateUI::BuildLayout() {
    keyboardStrip = false;
    showSendButton = true;
    SetHostClientSize();
    background = loadedBackground;
    listenButton.SetRect(kListenRect);

    auto add = [this](int index, const wxString& name, int kind, int x, int y, int dx, int dy) {
        CControlButton::Params params;
        params.textOffset = wxPoint(dx, dy);
        params.position = wxPoint(x, y);
        params.kind = kind;
        params.name = name;
        params.highlight = wxColour(238, 238, 238);
        params.frame = wxColour(0, 0, 0);
        AddButton(MakeButton(params, std::make_unique<CPlacedControl>(shown->controlAt(index), index)));
    };
    for (const Row& row : kRows)
        for (int k = 0; k < 8; ++k) {
            const wxString name = row.caption ? wxString::Format(row.format, row.caption, k + 1)
                                              : wxString::Format(row.format, k + 1);
            add(row.firstIndex + k, name, row.kind, row.x + 54 * k, row.y, row.dx, row.dy);
        }
    for (const Single& s : kSingles) add(s.index, s.name, s.kind, s.x, s.y, s.dx, s.dy);
}

std::string CTaNGRAQVLumiTemplateUI::DisplayName(const CEditorTemplate& tpl) {
    std::string name = tpl.localSettings().templateName;
    const size_t end = name.find_last_not_of(" \t");
    name = end == std::string::npos ? std::string() : name.substr(0, end + 1);
    // The display's font has capitals only, as the unit itself.
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.size() > kDisplayNameChars) name.resize(kDisplayNameChars);
    return name;
}

void CTaNGRAQVLumiTemplateUI::PaintDecorations(wxDC& dc) {
    if (!shown) return;
    BitmapFont::Get().DrawText(dc, DisplayName(*shown), kDisplayNameAt.x, kDisplayNameAt.y, wxColour(32, 44, 28));
}
