#include "lexer.h"

#include <cctype>
#include <strings.h>

namespace tds::sqlite {

namespace {

bool wordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '$' ||
           (static_cast<unsigned char>(c) & 0x80);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A delimited run ending in `close`, where a doubled `close` stands for itself.
bool delimited(const std::string& s, std::size_t& i, char close, std::string& out) {
    for (++i; i < s.size(); ++i) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                out += close;
                ++i;
                continue;
            }
            ++i;
            return true;
        }
        out += s[i];
    }
    return false;
}

} // namespace

bool Token::is(const char* keyword) const {
    return kind == Word && strcasecmp(text.c_str(), keyword) == 0;
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const std::size_t endComment = s.find("*/", i + 2);
            i = endComment == std::string::npos ? s.size() : endComment + 2;
        } else if (c == '\'' || c == '"' || c == '[') {
            Token t;
            // "..." is a string while quoted_identifier is off, as it is by default.
            t.kind = c == '[' ? Token::Quoted : Token::String;
            if (!delimited(s, i, c == '[' ? ']' : c, t.text)) {
                out.push_back({Token::Bad, s.substr(0, 30)});
                break;
            }
            out.push_back(std::move(t));
        } else if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            Token t{Token::Hex, {}};
            std::size_t j = i + 2;
            while (j < s.size() && hexDigit(s[j]) >= 0)
                ++j;
            std::string digits = s.substr(i + 2, j - i - 2);
            if (digits.size() % 2)
                digits.insert(digits.begin(), '0');
            for (std::size_t k = 0; k < digits.size(); k += 2)
                t.text += char(hexDigit(digits[k]) * 16 + hexDigit(digits[k + 1]));
            i = j;
            out.push_back(std::move(t));
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() &&
                    std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-'))
                    ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                        ++j;
                }
            }
            out.push_back({Token::Number, s.substr(i, j - i)});
            i = j;
        } else if (c == '@') {
            std::size_t j = i + 1;
            while (j < s.size() && (s[j] == '@' || wordChar(s[j])))
                ++j;
            out.push_back({Token::Variable, s.substr(i, j - i)});
            i = j;
        } else if (wordChar(c)) {
            std::size_t j = i;
            while (j < s.size() && wordChar(s[j]))
                ++j;
            out.push_back({Token::Word, s.substr(i, j - i)});
            i = j;
        } else {
            static const char* const pairs[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
            std::string sym(1, c);
            for (const char* p : pairs)
                if (i + 1 < s.size() && s[i] == p[0] && s[i + 1] == p[1])
                    sym = p;
            out.push_back({Token::Symbol, sym});
            i += sym.size();
        }
    }
    out.push_back({Token::End, {}});
    return out;
}

} // namespace tds::sqlite
