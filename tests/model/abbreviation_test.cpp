#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "TestSupport.h"
#include "model/Abbreviation.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/WordHistory.h"

using Abbreviation::abbreviate;
using Abbreviation::shortened;
using Abbreviation::squeezed;

TEST(Abbreviate, FitsNamesIntoTheDisplay) {
    struct Case {
        const char* name;
        int maxLength;
        int mode;
        const char* expected;
    };
    const Case cases[] = {
        {"Filter Cutoff", 8, 0, "Flt.Cut"},          // table words; the last word loses its "."
        {"Filter Cutoff", 8, 1, "FltCut"},
        {"Osc 2 Pitch", 8, 0, "O2.Pitch"},           // the number joins its word; the first word is squeezed
        {"Osc 2 Pitch", 8, 1, "Osc2Ptch"},
        {"Master Volume Level", 8, 0, "M.V.Lvl"},    // squeezing moves on word by word
        {"Resonance", 8, 0, "Res"},
        {"Volume", 8, 0, "Volume"},                  // fits already
        {"Filter Cutoff", -1, 0, "Filter Cutoff"},   // no limit
        {"  Filter   Cutoff  ", 8, 0, "Flt.Cut"},    // runs of blanks are no words
        {"Supercalifragilistic", 8, 0, "Supercal"},  // nothing helps: cut to length
        {"Osc 1 2", 5, 0, "O1.2"},                   // only a number after a word joins it
        {"LFO 12 Rate", 8, 1, "Lfo12Rte"},           // mode 1 capitalises each word
        {"        ", 4, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(abbreviate(c.name, c.maxLength, c.mode), c.expected) << c.name << " / " << c.maxLength << " / " << c.mode;
}

TEST(Abbreviate, ShortenedAndSqueezedWords) {
    EXPECT_EQ(shortened("FILTER"), "Flt.");  // the table ignores case
    EXPECT_EQ(shortened("effect"), "FX");
    EXPECT_EQ(shortened("Level"), "Lvl");    // inner lower-case vowels go
    EXPECT_EQ(shortened("Audition"), "Adtn");
    EXPECT_EQ(shortened("AREA"), "AREA");    // upper-case vowels stay
    EXPECT_EQ(shortened("ae"), "ae");        // too short to lose anything
    EXPECT_EQ(squeezed("Osc2"), "O2.");
    EXPECT_EQ(squeezed("Master"), "M.");
    EXPECT_EQ(squeezed("M"), "M");
}

TEST(AbbreviationTable, HoldsTheStandardWords) {
    const auto& entries = CAbbreviationTable::instance().entries();
    EXPECT_EQ(entries.size(), 34u);
    EXPECT_EQ(entries.begin()->first, "amplifier");  // alphabetical
    EXPECT_EQ(entries.at("metronome"), "Metro");
    EXPECT_EQ(entries.at("destination"), "Dst.");
}

TEST(WordHistory, AddWordAndAddName) {
    CWordHistory h;
    h.addWord("cutoff");
    h.addWord("Gain");
    h.addWord("Cutoff  ");  // moves to the end in its new capitalisation, blanks dropped
    h.addWord("Hz");        // too short
    EXPECT_EQ(h.words(), (std::vector<std::string>{"Gain", "Cutoff"}));

    h.addName("Filter Env Amount");
    EXPECT_EQ(h.words(), (std::vector<std::string>{"Gain", "Cutoff", "Filter Env Amount", "Filter", "Env", "Amount"}));
    h.addName("Drive");  // one word: added once
    EXPECT_EQ(h.words().back(), "Drive");
    EXPECT_EQ(h.words().size(), 7u);
}

TEST(WordHistory, ProgramWideHistoryStartsWithTheTableWords) {
    const auto& words = CWordHistory::instance().words();
    for (const auto& entry : CAbbreviationTable::instance().entries()) {
        const bool present = std::any_of(words.begin(), words.end(), [&](const std::string& w) {
            std::string lower = w;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return lower == entry.first;
        });
        EXPECT_TRUE(present) << entry.first;
    }
}

TEST(DefaultNameTools, ImportedControlsAreAbbreviatedAndRemembered) {
    ASSERT_NE(ModelHooks::get().nameTools, nullptr);
    RecordingHooks hooks;
    CTaNGRAQVTemplate source;
    source.controls[0].setControlType(ControlType::CC, false);
    source.controls[0].setName("Envelope Depth");  // longer than a real record allows
    CTaNGRAQVTemplate target;
    target.importControlsFrom(source);
    ASSERT_FALSE(target.importedControls.empty());
    EXPECT_EQ(target.importedControls[0].name, "Env.Dpth");
    EXPECT_EQ(target.importedControls[0].longName, "Envelope Depth");
    EXPECT_EQ(target.importedControls[0].pluginBinding.shortName, "Env.Dpth");  // set through setName

    // The full name with its words, then the short name; the wheels' names follow.
    const auto& words = CWordHistory::instance().words();
    const auto at = std::find(words.begin(), words.end(), "Envelope Depth");
    ASSERT_NE(at, words.end());
    ASSERT_GE(words.end() - at, 4);
    EXPECT_EQ(*(at + 1), "Envelope");
    EXPECT_EQ(*(at + 2), "Depth");
    EXPECT_EQ(*(at + 3), "Env.Dpth");
}
