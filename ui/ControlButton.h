#pragma once
// One physical control drawn on the panel: its rectangle, the text under it
// in the display font, and its frames.
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/string.h>
#if wxUSE_ACCESSIBILITY
#include <wx/access.h>
#endif

#include <memory>
#include <string>

class CPlacedControl;
class IDeviceProfile;
class CBaseControlState;

// How the texts under the controls are written, from the settings.
struct ControlTextSettings {
    int mode = 3;                 // 0 type, 1 name, 2 channel, 3 all three lines
    bool abbreviateNames = true;  // "AbbreviateNames"
};

// The text under a control, drawn with the BitmapFont. Single-line texts in
// modes 0..2 are kept in a per-control bitmap and re-rendered only when the
// text or colour changes or after MarkDirty.
class ControlText {
public:
    ControlText(const IDeviceProfile& profile, const CPlacedControl& control, int x, int y, bool singleLine,
                int maxNameLength, int abbreviationOption, bool preferPluginName);
    ~ControlText();

    void Paint(wxDC& dc, const ControlTextSettings& settings, const wxColour& colour, int dx, int dy);
    void MarkDirty() { dirty = true; }
    bool IsDirty() const { return dirty; }

    // The texts of the three modes for a control (upper-cased name etc.).
    static std::string TypeText(const CBaseControlState& state);
    static std::string ChannelText(const CBaseControlState& state);
    std::string NameText(const CBaseControlState& state, bool abbreviate) const;
    // What mode 0..2 writes (mode 3 writes all three lines).
    std::string TextFor(int mode, bool abbreviate) const;
    // Horizontal shift of a text of n characters (centring under the control).
    static int Shift(const std::string& text, int cell);

    wxPoint Origin() const { return wxPoint(x, y); }
    wxSize BitmapSize() const { return wxSize(width, height); }

private:
    void DrawLine(wxDC& dc, const std::string& text, int ox, int oy, const wxColour& colour);

    const IDeviceProfile& profile;
    const CPlacedControl& control;
    int x, y;
    int width = 0, height = 0;
    bool singleLine;
    int maxNameLength;
    std::string cachedText;
    wxColour cachedColour;
    int cachedMode = -1;
    bool dirty = true;
    int abbreviationOption;
    bool preferPluginName;
    // Mode 3 block (three lines) kept the same way, rebuilt when any line changes.
    std::string cachedBlock[3];
    wxImage blockImage;  // the same, for drawing at another size
    wxBitmap blockCache;
    int blockLeft = 0;  // shift of the leftmost line
};

// Button kinds of the layout: sizes of the drawn rectangle.
namespace ButtonKind {
enum : int { Kind0 = 0, Kind1, Slider = 2, Kind3, Pedal = 4, Kind5, Text = 6, Button = 7, Knob = 8, Fader = 9, Pad = 10 };
}

class CControlButton
#if wxUSE_ACCESSIBILITY
    : public wxAccessible
#endif
{
public:
    struct Params {
        wxPoint textOffset{0, 0};
        wxPoint position{0, 0};
        int kind = 0;
        wxString name;
        wxString description;
        bool singleLine = false;
        int maxNameLength = -1;
        int abbreviationOption = 0;
        bool preferPluginName = false;
        int charCount = -1;  // kind 6 only
        wxColour highlight{238, 238, 238};
        wxColour frame{0, 0, 0};
    };

    // Takes ownership of `control`.
    CControlButton(const IDeviceProfile& profile, const Params& params, std::unique_ptr<CPlacedControl> control);
    ~CControlButton();

    // Width x height of a kind before adjustment; (0, 0) for kinds 6 and unknown.
    static wxSize KindSize(int kind);

    CBaseControlState* GetControlState() const;
    int GetControlIndex() const;
    const CPlacedControl& GetPlacedControl() const { return *placed; }
    void PaintHover(wxDC& dc);
    void PaintSelected(wxDC& dc);
    void PaintBody(wxDC& dc, const ControlTextSettings& settings, const wxColour& textColour, int dx = 0, int dy = 0);
    void PaintFrame(wxDC& dc, const wxColour& colour);

    const wxRect& GetRect() const { return rect; }
    wxPoint Centre() const { return wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2); }
    bool Contains(wxPoint p) const {
        return p.x - rect.x >= 0 && p.x - rect.x < rect.width && p.y - rect.y >= 0 && p.y - rect.y < rect.height;
    }
    int GetKind() const { return kind; }
    const wxString& GetName() const { return name; }
    const wxString& GetDescription() const { return description; }
    ControlText& Text() { return *text; }
    wxPoint TextOffset() const { return textOffset; }

    static void Frame(wxDC& dc, const wxRect& r, const wxColour& colour, int thickness);

#if wxUSE_ACCESSIBILITY
    wxAccStatus GetName(int childId, wxString* name) override;
    wxAccStatus GetDescription(int childId, wxString* description) override;
    wxAccStatus GetRole(int childId, wxAccRole* role) override;
    wxAccStatus GetValue(int childId, wxString* strValue) override;
#endif

private:
    wxRect rect;
    int kind;
    std::unique_ptr<CPlacedControl> placed;
    std::unique_ptr<ControlText> text;
    wxPoint textOffset;
    wxString name;
    wxString description;
    wxColour highlight;
    wxColour frame;
};
