#include "smv/lexer.h"

#include <array>

#include "smv/vocabulary.h"

namespace ruvello::smv {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The symbols, longest first, so that the first one that matches is the
// token.
constexpr std::array<std::string_view, 31> symbols{
    "<->", "->", "!=", "<=", ">=", ":=", "..", "::", "<<", ">>", "!", "&", "|", "=", "<", ">",
    "+",   "-",  "*",  "/",  "(",  ")",  "[",  "]",  "{",  "}",  ",", ";", ":", "?", "."};

}  // namespace

std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t line = 1, line_start = 0;
    std::size_t at = 0;
    const auto add = [&](TokenKind kind, std::size_t size) {
        tokens.push_back({kind, text.substr(at, size), line, at - line_start, at});
        at += size;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\n') {
            ++at;
            ++line;
            line_start = at;
        } else if (c == ' ' || c == '\t') {
            ++at;
        } else if (text.substr(at).starts_with("--")) {
            while (at < text.size() && text[at] != '\n') ++at;
        } else if (starts_name(c)) {
            std::size_t end = at + 1;
            while (end < text.size() && continues_name(text[end])) ++end;
            add(TokenKind::name, end - at);
        } else if (is_digit(c)) {
            std::size_t end = at + 1;
            while (end < text.size() && is_digit(text[end])) ++end;
            // A word constant (0ub4_1010) or a number run into a name.
            bool run_on = false;
            while (end < text.size() && continues_name(text[end])) {
                run_on = true;
                ++end;
            }
            add(run_on ? TokenKind::invalid : TokenKind::number, end - at);
        } else {
            std::size_t size = 0;
            for (const std::string_view symbol : symbols)
                if (text.substr(at).starts_with(symbol)) {
                    size = symbol.size();
                    break;
                }
            add(size > 0 ? TokenKind::symbol : TokenKind::invalid, size > 0 ? size : 1);
        }
    }
    tokens.push_back({TokenKind::end, text.substr(text.size()), line, at - line_start, at});
    return tokens;
}

}  // namespace ruvello::smv
