// Search conditions: comparisons, IS [NOT] NULL, [NOT] LIKE [ESCAPE], AND, OR, NOT and
// parentheses.

#include "cursor.h"

namespace tds::sqlite {

namespace {

Condition orCondition(Cursor& c);

Operand operand(Cursor& c) {
    Operand o;
    if (c.atLiteral()) {
        o.literal = c.literal();
        return o;
    }
    o.column = true;
    o.name = c.objectName();
    return o;
}

Condition primary(Cursor& c) {
    const Cursor::Depth depth(c);
    if (c.acceptWord("not")) {
        Condition n;
        n.kind = Condition::Not;
        n.parts.push_back(primary(c));
        return n;
    }
    if (c.accept("(")) {
        Condition inner = orCondition(c);
        c.expect(")");
        return inner;
    }
    Condition cmp;
    cmp.left = operand(c);
    if (c.acceptWord("is")) {
        cmp.kind = Condition::IsNull;
        cmp.negated = c.acceptWord("not");
        c.expectWord("null");
        return cmp;
    }
    const bool notLike = c.acceptWord("not");
    if (notLike || c.peek().is("like")) {
        c.expectWord("like");
        cmp.kind = Condition::Like;
        cmp.negated = notLike;
        cmp.right = operand(c);
        if (c.acceptWord("escape")) {
            cmp.escape = c.literal();
            if (cmp.escape.kind != Literal::String)
                c.fail();
        }
        return cmp;
    }
    static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* op : ops)
        if (c.accept(op)) {
            cmp.op = op;
            cmp.right = operand(c);
            return cmp;
        }
    c.fail();
}

// One or more parts joined by `word` ("and", "or"); a single part stands alone.
Condition joined(Cursor& c, const char* word, Condition::Kind kind, Condition (*part)(Cursor&)) {
    Condition first = part(c);
    if (!c.peek().is(word))
        return first;
    Condition all;
    all.kind = kind;
    all.parts.push_back(std::move(first));
    while (c.acceptWord(word))
        all.parts.push_back(part(c));
    return all;
}

Condition andCondition(Cursor& c) {
    return joined(c, "and", Condition::And, primary);
}

Condition orCondition(Cursor& c) {
    return joined(c, "or", Condition::Or, andCondition);
}

} // namespace

std::optional<Condition> parseWhere(Cursor& c) {
    if (!c.acceptWord("where"))
        return std::nullopt;
    return orCondition(c);
}

} // namespace tds::sqlite
