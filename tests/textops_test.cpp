#include "textops/textops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

TEST(Trim, RemovesOnlySpacesAndTabs) {
    const struct {
        const char *text, *left, *right;
    } cases[] = {
        {"  \tab\n", "ab\n", "  \tab\n"},  // a newline is no blank and stops rtrim
        {" \t ", "", ""},
        {"", "", ""},
        {" \r\n", "\r\n", " \r\n"},
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
    char line[] = "xx)  tail\n";  // ltrim inside a larger buffer
    textops::ltrim(line + 3);
    EXPECT_STREQ(line, "xx)tail\n");
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

TEST(Replace, GivesTheSameResultIntoAnotherBufferAndInPlace) {
    const struct {
        const char *source, *match, *replacement, *result;
    } cases[] = {
        {"abcabc", "b", "XYZ", "aXYZcaXYZc"},      // growing
        {"abcabc", "abc", "Q", "QQ"},              // shrinking
        {"a-b-c", "-", "+", "a+b+c"},              // same length
        {"aXa", "a", "aa", "aaXaa"},               // a replacement is not searched again
        {"aaa", "aa", "b", "ba"},                  // occurrences do not overlap
        {"aaaa", "aa", "xyz", "xyzxyz"},
        {"abc", "z", "Q", "abc"},
        {"abc", "", "Q", "abc"},
        {"abc", nullptr, "Q", "abc"},
        {"a-b-c", "-", nullptr, "abc"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        char destination[64];
        std::memset(destination, '#', sizeof destination);
        EXPECT_EQ(textops::replace(destination, 64, c.source, c.match, c.replacement), 0);
        EXPECT_STREQ(destination, c.result) << c.source;
        char buffer[64];
        std::strcpy(buffer, c.source);
        EXPECT_EQ(textops::replace(buffer, 64, buffer, c.match, c.replacement), 0);
        EXPECT_STREQ(buffer, c.result) << "in place: " << c.source;
    }
}

TEST(Replace, ReportsTheNeededCapacityAndLeavesTheDestinationAlone) {
    const struct {
        const char *source, *match, *replacement;
        int capacity, expected;
        const char* result;  // nullptr: destination unchanged
    } cases[] = {
        {"abc", "b", "XX", 4, 5, nullptr},
        {"abc", "b", "XX", 5, 0, "aXXc"},
        {"abc", "z", "Q", 3, 4, nullptr},
        {"abc", "", "Q", 0, 4, nullptr},
        {"aaaaaa", "aa", "b", 4, 0, "bbb"},  // a longer source whose result fits
        {"abcabc", "abc", "Q", 2, 3, nullptr},
    };
    for (const auto& c : cases) {
        char destination[16] = "untouched";
        std::memset(destination + 10, '#', 6);
        EXPECT_EQ(textops::replace(destination, c.capacity, c.source, c.match, c.replacement),
                  c.expected)
            << c.source << " capacity " << c.capacity;
        EXPECT_STREQ(destination, c.result ? c.result : "untouched");
        EXPECT_EQ(std::string(destination + 10, 6), "######");  // nothing past the capacity
    }
    char buffer[8];
    EXPECT_EQ(textops::replace(nullptr, -1, nullptr, "a", "b"), -1);
    EXPECT_EQ(textops::replace(buffer, -1, nullptr, "a", "b"), -2);
    EXPECT_EQ(textops::replace(buffer, 8, nullptr, "a", "b"), -3);
}

TEST(Replace, GrowsLongTextsInPlaceToTheCapacityLimit) {
    std::string text, expected;
    for (int i = 0; i < 10000; ++i) {
        text += "x[Proc]";
        expected += "x[1 .. N]";
    }
    std::string buffer = text;
    buffer.resize(expected.size() + 1);  // exactly the room the result needs
    ASSERT_EQ(textops::replace(buffer.data(), static_cast<int>(buffer.size()) - 1, buffer.data(),
                               "Proc", "1 .. N"),
              static_cast<int>(buffer.size()));
    ASSERT_EQ(textops::replace(buffer.data(), static_cast<int>(buffer.size()), buffer.data(),
                               "Proc", "1 .. N"),
              0);
    EXPECT_EQ(std::string(buffer.c_str()), expected);
}

}  // namespace
