#include "cursor.h"

#include <cctype>

namespace tds::sqlite {

namespace {

const char* const statementWords[] = {"select", "update",   "insert", "delete", "use",   "begin",
                                      "commit", "rollback", "set",    "if",     "exec",  "execute",
                                      "else",   "end",      "go",     "grant",  "revoke"};

} // namespace

bool startsStatement(const Token& t) {
    if (t.kind == Token::End || t.symbol(";"))
        return true;
    for (const char* w : statementWords)
        if (t.is(w))
            return true;
    return false;
}

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

} // namespace tds::sqlite
