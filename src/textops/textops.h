// Text primitives used by the translator: blank trimming and substitution of
// every occurrence of a text.
//
// The char* functions work in place on terminator-ended strings inside a
// caller's buffer and never allocate. The string_view overloads give the same
// rules to code that works on views, so each rule lives in one place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textops {

// A blank is a space or a horizontal tab, nothing else: newline, carriage
// return, vertical tab and form feed are not blanks.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

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

#if defined(__SSE2__)
namespace detail {
// Bit i is set when byte i of the 16 at `at` is the byte repeated in `c`.
inline unsigned byte_hits(const char* at, __m128i c) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, c)));
}
}  // namespace detail
#endif

// Whether `text` holds `word` from `at` on. Compared in place: the words of
// a model are short, and a call of memcmp would cost more.
[[gnu::always_inline]] inline bool holds_at(std::string_view text, std::size_t at, std::string_view word) {
    if (at > text.size() || word.size() > text.size() - at) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (text[at + i] != word[i]) return false;
    return true;
}

// `s` without its leading blanks. Lines are indented with up to a few
// dozen blanks: 16 bytes are looked at a time where there are as many.
[[gnu::always_inline]] inline std::string_view ltrim(std::string_view s) {
    std::size_t blanks = 0;
#if defined(__SSE2__)
    using detail::byte_hits;
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    while (s.size() - blanks >= 16) {
        const unsigned others = ~(byte_hits(s.data() + blanks, space) |
                                  byte_hits(s.data() + blanks, tab)) & 0xFFFF;
        if (others) return s.substr(blanks + __builtin_ctz(others));
        blanks += 16;
    }
#endif
    while (blanks < s.size() && is_blank(s[blanks])) ++blanks;
    return s.substr(blanks);
}

// The first `c` in [first, last), or last. Most searches end within a short
// line: its first 32 bytes are looked at here, 16 at a time, since a call to
// memchr costs more than that search; memchr takes over on longer texts.
[[gnu::always_inline]] inline const char* find_byte(const char* first, const char* last, char c) {
#if defined(__SSE2__)
    using detail::byte_hits;
    if (last - first < 16) {
        while (first != last && *first != c) ++first;
        return first;
    }
    const __m128i wanted = _mm_set1_epi8(c);
    if (const unsigned hits = byte_hits(first, wanted)) return first + __builtin_ctz(hits);
    if (last - first <= 32) {
        // The last 16 bytes, some of them looked at already.
        const unsigned hits = byte_hits(last - 16, wanted);
        return hits ? last - 16 + __builtin_ctz(hits) : last;
    }
    if (const unsigned hits = byte_hits(first + 16, wanted))
        return first + 16 + __builtin_ctz(hits);
    first += 32;
#endif
    if (first == last) return last;
    const void* found = std::memchr(first, c, static_cast<std::size_t>(last - first));
    return found ? static_cast<const char*>(found) : last;
}

// A text of one or two bytes that find_prefix looks for: "P", "Pr".
struct Prefix {
    char first = 0, second = 0;
    std::size_t size = 0;
    template <std::size_t N>
    consteval Prefix(const char (&text)[N]) : first(text[0]), second(text[N > 2 ? 1 : 0]), size(N - 1) {
        static_assert(N == 2 || N == 3, "a prefix is one or two bytes");
    }
    constexpr bool at(std::string_view text, std::size_t place) const {
        return text[place] == first &&
               (size == 1 || (place + 1 < text.size() && text[place + 1] == second));
    }
};

namespace detail {
#if defined(__SSE2__)
// Bit i is set when one of `prefixes` starts at byte i of the 16 at `at`.
// `next` holds the 16 bytes from `at + 1`.
template <Prefix... prefixes>
inline unsigned prefix_hits(__m128i here, __m128i next) {
    const auto hits_of = [&](const Prefix& prefix) {
        const __m128i first = _mm_cmpeq_epi8(here, _mm_set1_epi8(prefix.first));
        return prefix.size == 1 ? first
                                : _mm_and_si128(first, _mm_cmpeq_epi8(next, _mm_set1_epi8(prefix.second)));
    };
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, hits_of(prefixes))), ...);
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// Whether a prefix may start with each byte.
template <Prefix... prefixes>
struct FirstBytes {
    bool table[256] = {};
    consteval FirstBytes() { ((table[static_cast<unsigned char>(prefixes.first)] = true), ...); }
};
template <Prefix... prefixes>
inline constexpr FirstBytes<prefixes...> first_bytes;
}  // namespace detail

// Calls `visit(place)` for each place in `text`, from `from` on and in
// order, where one of `prefixes` starts, until it returns false: one pass
// over a line answers what several searches would.
template <Prefix... prefixes, class Visit>
[[gnu::always_inline]] inline void visit_prefixes(std::string_view text, std::size_t from, Visit&& visit) {
#if defined(__SSE2__)
    // 16 places at a time. The last block ends with the text, and may look
    // again at places of the one before: those are masked.
    if (from < text.size() && text.size() - from >= 16) {
        const char* const data = text.data();
        const std::size_t last_block = text.size() - 16;
        for (std::size_t at = from;; at += 16) {
            const std::size_t block = std::min(at, last_block);
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block));
            // Past the text there is nothing for a second byte to match.
            const __m128i next = block < last_block
                                     ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block + 1))
                                     : _mm_srli_si128(here, 1);
            for (unsigned hits = detail::prefix_hits<prefixes...>(here, next) & (~0u << (at - block));
                 hits != 0; hits &= hits - 1)
                if (!visit(block + __builtin_ctz(hits))) return;
            if (block == last_block) return;
        }
    }
#endif
    for (std::size_t place = from; place < text.size(); ++place)
        if (detail::first_bytes<prefixes...>.table[static_cast<unsigned char>(text[place])] &&
            (prefixes.at(text, place) || ...) && !visit(place))
            return;
}

// Calls `visit(line, holds)` for each line of `text` that a newline ends,
// in order, `holds` telling whether the line holds `byte`, until `visit`
// returns false or up to the first line where one of `prefixes` starts,
// which it does not visit. One pass over the lines, 16 bytes at a time: a
// caller that goes through many lines looks at each only at its end.
template <char byte, Prefix... prefixes, class Visit>
[[gnu::always_inline]] inline void visit_lines_before(std::string_view text, Visit&& visit) {
    std::size_t line_start = 0, at = 0;
    bool holds = false;  // the line so far
    const auto visit_line_to = [&](std::size_t end) {
        const bool more = visit(text.substr(line_start, end - line_start), holds);
        line_start = end;
        holds = false;
        return more;
    };
#if defined(__SSE2__)
    // Each block's second bytes are those of the 16 from the block's second.
    for (const char* const data = text.data(); text.size() - at > 16; at += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
        const unsigned stop = detail::prefix_hits<prefixes...>(here, next);
        const unsigned before_stop = stop ? (stop & (0u - stop)) - 1 : 0xFFFF;
        unsigned held = detail::byte_hits(data + at, _mm_set1_epi8(byte)) & before_stop;
        for (unsigned ends = detail::byte_hits(data + at, _mm_set1_epi8('\n')) & before_stop;
             ends != 0; ends &= ends - 1) {
            const unsigned end = static_cast<unsigned>(__builtin_ctz(ends));
            const unsigned to_end = (2u << end) - 1;  // the bytes up to the line's end
            holds |= (held & to_end) != 0;
            held &= ~to_end;
            if (!visit_line_to(at + end + 1)) return;
        }
        if (stop) return;
        holds |= held != 0;
    }
#endif
    for (; at < text.size(); ++at) {
        if (detail::first_bytes<prefixes...>.table[static_cast<unsigned char>(text[at])] &&
            (prefixes.at(text, at) || ...))
            return;
        holds |= text[at] == byte;
        if (text[at] == '\n' && !visit_line_to(at + 1)) return;
    }
}

// The first place in `text` at or after `from` where one of `prefixes`
// starts, or npos. find_prefix<";", "P">(line).
template <Prefix... prefixes>
[[gnu::always_inline]] inline std::size_t find_prefix(std::string_view text, std::size_t from = 0) {
    std::size_t found = std::string_view::npos;
    visit_prefixes<prefixes...>(text, from, [&](std::size_t place) {
        found = place;
        return false;
    });
    return found;
}

namespace detail {
// bytes_held for a long text, searched for each byte in turn, each search
// ending at its first find: memchr goes through the rest faster than one
// pass. Out of line, so that the short texts' pass needs no registers kept
// across calls.
template <char... bytes>
[[gnu::noinline]] unsigned long_text_holds(std::string_view text) {
    unsigned held = 0, k = 0;
    const char* const end = text.data() + text.size();
    ((held |= static_cast<unsigned>(find_byte(text.data(), end, bytes) != end) << k++), ...);
    return held;
}
}  // namespace detail

// Which of `bytes` `text` holds: bit k is set when it holds the k-th. One
// pass, 16 bytes at a time, with no stop at the first found: on the short
// lines of a model that costs less than stopping.
template <char... bytes>
[[gnu::always_inline]] inline unsigned bytes_held(std::string_view text) {
    if (text.size() > 256) [[unlikely]]
        return detail::long_text_holds<bytes...>(text);
    unsigned held = 0;
    std::size_t at = 0;
#if defined(__SSE2__)
    if (text.size() >= 16) {
        __m128i found[sizeof...(bytes)] = {};
        // The last block ends with the text, some of it looked at already.
        for (const std::size_t last_block = text.size() - 16;; at += 16) {
            const std::size_t block = std::min(at, last_block);
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + block));
            std::size_t k = 0;
            ((found[k] = _mm_or_si128(found[k], _mm_cmpeq_epi8(here, _mm_set1_epi8(bytes))), ++k), ...);
            if (block == last_block) break;
        }
        for (std::size_t k = 0; k < sizeof...(bytes); ++k)
            held |= static_cast<unsigned>(_mm_movemask_epi8(found[k]) != 0) << k;
        return held;
    }
#endif
    // A shorter text, as most lines of a model are, is looked at in two
    // words that overlap and cover it, all of their bytes at once.
    const auto held_in_words = [&]<class Word>(Word) {
        Word first, last;
        std::memcpy(&first, text.data(), sizeof first);
        std::memcpy(&last, text.data() + text.size() - sizeof last, sizeof last);
        constexpr Word ones = static_cast<Word>(~Word{0}) / 0xFF, highs = ones << 7;
        // Whether a byte of `word` is zero: exact, with no false finds.
        const auto has_zero = [&](Word word) { return ((word - ones) & ~word & highs) != 0; };
        unsigned k = 0;
        ((held |= static_cast<unsigned>(has_zero(first ^ ones * static_cast<unsigned char>(bytes)) ||
                                        has_zero(last ^ ones * static_cast<unsigned char>(bytes)))
                  << k++),
         ...);
        return held;
    };
    if (text.size() >= 8) return held_in_words(std::uint64_t{});
    if (text.size() >= 4) return held_in_words(std::uint32_t{});
    for (; at < text.size(); ++at) {
        unsigned k = 0;
        ((held |= static_cast<unsigned>(text[at] == bytes) << k++), ...);
    }
    return held;
}

#if defined(__SSE2__)
namespace detail {
// Bit i is set when bytes i and i + 1 from `at` are `first` and `second`.
inline unsigned pair_hits(const char* at, __m128i first, __m128i second) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second))));
}
}  // namespace detail
#endif

// Position of the first occurrence of `match` in `text` at or after `from`,
// or npos. An empty `match` is found at `from`.
//
// Where there are 16 places or more to look at, the places that hold the
// match's first two characters are found 16 at a time, and only those are
// compared; otherwise find_byte goes to each place holding its first
// character. On the short texts of a model this is faster than memmem, whose
// setup costs more than the search.
[[gnu::always_inline]] inline std::size_t find(std::string_view text, std::string_view match, std::size_t from = 0) {
    if (match.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (from > text.size() || match.size() > text.size() - from) return std::string_view::npos;
    const std::size_t end = text.size() - match.size() + 1;  // past the last candidate start
    const auto same_from = [&](std::size_t at, std::size_t same) {
        while (same < match.size() && text[at + same] == match[same]) ++same;  // matches are short
        return same == match.size();
    };
#if defined(__SSE2__)
    if (match.size() >= 2 && end - from >= 16) {
        const __m128i first = _mm_set1_epi8(match[0]), second = _mm_set1_epi8(match[1]);
        for (std::size_t at = from;; at += 16) {
            // The last block ends at the last place, some of it looked at already.
            const std::size_t block = std::min(at, end - 16);
            unsigned hits = detail::pair_hits(text.data() + block, first, second) &
                            (~0u << (at - block));
            for (; hits != 0; hits &= hits - 1)
                if (const std::size_t place = block + __builtin_ctz(hits); same_from(place, 2))
                    return place;
            if (block == end - 16) return std::string_view::npos;
        }
    }
#endif
    for (std::size_t at = from; at < end; ++at) {
        const char* candidate = find_byte(text.data() + at, text.data() + end, match[0]);
        if (candidate == text.data() + end) break;
        at = candidate - text.data();
        if (same_from(at, 1)) return at;
    }
    return std::string_view::npos;
}

// The number of bytes `c` in `text`, counted 16 at a time: each of 16
// counters counts its place in up to 255 blocks before they are summed.
[[gnu::always_inline]] inline std::size_t count_byte(std::string_view text, char c) {
    std::size_t count = 0, at = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c), zero = _mm_setzero_si128();
    while (text.size() - at >= 16) {
        const std::size_t blocks = std::min<std::size_t>((text.size() - at) / 16, 255);
        __m128i counts = zero;
        for (std::size_t k = 0; k < blocks; ++k, at += 16)
            counts = _mm_sub_epi8(
                counts, _mm_cmpeq_epi8(
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at)), wanted));
        const __m128i sums = _mm_sad_epu8(counts, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
#endif
    for (; at < text.size(); ++at) count += text[at] == c;
    return count;
}

// Position of the first `c` in `text` at or after `from`, or npos: as
// std::string_view::find, without the call of memchr that costs more than
// the search on a short line.
[[gnu::always_inline]] inline std::size_t find(std::string_view text, char c, std::size_t from = 0) {
    if (from >= text.size()) return std::string_view::npos;
    const char* const end = text.data() + text.size();
    const char* const found = find_byte(text.data() + from, end, c);
    return found == end ? std::string_view::npos : static_cast<std::size_t>(found - text.data());
}

[[gnu::always_inline]] inline bool contains(std::string_view text, std::string_view match) {
    return find(text, match) != std::string_view::npos;
}

[[gnu::always_inline]] inline bool contains(std::string_view text, char c) {
    return find_byte(text.data(), text.data() + text.size(), c) != text.data() + text.size();
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

// Parts of a text joined by a number, as a text written once for each of
// many numbers: it is built again only when the number's size changes, and
// otherwise only the number's places are written over.
class NumberedText {
public:
    // The parts stay where they are until the next assign.
    void assign(const std::vector<std::string_view>& parts) {
        parts_ = &parts;
        number_size_ = std::string_view::npos;
    }
    // The parts joined by `number`.
    std::string_view with(std::string_view number) {
        if (number.size() != number_size_) {
            number_size_ = number.size();
            // Emptied and appended to: assign takes the longer way that lets
            // its source lie within the string.
            text_.clear();
            text_.append((*parts_)[0]);
            places_.clear();
            for (std::size_t i = 1; i < parts_->size(); ++i) {
                places_.push_back(text_.size());
                text_ += number;
                text_ += (*parts_)[i];
            }
            return text_;
        }
        for (const std::size_t place : places_)
            for (std::size_t i = 0; i < number.size(); ++i) text_[place + i] = number[i];
        return text_;
    }

private:
    const std::vector<std::string_view>* parts_ = nullptr;
    std::size_t number_size_ = std::string_view::npos;
    std::string text_;
    std::vector<std::size_t> places_;
};

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

// A path as the banner, warnings and messages show it: as given, unless it
// holds a control character; then with C-style escapes (\n, \t, \\, \033),
// so that it stays on its line and cannot start one of its own.
std::string printable(std::string_view path);

}  // namespace textops
