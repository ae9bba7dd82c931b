#include "textops/textops.h"

#include <climits>
#include <cstring>

namespace textops {

namespace {

// Capacity needed for a result of `length` characters, as replace reports it.
int needed_capacity(std::size_t length) {
    return length < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(length + 1) : INT_MAX;
}

}  // namespace

void ltrim(char* s) {
    const std::string_view text(s);
    const std::string_view rest = ltrim(text);
    if (rest.size() < text.size()) std::memmove(s, rest.data(), rest.size() + 1);
}

void rtrim(char* s) {
    const std::string_view text(s);
    const std::size_t kept = rtrim(text).size();
    std::memset(s + kept, '\0', text.size() - kept);
}

std::size_t count_occurrences(std::string_view text, std::string_view match) {
    if (match.empty()) return 0;
    std::size_t count = 0;
    for (std::size_t at = find(text, match); at != std::string_view::npos;
         at = find(text, match, at + match.size()))
        ++count;
    return count;
}

void assign_replaced(std::string& result, std::string_view text, std::string_view match,
                     std::string_view replacement) {
    result.clear();
    for_each_piece(text, match, replacement, [&](std::string_view piece) { result += piece; });
}

int replace(char* newchar, int len, const char* old, const char* mch, const char* rpl) {
    if (newchar == nullptr) return -1;
    if (len < 0) return -2;
    if (old == nullptr) return -3;

    std::string_view source(old);
    const std::string_view match = mch ? mch : "";
    const std::string_view replacement = rpl ? rpl : "";
    const std::size_t count = match.empty() ? 0 : count_occurrences(source, match);
    const std::size_t result_length =
        source.size() - count * match.size() + count * replacement.size();
    if (result_length >= static_cast<std::size_t>(len)) return needed_capacity(result_length);

    // Rewriting a buffer into itself: when the text grows, the source is first
    // moved to the end of the result's room, so that the pieces, written from
    // the start, never overtake the text still to be read.
    if (newchar == old && result_length > source.size()) {
        char* shifted = newchar + (result_length - source.size());
        std::memmove(shifted, old, source.size());
        source = std::string_view(shifted, source.size());
    }
    std::size_t written = 0;
    for_each_piece(source, match, replacement, [&](std::string_view piece) {
        std::memmove(newchar + written, piece.data(), piece.size());
        written += piece.size();
    });
    newchar[written] = '\0';
    return 0;
}

namespace {

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

std::string printable(std::string_view path) {
    if (std::none_of(path.begin(), path.end(), is_control)) return std::string(path);
    std::string shown;
    for (const unsigned char c : path) {
        switch (c) {
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\r': shown += "\\r"; break;
        case '\\': shown += "\\\\"; break;
        default:
            if (!is_control(c)) {
                shown += static_cast<char>(c);
                break;
            }
            shown += '\\';
            for (int shift : {6, 3, 0}) shown += static_cast<char>('0' + ((c >> shift) & 7));
        }
    }
    return shown;
}

}  // namespace textops
