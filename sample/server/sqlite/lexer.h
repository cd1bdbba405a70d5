#pragma once

// Tokens of the Transact-SQL the server reads.

#include <string>
#include <vector>

namespace tds::sqlite {

struct Token {
    enum Kind { End, Word, Quoted, String, Number, Hex, Variable, Symbol, Bad };
    Kind kind = End;
    std::string text; // Word/Quoted: the name (brackets removed, "]]" undone); String: the
                      // value (quotes undone); Hex: the bytes; others: as written
    bool is(const char* keyword) const; // a bare word, case-insensitive
    bool symbol(const char* s) const { return kind == Symbol && text == s; }
};

// The tokens of `batch`, ending with one End token. An unterminated string or name gives
// a Bad token where it starts.
std::vector<Token> tokenize(const std::string& batch);

} // namespace tds::sqlite
