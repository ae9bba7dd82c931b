#include "textops/textops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Trim, RemovesOnlySpacesAndTabs) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
    } cases[] = {
        {"  \tab\n", "ab\n", "  \tab\n"},  // a newline is no blank: it stops rtrim
        {" \t ", "", ""},
        {"", "", ""},
        {"ab \t", "ab \t", "ab"},
        {" \t\n", "\n", " \t\n"},  // what is left of a blank line
        {" \r\n", "\r\n", " \r\n"},
        {"\v x \f", "\v x \f", "\v x \f"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.text);
        textops::ltrim(buffer);
        EXPECT_STREQ(buffer, c.left) << '"' << c.text << '"';
        EXPECT_EQ(textops::ltrim(std::string_view(c.text)), c.left);
        std::strcpy(buffer, c.text);
        textops::rtrim(buffer);
        EXPECT_STREQ(buffer, c.right) << '"' << c.text << '"';
        EXPECT_EQ(textops::rtrim(std::string_view(c.text)), c.right);
    }
}

TEST(Trim, LtrimMovesTextWithinALargerBuffer) {
    char buffer[] = "xx)  tail\n";
    textops::ltrim(buffer + 3);
    EXPECT_STREQ(buffer, "xx)tail\n");
}

struct ReplaceCase {
    const char* source;
    const char* match;
    const char* replacement;
    const char* result;
};

const ReplaceCase replace_cases[] = {
    {"abcabc", "b", "XYZ", "aXYZcaXYZc"},
    {"abcabc", "abc", "Q", "QQ"},
    {"aXa", "a", "aa", "aaXaa"},  // the inserted text is not searched again
    {"aaa", "aa", "b", "ba"},     // occurrences do not overlap
    {"aaaa", "aa", "xyz", "xyzxyz"},
    {"abc", "z", "Q", "abc"},
    {"abc", "", "Q", "abc"},
    {"abc", nullptr, "Q", "abc"},
    {"a-b-c", "-", nullptr, "abc"},
    {"a-b-c", "-", "", "abc"},
    {"a-b-c", "-", "+", "a+b+c"},  // same length
    {"Proc.Proc", "Proc", "Node", "Node.Node"},
    {"x[Proc] : Proc;", "Proc", "12", "x[12] : 12;"},
    {"Proc", "Proc", "1 .. N", "1 .. N"},
    {"", "a", "b", ""},
    {"abab", "abab", "", ""},
};

TEST(Replace, GivesTheSameResultIntoAnotherBufferAndInPlace) {
    for (const ReplaceCase& c : replace_cases) {
        char destination[64];
        std::memset(destination, '#', sizeof destination);
        EXPECT_EQ(textops::replace(destination, sizeof destination, c.source, c.match,
                                   c.replacement),
                  0);
        EXPECT_STREQ(destination, c.result) << c.source << " / " << (c.match ? c.match : "(null)");

        char buffer[64];
        std::strcpy(buffer, c.source);
        EXPECT_EQ(textops::replace(buffer, sizeof buffer, buffer, c.match, c.replacement), 0);
        EXPECT_STREQ(buffer, c.result) << "in place: " << c.source;

        std::string assigned = "stale";
        textops::assign_replaced(assigned, c.source, c.match ? c.match : "",
                                 c.replacement ? c.replacement : "");
        EXPECT_EQ(assigned, c.result);
    }
}

TEST(Replace, ReportsTheNeededCapacityAndLeavesTheDestinationAlone) {
    struct Case {
        const char* source;
        const char* match;
        const char* replacement;
        int capacity;
        int expected;
        const char* result;  // nullptr: destination unchanged
    } cases[] = {
        {"abc", "b", "XX", 4, 5, nullptr},
        {"abc", "b", "XX", 5, 0, "aXXc"},
        {"abc", "z", "Q", 3, 4, nullptr},  // no occurrence, capacity equal to the length
        {"abc", "z", "Q", 4, 0, "abc"},
        {"abc", "", "Q", 3, 4, nullptr},
        {"abc", "", "Q", 0, 4, nullptr},
        {"aaaaaa", "aa", "b", 4, 0, "bbb"},  // a longer source whose result fits
        {"abcabc", "abc", "Q", 3, 0, "QQ"},
        {"abcabc", "abc", "Q", 2, 3, nullptr},
    };
    for (const Case& c : cases) {
        char destination[16] = "untouched";
        EXPECT_EQ(textops::replace(destination, c.capacity, c.source, c.match, c.replacement),
                  c.expected)
            << c.source << " capacity " << c.capacity;
        EXPECT_STREQ(destination, c.result ? c.result : "untouched");
    }
}

TEST(Replace, WritesNothingPastTheCapacity) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(textops::replace(buffer, 4, "aaaaaa", "aa", "b"), 0);
    EXPECT_STREQ(buffer, "bbb");
    EXPECT_EQ(std::string(buffer + 4, 12), std::string(12, '#'));
}

TEST(Replace, ChecksArgumentsInOrder) {
    char buffer[8];
    EXPECT_EQ(textops::replace(nullptr, -1, nullptr, "a", "b"), -1);
    EXPECT_EQ(textops::replace(buffer, -1, nullptr, "a", "b"), -2);
    EXPECT_EQ(textops::replace(buffer, 8, nullptr, "a", "b"), -3);
}

TEST(Replace, GrowsInPlaceToTheCapacityLimit) {
    char buffer[12] = "PxPxP";
    // 5 + 3 * (3 - 1) = 11 characters: exactly fills 12 bytes.
    ASSERT_EQ(textops::replace(buffer, 11, buffer, "P", "abc"), 12);
    EXPECT_STREQ(buffer, "PxPxP");
    ASSERT_EQ(textops::replace(buffer, 12, buffer, "P", "abc"), 0);
    EXPECT_STREQ(buffer, "abcxabcxabc");
}

TEST(Replace, HandlesLongTextsWithManyOccurrences) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "x[Proc]";
    std::string expected;
    for (int i = 0; i < 10000; ++i) expected += "x[123]";
    std::string buffer = text;
    buffer.resize(text.size() + 1);
    ASSERT_EQ(textops::replace(buffer.data(), static_cast<int>(buffer.size()), buffer.data(),
                               "Proc", "123"),
              0);
    EXPECT_STREQ(buffer.c_str(), expected.c_str());

    std::string grown(expected.size() * 2, '\0');
    std::memcpy(grown.data(), expected.c_str(), expected.size() + 1);
    ASSERT_EQ(textops::replace(grown.data(), static_cast<int>(grown.size()), grown.data(), "123",
                               "Proc"),
              0);
    EXPECT_STREQ(grown.c_str(), text.c_str());
}

TEST(CountOccurrences, CountsLeftToRightWithoutOverlap) {
    EXPECT_EQ(textops::count_occurrences("aaaa", "aa"), 2u);
    EXPECT_EQ(textops::count_occurrences("aaa", "aa"), 1u);
    EXPECT_EQ(textops::count_occurrences("Proc[Proc]MyProc", "Proc"), 3u);
    EXPECT_EQ(textops::count_occurrences("", "Proc"), 0u);
}

}  // namespace
