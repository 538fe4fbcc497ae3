#pragma once
// The words offered for completion in name fields, oldest first.
#include <string>
#include <vector>

class CWordHistory {
public:
    // The one history of the program, seeded with the abbreviation table's
    // words on first use.
    static CWordHistory& instance();

    // Trailing blanks are dropped; words shorter than 3 characters are
    // ignored; a word already present (in any case) moves to the end.
    void addWord(const std::string& word);
    // The whole name, then each of its blank-separated words when it has several.
    void addName(const std::string& name);

    const std::vector<std::string>& words() const { return words_; }
    void clear() { words_.clear(); }

private:
    std::vector<std::string> words_;
};
