// The device layout: which control sits where, under which name, in which order.
#include "app/EditorApp.h"
#include "ui_support.h"

using namespace uitest;

namespace {

using LayoutTest = PanelFixture;

TEST_F(LayoutTest, BuildsSeventyTwoButtonsInCreationOrder) {
    const auto& buttons = view->GetButtons();
    ASSERT_EQ(buttons.size(), 72u);
    std::vector<int> order;
    for (const auto& b : buttons) order.push_back(b->GetControlIndex());
    std::vector<int> expected;
    for (int first : {24, 8, 32, 0, 70, 16, 40, 48})
        for (int k = 0; k < 8; ++k) expected.push_back(first + k);
    for (int i : {57, 56, 58, 59, 61, 60, 63, 62}) expected.push_back(i);
    EXPECT_EQ(order, expected);
    for (const auto& b : buttons) EXPECT_EQ(b->GetControlState(), tpl->controlAt(b->GetControlIndex()));
}

struct Placement {
    int index;
    const char* name;
    int kind;
    wxRect rect;  // hit-test rectangle
};

TEST_F(LayoutTest, NamesKindsAndRectangles) {
    const Placement table[] = {
        {0, "Pot 1", 8, wxRect(18, 206, 40, 40)},
        {7, "Pot 8", 8, wxRect(18 + 378, 206, 40, 40)},
        {8, "Encoder 1", 8, wxRect(18, 67, 40, 40)},
        {16, "Slider 1", 9, wxRect(461, 16, 41, 86)},
        {23, "Slider 8", 9, wxRect(461 + 378, 16, 41, 86)},
        {24, "Left Top Button 1", 7, wxRect(19, 12, 38, 23)},
        {33, "Left Middle Button 2", 7, wxRect(19 + 54, 144, 38, 23)},
        {40, "Right Top Button 1", 7, wxRect(462, 144, 38, 23)},
        {55, "Right Bottom Button 8", 7, wxRect(462 + 378, 214, 38, 23)},
        {56, "Rewind", 7, wxRect(181, 380, 38, 23)},
        {60, "Record", 7, wxRect(451, 380, 38, 23)},
        {61, "Loop", 7, wxRect(397, 380, 38, 23)},
        {62, "Control Pedal", 4, wxRect(560, 376, 31, 30)},
        {63, "Expression Pedal", 4, wxRect(614, 376, 31, 30)},
        {70, "Drumpad 1", 10, wxRect(18, 283, 40, 38)},
        {77, "Drumpad 8", 10, wxRect(18 + 378, 283, 40, 38)},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const CControlButton* b = view->FindButton(row.index);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->GetName(), row.name);
        EXPECT_EQ(b->GetKind(), row.kind);
        EXPECT_EQ(b->GetRect(), row.rect);
        EXPECT_TRUE(b->GetDescription().empty());
    }
}

TEST_F(LayoutTest, TextOriginsFollowKindHeightAndOffset) {
    // Pot 1 at (16, 204), kind 8 (43 x 44), offset (8, 3); pedal (612, 374), kind 4, offset (3, -1).
    EXPECT_EQ(view->FindButton(0)->Text().Origin(), wxPoint(24, 251));
    EXPECT_EQ(view->FindButton(63)->Text().Origin(), wxPoint(615, 407));
    EXPECT_EQ(view->FindButton(77)->Text().Origin(), wxPoint(16 + 378 + 8, 281 + 42 + 8));
}

TEST_F(LayoutTest, HitTestsFindTheControlUnderThePoint) {
    const struct {
        wxPoint p;
        int index;
    } hits[] = {{{20, 210}, 0}, {{240, 380}, 57}, {{615, 380}, 63}, {{470, 60}, 16}, {{30, 300}, 70}, {{350, 390}, 59}};
    for (const auto& h : hits) {
        const CControlButton* b = view->HitTest(h.p);
        ASSERT_NE(b, nullptr) << h.p.x << "," << h.p.y;
        EXPECT_EQ(b->GetControlIndex(), h.index);
    }
    // Edges: the two pixels at the left of the drawn rectangle are outside.
    EXPECT_EQ(view->HitTest({17, 210}), nullptr);
    EXPECT_EQ(view->HitTest({18 + 40, 210}), nullptr);
    EXPECT_NE(view->HitTest({18 + 39, 210}), nullptr);
}

TEST_F(LayoutTest, NoPointOfThePanelMapsToUnshownIndices) {
    const wxSize size = view->GetBackgroundSize();
    ASSERT_GT(size.x, 0);
    for (int y = 0; y < size.y; ++y)
        for (int x = 0; x < size.x; ++x)
            if (const CControlButton* b = view->HitTest({x, y})) {
                const int i = b->GetControlIndex();
                ASSERT_FALSE((i >= 64 && i <= 69) || (i >= 78 && i <= 85)) << x << "," << y;
            }
    for (int i : {64, 65, 69, 78, 85}) EXPECT_FALSE(view->SelectControl(i, true)) << i;
    EXPECT_TRUE(view->GetSelection().empty());
}

TEST_F(LayoutTest, BackgroundCoversEveryControlAndSizesTheHost) {
    const wxSize size = view->GetBackgroundSize();
    for (const auto& b : view->GetButtons()) {
        EXPECT_LE(b->GetRect().GetRight(), size.x) << b->GetName();
        EXPECT_LE(b->GetRect().GetBottom(), size.y) << b->GetName();
    }
    EXPECT_EQ(frame->GetClientSize(), size);
}

TEST_F(LayoutTest, SecondTemplateReplacesButtonsAndEmptiesSelection) {
    view->SelectControl(3, true);
    view->SelectControl(4, true);
    auto other = EditorApp().Profile().CreateTemplate();
    const int hidesBefore = host->hideCalls;
    view->SetTemplate(other.get());
    EXPECT_EQ(view->GetButtons().size(), 72u);
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_GT(host->hideCalls, hidesBefore);
    EXPECT_EQ(view->GetTemplate(), other.get());
    for (const auto& b : view->GetButtons()) EXPECT_EQ(b->GetControlState(), other->controlAt(b->GetControlIndex()));
    view->SetTemplate(tpl.get());
}

TEST_F(LayoutTest, NoTemplateShowsNothing) {
    view->SetTemplate(nullptr);
    EXPECT_FALSE(view->IsPanelReady());
    EXPECT_TRUE(view->GetButtons().empty());
    EXPECT_FALSE(view->TabToNext(true));
}

}  // namespace
