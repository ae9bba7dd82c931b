#include "textops/textops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Trim, RemovesOnlySpacesAndTabs) {
    const struct {
        const char *text, *left, *right;
    } cases[] = {
        {"  \tab\n", "ab\n", "  \tab\n"},  // a newline is no blank and stops rtrim
        {" \t ", "", ""},
        {"\v x \f", "\v x \f", "\v x \f"},
        {"ab \t", "ab \t", "ab"},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::strcpy(buffer, c.text);
        textops::ltrim(buffer);
        EXPECT_STREQ(buffer, c.left) << '"' << c.text << '"';
        std::strcpy(buffer, c.text);
        textops::rtrim(buffer);
        EXPECT_STREQ(buffer, c.right) << '"' << c.text << '"';
    }
}

// Every length around the 16- and 32-byte steps of the search, with the byte
// at every place and again right after it. The byte is also right before the
// range, where it must not be seen, and the range ends its allocation, so
// that the sanitizer builds catch a look past its end.
TEST(FindByte, FindsTheFirstOccurrenceInTheRangeOnly) {
    for (std::size_t length = 0; length <= 70; ++length) {
        for (std::size_t at = 0; at <= length; ++at) {
            const std::unique_ptr<char[]> text(new char[length + 1]);
            std::memset(text.get(), 'a', length + 1);
            text[0] = 'c';
            const char* first = text.get() + 1;
            if (at < length) text[1 + at] = 'c';
            if (at + 1 < length) text[2 + at] = 'c';
            EXPECT_EQ(textops::find_byte(first, first + length, 'c'), first + at)
                << "length " << length << ", at " << at;
        }
    }
}

TEST(Find, AgreesWithTheStandardSearchWithoutLookingPastTheText) {
    // Texts of few letters, so that partial matches abound; each is alone in
    // its allocation, so that a sanitizer build catches a look past its end.
    std::mt19937 random(11);
    const std::string_view matches[] = {"a", "ab", "ba", "aab", "abab", "Proc",
                                        "aaaaaaaaaaaaaaaaaa"};
    for (std::size_t length = 0; length <= 80; ++length) {
        for (int round = 0; round < 20; ++round) {
            const std::unique_ptr<char[]> storage(new char[length]);
            for (std::size_t i = 0; i < length; ++i) storage[i] = "aabProc"[random() % 7];
            const std::string_view text(storage.get(), length);
            for (const std::string_view match : matches)
                for (std::size_t from = 0; from <= length + 1; from += 1 + length / 8)
                    EXPECT_EQ(textops::find(text, match, from), text.find(match, from))
                        << text << " / " << match << " from " << from;
        }
    }
}

// Lengths around the 16-byte steps and around the 255 blocks that the count
// sums at a time, texts made of the bytes looked for only (where each of the
// count's counters fills up) or of a few bytes at random; each text alone in
// its allocation, so that a sanitizer build catches a look past its end.
TEST(CountHeldBytesAndPrefixes, AgreeWithALookAtEachByte) {
    std::mt19937 random(5);
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 70; ++length) lengths.push_back(length);
    for (const std::size_t length : {255 * 16 - 1, 255 * 16, 255 * 16 + 1, 255 * 16 + 17, 9000})
        lengths.push_back(length);
    for (const std::size_t length : lengths) {
        for (const std::string_view alphabet : {"\n", "ab;", "abcdefgh;P[\n", "xya;\nxya;\nb"}) {
            const std::unique_ptr<char[]> storage(new char[length]);
            for (std::size_t i = 0; i < length; ++i) storage[i] = alphabet[random() % alphabet.size()];
            const std::string_view text(storage.get(), length);
            EXPECT_EQ(textops::count_byte(text, '\n'),
                      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')))
                << "length " << length << ", bytes " << alphabet;
            const unsigned expected = unsigned{text.find(';') != text.npos} |
                                      unsigned{text.find('P') != text.npos} << 1 |
                                      unsigned{text.find('[') != text.npos} << 2;
            EXPECT_EQ((textops::bytes_held<';', 'P', '['>(text)), expected)
                << "length " << length << ", bytes " << alphabet;
            std::vector<std::size_t> starts, expected_starts;
            textops::visit_prefixes<"P", "ab">(text, 0, [&](std::size_t at) {
                starts.push_back(at);
                return true;
            });
            for (std::size_t at = 0; at < text.size(); ++at)
                if (text[at] == 'P' || text.substr(at).starts_with("ab")) expected_starts.push_back(at);
            EXPECT_EQ(starts, expected_starts) << "length " << length << ", bytes " << alphabet;
            // The lines before the first that holds a prefix, each with whether it
            // holds a ';'; and, stopped by the visit, the first five of them.
            for (const std::size_t wanted : {SIZE_MAX, std::size_t{5}}) {
                std::vector<std::pair<std::string_view, bool>> lines, expected_lines;
                textops::visit_lines_before<';', "P", "ab">(text, [&](std::string_view line, bool holds) {
                    lines.emplace_back(line, holds);
                    return lines.size() < wanted;
                });
                for (std::size_t start = 0, end; (end = text.find('\n', start)) != text.npos &&
                                                 expected_lines.size() < wanted;
                     start = end + 1) {
                    const std::string_view line = text.substr(start, end + 1 - start);
                    if (line.find('P') != line.npos || line.find("ab") != line.npos) break;
                    expected_lines.emplace_back(line, line.find(';') != line.npos);
                }
                EXPECT_EQ(lines, expected_lines) << "length " << length << ", bytes " << alphabet;
            }
        }
    }
}

// Each case into another buffer and in place; a result that does not fit
// leaves the destination as it was and nothing is written past the capacity.
TEST(Replace, RewritesEveryOccurrenceWithinTheCapacity) {
    const struct {
        const char *source, *match, *replacement;
        int capacity, returned;
        const char* result;  // nullptr: the destination is unchanged
    } cases[] = {
        {"abcabc", "b", "XYZ", 64, 0, "aXYZcaXYZc"},  // growing
        {"abcabc", "abc", "Q", 64, 0, "QQ"},          // shrinking
        {"a-b-c", "-", "+", 64, 0, "a+b+c"},
        {"aXa", "a", "aa", 64, 0, "aaXaa"},  // a replacement is not searched again
        {"aaaa", "aa", "xyz", 64, 0, "xyzxyz"},  // occurrences do not overlap
        {"abc", "", "Q", 64, 0, "abc"},
        {"abc", nullptr, "Q", 64, 0, "abc"},
        {"a-b-c", "-", nullptr, 64, 0, "abc"},
        {"abc", "b", "XX", 5, 0, "aXXc"},  // exactly the room it needs
        {"abc", "b", "XX", 4, 5, nullptr},
        {"abc", "b", "XX", 0, 5, nullptr},
        {"abc", "z", "Q", 3, 4, nullptr},
        {"aaaaaa", "aa", "b", 4, 0, "bbb"},  // a longer source whose result fits
    };
    for (const auto& c : cases) {
        for (const bool in_place : {false, true}) {
            char buffer[80];
            std::memset(buffer, '#', sizeof buffer);
            std::strcpy(buffer, in_place ? c.source : "");
            const std::string before(buffer);
            const std::size_t untouched = std::max<std::size_t>(c.capacity, before.size() + 1);
            EXPECT_EQ(textops::replace(buffer, c.capacity, in_place ? buffer : c.source, c.match,
                                       c.replacement),
                      c.returned)
                << c.source << (in_place ? " in place" : "");
            EXPECT_STREQ(buffer, c.result ? c.result : before.c_str()) << c.source;
            EXPECT_EQ(std::string(buffer + untouched, sizeof buffer - untouched),
                      std::string(sizeof buffer - untouched, '#'));
        }
    }
    char buffer[8];
    EXPECT_EQ(textops::replace(nullptr, -1, nullptr, "a", "b"), -1);
    EXPECT_EQ(textops::replace(buffer, -1, nullptr, "a", "b"), -2);
    EXPECT_EQ(textops::replace(buffer, 8, nullptr, "a", "b"), -3);
}

}  // namespace
