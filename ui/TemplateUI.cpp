#include "ui/TemplateUI.h"

#include <wx/brush.h>
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/pen.h>
#include <wx/stdpaths.h>
#include <wx/tooltip.h>
#include <wx/utils.h>

#include <algorithm>
#include <cmath>

#include "editing/ClipboardCommands.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/BitmapFont.h"

namespace {
wxString& imagesFolder() {
    static wxString folder;
    return folder;
}

using PlacedList = std::vector<std::unique_ptr<CPlacedControl>>;

// Lists compare by count and indices.
bool sameIndices(const PlacedList& a, const PlacedList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i]->GetIndex() != b[i]->GetIndex()) return false;
    return true;
}

ControlList toControlList(const PlacedList& list) {
    ControlList out;
    out.reserve(list.size());
    for (const auto& p : list) out.push_back(*p);
    return out;
}

// A fits B: B not empty, none of B copy-only, same length, and each of B's
// controls accepts the settings of A's control at the same place.
bool fits(const IDeviceProfile& profile, const ControlList& a, const ControlList& b) {
    if (b.empty() || a.size() != b.size()) return false;
    for (const auto& c : b)
        if (profile.IsImportedControl(c.GetIndex())) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!a[i].GetState() || !profile.CanHoldState(b[i].GetIndex(), *a[i].GetState())) return false;
    return true;
}
}  // namespace

// ------------------------------------------------------------------ images

void CTemplateUI::SetImagesFolder(const wxString& folder) { imagesFolder() = folder; }

wxString CTemplateUI::ImagePath(const wxString& name) {
    wxString folder = imagesFolder();
    if (folder.empty())
        folder = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath() + "/images";
    return folder + "/" + name + ".png";
}

// ------------------------------------------------------------ construction

CTemplateUI::CTemplateUI(ITemplateUIHost& host, const IDeviceProfile& profile) : host(host), profile(profile) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    // Only the size is read now; the pixels go where they are drawn from at
    // the first paint.
    const wxString path = ImagePath("Background");
    if (wxFileExists(path)) {
        loadedBackground = std::make_shared<CPanelBackground>(path);
        if (!loadedBackground->IsOk()) loadedBackground.reset();  // a damaged picture leaves the panel empty
    }
    if (loadedBackground) {
        background = loadedBackground;
        backgroundWidth = loadedBackground->GetSize().x;
        backgroundHeight = loadedBackground->GetSize().y;
    }
}

CTemplateUI::~CTemplateUI() = default;

void CTemplateUI::SetHostClientSize() {
    if (wxWindow* window = host.GetPanelWindow()) window->SetClientSize(GetZoomedSize());
}

// ------------------------------------------------------------------- zoom

bool CTemplateUI::SetZoom(int percent) {
    if (!IsZoomPercent(percent)) return false;
    zoomPercent = percent;
    return true;
}

wxPoint CTemplateUI::ToPanel(wxPoint p) const {
    if (zoomPercent == 100) return p;
    // Round towards minus infinity so that a point left of or above the
    // window stays outside the panel.
    auto map = [this](int v) {
        const long scaled = static_cast<long>(v) * 100;
        return static_cast<int>(scaled >= 0 ? scaled / zoomPercent : -((-scaled + zoomPercent - 1) / zoomPercent));
    };
    return wxPoint(map(p.x), map(p.y));
}

wxRect CTemplateUI::ToWindow(const wxRect& r) const {
    if (zoomPercent == 100) return r;
    auto map = [this](int v) { return static_cast<int>(static_cast<long>(v) * zoomPercent / 100); };
    const int left = map(r.x), top = map(r.y);
    return wxRect(left, top, map(r.x + r.width) - left, map(r.y + r.height) - top);
}

wxSize CTemplateUI::GetZoomedSize() const {
    return ToWindow(wxRect(0, 0, backgroundWidth, backgroundHeight)).GetSize();
}

void CTemplateUI::PaintZoomed(wxDC& dc, wxBitmap& scratch, const wxColour& fill, double contentScale) {
    if (contentScale < 1) contentScale = 1;
    const wxSize target = dc.GetSize();
    if (target.x <= 0 || target.y <= 0) return;
    if (zoomPercent == 100 && contentScale == 1) {
        dc.SetBackground(wxBrush(fill));
        dc.Clear();
        Paint(dc);
        return;
    }
    // Draw the panel in its own pixels, then enlarge by copying pixels:
    // nearest neighbour keeps the frames' and the font's edges hard. At a
    // factor that is no whole number the texts are set aside and drawn at
    // the enlarged size afterwards, each dot of the font as large as the next.
    const double factor = zoomPercent / 100.0 * contentScale;
    const bool wholeFactor = factor == static_cast<int>(factor);
    auto cover = [this](int v) { return std::max((v * 100 + zoomPercent - 1) / zoomPercent, 1); };
    const wxSize logical(cover(target.x), cover(target.y));
    if (!scratch.IsOk() || scratch.GetSize() != logical) scratch.Create(logical);
    std::vector<BitmapFont::PlacedText> texts;
    {
        wxMemoryDC memory(scratch);
        memory.SetBackground(wxBrush(fill));
        memory.Clear();
        if (!wholeFactor) BitmapFont::Get().SetCapture(&texts);
        Paint(memory);
        BitmapFont::Get().SetCapture(nullptr);
    }
    const int width = static_cast<int>(logical.x * factor + 0.5), height = static_cast<int>(logical.y * factor + 0.5);
    wxImage enlarged = scratch.ConvertToImage().Scale(width, height, wxIMAGE_QUALITY_NEAREST);
    if (!texts.empty()) {
        // Each text is enlarged once and kept while it is unchanged: the
        // cache holds the rendered image, so its data cannot be reused by
        // another text while the entry lives.
        std::vector<ZoomedText> kept;
        for (const BitmapFont::PlacedText& text : texts) {
            const wxObjectRefData* key = text.image.GetRefData();
            auto found = std::find_if(zoomedTexts.begin(), zoomedTexts.end(),
                                      [&](const ZoomedText& z) { return z.source.GetRefData() == key; });
            ZoomedText entry = found != zoomedTexts.end() && found->factor == factor
                                   ? *found
                                   : ZoomedText{text.image, BitmapFont::Enlarge(text.image, factor), factor};
            BlendOnto(enlarged, entry.zoomed, static_cast<int>(std::lround(text.at.x * factor)),
                      static_cast<int>(std::lround(text.at.y * factor)));
            kept.push_back(std::move(entry));
        }
        zoomedTexts = std::move(kept);
    }
    // A bitmap that knows its density is put on screen pixel for pixel.
    const wxBitmap shown(enlarged, -1, contentScale);
    dc.DrawBitmap(shown, 0, 0, false);
}

void CTemplateUI::BlendOnto(wxImage& target, const wxImage& text, int x, int y) {
    if (!text.IsOk() || !text.HasAlpha()) return;
    const unsigned char* src = text.GetData();
    const unsigned char* alpha = text.GetAlpha();
    unsigned char* dst = target.GetData();
    const int tw = target.GetWidth(), th = target.GetHeight();
    for (int ty = 0; ty < text.GetHeight(); ++ty) {
        const int py = y + ty;
        if (py < 0 || py >= th) continue;
        for (int tx = 0; tx < text.GetWidth(); ++tx) {
            const int px = x + tx;
            const int a = alpha[ty * text.GetWidth() + tx];
            if (px < 0 || px >= tw || a == 0) continue;
            const unsigned char* s = src + 3 * (ty * text.GetWidth() + tx);
            unsigned char* d = dst + 3 * (py * tw + px);
            for (int k = 0; k < 3; ++k) d[k] = static_cast<unsigned char>((s[k] * a + d[k] * (255 - a) + 127) / 255);
        }
    }
}

void CTemplateUI::PaneExpanded() {
    SetHostClientSize();
    for (auto& b : buttons) b->Text().MarkDirty();
}

void CTemplateUI::PaneCollapsed() { PaneExpanded(); }

void CTemplateUI::RebuildButtons() {
    // Marks describe one template; they are not carried over to another
    // (nor to a new one that happens to take a closed one's place).
    if (GetTemplate() != comparedTemplate) ClearComparisonMarks();
    selection.clear();
    hoverList.clear();
    dragSource.reset();
    bandSnapshot.clear();
    rubberBandActive = false;
    hoveredIndex = -1;
    host.HideEditWindow();
    buttons.clear();
    if (GetTemplate()) BuildLayout();
}

// ------------------------------------------------------- simple operations

bool CTemplateUI::OnMidiMessage(int, int, int) { return false; }

void CTemplateUI::ListenStarted() {
    listenButton.on = 1;
    listenButton.pressed = 0;
}

void CTemplateUI::ListenStopped() {
    listenButton.on = 0;
    listenButton.pressed = 0;
}

void CTemplateUI::SendStarted() {
    listenButton.on = 0;
    listenButton.pressed = 0;
    sendButton.on = 1;
    sendButton.pressed = 0;
}

void CTemplateUI::SendFinished() {
    if (!showSendButton) return;
    sendButton.on = 0;
    sendButton.pressed = 0;
}

bool CTemplateUI::OnMouseWheel(double) { return false; }
bool CTemplateUI::OnPageUp() { return false; }
bool CTemplateUI::OnPageDown() { return false; }
void CTemplateUI::EditAudioSettings() {}
void CTemplateUI::PaintDecorations(wxDC&) {}

bool CTemplateUI::Tick(long elapsedMs) {
    const bool listen = listenButton.Tick(elapsedMs);
    const bool send = sendButton.Tick(elapsedMs);
    return listen || (showSendButton && send);
}

// --------------------------------------------------------------- painting

void CTemplateUI::Paint(wxDC& dc) {
    if (!panelReady) return;
    // Frames are pixel-exact lines; smoothing would blend their corners.
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    const wxAntialiasMode savedMode = gc ? gc->GetAntialiasMode() : wxANTIALIAS_NONE;
    if (gc) gc->SetAntialiasMode(wxANTIALIAS_NONE);
    if (background) background->Draw(dc);
    PaintDecorations(dc);
    listenButton.Paint(dc);
    if (showSendButton) sendButton.Paint(dc);

    ControlTextSettings settings;
    settings.mode = host.HasViewMenu() ? host.GetViewType() : 3;
    settings.abbreviateNames = host.GetAbbreviateNames();
    const int hovered = hoverList.empty() ? -1 : hoverList.front()->GetIndex();
    for (auto& b : buttons) {
        b->PaintBody(dc, settings, textColour);
        const int index = b->GetControlIndex();
        if (index == hovered) b->PaintHover(dc);
        for (const auto& s : selection)
            if (s->GetIndex() == index) b->PaintSelected(dc);
    }
    if (ComparisonMarksCurrent())
        for (auto& b : buttons)
            if (comparisonNotes.count(b->GetControlIndex())) PaintComparisonMark(dc, *b);
    if (rubberBandActive) {
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.SetPen(wxPen(wxColour(68, 68, 68), 1, wxPENSTYLE_DOT));
        dc.DrawRectangle(rubberBand);
    }
    if (gc) gc->SetAntialiasMode(savedMode);
}

// -------------------------------------------------------------- selection

CControlButton* CTemplateUI::FindButton(int index) const {
    for (const auto& b : buttons)
        if (b->GetControlIndex() == index) return b.get();
    return nullptr;
}

CControlButton* CTemplateUI::HitTest(wxPoint p) const {
    for (const auto& b : buttons)
        if (b->Contains(p)) return b.get();
    return nullptr;
}

bool CTemplateUI::InList(const PlacedList& list, int index) const {
    return std::any_of(list.begin(), list.end(), [index](const auto& p) { return p->GetIndex() == index; });
}

bool CTemplateUI::IsSelected(int index) const { return InList(selection, index); }

std::vector<int> CTemplateUI::GetSelectedIndices() const {
    std::vector<int> out;
    for (const auto& s : selection) out.push_back(s->GetIndex());
    return out;
}

bool CTemplateUI::SelectControl(int index, bool add) {
    CControlButton* button = FindButton(index);
    if (!button) return false;
    if (!add) {
        RemoveFromSelection(index);
        return true;
    }
    if (!IsSelected(index)) selection.push_back(button->GetPlacedControl().Clone());
#if wxUSE_ACCESSIBILITY
    NotifyAccessible(wxACC_EVENT_OBJECT_FOCUS, index + 1);
#endif
    if (const CBaseControlState* state = button->GetControlState())
        host.SetPanelStatusText(StatusText(state));
    return true;
}

void CTemplateUI::RemoveFromSelection(int index) {
    selection.erase(std::remove_if(selection.begin(), selection.end(),
                                   [index](const auto& p) { return p->GetIndex() == index; }),
                    selection.end());
}

void CTemplateUI::ClearSelection() { selection.clear(); }

void CTemplateUI::SelectAll() {
    for (const auto& b : buttons) {
        if (!IsSelected(b->GetControlIndex())) selection.push_back(b->GetPlacedControl().Clone());
#if wxUSE_ACCESSIBILITY
        NotifyAccessible(wxACC_EVENT_OBJECT_SELECTIONADD, b->GetControlIndex() + 1);
#endif
    }
}

wxString CTemplateUI::SelectionInfoText() const {
    auto line = [this](const CPlacedControl& control) {
        const CControlButton* b = FindButton(control.GetIndex());
        if (!b) return wxString("\n");
        wxString text = b->GetName();
        if (!b->GetDescription().empty()) text += " - " + b->GetDescription();
        return text + "\n";
    };
    wxString text;
    if (selection.size() > 1) text = wxString::Format("%d controls selected:\n\n", static_cast<int>(selection.size()));
    for (size_t i = 0; i < selection.size() && i < 10; ++i) text += line(*selection[i]);
    if (selection.size() > 10) text += "\n .......\n\n" + line(*selection.back());
    return text;
}

// ------------------------------------------------------- comparison marks

void CTemplateUI::SetComparisonMarks(std::map<int, wxString> notes) {
    comparisonNotes = std::move(notes);
    comparedTemplate = GetTemplate();
    comparedVersion = comparedTemplate ? comparedTemplate->historyVersion : 0;
    if (!comparedTemplate) comparisonNotes.clear();
}

void CTemplateUI::ClearComparisonMarks() {
    comparisonNotes.clear();
    comparedTemplate = nullptr;
}

bool CTemplateUI::ComparisonMarksCurrent() const {
    if (comparisonNotes.empty()) return false;
    const CEditorTemplate* shownNow = GetTemplate();
    if (shownNow == comparedTemplate && shownNow && shownNow->historyVersion == comparedVersion) return true;
    // A const query that forgets stale marks: they can never become current again.
    auto* self = const_cast<CTemplateUI*>(this);
    self->ClearComparisonMarks();
    return false;
}

std::vector<int> CTemplateUI::GetComparisonMarks() const {
    std::vector<int> indices;
    if (ComparisonMarksCurrent())
        for (const auto& note : comparisonNotes) indices.push_back(note.first);
    return indices;
}

bool CTemplateUI::IsComparisonMarked(int index) const {
    return ComparisonMarksCurrent() && comparisonNotes.count(index) != 0;
}

// A thick orange frame just outside the control and a filled corner tab:
// unlike the thin hover and selection frames, visible at a glance and
// never hidden by them.
void CTemplateUI::PaintComparisonMark(wxDC& dc, const CControlButton& button) const {
    static const wxColour kMark(255, 110, 0);
    const wxRect r = button.GetRect();
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(kMark, 1, wxPENSTYLE_SOLID));
    for (int k = 2; k <= 4; ++k) dc.DrawRectangle(r.x - k, r.y - k, r.width + 2 * k, r.height + 2 * k);
    dc.SetBrush(wxBrush(kMark));
    const wxPoint tab[] = {wxPoint(r.GetRight() + 5, r.y - 4), wxPoint(r.GetRight() + 5, r.y + 9),
                           wxPoint(r.GetRight() - 8, r.y - 4)};
    dc.DrawPolygon(3, tab);
}

// ------------------------------------------------------------ pointer input

void CTemplateUI::SetCursor(wxStockCursor cursor) {
    if (wxWindow* window = host.GetPanelWindow()) window->SetCursor(wxCursor(cursor));
}

void CTemplateUI::UpdateToolTip(const CControlButton& button) {
    if (!host.GetShowCtrlToolTips()) return;
    const CBaseControlState* state = button.GetControlState();
    wxToolTip::Enable(false);
    wxToolTip::Enable(true);
    toolTipText = (!state || state->getControlType() == ControlType::Disabled)
                      ? wxString()
                      : wxString::FromUTF8(state->infoText());
    if (ComparisonMarksCurrent()) {
        const auto note = comparisonNotes.find(button.GetControlIndex());
        if (note != comparisonNotes.end())
            toolTipText += (toolTipText.empty() ? "" : "\n\n") + wxString("Differences:\n") + note->second;
    }
    if (wxWindow* window = host.GetPanelWindow()) {
        if (toolTipText.empty())
            window->UnsetToolTip();
        else
            window->SetToolTip(toolTipText);
    }
    wxToolTip::SetDelay(300);
}

wxString CTemplateUI::StatusText(const CBaseControlState* state) {
    if (!state) return wxString();
    // An unassigned control says so rather than leaving the line empty.
    if (state->getControlType() == ControlType::Disabled) return "Disabled";
    return wxString::FromUTF8(state->label());
}

void CTemplateUI::RefreshControlTexts() {
    const CControlButton* hovered = hoveredIndex >= 0 ? FindButton(hoveredIndex) : nullptr;
    if (hovered) {
        UpdateToolTip(*hovered);
    } else {
        toolTipText.clear();
        if (wxWindow* window = host.GetPanelWindow()) window->UnsetToolTip();
    }
    const CControlButton* described = hovered;
    if (!described && !selection.empty()) described = FindButton(selection.front()->GetIndex());
    const CBaseControlState* state = described ? described->GetControlState() : nullptr;
    host.SetPanelStatusText(StatusText(state));
}

void CTemplateUI::DisableToolTip(wxPoint p) {
    wxWindow* window = host.GetPanelWindow();
    toolTipText.clear();
    if (window) window->UnsetToolTip();
    bool active = false;
    // Keep the edit window's own tips alive while the pointer is over it.
    if (host.IsEditWindowShown() && window)
        active = host.GetEditWindowScreenRect().Contains(window->ClientToScreen(ToWindow(wxRect(p, wxSize(1, 1))).GetTopLeft()));
    wxToolTip::Enable(active);
}

bool CTemplateUI::DropAllowed() const {
    if (!dragSource || hoverList.empty()) return false;
    const ControlList source = toControlList(*dragSource);
    const ControlList target = toControlList(hoverList);
    const CBaseControlState* targetState = target.front().GetState();
    if (targetState && targetState->getControlType() == ControlType::Disabled) return fits(profile, source, target);
    return fits(profile, source, target) && fits(profile, target, source);
}

bool CTemplateUI::OnMouseMove(wxPoint p) {
    bool repaint = false;
    const bool dragging = dragSource != nullptr;
    hoverList.clear();
    if (dragging && dropTargetValid) host.HideEditWindow();

    if (CControlButton* b = HitTest(p)) {
        hoverList.push_back(b->GetPlacedControl().Clone());
        if (dragging && !DropAllowed()) hoverList.clear();
        if (b->GetControlIndex() != hoveredIndex) {
            repaint = true;
            UpdateToolTip(*b);
            hoveredIndex = b->GetControlIndex();
            if (const CBaseControlState* state = b->GetControlState())
                host.SetPanelStatusText(StatusText(state));
        }
    } else {
        if (hoveredIndex != -1) repaint = true;
        hoveredIndex = -1;
        DisableToolTip(p);
    }

    if (dragging) {
        dropTargetValid = dragSource->size() == 1 && !sameIndices(hoverList, *dragSource);
        if (dropTargetValid) SetCursor(DropAllowed() ? wxCURSOR_ARROW : wxCURSOR_NO_ENTRY);
    } else {
        SetCursor(wxCURSOR_ARROW);
        if (OnPanelButtonHover(p)) repaint = true;
    }

    if (rubberBandActive) {
        UpdateRubberBand(p);
        repaint = true;
    }
    return repaint;
}

void CTemplateUI::UpdateRubberBand(wxPoint p) {
    rubberBand = wxRect(std::min(bandOrigin.x, p.x), std::min(bandOrigin.y, p.y), std::abs(p.x - bandOrigin.x),
                        std::abs(p.y - bandOrigin.y));
    for (const auto& b : buttons) {
        const int index = b->GetControlIndex();
        const bool touched = wxRect(rubberBand).Intersect(b->GetRect()).width != 0;
        const bool wanted = touched != InList(bandSnapshot, index);
        if (wanted && !IsSelected(index))
            selection.push_back(b->GetPlacedControl().Clone());
        else if (!wanted && IsSelected(index))
            RemoveFromSelection(index);
    }
}

void CTemplateUI::Drop(bool ctrlDown) {
    if (DropAllowed()) {
        const CPlacedControl target = *hoverList.front();
        const ControlList sources = toControlList(*dragSource);
        if (!(target == sources.front())) {
            const bool copyOnly = std::any_of(sources.begin(), sources.end(),
                                              [&](const CPlacedControl& c) { return profile.IsImportedControl(c.GetIndex()); });
            std::unique_ptr<ICommand> command;
            if (copyOnly || ctrlDown) {
                copyToClipboard(sources);
                command = pasteFromClipboard(ControlList{target});
            } else if (target.GetState() && target.GetState()->getControlType() != ControlType::Disabled) {
                command = swapCommand(sources, ControlList{target});
            } else {
                command = moveCommand(sources, ControlList{target});
            }
            if (command) host.RunCommand(std::move(command));
        }
        ClearSelection();
        SelectControl(target.GetIndex(), true);
    }
    SetCursor(wxCURSOR_ARROW);
    hoverList.clear();
    dragSource.reset();
    dropTargetValid = false;
}

bool CTemplateUI::OnMouseButton(wxPoint p, bool ctrl, bool dbl, bool released, bool right) {
    OnMouseMove(p);
    bool handled = false;

    if (released) {
        if (dragSource) Drop(ctrl);
        rubberBandActive = false;
    }

    bool openOnRelease = dbl ? true : host.IsEditWindowShown();
    if (ctrl) {
        openOnRelease = false;
        dbl = false;
    }

    if (!released) {
        if (!ctrl) {
            if (!sameIndices(hoverList, selection)) {
                ClearSelection();
                for (const auto& h : hoverList) SelectControl(h->GetIndex(), true);
            }
        } else if (!hoverList.empty()) {
            const int index = hoverList.front()->GetIndex();
            const bool onlySelected = selection.size() == 1 && selection.front()->GetIndex() == index;
            if (!onlySelected) {
                if (IsSelected(index))
                    RemoveFromSelection(index);
                else
                    SelectControl(index, true);
            }
            handled = true;
        }
    }

    if (selection.size() != 1) host.HideEditWindow();
    dragSource.reset();

    if (!handled && selection.size() == 1) {
        if (released && openOnRelease) {
            host.EditControl(*selection.front(), false);
            handled = true;
        } else if (!released && !right && !dbl && !hoverList.empty() &&
                   hoverList.front()->GetIndex() == selection.front()->GetIndex()) {
            dragSource = std::make_unique<PlacedList>();
            for (const auto& s : selection) dragSource->push_back(s->Clone());
            dropTargetValid = false;
            handled = true;
        }
    }

    if (!handled && !released && !right) {
        rubberBandActive = true;
        bandSnapshot.clear();
        for (const auto& s : selection) bandSnapshot.push_back(s->Clone());
        bandOrigin = p;
        rubberBand = wxRect(p.x, p.y, 0, 0);
    }

    OnPanelButtonClick(p, released);
    return true;
}

// ------------------------------------------------------------ panel buttons

void CTemplateUI::OnPanelButtonClick(wxPoint p, bool released) {
    if (host.IsInputDeviceOpen() && listenButton.MouseButton(p, released)) {
        if (listenButton.on)
            host.StartListening();
        else
            host.StopListening();
    }
    if (host.IsOutputDeviceOpen() && showSendButton && sendButton.MouseButton(p, released) && sendButton.on)
        host.SendTemplate();
}

bool CTemplateUI::OnPanelButtonHover(wxPoint p) {
    bool changed = false;
    if (host.IsInputDeviceOpen() && listenButton.MouseMove(p)) changed = true;
    if (host.IsOutputDeviceOpen() && showSendButton && sendButton.MouseMove(p)) changed = true;
    return changed;
}

// ------------------------------------------------------------- keyboard

bool CTemplateUI::TabToNext(bool forward) {
    CEditorTemplate* tpl = GetTemplate();
    if (!tpl || buttons.empty()) return false;
    const int last = tpl->lastIndex();
    int index = selection.empty() ? (forward ? 0 : last) : tpl->nextIndex(selection.front()->GetIndex(), forward);
    ClearSelection();
    for (int steps = 0; steps <= last; ++steps) {
        if (SelectControl(index, true)) return true;
        index = tpl->nextIndex(index, forward);
    }
    return true;
}

void CTemplateUI::EditSelection() {
    if (selection.size() == 1) host.EditControl(*selection.front(), false);
}

bool CTemplateUI::MoveSelection(int direction) {
    if (selection.empty()) {
        SelectControl(0, true);
        return true;
    }
    const CControlButton* from = FindButton(selection.back()->GetIndex());
    if (!from) return false;
    const wxPoint m = from->Centre();
    const CControlButton* best = nullptr;
    for (int pass = 0; pass < 2 && !best; ++pass) {
        long long bound = 10000000;
        for (const auto& b : buttons) {
            if (b.get() == from) continue;
            const wxPoint q = b->Centre();
            const int dx = q.x - m.x, dy = q.y - m.y;
            bool side = false, cone = false;
            switch (direction) {
                case 0: side = dy < 0; cone = std::abs(dy) > std::abs(dx); break;
                case 1: side = dy > 0; cone = std::abs(dy) > std::abs(dx); break;
                case 2: side = dx < 0; cone = std::abs(dx) > std::abs(dy); break;
                case 3: side = dx > 0; cone = std::abs(dx) > std::abs(dy); break;
                default: break;
            }
            if (!side || (pass == 0 && !cone)) continue;
            const long long d2 = static_cast<long long>(dx) * dx + static_cast<long long>(dy) * dy;
            if (d2 < bound) {
                bound = d2;
                best = b.get();
            }
        }
    }
    const int index = (best ? best : from)->GetControlIndex();
    ClearSelection();
    SelectControl(index, true);
    return true;
}

// ---------------------------------------------------------- accessibility

#if wxUSE_ACCESSIBILITY
void CTemplateUI::NotifyAccessible(int eventType, int childId) {
    if (wxWindow* window = host.GetPanelWindow()) wxAccessible::NotifyEvent(eventType, window, wxOBJID_CLIENT, childId);
}

wxAccStatus CTemplateUI::GetChildCount(int* childCount) {
    *childCount = GetTemplate() ? GetTemplate()->lastIndex() + 1 : 0;
    return wxACC_OK;
}

wxAccStatus CTemplateUI::GetChild(int childId, wxAccessible** child) {
    if (childId == 0) {
        *child = this;
        return wxACC_OK;
    }
    *child = FindButton(childId - 1);
    return *child ? wxACC_OK : wxACC_FAIL;
}

wxAccStatus CTemplateUI::GetName(int childId, wxString* name) {
    if (childId == 0) return wxACC_NOT_IMPLEMENTED;
    CControlButton* b = FindButton(childId - 1);
    return b ? b->GetName(0, name) : wxACC_FAIL;
}

wxAccStatus CTemplateUI::GetDescription(int childId, wxString* description) {
    if (childId == 0) return wxACC_NOT_IMPLEMENTED;
    CControlButton* b = FindButton(childId - 1);
    return b ? b->GetDescription(0, description) : wxACC_FAIL;
}

wxAccStatus CTemplateUI::GetRole(int childId, wxAccRole* role) {
    if (childId == 0) {
        *role = wxROLE_SYSTEM_WINDOW;
        return wxACC_OK;
    }
    CControlButton* b = FindButton(childId - 1);
    return b ? b->GetRole(0, role) : wxACC_FAIL;
}

wxAccStatus CTemplateUI::GetState(int childId, long* state) {
    if (childId == 0) return wxACC_NOT_IMPLEMENTED;
    if (!FindButton(childId - 1)) return wxACC_FAIL;
    *state = wxACC_STATE_SYSTEM_SELECTABLE | wxACC_STATE_SYSTEM_READONLY | wxACC_STATE_SYSTEM_FOCUSABLE;
    if (IsSelected(childId - 1)) *state |= wxACC_STATE_SYSTEM_SELECTED | wxACC_STATE_SYSTEM_FOCUSED;
    return wxACC_OK;
}

wxAccStatus CTemplateUI::GetValue(int childId, wxString* value) {
    if (childId == 0) return wxACC_NOT_IMPLEMENTED;
    CControlButton* b = FindButton(childId - 1);
    return b ? b->GetValue(0, value) : wxACC_FAIL;
}

wxAccStatus CTemplateUI::GetLocation(wxRect& rect, int elementId) {
    wxWindow* window = host.GetPanelWindow();
    if (!window) return wxACC_FAIL;
    if (elementId == 0) {
        rect = wxRect(window->ClientToScreen(wxPoint(0, 0)), GetZoomedSize());
        return wxACC_OK;
    }
    CControlButton* b = FindButton(elementId - 1);
    if (!b) return wxACC_FAIL;
    const wxRect shown = ToWindow(b->GetRect());
    rect = wxRect(window->ClientToScreen(shown.GetTopLeft()), shown.GetSize());
    return wxACC_OK;
}

wxAccStatus CTemplateUI::GetFocus(int* childId, wxAccessible** child) {
    const int last = GetTemplate() ? GetTemplate()->lastIndex() : -1;
    for (int i = 0; i <= last; ++i)
        if (IsSelected(i) && FindButton(i)) {
            *childId = i + 1;
            *child = FindButton(i);
            return wxACC_OK;
        }
    *childId = 0;
    *child = nullptr;
    return wxACC_OK;
}

wxAccStatus CTemplateUI::HitTest(const wxPoint& pt, int* childId, wxAccessible** childObject) {
    wxWindow* window = host.GetPanelWindow();
    CControlButton* b = window ? HitTest(ToPanel(window->ScreenToClient(pt))) : nullptr;
    *childId = b ? b->GetControlIndex() + 1 : 0;
    *childObject = b;
    return wxACC_OK;
}
#else
void CTemplateUI::NotifyAccessible(int, int) {}
#endif

// ---------------------------------------------------------- window events

PanelEventResult CTemplateUI::HandleMouseEvent(const wxMouseEvent& event) {
    PanelEventResult result;
    const wxPoint p = ToPanel(event.GetPosition());
    const bool ctrl = event.ControlDown();
    const wxEventType type = event.GetEventType();
    result.used = true;
    if (type == wxEVT_LEFT_DOWN) {
        result.repaint = OnMouseButton(p, ctrl, false, false, false);
    } else if (type == wxEVT_LEFT_UP) {
        result.repaint = OnMouseButton(p, ctrl, false, true, false);
    } else if (type == wxEVT_LEFT_DCLICK) {
        result.repaint = OnMouseButton(p, ctrl, true, true, false);
    } else if (type == wxEVT_RIGHT_DOWN) {
        // With several controls selected the context menu acts on all of them.
        if (selection.size() < 2) result.repaint = OnMouseButton(p, ctrl, false, false, true);
    } else if (type == wxEVT_MOUSEWHEEL) {
        const int delta = event.GetWheelDelta() ? event.GetWheelDelta() : 120;
        result.repaint = OnMouseWheel(static_cast<double>(event.GetWheelRotation()) / delta);
        result.repaint = OnMouseMove(p) || result.repaint;
    } else if (type == wxEVT_MOTION) {
        result.repaint = OnMouseMove(p);
    } else {
        result.used = false;
    }
    return result;
}

PanelEventResult CTemplateUI::HandleKeyEvent(const wxKeyEvent& event) {
    PanelEventResult result;
    result.used = true;
    switch (event.GetKeyCode()) {
        case WXK_TAB: result.repaint = TabToNext(!event.ShiftDown()); break;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
        case WXK_SPACE: EditSelection(); break;
        case WXK_UP:
        case WXK_NUMPAD_UP: result.repaint = MoveSelection(0); break;
        case WXK_DOWN:
        case WXK_NUMPAD_DOWN: result.repaint = MoveSelection(1); break;
        case WXK_LEFT:
        case WXK_NUMPAD_LEFT: result.repaint = MoveSelection(2); break;
        case WXK_RIGHT:
        case WXK_NUMPAD_RIGHT: result.repaint = MoveSelection(3); break;
        case WXK_PAGEUP:
        case WXK_NUMPAD_PAGEUP: result.repaint = OnPageUp(); break;
        case WXK_PAGEDOWN:
        case WXK_NUMPAD_PAGEDOWN: result.repaint = OnPageDown(); break;
        default: result.used = false; break;
    }
    return result;
}
