#pragma once
// The panel view: a picture of the hardware with every control drawn as a
// framed rectangle and its assignment written under it in the device's own
// display font. The view is not a window: the panel window showing it
// (CTemplateCanvas) forwards paint, mouse, key and idle events and repaints
// whenever an operation answers true.
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/cursor.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/string.h>
#include <wx/window.h>
#if wxUSE_ACCESSIBILITY
#include <wx/access.h>
#endif

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editing/PlacedControl.h"
#include "ui/ControlButton.h"
#include "ui/PanelBackground.h"
#include "ui/ToggleButton.h"

class CEditorTemplate;
class CBaseControlState;
class IDeviceProfile;
class ICommand;
class CTemplateUI;

// What the view needs from the window around it (the main window wires
// these to its parts); every call is made on the GUI thread.
class ITemplateUIHost {
public:
    virtual ~ITemplateUIHost() = default;

    // The window whose client area shows the panel: client size, cursor,
    // tool tip and accessibility events go to it. May be null (off-screen use).
    virtual wxWindow* GetPanelWindow() = 0;
    // Status bar field 0.
    virtual void SetPanelStatusText(const wxString& text) = 0;

    // The control edit window: open it on a control (deferred: on the next
    // idle), hide it, ask whether it is shown and where it is on screen.
    virtual void EditControl(const CPlacedControl& control, bool deferred) = 0;
    virtual void HideEditWindow() = 0;
    virtual bool IsEditWindowShown() const = 0;
    virtual wxRect GetEditWindowScreenRect() const = 0;

    // Executes an undoable command on the current template's history and
    // brings the windows up to date (drag and drop issues move, swap and paste).
    virtual void RunCommand(std::unique_ptr<ICommand> command) = 0;

    // The two panel buttons: listening for a template dump and sending one.
    virtual bool IsInputDeviceOpen() const = 0;
    virtual bool IsOutputDeviceOpen() const = 0;
    virtual void StartListening() = 0;  // the Device menu's listen command
    virtual void StopListening() = 0;   // stops listening with its status message
    virtual void SendTemplate() = 0;    // the Device menu's send command

    // Settings. GetViewType is only asked when HasViewMenu() is true;
    // otherwise the view writes three lines (name, type, channel).
    virtual bool HasViewMenu() const { return false; }
    virtual int GetViewType() const { return 1; }         // "ViewType"
    virtual bool GetAbbreviateNames() const { return true; }    // "AbbreviateNames"
    virtual bool GetShowCtrlToolTips() const { return true; }   // "ShowCtrlToolTips"
};

// Pane callbacks of the generic view (this device's layout creates no panes).
class IExpandCallback {
public:
    virtual ~IExpandCallback() = default;
    virtual void PaneExpanded() = 0;
    virtual void PaneCollapsed() = 0;
};

// What one pointer or key event on the panel did: whether the panel used it
// (a used key goes no further) and whether the panel must be redrawn.
struct PanelEventResult {
    bool used = false;
    bool repaint = false;
};

class CTemplateUI : public IExpandCallback
#if wxUSE_ACCESSIBILITY
    , public wxAccessible
#endif
{
public:
    // Loads the "Background" image. The host and the profile must outlive the view.
    CTemplateUI(ITemplateUIHost& host, const IDeviceProfile& profile);
    ~CTemplateUI() override;
    CTemplateUI(const CTemplateUI&) = delete;
    CTemplateUI& operator=(const CTemplateUI&) = delete;

    // Folder holding the images ("<program dir>/images" by default).
    static void SetImagesFolder(const wxString& folder);
    static wxString ImagePath(const wxString& name);  // folder + "/" + name + ".png"

    // IExpandCallback: size the host to the background and redraw every text.
    void PaneExpanded() override;
    void PaneCollapsed() override;

    // --- Operations the host calls (true = repaint) ----------------------
    virtual void SetTemplate(CEditorTemplate* tpl) = 0;
    virtual CEditorTemplate* GetTemplate() const = 0;
    virtual bool OnMidiMessage(int status, int data1, int data2);
    virtual void ListenStarted();
    virtual void ListenStopped();
    virtual void SendStarted();
    void SendFinished();
    virtual bool OnMouseButton(wxPoint p, bool ctrlDown, bool doubleClick, bool released, bool rightButton);
    virtual bool OnMouseMove(wxPoint p);
    virtual bool OnMouseWheel(double ratio);
    virtual bool OnPageUp();
    virtual bool OnPageDown();
    virtual bool TabToNext(bool forward);
    virtual void EditSelection();
    // direction: 0 up, 1 down, 2 left, 3 right.
    virtual bool MoveSelection(int direction);
    virtual bool Tick(long elapsedMs);
    // Draws everything into dc (the window itself, or a back buffer when enlarged).
    virtual void Paint(wxDC& dc);
    virtual void EditAudioSettings();
    virtual void PaintDecorations(wxDC& dc);
    virtual void OnPanelButtonClick(wxPoint p, bool released);
    virtual bool OnPanelButtonHover(wxPoint p);

    // The one translation of the panel window's events into the operations
    // above; the window that shows a view (CTemplateCanvas) passes its
    // pointer and key events through these. Pointer events: left
    // down, up and double click, right down, motion and wheel (a wheel event
    // that states no delta counts 120 per notch). Keys: Tab, Return, Enter and
    // Space, the arrows and Page Up/Down, each also from the numeric keypad.
    PanelEventResult HandleMouseEvent(const wxMouseEvent& event);
    PanelEventResult HandleKeyEvent(const wxKeyEvent& event);

    // --- Selection --------------------------------------------------------
    // Adds (true) or removes (false) the shown control with this index;
    // false when the panel does not show it. Adding raises the accessibility
    // focus event and shows the control's label in the status bar.
    bool SelectControl(int index, bool add);
    void ClearSelection();
    void SelectAll();  // Edit menu "Select All"
    // In the order the controls were added.
    const std::vector<std::unique_ptr<CPlacedControl>>& GetSelection() const { return selection; }
    std::vector<int> GetSelectedIndices() const;
    bool IsSelected(int index) const;
    // Text of the "Selection info" box (Edit menu "Get Info"); the host shows
    // it titled "Selection info" with OK and centred style.
    wxString SelectionInfoText() const;

    // --- Comparison marks ------------------------------------------------
    // Marks the controls that differ from a compared template; `notes` maps a
    // control index to the lines its tool tip adds ("field: this -> other").
    // The marks belong to the template shown now and last until its history
    // changes (a command executed, undone or redone), another template is
    // shown, or new marks replace them.
    void SetComparisonMarks(std::map<int, wxString> notes);
    void ClearComparisonMarks();
    // The indices marked now (ascending; empty once the marks lapsed).
    std::vector<int> GetComparisonMarks() const;
    bool IsComparisonMarked(int index) const;

    // --- Queries ----------------------------------------------------------
    const std::vector<std::unique_ptr<CControlButton>>& GetButtons() const { return buttons; }
    CControlButton* FindButton(int index) const;  // null when not shown
    CControlButton* HitTest(wxPoint p) const;     // first in creation order
    int GetHoveredIndex() const { return hoveredIndex; }
    // After the controls changed under the pointer (delete, undo, another
    // template): the tool tip and the status text describe what is there now.
    void RefreshControlTexts();
    bool IsDragging() const { return dragSource != nullptr; }
    bool IsRubberBandActive() const { return rubberBandActive; }
    wxRect GetRubberBand() const { return rubberBand; }
    wxSize GetBackgroundSize() const { return wxSize(backgroundWidth, backgroundHeight); }
    bool IsPanelReady() const { return panelReady; }

    // --- Zoom ---------------------------------------------------------------
    // The panel is laid out and drawn in its own pixels; the window shows it
    // enlarged by pixel copies (100, 150 or 200 per cent), with the texts of
    // the display font drawn at the enlarged size when the factor is no whole
    // number. Pointer positions are mapped back before any hit test.
    static bool IsZoomPercent(int percent) { return percent == 100 || percent == 150 || percent == 200; }
    // Percentages other than 100, 150 and 200 are ignored (false).
    bool SetZoom(int percent);
    int GetZoom() const { return zoomPercent; }
    // Window pixels <-> panel pixels.
    wxPoint ToPanel(wxPoint windowPoint) const;
    wxRect ToWindow(const wxRect& panelRect) const;
    // The background as the window shows it.
    wxSize GetZoomedSize() const;
    // Paints the view into `dc` at the zoom. `scratch` keeps the unzoomed
    // picture between calls; `contentScale` is the window's pixels per
    // logical pixel (2 on a high-density screen), so the enlargement is made
    // in device pixels and the screen adds no blur of its own.
    void PaintZoomed(wxDC& dc, wxBitmap& scratch, const wxColour& fill, double contentScale);
    const CAnimatedButton& GetListenButton() const { return listenButton; }
    const CAnimatedButton& GetSendButton() const { return sendButton; }
    // The tool tip text last given to the host window ("" = none).
    const wxString& GetToolTipText() const { return toolTipText; }
    ITemplateUIHost& Host() const { return host; }
    const IDeviceProfile& Profile() const { return profile; }

#if wxUSE_ACCESSIBILITY
    wxAccStatus GetChildCount(int* childCount) override;
    wxAccStatus GetChild(int childId, wxAccessible** child) override;
    wxAccStatus GetName(int childId, wxString* name) override;
    wxAccStatus GetDescription(int childId, wxString* description) override;
    wxAccStatus GetRole(int childId, wxAccRole* role) override;
    wxAccStatus GetState(int childId, long* state) override;
    wxAccStatus GetValue(int childId, wxString* strValue) override;
    wxAccStatus GetLocation(wxRect& rect, int elementId) override;
    wxAccStatus GetFocus(int* childId, wxAccessible** child) override;
    wxAccStatus HitTest(const wxPoint& pt, int* childId, wxAccessible** childObject) override;
#endif

protected:
    // The layout's part: create the control buttons (appending to `buttons`).
    virtual void BuildLayout() = 0;
    // Empties the selection, destroys the buttons, rebuilds them.
    void RebuildButtons();
    // A button for `control` on this view, answering with the view's profile.
    std::unique_ptr<CControlButton> MakeButton(const CControlButton::Params& params, std::unique_ptr<CPlacedControl> control) const {
        return std::make_unique<CControlButton>(profile, params, std::move(control));
    }
    void AddButton(std::unique_ptr<CControlButton> button) { buttons.push_back(std::move(button)); }
    void SetHostClientSize();

    ITemplateUIHost& host;
    const IDeviceProfile& profile;
    bool showSendButton = true;
    bool keyboardStrip = true;
    // The picture shown behind the controls, and the one read from the file.
    std::shared_ptr<CPanelBackground> background;
    std::shared_ptr<CPanelBackground> loadedBackground;
    std::vector<std::unique_ptr<CControlButton>> buttons;
    std::vector<std::unique_ptr<CPlacedControl>> selection;
    std::vector<std::unique_ptr<CPlacedControl>> hoverList;
    std::unique_ptr<std::vector<std::unique_ptr<CPlacedControl>>> dragSource;
    bool dropTargetValid = false;
    bool rubberBandActive = false;
    wxPoint bandOrigin;
    wxRect rubberBand;
    std::vector<std::unique_ptr<CPlacedControl>> bandSnapshot;
    CAnimatedButton listenButton{100};
    CAnimatedButton sendButton{50};
    int hoveredIndex = -1;
    int zoomPercent = 100;
    int backgroundWidth = 0;
    int backgroundHeight = 0;
    bool panelReady = false;
    wxColour textColour{0, 0, 0};

private:
    bool InList(const std::vector<std::unique_ptr<CPlacedControl>>& list, int index) const;
    void RemoveFromSelection(int index);
    void UpdateRubberBand(wxPoint p);
    bool DropAllowed() const;
    void Drop(bool ctrlDown);
    void UpdateToolTip(const CControlButton& button);
    void DisableToolTip(wxPoint p);
    void SetCursor(wxStockCursor cursor);
    void NotifyAccessible(int eventType, int childId);

    // Drops marks that no longer describe the shown template; true when some remain.
    bool ComparisonMarksCurrent() const;
    void PaintComparisonMark(wxDC& dc, const CControlButton& button) const;

    // The status bar's text for a control: its label, or "Disabled".
    static wxString StatusText(const CBaseControlState* state);
    // Blends a text image with alpha onto a picture at (x, y).
    static void BlendOnto(wxImage& target, const wxImage& text, int x, int y);
    // Texts drawn at a zoom that is no whole factor, kept while unchanged.
    struct ZoomedText {
        wxImage source;
        wxImage zoomed;
        double factor = 1;
    };
    std::vector<ZoomedText> zoomedTexts;

    wxString toolTipText;
    bool lastCtrlDown = false;
    // Comparison marks, with the template and history version they describe.
    std::map<int, wxString> comparisonNotes;
    const CEditorTemplate* comparedTemplate = nullptr;
    unsigned long comparedVersion = 0;
};

