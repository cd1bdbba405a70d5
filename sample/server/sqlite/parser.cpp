// Statements of a batch, parsed whole before any of them runs.

#include "cursor.h"
#include "statements.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tds::sqlite {

namespace {

class Parser : public Cursor {
  public:
    using Cursor::Cursor;

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
    // holdlock, noholdlock, readpast, shared, (index i), (prefetch n) ... after a table;
    // true when holdlock is among them.
    bool tableHints() {
        bool hold = false;
        for (;;) {
            if (acceptWord("holdlock")) {
                hold = true;
                continue;
            }
            if (acceptWord("noholdlock") || acceptWord("readpast") || acceptWord("shared"))
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
            return hold;
        }
    }

    // at isolation ..., for read only / for update, plan '...'; true for isolation level 3.
    bool trailingClauses() {
        bool serializable = false;
        for (;;) {
            if (acceptWord("at")) {
                expectWord("isolation");
                acceptWord("level");
                while (peek().kind == Token::Number || peek().is("read") ||
                       peek().is("uncommitted") || peek().is("committed") ||
                       peek().is("repeatable") || peek().is("serializable")) {
                    serializable = peek().is("serializable") || peek().text == "3";
                    next();
                }
                continue;
            }
            if (acceptWord("for")) {
                if (acceptWord("read"))
                    expectWord("only");
                else
                    expectWord("update");
                continue;
            }
            return serializable;
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
            } else if (peek().kind == Token::Word && peek(1).symbol("(") && peek(2).symbol(")")) {
                item.kind = SelectItem::Function; // user_name(), show_role()
                item.name = lowerCase(next().text);
                next();
                next();
            } else if (peek().kind == Token::Variable) {
                item.kind = SelectItem::Variable;
                item.name = lowerCase(next().text);
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
            s.table = objectName(s.owner);
            s.holdlock = tableHints();
            s.where = parseWhere(*this);
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
            if (trailingClauses())
                s.holdlock = true;
        }
        return s;
    }

    Update update() {
        Update u;
        u.table = objectName(u.owner);
        expectWord("set");
        do {
            std::string column = objectName();
            expect("=");
            u.set.emplace_back(std::move(column), literal());
        } while (accept(","));
        u.where = parseWhere(*this);
        return u;
    }

    Insert insert() {
        Insert ins;
        acceptWord("into");
        ins.table = objectName(ins.owner);
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
        d.table = objectName(d.owner);
        d.where = parseWhere(*this);
        return d;
    }

    // grant|revoke {all [privileges] | action[, action]} on t [(columns)] to|from users.
    Permission permission(bool revoke) {
        Permission p;
        p.revoke = revoke;
        if (acceptWord("all")) {
            acceptWord("privileges");
            p.actions = {"select", "insert", "delete", "update"};
        } else {
            do { // the actions are statement words: read as they come
                if (peek().kind != Token::Word)
                    fail();
                const std::string action = lowerCase(next().text);
                if (action != "select" && action != "insert" && action != "delete" &&
                    action != "update")
                    fail();
                p.actions.push_back(action);
            } while (accept(","));
        }
        expectWord("on");
        p.table = objectName(p.owner);
        if (accept("(")) {
            do
                p.columns.push_back(name());
            while (accept(","));
            expect(")");
        }
        if (!acceptWord(revoke ? "from" : "to"))
            fail();
        do {
            std::string user = name();
            p.users.push_back(lowerCase(user) == "public" ? "public" : user);
        } while (accept(","));
        return p;
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
                s.words.push_back(lowerCase(next().text));
            }
            if (s.words.empty())
                fail();
            st.body = std::move(s);
        } else if (acceptWord("if")) {
            If branch;
            const bool parenthesized = accept("(");
            if (peek().kind != Token::Variable)
                fail();
            branch.variable = lowerCase(next().text);
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
        } else if (acceptWord("grant")) {
            st.body = permission(false);
        } else if (acceptWord("revoke")) {
            st.body = permission(true);
        } else if (acceptWord("exec") || acceptWord("execute")) {
            st.body = execute(objectName());
        } else if (t.kind == Token::Word && lowerCase(t.text).rfind("sp_", 0) == 0 && atStart()) {
            st.body = execute(next().text); // a procedure call first in its batch
        } else {
            fail();
        }
        return st;
    }
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
