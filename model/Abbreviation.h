#pragma once
// Squeezing long names onto the hardware's short name display.
#include <map>
#include <string>

// The program-wide table of common words and their abbreviations, keyed by
// the lower-case word, in alphabetical order.
class CAbbreviationTable {
public:
    // The one table of the program, filled with the standard words on first use.
    static CAbbreviationTable& instance();

    CAbbreviationTable();
    // The abbreviation of `word` (any case), or null when the table has none.
    const std::string* find(const std::string& word) const;
    const std::map<std::string, std::string>& entries() const { return entries_; }

private:
    std::map<std::string, std::string> entries_;
};

namespace Abbreviation {
enum Mode : int { KeepWordsApart = 0, JoinWords = 1 };

// `name` fitted into maxLength characters (unchanged when it already fits or
// maxLength is negative).
std::string abbreviate(const std::string& name, int maxLength, int mode);
// The table's abbreviation, or the word without its inner lower-case vowels.
std::string shortened(const std::string& word);
// The first character, the digits of the rest, and ".".
std::string squeezed(const std::string& word);
}  // namespace Abbreviation
