// The tokens of a vorn model, as NuSMV reads them.
//
// A name is a letter or '_' followed by letters, digits and '_', '$', '#'
// or '-': NuSMV reads "x-1" as one name, and "a--" as one too, so that a
// comment must be set apart from a name before it. A comment runs from "--"
// to the end of its line. Anything else that NuSMV does not read as a token
// of the language used here (a word constant, a byte outside the language)
// becomes an invalid token, which the parser reports at its line.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ruvello::smv {

enum class TokenKind { name, number, symbol, invalid, end };

struct Token {
    TokenKind kind = TokenKind::end;
    std::string_view text;   // a view of the model text
    std::size_t line = 0;    // from 1
    std::size_t column = 0;  // bytes before it on its line
    std::size_t offset = 0;  // bytes before it in the model text

    bool is(std::string_view word) const { return kind != TokenKind::invalid && text == word; }
    std::size_t end_offset() const { return offset + text.size(); }
};

// The tokens of `text`, ending with a token of kind end at the end of the text.
std::vector<Token> tokenize(std::string_view text);

}  // namespace ruvello::smv
