// Text primitives used by the translator: blank trimming and substitution of
// every occurrence of a text.
//
// The char* functions work in place on terminator-ended strings inside a
// caller's buffer and never allocate. The string_view overloads give the same
// rules to code that works on views, so each rule lives in one place.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace textops {

// A blank is a space or a horizontal tab, nothing else: newline, carriage
// return, vertical tab and form feed are not blanks.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view ltrim(std::string_view s);
std::string_view rtrim(std::string_view s);

// Removes the leading blanks of `s`, moving the rest (terminator included) to
// where the string begins.
void ltrim(char* s);
// Removes the trailing blanks of `s` by overwriting them with terminators.
void rtrim(char* s);

// Position of the first occurrence of `match` in `text` at or after `from`,
// or npos. `match` must not be empty.
std::size_t find(std::string_view text, std::string_view match, std::size_t from = 0);

inline bool contains(std::string_view text, std::string_view match) {
    return find(text, match) != std::string_view::npos;
}

inline bool contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

// Number of non-overlapping occurrences of `match` in `text`, counted left to
// right, each search starting right after the previous occurrence.
std::size_t count_occurrences(std::string_view text, std::string_view match);

// The substitution algorithm shared by every rewrite of the program: hands
// `piece` the result of replacing each occurrence of `match` in `text` by
// `replacement`, as consecutive pieces from left to right. Occurrences are the
// ones count_occurrences finds; a replacement is never searched again.
//
// The next occurrence is searched only after everything before it has been
// handed out, which lets a caller write the pieces over `text` itself as long
// as its write position never passes the read position (see replace).
template <class Piece>
void for_each_piece(std::string_view text, std::string_view match, std::string_view replacement,
                    Piece&& piece) {
    if (match.empty()) {
        piece(text);
        return;
    }
    std::size_t done = 0;
    for (std::size_t at = find(text, match); at != std::string_view::npos;
         at = find(text, match, done)) {
        if (at > done) piece(text.substr(done, at - done));
        if (!replacement.empty()) piece(replacement);
        done = at + match.size();
    }
    if (done < text.size()) piece(text.substr(done));
}

// Makes `result` the text with every occurrence of `match` replaced by
// `replacement`, reusing the storage `result` already has.
void assign_replaced(std::string& result, std::string_view text, std::string_view match,
                     std::string_view replacement);

// Writes into `newchar` (capacity `len` bytes, terminator included) a copy of
// `old` in which every occurrence of `mch` is replaced by `rpl`. An absent or
// empty `mch` means no replacement; an absent `rpl` means the empty text.
// `newchar` may be the very buffer `old` lives in.
//
// Returns 0 on success; -1 when `newchar` is absent, -2 when `len` is
// negative, -3 when `old` is absent (checked in that order); otherwise the
// capacity the result needs (its length + 1) when it does not fit, leaving
// `newchar` unchanged. Never allocates and never writes past `len` bytes.
int replace(char* newchar, int len, const char* old, const char* mch, const char* rpl);

}  // namespace textops
