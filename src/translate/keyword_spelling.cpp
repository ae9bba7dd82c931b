#include "translate/keyword_spelling.h"

#include "smv/vocabulary.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ruvello {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// The edits that make `a` into `b`, capitals aside: letters added, left
// out, changed, or two neighbours swapped (Damerau and Levenshtein's).
std::size_t edits(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t changed = upper(a[i - 1]) == upper(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + changed});
            if (i > 1 && j > 1 && upper(a[i - 1]) == upper(b[j - 2]) && upper(a[i - 2]) == upper(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::span<const std::string_view> spelt_keywords() {
    static const std::vector<std::string_view> keywords = [] {
        std::vector<std::string_view> words;
        for (const smv::SectionKeyword& keyword : smv::section_keywords)
            if (keyword.use != smv::KeywordUse::formula) words.push_back(keyword.word);
        words.push_back("transition");
        return words;
    }();
    return keywords;
}

std::optional<std::string_view> misspelt_keyword(std::string_view word,
                                                 std::span<const std::string_view> keywords) {
    if (word.size() < 3 || word.size() > 12) return std::nullopt;
    if (std::find(keywords.begin(), keywords.end(), word) != keywords.end()) return std::nullopt;
    std::optional<std::string_view> nearest;
    std::size_t fewest = 3;
    for (const std::string_view keyword : keywords) {
        const std::size_t allowed = keyword.size() >= 6 ? 2 : 1;
        const std::size_t count = edits(word, keyword);
        if (count <= allowed && count < fewest) {
            nearest = keyword;
            fewest = count;
        }
    }
    return nearest;
}

}  // namespace ruvello
