#include "lexer.h"
#include "statements.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tds::sqlite {

namespace {

struct SyntaxError {
    std::string near;
};

const char* const statementWords[] = {"select", "update",  "insert",   "delete", "use",
                                      "begin",  "commit",  "rollback", "set",    "if",
                                      "exec",   "execute", "else",     "end",    "go"};

bool startsStatement(const Token& t) {
    if (t.kind == Token::End || t.symbol(";"))
        return true;
    for (const char* w : statementWords)
        if (t.is(w))
            return true;
    return false;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    std::vector<Statement> batch() {
        std::vector<Statement> out;
        while (peek().kind != Token::End) {
            if (accept(";"))
                continue;
            out.push_back(statement());
        }
        return out;
    }

  private:
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
        std::string n = name();
        while (accept(".")) {
            accept("."); // db..name
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

    Operand operand() {
        Operand o;
        if (atLiteral()) {
            o.literal = literal();
            return o;
        }
        o.column = true;
        o.name = objectName();
        return o;
    }

    Condition orCondition() {
        Condition first = andCondition();
        if (!peek().is("or"))
            return first;
        Condition c;
        c.kind = Condition::Or;
        c.parts.push_back(std::move(first));
        while (acceptWord("or"))
            c.parts.push_back(andCondition());
        return c;
    }

    Condition andCondition() {
        Condition first = primary();
        if (!peek().is("and"))
            return first;
        Condition c;
        c.kind = Condition::And;
        c.parts.push_back(std::move(first));
        while (acceptWord("and"))
            c.parts.push_back(primary());
        return c;
    }

    // Nesting deeper than any statement the clients send is refused, not recursed into.
    struct Depth {
        explicit Depth(Parser& p) : p_(p) {
            if (++p_.depth_ > 64)
                p_.fail();
        }
        ~Depth() { --p_.depth_; }
        Parser& p_;
    };

    Condition primary() {
        const Depth depth(*this);
        if (acceptWord("not")) {
            Condition c;
            c.kind = Condition::Not;
            c.parts.push_back(primary());
            return c;
        }
        if (accept("(")) {
            Condition c = orCondition();
            expect(")");
            return c;
        }
        Condition c;
        c.left = operand();
        if (acceptWord("is")) {
            c.kind = Condition::IsNull;
            c.negated = acceptWord("not");
            expectWord("null");
            return c;
        }
        static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        for (const char* op : ops)
            if (accept(op)) {
                c.op = op;
                c.right = operand();
                return c;
            }
        fail();
    }

    std::optional<Condition> where() {
        if (!acceptWord("where"))
            return std::nullopt;
        return orCondition();
    }

    // holdlock, noholdlock, readpast, shared, (index i), (prefetch n) ... after a table.
    void tableHints() {
        for (;;) {
            if (acceptWord("holdlock") || acceptWord("noholdlock") || acceptWord("readpast") ||
                acceptWord("shared"))
                continue;
            if (peek().symbol("(") && (peek(1).is("index") || peek(1).is("prefetch") ||
                                       peek(1).is("lru") || peek(1).is("mru"))) {
                while (!accept(")")) {
                    if (peek().kind == Token::End)
                        fail();
                    next();
                }
                continue;
            }
            return;
        }
    }

    // at isolation ..., for read only / for update, plan '...'.
    void trailingClauses() {
        for (;;) {
            if (acceptWord("at")) {
                expectWord("isolation");
                acceptWord("level");
                while (peek().kind == Token::Number || peek().is("read") ||
                       peek().is("uncommitted") || peek().is("committed") ||
                       peek().is("repeatable") || peek().is("serializable"))
                    next();
                continue;
            }
            if (acceptWord("for")) {
                if (acceptWord("read"))
                    expectWord("only");
                else
                    expectWord("update");
                continue;
            }
            return;
        }
    }

    Select select() {
        Select s;
        do {
            SelectItem item;
            if (accept("*")) {
                item.kind = SelectItem::Star;
            } else if (peek().is("count") && peek(1).symbol("(")) {
                next();
                next();
                expect("*");
                expect(")");
                item.kind = SelectItem::CountStar;
            } else if (peek().kind == Token::Variable) {
                item.kind = SelectItem::Variable;
                item.name = lower(next().text);
            } else if (atLiteral()) {
                item.kind = SelectItem::Constant;
                item.literal = literal();
            } else {
                item.kind = SelectItem::Column;
                item.name = objectName();
            }
            s.items.push_back(std::move(item));
        } while (accept(","));
        if (acceptWord("from")) {
            s.table = objectName();
            tableHints();
            s.where = where();
            if (acceptWord("order")) {
                expectWord("by");
                do {
                    std::string column = objectName();
                    bool descending = acceptWord("desc");
                    if (!descending)
                        acceptWord("asc");
                    s.orderBy.emplace_back(std::move(column), descending);
                } while (accept(","));
            }
            trailingClauses();
        }
        return s;
    }

    Update update() {
        Update u;
        u.table = objectName();
        expectWord("set");
        do {
            std::string column = objectName();
            expect("=");
            u.set.emplace_back(std::move(column), literal());
        } while (accept(","));
        u.where = where();
        return u;
    }

    Insert insert() {
        Insert ins;
        acceptWord("into");
        ins.table = objectName();
        if (accept("(")) {
            do
                ins.columns.push_back(name());
            while (accept(","));
            expect(")");
        }
        expectWord("values");
        expect("(");
        do
            ins.values.push_back(literal());
        while (accept(","));
        expect(")");
        return ins;
    }

    Delete remove() {
        Delete d;
        acceptWord("from");
        d.table = objectName();
        d.where = where();
        return d;
    }

    void transactionName() {
        if (!acceptWord("tran") && !acceptWord("transaction"))
            acceptWord("work");
        const Token& t = peek();
        if (t.kind == Token::Quoted || (t.kind == Token::Word && !startsStatement(t)))
            next();
    }

    Execute execute(std::string procedure) {
        Execute e;
        e.procedure = std::move(procedure);
        if (startsStatement(peek()))
            return e;
        do {
            RpcParameter p;
            if (peek().kind == Token::Variable) {
                p.name = next().text;
                expect("=");
            }
            if (peek().kind == Token::Word && !startsStatement(peek()) && !peek().is("null")) {
                p.value = next().text;
            } else {
                Literal l = literal();
                p.null = l.kind == Literal::Null;
                p.value = l.text;
            }
            e.parameters.push_back(std::move(p));
        } while (accept(","));
        return e;
    }

    Statement statement() {
        const Depth depth(*this);
        Statement st;
        const Token& t = peek();
        if (acceptWord("select")) {
            st.body = select();
        } else if (acceptWord("update")) {
            st.body = update();
        } else if (acceptWord("insert")) {
            st.body = insert();
        } else if (acceptWord("delete")) {
            st.body = remove();
        } else if (acceptWord("use")) {
            st.body = Use{name()};
        } else if (t.is("begin") && (peek(1).is("tran") || peek(1).is("transaction"))) {
            next();
            transactionName();
            st.body = Begin{};
        } else if (acceptWord("commit")) {
            transactionName();
            st.body = Commit{};
        } else if (acceptWord("rollback")) {
            transactionName();
            st.body = Rollback{};
        } else if (acceptWord("set")) {
            SetOption s;
            while (!startsStatement(peek())) {
                if (peek().kind == Token::Bad)
                    fail();
                s.words.push_back(lower(next().text));
            }
            if (s.words.empty())
                fail();
            st.body = std::move(s);
        } else if (acceptWord("if")) {
            If branch;
            const bool parenthesized = accept("(");
            if (peek().kind != Token::Variable)
                fail();
            branch.variable = lower(next().text);
            static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">="};
            for (const char* op : ops)
                if (branch.op.empty() && accept(op))
                    branch.op = op;
            if (branch.op.empty() || peek().kind != Token::Number)
                fail();
            branch.value = std::atoll(next().text.c_str());
            if (parenthesized)
                expect(")");
            branch.then = std::make_shared<Statement>(statement());
            st.body = std::move(branch);
        } else if (acceptWord("exec") || acceptWord("execute")) {
            st.body = execute(objectName());
        } else if (t.kind == Token::Word && lower(t.text).rfind("sp_", 0) == 0 && i_ == 0) {
            st.body = execute(next().text); // a procedure call first in its batch
        } else {
            fail();
        }
        return st;
    }

    std::vector<Token> t_;
    std::size_t i_ = 0;
    int depth_ = 0;
};

} // namespace

ParsedBatch parseBatch(const std::string& batch) {
    ParsedBatch out;
    try {
        out.statements = Parser(tokenize(batch)).batch();
    } catch (const SyntaxError& e) {
        out.statements.clear();
        out.syntaxErrorNear = e.near;
    }
    return out;
}

} // namespace tds::sqlite
