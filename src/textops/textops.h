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

inline std::string_view ltrim(std::string_view s) {
    std::size_t blanks = 0;
    while (blanks < s.size() && is_blank(s[blanks])) ++blanks;
    return s.substr(blanks);
}

inline std::string_view rtrim(std::string_view s) {
    std::size_t size = s.size();
    while (size > 0 && is_blank(s[size - 1])) --size;
    return s.substr(0, size);
}

// Removes the leading blanks of `s`, moving the rest (terminator included) to
// where the string begins.
void ltrim(char* s);
// Removes the trailing blanks of `s` by overwriting them with terminators.
void rtrim(char* s);

// Position of the first occurrence of `match` in `text` at or after `from`,
// or npos. An empty `match` is found at `from`.
//
// memchr to each place holding the match's first character, then a
// comparison. On the short texts of a model this is faster than memmem,
// whose setup costs more than the search.
inline std::size_t find(std::string_view text, std::string_view match, std::size_t from = 0) {
    if (match.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (from > text.size() || match.size() > text.size() - from) return std::string_view::npos;
    const std::size_t end = text.size() - match.size() + 1;  // past the last candidate start
    for (std::size_t at = from; at < end; ++at) {
        const void* candidate = std::memchr(text.data() + at, match[0], end - at);
        if (candidate == nullptr) break;
        at = static_cast<const char*>(candidate) - text.data();
        std::size_t same = 1;  // matches are short: compare in place
        while (same < match.size() && text[at + same] == match[same]) ++same;
        if (same == match.size()) return at;
    }
    return std::string_view::npos;
}

inline bool contains(std::string_view text, std::string_view match) {
    return find(text, match) != std::string_view::npos;
}

inline bool contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

// Number of non-overlapping occurrences of `match` in `text`, counted left to
// right, each search starting right after the previous occurrence.
std::size_t count_occurrences(std::string_view text, std::string_view match);

// The substitution algorithm shared by every rewrite of the program: walks
// `text` from left to right and calls `between(piece)` for the text before
// each occurrence of `match` and after the last one (possibly empty), and
// `occurrence()` for each occurrence. Occurrences are the ones
// count_occurrences finds; each search starts right after the previous
// occurrence.
//
// The next occurrence is searched only after everything before it has been
// handed out, which lets a caller write the result over `text` itself as long
// as its write position never passes the read position (see replace).
template <class Between, class Occurrence>
void for_each_occurrence(std::string_view text, std::string_view match, Between&& between,
                         Occurrence&& occurrence) {
    std::size_t done = 0;
    if (!match.empty()) {
        for (std::size_t at = find(text, match); at != std::string_view::npos;
             at = find(text, match, done)) {
            between(text.substr(done, at - done));
            occurrence();
            done = at + match.size();
        }
    }
    between(text.substr(done));
}

// Hands `piece` the result of replacing each occurrence of `match` in `text`
// by `replacement`, as consecutive pieces from left to right. A replacement
// is never searched again.
template <class Piece>
void for_each_piece(std::string_view text, std::string_view match, std::string_view replacement,
                    Piece&& piece) {
    for_each_occurrence(text, match, piece, [&] { piece(replacement); });
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
