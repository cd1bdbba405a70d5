#pragma once

// A cursor over a batch's tokens, with what every statement's grammar shares: names,
// literals, and the syntax error that stops the batch.

#include "lexer.h"
#include "statements.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tds::sqlite {

struct SyntaxError {
    std::string near;
};

// True for the tokens that begin a statement (or end the batch).
bool startsStatement(const Token& t);
std::string lowerCase(std::string s);

class Cursor {
  public:
    explicit Cursor(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    const Token& peek(std::size_t ahead = 0) const {
        return t_[std::min(i_ + ahead, t_.size() - 1)];
    }
    const Token& next() {
        const Token& t = peek();
        if (i_ < t_.size() - 1)
            ++i_;
        return t;
    }
    [[noreturn]] void fail() const {
        const Token& t = peek();
        std::string near = t.kind == Token::End ? std::string() : t.text;
        if (t.kind == Token::Bad)
            near = t.text;
        throw SyntaxError{near};
    }
    bool accept(const char* symbol) {
        if (!peek().symbol(symbol))
            return false;
        next();
        return true;
    }
    bool acceptWord(const char* word) {
        if (!peek().is(word))
            return false;
        next();
        return true;
    }
    void expect(const char* symbol) {
        if (!accept(symbol))
            fail();
    }
    void expectWord(const char* word) {
        if (!acceptWord(word))
            fail();
    }

    std::string name() {
        const Token& t = peek();
        if ((t.kind != Token::Word && t.kind != Token::Quoted) ||
            (t.kind == Token::Word && startsStatement(t)))
            fail();
        return next().text;
    }

    // [db.][owner.]name, also db..name: the last part names the object.
    std::string objectName() {
        std::string owner;
        return objectName(owner);
    }
    // The same, with the owner as written (empty when not given, or in db..name).
    std::string objectName(std::string& owner) {
        std::string n = name();
        owner.clear();
        while (accept(".")) {
            owner = accept(".") ? std::string() : n; // db..name
            n = name();
        }
        return n;
    }

    Literal literal() {
        Literal l;
        const Token& t = peek();
        if (t.is("null")) {
            next();
            return l;
        }
        if (t.kind == Token::String) {
            l.kind = Literal::String;
            l.text = next().text;
            return l;
        }
        if (t.kind == Token::Hex) {
            l.kind = Literal::Hex;
            l.text = next().text;
            return l;
        }
        std::string sign;
        if (t.symbol("-") || t.symbol("+")) {
            sign = next().text == "-" ? "-" : "";
        }
        if (peek().kind != Token::Number)
            fail();
        l.kind = Literal::Number;
        l.text = sign + next().text;
        return l;
    }

    bool atLiteral() const {
        const Token& t = peek();
        return t.is("null") || t.kind == Token::String || t.kind == Token::Hex ||
               t.kind == Token::Number || t.symbol("-") || t.symbol("+");
    }

    // Nesting deeper than any statement the clients send is refused, not recursed into.
    struct Depth {
        explicit Depth(Cursor& c) : c_(c) {
            if (++c_.depth_ > 64)
                c_.fail();
        }
        ~Depth() { --c_.depth_; }
        Cursor& c_;
    };

  protected:
    bool atStart() const { return i_ == 0; }

  private:
    std::vector<Token> t_;
    std::size_t i_ = 0;
    int depth_ = 0;
};

// WHERE ... when the next word is WHERE.
std::optional<Condition> parseWhere(Cursor& c);

} // namespace tds::sqlite
