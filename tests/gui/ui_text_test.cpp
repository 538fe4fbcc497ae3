// The display font and the texts written under the controls.
#include <wx/dcmemory.h>

#include "ui_support.h"

using namespace uitest;

namespace {
const CTaNGRAQVDeviceProfile profile;

TEST(BitmapFontTest, GridMapsCharactersToCells) {
    const struct {
        char c;
        int column, row;
    } cells[] = {{'A', 0, 0}, {'H', 7, 0}, {'I', 0, 1}, {'Z', 1, 3}, {'0', 2, 3}, {'5', 7, 3}, {'6', 0, 4},
                 {'#', 4, 4}, {'b', 5, 4}, {'-', 6, 4}, {'+', 7, 4}, {':', 0, 5}, {'.', 1, 5}, {'?', 7, 5},
                 {'=', 0, 6}, {'\'', 7, 6}, {'*', 0, 7}, {'@', 1, 7}, {',', 2, 7}, {' ', 7, 7}};
    for (const auto& c : cells) {
        int column = -1, row = -1;
        ASSERT_TRUE(BitmapFont::CellOf(c.c, column, row)) << c.c;
        EXPECT_EQ(column, c.column) << c.c;
        EXPECT_EQ(row, c.row) << c.c;
    }
    int column = 0, row = 0;
    for (char c : {'a', 'c', 'z', '~', '_', '\0'}) EXPECT_FALSE(BitmapFont::CellOf(c, column, row)) << int(c);
}

TEST(BitmapFontTest, AcceptsOnlySquareGridsDivisibleByEight) {
    BitmapFont font;
    EXPECT_TRUE(font.LoadImage(wxImage(64, 64)));
    EXPECT_EQ(font.Cell(), 8);
    EXPECT_FALSE(font.LoadImage(wxImage(64, 72)));
    EXPECT_FALSE(font.IsLoaded());
    EXPECT_FALSE(font.LoadImage(wxImage(100, 100)));
    EXPECT_FALSE(font.Load("/nonexistent/Font.png"));
    LoadImages();
    EXPECT_TRUE(font.Load(CTemplateUI::ImagePath("Font")));
    EXPECT_EQ(font.Cell(), BitmapFont::Get().Cell());
}

// Columns of an image that hold at least one opaque pixel.
std::vector<int> InkColumns(const wxImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.GetWidth(); ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (image.GetAlpha(x, y) != 0) {
                columns.push_back(x);
                break;
            }
    return columns;
}

wxImage Rendered(const std::string& text, const wxColour& colour) {
    const BitmapFont& font = BitmapFont::Get();
    wxImage image(font.TextWidth(text.size()), font.Cell());
    image.InitAlpha();
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) image.SetAlpha(x, y, 0);
    font.Render(image, text, 0, 0, colour);
    return image;
}

TEST(BitmapFontTest, GlyphsTakeTheColourAndUnknownCharactersLeaveAGap) {
    LoadImages();
    const int cell = BitmapFont::Get().Cell();
    const wxImage ai = Rendered("A~A", wxColour(10, 200, 30));
    const wxImage aa = Rendered("A A", wxColour(10, 200, 30));
    // The unknown character takes the place of one cell plus one pixel, like a blank.
    EXPECT_EQ(InkColumns(ai), InkColumns(aa));
    const std::vector<int> ink = InkColumns(ai);
    ASSERT_FALSE(ink.empty());
    EXPECT_LT(ink.front(), cell);
    EXPECT_GE(ink.back(), 2 * (cell + 1));
    for (int x : ink) EXPECT_FALSE(x >= cell + 1 && x < 2 * (cell + 1)) << x;
    // Every glyph pixel shows in the requested colour.
    for (int y = 0; y < ai.GetHeight(); ++y)
        for (int x = 0; x < ai.GetWidth(); ++x)
            if (ai.GetAlpha(x, y)) {
                EXPECT_EQ(ai.GetRed(x, y), 10);
                EXPECT_EQ(ai.GetGreen(x, y), 200);
                EXPECT_EQ(ai.GetBlue(x, y), 30);
            }
}

TEST(ControlTextTest, ShiftCentresTextsAroundFiveCharacters) {
    for (int cell : {5, 6, 8}) {
        SCOPED_TRACE(cell);
        EXPECT_EQ(ControlText::Shift("ABCDE", cell), 0);
        EXPECT_EQ(ControlText::Shift("ABCDEFG", cell), -(cell + 1));
        EXPECT_EQ(ControlText::Shift("ABCDEF", cell), -((cell + 1) / 2));
        EXPECT_EQ(ControlText::Shift("ABC", cell), cell + 1);
        EXPECT_EQ(ControlText::Shift("AB.", cell), cell + 1 + 2);
        EXPECT_EQ(ControlText::Shift("-", cell), 2 * (cell + 1));
    }
}

TEST(ControlTextTest, TypeAndChannelTextsByControlType) {
    CBaseControlState s;
    s.setLsbNumber(7);
    s.setMidiChannel(3);
    s.setOffValue(12, false);
    const struct {
        int type;
        const char* typeText;
        const char* channelText;
    } table[] = {
        {ControlType::CC, "CC007", "CH:03"},        {ControlType::NRPN, "NRPN", "CH:03"},
        {ControlType::RPN, "RPN", "CH:03"},         {ControlType::SysEx, "SYSEX", "-"},
        {ControlType::MMC, "MM003", "-"},           {ControlType::NoteOnOff, "G-2", "CH:03"},
        {ControlType::NoteOnOffAlt, "G-2", "CH:03"}, {ControlType::ProgramChange, "PC012", "CH:03"},
        {ControlType::PitchBend, "PITCH", "CH:03"}, {ControlType::DrumNote, "DRUM", "CH:03"},
        {ControlType::Aftertouch, "A.TCH", "CH:03"}, {ControlType::BankSelect, "AARGH", "CH:03"},
        {ControlType::Disabled, " ", "CH:03"},
    };
    for (const auto& row : table) {
        s.controlType = row.type;
        EXPECT_EQ(ControlText::TypeText(s), row.typeText) << row.type;
        EXPECT_EQ(ControlText::ChannelText(s), row.channelText) << row.type;
    }
    s.controlType = ControlType::NoteOnOff;
    s.setLsbNumber(60);
    EXPECT_EQ(ControlText::TypeText(s), "C3");
    s.setLsbNumber(70);
    EXPECT_EQ(ControlText::TypeText(s), "Bb3");
}

TEST(ControlTextTest, NamesAreCutUpperCasedOrReplacedByMmcShortNames) {
    CBaseControlState s;
    CPlacedControl placed(&s, 0);
    ControlText text(profile, placed, 0, 0, false, -1, 0, false);
    s.setControlType(ControlType::CC, false);
    s.name = "Cutoff frequency";
    EXPECT_EQ(text.NameText(s, false), "CUTOFF F");
    s.name = "Res   ";
    EXPECT_EQ(text.NameText(s, false), "RES");
    s.name = "abcdefgh ";
    EXPECT_EQ(text.NameText(s, false), "ABCDEFGH");
    s.name = "Vol";
    s.controlType = ControlType::MMC;
    const std::pair<int, const char*> mmc[] = {{1, "STOP"},   {2, "PLAY"},   {3, "DPLAY"}, {4, "FFW"},  {5, "REW"},
                                               {6, "REC"},    {7, "REC-X"},  {8, "REC-P"}, {9, "PAUSE"}, {10, "EJECT"},
                                               {11, "CHASE"}, {12, "E-RST"}, {13, "RESET"}, {0, ""},    {14, ""}};
    for (const auto& [command, shortName] : mmc) {
        s.mmcCommand = command;
        EXPECT_EQ(text.NameText(s, false), shortName) << command;
    }
}

TEST(ControlTextTest, PluginNameReplacesTheNameOnlyWhenPreferred) {
    CBaseControlState s;
    s.setControlType(ControlType::CC, false);
    s.name = "Knob";
    s.pluginBinding = PluginBinding{"Filter Cutoff", "Cutoff", 3};
    CPlacedControl placed(&s, 0);
    EXPECT_EQ(ControlText(profile, placed, 0, 0, false, -1, 0, true).NameText(s, false), "CUTOFF");
    EXPECT_EQ(ControlText(profile, placed, 0, 0, false, -1, 0, false).NameText(s, false), "KNOB");
    s.pluginBinding.index = -1;
    EXPECT_EQ(ControlText(profile, placed, 0, 0, false, -1, 0, true).NameText(s, false), "KNOB");
}

// Paints one control's text on white and reports the inked rectangle.
wxRect InkBox(ControlText& text, const ControlTextSettings& settings) {
    wxBitmap bitmap(200, 80);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        text.Paint(dc, settings, *wxBLACK, 0, 0);
    }
    const wxImage image = bitmap.ConvertToImage();
    int left = 1000, top = 1000, right = -1, bottom = -1;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetRed(x, y) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? wxRect() : wxRect(left, top, right - left + 1, bottom - top + 1);
}

TEST(ControlTextTest, PaintsThreeLinesOrOneAndNothingWhenDisabled) {
    LoadImages();
    const int cell = BitmapFont::Get().Cell();
    CBaseControlState s;
    CPlacedControl placed(&s, 0);
    ControlText text(profile, placed, 100, 20, false, -1, 0, false);
    ControlTextSettings three;
    three.mode = 3;
    three.abbreviateNames = false;
    s.setControlType(ControlType::Disabled, false);
    EXPECT_EQ(InkBox(text, three), wxRect());

    s.setControlType(ControlType::CC, false);
    s.name = "HHHHH";  // five full-width glyphs: starts at the origin
    s.setLsbNumber(7);
    s.setMidiChannel(1);
    const wxRect box = InkBox(text, three);
    EXPECT_EQ(box.x, 100);
    EXPECT_EQ(box.y, 20);
    EXPECT_GE(box.GetBottom(), 20 + 2 * (cell + 2));  // channel line
    EXPECT_LT(box.GetBottom(), 20 + 3 * (cell + 2));

    ControlTextSettings name;
    name.mode = 1;
    name.abbreviateNames = false;
    const wxRect one = InkBox(text, name);
    EXPECT_EQ(one.x, 100);
    EXPECT_LT(one.GetBottom(), 20 + cell);

    // A changed name re-renders the cached text: seven characters start one cell further left.
    s.name = "HHHHHHH";
    EXPECT_EQ(InkBox(text, name).x, 100 - (cell + 1));
}

}  // namespace
